#include "platform/textlayout/LayoutRenderer.h"

#include "platform/text/TextAttachment.h"
#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutConversions.h"
#include "platform/textlayout/LayoutManager.h"
#include "platform/textlayout/LayoutView.h"
#include "platform/textlayout/ParagraphLayoutCache.h"
#include "platform/textlayout/TemporaryAttributes.h"
#include "platform/textlayout/TextContainer.h"

#include <QPainter>

#include <algorithm>

using namespace textlayout;

LayoutRenderer::LayoutRenderer(const ParagraphLayoutCache& cache, const TemporaryAttributes& temporary)
    : m_cache(cache), m_temporary(temporary)
{
}

void LayoutRenderer::fillBackgroundRectsForCharacterRange(QPainter& painter, const Range& range,
                                                          const QColor& color, const Point& origin) const
{
    for (const Rect& rect : m_cache.rectsForCharacterRange(range))
        painter.fillRect(QRectF(rect.minX() + origin.x, rect.minY() + origin.y, rect.width(), rect.height()),
                         color);
}

void LayoutRenderer::drawBackground(QPainter& painter, const Range& glyphRange, const Point& origin,
                                    const LayoutView* selectionView) const
{
    // The text's own background colours first: what is drawn over them (temporary backgrounds, marks,
    // the selection) stays visible.
    const Range text = glyphRange.intersection({0, m_cache.storage().length()});
    for (qsizetype index = text.location; index < text.end();) {
        Range effective;
        const AttributeValue value =
            m_cache.storage().attribute(kBackgroundColorAttributeName, index, &effective, text);
        effective = effective.intersection(text);
        if (effective.length <= 0)
            break;
        if (value.color())
            fillBackgroundRectsForCharacterRange(painter, effective, qtColor(*value.color()), origin);
        index = effective.end();
    }
    const Range bounds = glyphRange.intersection({0, m_temporary.length()});
    for (qsizetype index = bounds.location; index < bounds.end();) {
        Range effective;
        const AttributeValue value =
            m_temporary.attribute(kTemporaryBackgroundColorAttributeName, index, &effective, bounds);
        if (effective.length <= 0)
            break;
        if (value.color())
            fillBackgroundRectsForCharacterRange(painter, effective, qtColor(*value.color()), origin);
        index = effective.end();
    }
    if (selectionView) {
        const QColor color = selectionView->selectionColorForDrawing();
        for (const Range& selected : selectionView->selectedRanges()) {
            const Range visible = selected.intersection(glyphRange);
            if (!visible.isEmpty())
                fillBackgroundRectsForCharacterRange(painter, visible, color, origin);
        }
    }
}

namespace {

// The overlays of a layout whose text starts offset characters into its paragraph. A paragraph shaped
// whole, as most are, takes them as they stand.
QList<QTextLayout::FormatRange> overlaysFrom(const QList<QTextLayout::FormatRange>& overlays,
                                             qsizetype offset)
{
    if (offset == 0)
        return overlays;
    QList<QTextLayout::FormatRange> shifted;
    for (QTextLayout::FormatRange range : overlays) {
        const qsizetype from = std::max<qsizetype>(range.start, offset);
        const qsizetype to = qsizetype(range.start) + range.length;
        if (to <= from)
            continue;
        range.start = int(from - offset);
        range.length = int(to - from);
        shifted.push_back(range);
    }
    return shifted;
}

} // namespace

