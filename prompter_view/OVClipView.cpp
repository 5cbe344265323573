#include "prompter_view/OVClipView.h"

#include "platform/appkit/Event.h"
#include "text/OVInsetEventProtocol.h"
#include "prompter_view/OVScrollView.h"

#include <QDebug>

namespace {
const QString kScrollWheelSelector = QStringLiteral("scrollWheel:");
const char* const kProcessName = "-[OVClipView _processOverriddenEvent:eventSelector:]";
} // namespace

OVClipView::OVClipView(const Rect& frame) : ClipView(frame) {}

void OVClipView::setCentersDocumentView(bool flag)
{
    if (flag == m_centersDocumentView)
        return;
    m_centersDocumentView = flag;
    setBoundsOrigin(constrainBoundsRect(bounds()).origin);
}

Rect OVClipView::constrainBoundsRect(const Rect& proposed) const
{
    Rect result = ClipView::constrainBoundsRect(proposed);
    const View* document = documentView();
    if (!m_centersDocumentView || !document)
        return result;
    const Rect frame = document->frame();
    if (proposed.size.width > frame.size.width)
        result.origin.x = frame.origin.x - (proposed.size.width - frame.size.width) / 2;
    if (proposed.size.height > frame.size.height)
        result.origin.y = frame.origin.y - (proposed.size.height - frame.size.height) / 2;
    return result;
}

void OVClipView::scrollWheel(Event& event)
{
    auto* scrollView = dynamic_cast<OVScrollView*>(superview());
    if (scrollView && scrollView->preventScrolling())
        return;
    _processOverriddenEvent(event, kScrollWheelSelector);
}

int OVClipView::insetRegionForEvent(const Event& event) const
{
    View* document = documentView();
    auto* scrollView = document ? dynamic_cast<OVScrollView*>(document->enclosingScrollView()) : nullptr;
    if (!scrollView || !scrollView->tracksVerticalInset())
        return 0;
    const double y = document->convertPointFromView(event.locationInWindow, nullptr).y;
    const double padding = scrollView->contentSize().height;
    const double height = document->bounds().size.height;
    if (y >= 0 && y <= padding)
        return OVInsetEventProtocol::kInsetRegionTop;
    if (y >= height - padding && y <= height)
        return OVInsetEventProtocol::kInsetRegionBottom;
    return 0;
}

void OVClipView::_processOverriddenEvent(Event& event, const QString& eventSelector)
{
    if (m_processingEvent) {
        static bool logged = false;
        if (!logged) {
            logged = true;
            qWarning().noquote() << QStringLiteral(
                                        "%1 prevented an infinite loop from occurring in %2. report this.")
                                        .arg(QLatin1String(kProcessName), eventSelector);
        }
        return;
    }
    m_processingEvent = true;
    bool handled = false;
    if (const int region = insetRegionForEvent(event)) {
        if (auto* handler = dynamic_cast<OVInsetEventProtocol*>(documentView()))
            handled = handler->handledEventSelector(eventSelector, event, region, this);
    }
    if (!handled) {
        if (eventSelector == kScrollWheelSelector) {
            ClipView::scrollWheel(event);
        } else {
            static bool logged = false;
            if (!logged) {
                logged = true;
                qWarning().noquote() << QStringLiteral("%1 override %2 but left it unhandled. report this.")
                                            .arg(QLatin1String(kProcessName), eventSelector);
            }
        }
    }
    m_processingEvent = false;
}
