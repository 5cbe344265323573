#pragma once

#include <QSizeF>

// What the system's own code draws for an attachment (a bookmark marker, an invisible atom). The model
// only holds it; the view layer knows the concrete kinds.
class TextAttachmentCell {
public:
    virtual ~TextAttachmentCell() = default;
    // The size the cell wants in the line, in points.
    virtual QSizeF cellSize() const = 0;
    // The size in a view that magnifies its text by viewScale; the same as cellSize unless the cell
    // keeps its on-screen size whatever the view's magnification.
    virtual QSizeF cellSizeInView(double viewScale) const
    {
        (void)viewScale;
        return cellSize();
    }
};