void LayoutRenderer::drawGlyphs(QPainter& painter, const Range& glyphRange, const Point& origin,
                                LayoutManager& hooks) const
{
    const std::vector<ParagraphLayoutCache::Paragraph>& paragraphs = m_cache.paragraphs();
    if (paragraphs.empty() || glyphRange.isEmpty())
        return;
    const qsizetype start = std::clamp<qsizetype>(glyphRange.location, 0, m_cache.length());
    const qsizetype end = std::clamp<qsizetype>(glyphRange.end(), start, m_cache.length());
    for (qsizetype p = m_cache.paragraphIndexForCharacter(start); p < qsizetype(paragraphs.size()); ++p) {
        const ParagraphLayoutCache::Paragraph& paragraph = paragraphs[p];
        if (paragraph.start >= end)
            break;
        // Temporary foreground colours and underlines draw over the stored formats.
        QList<QTextLayout::FormatRange> overlays;
        const Range paragraphText{paragraph.start, paragraph.textLength};
        const Range bounds = paragraphText.intersection({0, m_temporary.length()});
        for (qsizetype index = bounds.location; index < bounds.end();) {
            Range run;
            const AttributeDictionary attributes = m_temporary.runAt(index, &run);
            const Range piece = run.intersection(bounds);
            if (piece.isEmpty())
                break;
            QTextCharFormat format;
            bool any = false;
            if (const AttributeValue* value = attributes.find(kTemporaryForegroundColorAttributeName);
                value && value->color()) {
                format.setForeground(qtColor(*value->color()));
                any = true;
            }
            if (const AttributeValue* value = attributes.find(kTemporaryUnderlineStyleAttributeName);
                value && value->integer() != kUnderlineStyleNone) {
                format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
                if (const AttributeValue* color = attributes.find(kTemporaryUnderlineColorAttributeName);
                    color && color->color())
                    format.setUnderlineColor(qtColor(*color->color()));
                any = true;
            }
            if (const AttributeValue* value = attributes.find(kSpellingStateAttributeName);
                value && value->integer() != 0 && hooks.drawsSpellingStateUnderlines()) {
                format.setUnderlineStyle(QTextCharFormat::DotLine);
                format.setUnderlineColor(value->integer() & kSpellingStateSpellingFlag ? QColor(255, 0, 0)
                                                                                       : QColor(0, 255, 0));
                any = true;
            }
            if (any)
                overlays.push_back({int(piece.location - paragraph.start), int(piece.length), format});
            index = piece.end();
        }
        // Only the lines of the range are drawn: a long paragraph may run far past the view. A paragraph
        // shaped in segments draws each segment's lines through its own layout.
        const QPointF position(origin.x, origin.y + paragraph.top);
        QTextLayout* layout = nullptr;
        qsizetype offset = 0;
        double clipTop = 1e300;
        double clipBottom = -1e300;
        const auto drawSegment = [&] {
            if (!layout)
                return;
            // QTextLayout takes the clip in the painter's coordinates, like the position.
            const QRectF clip(-1e6, origin.y + clipTop, 2e6 + m_cache.container().size().width,
                              clipBottom - clipTop);
            layout->draw(&painter, position, overlaysFrom(overlays, offset), clip);
            clipTop = 1e300;
            clipBottom = -1e300;
        };
        std::vector<std::pair<const ParagraphLayoutCache::Line*, QTextLine>> drawn;
        for (qsizetype l = 0; l < qsizetype(paragraph.lines.size()); ++l) {
            const ParagraphLayoutCache::Line& line = paragraph.lines[l];
            const qsizetype lineStart = paragraph.start + line.start;
            const qsizetype lineEnd = lineStart + std::max<qsizetype>(line.length, 1);
            if (lineEnd <= start || lineStart >= end)
                continue;
            const ParagraphLayoutCache::LineLayout shaped = m_cache.lineLayout(paragraph, l);
            if (shaped.layout != layout || shaped.offset != offset) {
                drawSegment();
                layout = shaped.layout;
                offset = shaped.offset;
            }
            clipTop = std::min(clipTop, paragraph.top + line.top);
            clipBottom = std::max(clipBottom, paragraph.top + line.top + line.height);
            drawn.emplace_back(&line, shaped.line());
        }
        drawSegment();
        if (drawn.empty())
            continue;
        // Attachments are drawn where their stand-ins were shaped.
        const QString text = m_cache.storage().substring(paragraphText);
        for (const auto& [line, qtLine] : drawn) {
            const qsizetype lineOffset = line->start - qtLine.textStart();
            for (qsizetype i = line->start; i < line->start + line->length; ++i) {
                if (text.at(i) != QChar(kAttachmentCharacter))
                    continue;
                const AttributeValue value =
                    m_cache.storage().attribute(kAttachmentAttributeName, paragraph.start + i);
                auto attachment = value.attachment();
                if (!attachment)
                    continue;
                QSizeF size;
                const auto [ascent, descent] =
                    attachmentMetrics(*attachment, &size, m_cache.attachmentScale());
                const double x = qtLine.cursorToX(int(i - lineOffset));
                const QRectF rect(origin.x + x, origin.y + paragraph.top + line->baseline - ascent,
                                  size.width(), size.height());
                hooks.drawAttachment(painter, *attachment, rect, paragraph.start + i);
            }
            hooks.drawLineFragment(painter, m_cache.fragmentFor(paragraph, *line), origin);
        }
    }
}
