#pragma once

#include "platform/foundation/Rect.h"

#include <QColor>
#include <QString>

#include <optional>

// A note (a PDF /Text annotation): an icon on a page that opens to show its contents.
class HVPDFAnnotation {
public:
    // Which corner of the page a note's rect is measured from, in PDF units with y up: the rect's
    // origin is its offset from that corner.
    enum Location : int { BottomLeft = 0, TopLeft = 1, TopRight = 2, BottomRight = 3 };

    // A 24-point square 8 points in from the top-right corner (location TopRight).
    static Rect defaultRect();

    // Nothing when contents is empty. page: an index from 0, or -1 for the first page. flipped and
    // absolute say how rect is to be read when location is not one of the corners: flipped, y grows
    // downwards from the page's top; absolute, rect is in the coordinates of the whole drawn view.
    static std::optional<HVPDFAnnotation>
    noteAnnotationWithContents(const QString& contents, const QString& userName, const QColor& color,
                               int page, int location, const Rect& rect, bool flipped, bool absolute);

    const QString& contents() const { return m_contents; }
    const QString& userName() const { return m_userName; }
    const QColor& color() const { return m_color; }
    int page() const { return m_page; }
    int location() const { return m_location; }
    const Rect& rect() const { return m_rect; }
    bool isFlipped() const { return m_flipped; }
    bool isAbsolute() const { return m_absolute; }

private:
    QString m_contents;
    QString m_userName;
    QColor m_color;
    int m_page = -1;
    int m_location = TopRight;
    Rect m_rect;
    bool m_flipped = false;
    bool m_absolute = false;
};
