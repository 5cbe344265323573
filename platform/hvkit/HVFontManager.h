#pragma once

#include "platform/text/Color.h"
#include "platform/text/Font.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <optional>

class QColorDialog;
class QComboBox;
class QFontDialog;

// The program's one font panel and one colour panel: non-modal dialogs that hand what the user
// picks to whoever opened them last (the script's selection, the default-style sample). Made on
// first use; they live for the process.
class HVFontManager {
public:
    using FontTarget = std::function<void(const Font& font)>;
    // The option says what the colour is for: 1 the text, 4 the page (background).
    using ColorTarget = std::function<void(const Color& color, unsigned option)>;
    static constexpr unsigned kTextColorOption = 1;
    static constexpr unsigned kBackgroundColorOption = 4;

    // Shows the font panel on font, its choices going to target from now on.
    static void orderFrontFontPanel(const Font& font, FontTarget target);
    // Shows the colour panel on color; options is the mask of the colour kinds the target takes.
    static void orderFrontColorPanel(const QColor& color, unsigned options, ColorTarget target);
    // Shows font as the panel's current font without sending it anywhere.
    static void updateFontPanel(const Font& font);
    // Ends a target's claim on the panels (as it goes away).
    static void clearTargets();

    // Null until first shown.
    static QFontDialog* fontPanel();
    static QColorDialog* colorPanel();
    static bool isFontPanelVisible();

    // Qt's font and the text model's.
    static QFont qtFont(const Font& font);
    static Font modelFont(const QFont& font);
    static QColor qtColor(const Color& color);
    static Color modelColor(const QColor& color);

    // What a drag out of the font panel carries: the MIME type and its payload, and the checked
    // reading of a payload (none for anything malformed, of any size or shape).
    static const QString kFontMimeType;
    static QByteArray fontData(const Font& font);
    static std::optional<Font> fontFromData(const QByteArray& data);
};
