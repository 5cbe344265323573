#pragma once

#include <QSizeF>

// What the system's own code draws for an attachment (a bookmark marker, an invisible atom). The model
// only holds it; the view layer knows the concrete kinds.
class TextAttachmentCell {
public:
    virtual ~TextAttachmentCell() = default;
    // The size the cell wants in the line, in points.
    virtual QSizeF cellSize() const = 0;
};
