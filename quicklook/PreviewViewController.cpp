#include "quicklook/PreviewViewController.h"

#include "platform/text/MutableAttributedString.h"
#include "quicklook/NSColorOVExtensionAdditions.h"
#include "quicklook/OVQuickLookContent.h"
#include "quicklook/PreviewTextView.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>

namespace {

const char* const kKnobStyleProperty = "ovKnobStyle";

QColor qtColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

// The scrollers draw with one style everywhere, whose knob takes the palette's button colour; a
// desktop theme could otherwise ignore the palette and hide the knob on a dark script.
QStyle* scrollerStyle()
{
    static QStyle* const style = QStyleFactory::create(QStringLiteral("Fusion"));
    return style;
}

} // namespace

PreviewViewController::PreviewViewController() : m_scrollView(std::make_unique<QScrollArea>())
{
    m_scrollView->setWidgetResizable(true);
    m_scrollView->setFrameShape(QFrame::NoFrame);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (QScrollBar* scroller : {m_scrollView->horizontalScrollBar(), m_scrollView->verticalScrollBar()}) {
        if (QStyle* style = scrollerStyle())
            scroller->setStyle(style);
    }
    auto textView = std::make_unique<PreviewTextView>();
    m_textView = textView.get();
    m_scrollView->setWidget(textView.release());
    m_scrollView->resize(kPreferredWidth, kPreferredHeight);
}

PreviewViewController::~PreviewViewController() = default;

QWidget* PreviewViewController::view() const
{
    return m_scrollView.get();
}

void PreviewViewController::preparePreviewOfFileAtURL(
    const QUrl& url, const std::function<void(const std::optional<Error>&)>& handler)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    // Only the native type itself is previewed, not whatever merely resembles it.
    if (path.isEmpty() || !OVQuickLookContent::isNativePackage(path)) {
        handler(Error::cocoa(kFileReadUnknownError, url, QStringLiteral("Not a native document.")));
        return;
    }
    MutableAttributedString text;
    Color background;
    Error error;
    if (!OVQuickLookContent::read(path, text, &background, &error)) {
        handler(error);
        return;
    }
    m_textView->setBackgroundColor(background);
    QPalette palette = m_scrollView->palette();
    palette.setColor(QPalette::Window, qtColor(background));
    m_scrollView->setPalette(palette);
    m_scrollView->viewport()->setPalette(palette);
    updateScrollersForBackgroundColor(background);
    // The scroll view places its document only once shown; the text is laid out at the width it
    // will have beside the vertical scroller, so the first screen is not laid out twice.
    m_textView->resize(m_scrollView->width() - m_scrollView->verticalScrollBar()->sizeHint().width(),
                       m_scrollView->height());
    m_textView->appendText(text);
    handler(std::nullopt);
}

void PreviewViewController::updateScrollersForBackgroundColor(const Color& color)
{
    KnobStyle style = KnobStyle::Default;
    switch (NSColorOVExtensionAdditions::luminanceType(color)) {
    case NSColorOVExtensionAdditions::LuminanceDark:
        style = KnobStyle::Light;
        break;
    case NSColorOVExtensionAdditions::LuminanceLight:
        style = KnobStyle::Dark;
        break;
    case NSColorOVExtensionAdditions::LuminanceMedium:
        break;
    }
    for (QScrollBar* scroller : {m_scrollView->horizontalScrollBar(), m_scrollView->verticalScrollBar()}) {
        if (knobStyle(*scroller) != style)
            setKnobStyle(*scroller, style);
    }
}

PreviewViewController::KnobStyle PreviewViewController::knobStyle(const QScrollBar& scroller)
{
    return KnobStyle(scroller.property(kKnobStyleProperty).toInt());
}

QColor PreviewViewController::knobColor(KnobStyle style)
{
    switch (style) {
    case KnobStyle::Light:
        return QColor(235, 235, 235);
    case KnobStyle::Dark:
        return QColor(40, 40, 40);
    case KnobStyle::Default:
        break;
    }
    return {};
}

void PreviewViewController::setKnobStyle(QScrollBar& scroller, KnobStyle style)
{
    scroller.setProperty(kKnobStyleProperty, int(style));
    QPalette palette = scroller.style() ? scroller.style()->standardPalette() : QPalette();
    if (style != KnobStyle::Default) {
        const QColor knob = knobColor(style);
        palette.setColor(QPalette::Button, knob);
        palette.setColor(QPalette::Light, knob.lighter(110));
        palette.setColor(QPalette::Dark, knob.darker(110));
    }
    scroller.setPalette(palette);
}
