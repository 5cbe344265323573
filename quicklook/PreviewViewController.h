#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/Color.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class PreviewTextView;
class QScrollArea;
class QScrollBar;
class QWidget;

// The preview of a native package: its script, read-only, in a scroll view on the document's
// background, with scroller knobs that stay visible on that background.
class PreviewViewController {
public:
    static constexpr int kPreferredWidth = 640;
    static constexpr int kPreferredHeight = 800;

    enum class KnobStyle { Default, Dark, Light };

    PreviewViewController();
    ~PreviewViewController();

    // The scroll view holding the text view, at the preferred size.
    QWidget* view() const;
    PreviewTextView* textView() const { return m_textView; }

    // Fills the view from the package at url and calls handler exactly once: with nothing when the
    // script is shown, with the error otherwise (and then nothing is shown).
    void preparePreviewOfFileAtURL(const QUrl& url,
                                   const std::function<void(const std::optional<Error>&)>& handler);
    void updateScrollersForBackgroundColor(const Color& color);

    static KnobStyle knobStyle(const QScrollBar& scroller);
    // The knob colour a style paints with; invalid for the default style.
    static QColor knobColor(KnobStyle style);

private:
    static void setKnobStyle(QScrollBar& scroller, KnobStyle style);

    std::unique_ptr<QScrollArea> m_scrollView;
    PreviewTextView* m_textView = nullptr;
};
