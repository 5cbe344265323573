#pragma once

#include "platform/foundation/Rect.h"

#include <QString>

// One entry of a PDF's outline: a title that jumps to a point of a page.
class HVPDFOutlineItem {
public:
    // page: an index from 0, or -1 to find the page from the point. absolute: the point is in the
    // coordinates of the whole drawn view (its pages laid end to end) rather than of the page.
    // flipped: y grows downwards from the top.
    static HVPDFOutlineItem outlineWithTitle(const QString& title, int page, const Point& point, bool flipped,
                                             bool absolute);

    const QString& title() const { return m_title; }
    int page() const { return m_page; }
    const Point& point() const { return m_point; }
    bool isFlipped() const { return m_flipped; }
    bool isAbsolute() const { return m_absolute; }

private:
    QString m_title;
    int m_page = -1;
    Point m_point;
    bool m_flipped = false;
    bool m_absolute = false;
};
