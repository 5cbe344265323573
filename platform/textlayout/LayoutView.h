#pragma once

#include "platform/foundation/Range.h"

#include <QColor>

#include <vector>

// What a layout manager asks of a view that shows it: the selection it paints under the glyphs. The
// editable text view answers it; keeping the question this small lets layout and drawing live without
// the widget kit, for programs that only draw text into an image.
class LayoutView {
public:
    virtual ~LayoutView() = default;

    virtual const std::vector<Range>& selectedRanges() const = 0;
    virtual QColor selectionColorForDrawing() const = 0;
};
