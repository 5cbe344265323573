#include "app/OVDocumentPrompterView.h"

#include "platform/appkit/ClipView.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVScrollView.h"

#include <algorithm>
#include <cmath>

OVDocumentPrompterView::OVDocumentPrompterView(const Rect& frame) : View(frame)
{
    setAutoresizingMask(WidthSizable | HeightSizable);
    setAutoresizesSubviews(true);
    auto text = std::make_unique<TextView>(Rect{{0, 0}, frame.size});
    text->setVerticallyResizable(true);
    text->setRichText(true);
    text->setAllowsUndo(true);
    m_textView = text.get();
    auto scroll = std::make_unique<OVScrollView>(Rect{{0, 0}, frame.size}, std::move(text));
    m_scrollView = addSubview(std::move(scroll));
}

OVDocumentPrompterView::~OVDocumentPrompterView() = default;

ScrollView* OVDocumentPrompterView::scrollView() const
{
    return m_scrollView;
}

View* OVDocumentPrompterView::textView() const
{
    return m_textView;
}

bool OVDocumentPrompterView::isContentEditable() const
{
    return m_textView->isEditable();
}

void OVDocumentPrompterView::setupTextViewForMode(bool promptMode, qsizetype visibleCharacterLocation)
{
    m_textView->setEditable(!promptMode);
    const qsizetype length = m_textView->textStorage().length();
    const qsizetype location = promptMode ? 0 : std::clamp<qsizetype>(visibleCharacterLocation, 0, length);
    m_textView->setSelectedRange(Range{location, 0});
}

qsizetype OVDocumentPrompterView::textLength() const
{
    return m_textView->textStorage().length();
}

double OVDocumentPrompterView::positionRatio() const
{
    const ClipView* clip = m_scrollView->contentView();
    const double travel = m_textView->frame().size.height - clip->bounds().size.height;
    if (travel <= 0)
        return 0;
    return std::clamp(clip->bounds().origin.y / travel, 0.0, 1.0);
}

void OVDocumentPrompterView::setPositionRatio(double ratio)
{
    if (!std::isfinite(ratio))
        return;
    ClipView* clip = m_scrollView->contentView();
    const double travel = std::max(0.0, m_textView->frame().size.height - clip->bounds().size.height);
    clip->scrollToPoint(Point{clip->bounds().origin.x, std::clamp(ratio, 0.0, 1.0) * travel});
    m_scrollView->reflectScrolledClipView(clip);
}
