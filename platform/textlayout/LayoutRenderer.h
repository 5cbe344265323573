#pragma once

#include "platform/foundation/Point.h"
#include "platform/foundation/Range.h"

class LayoutManager;
class LayoutView;
class ParagraphLayoutCache;
class QColor;
class QPainter;
class TemporaryAttributes;

// Draws what a paragraph layout cache laid out, in container coordinates placed at an origin: the
// temporary background colours and a view's selection under the glyphs, then the glyphs with the
// temporary colours and underlines over the stored formats. Only the lines of the range asked for are
// drawn, so a frame of a long script costs what it shows.
class LayoutRenderer {
public:
    // Both outlive the renderer; they belong to the same layout manager.
    LayoutRenderer(const ParagraphLayoutCache& cache, const TemporaryAttributes& temporary);

    void fillBackgroundRectsForCharacterRange(QPainter& painter, const Range& range, const QColor& color,
                                              const Point& origin) const;
    // selectionView, when given, is the view whose selection is filled in.
    void drawBackground(QPainter& painter, const Range& glyphRange, const Point& origin,
                        const LayoutView* selectionView) const;
    // Attachments and each drawn line fragment go to the hooks' drawAttachment and drawLineFragment,
    // which subclasses of the layout manager refine.
    void drawGlyphs(QPainter& painter, const Range& glyphRange, const Point& origin,
                    LayoutManager& hooks) const;

private:
    const ParagraphLayoutCache& m_cache;
    const TemporaryAttributes& m_temporary;
};
