#include "platform/hvkit/pdf/HVPDFOutlineItem.h"

HVPDFOutlineItem HVPDFOutlineItem::outlineWithTitle(const QString& title, int page, const Point& point,
                                                    bool flipped, bool absolute)
{
    HVPDFOutlineItem item;
    item.m_title = title;
    item.m_page = page;
    item.m_point = point;
    item.m_flipped = flipped;
    item.m_absolute = absolute;
    return item;
}
