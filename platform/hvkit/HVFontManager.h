#pragma once

#include "platform/text/Color.h"
#include "platform/text/Font.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <optional>

class QFontDialog;

// The program's one font panel: a non-modal dialog that hands what the user picks to whoever opened
// it last (the script's selection, the default-style sample). Made on first use; it lives for the
// process. Colours are the colour panel's (platform/appkit), and the conversions between Qt's
// colours and the text model's are here.
class HVFontManager {
public:
    using FontTarget = std::function<void(const Font& font)>;

    // Shows the font panel on font, its choices going to target from now on.
    static void orderFrontFontPanel(const Font& font, FontTarget target);
    // Shows font as the panel's current font without sending it anywhere.
    static void updateFontPanel(const Font& font);
    // Ends a target's claim on the panel (as it goes away).
    static void clearTargets();

    // Null until first shown.
    static QFontDialog* fontPanel();
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
