// The paragraph layout cache's answers about the laid-out text: line fragments, rectangles, glyph and
// character indexes and points.
#include "platform/textlayout/ParagraphLayoutCache.h"

#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutConversions.h"
#include "platform/textlayout/TextContainer.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace textlayout;

qsizetype ParagraphLayoutCache::paragraphIndexForCharacter(qsizetype index) const
{
    if (m_paragraphs.empty())
        return 0;
    auto after =
        std::upper_bound(m_paragraphs.begin(), m_paragraphs.end(), index,
                         [](qsizetype value, const Paragraph& paragraph) { return value < paragraph.start; });
    if (after == m_paragraphs.begin())
        return 0;
    return qsizetype(after - m_paragraphs.begin()) - 1;
}

qsizetype ParagraphLayoutCache::paragraphIndexForY(double y) const
{
    if (m_paragraphs.empty())
        return 0;
    auto after =
        std::upper_bound(m_paragraphs.begin(), m_paragraphs.end(), y,
                         [](double value, const Paragraph& paragraph) { return value < paragraph.top; });
    if (after == m_paragraphs.begin())
        return 0;
    return qsizetype(after - m_paragraphs.begin()) - 1;
}

LineFragment ParagraphLayoutCache::fragmentFor(const Paragraph& paragraph, const Line& line) const
{
    LineFragment fragment;
    const bool lastLine = &line == &paragraph.lines.back();
    const qsizetype start = paragraph.start + line.start;
    // The last line of a paragraph holds its terminator.
    const qsizetype length = lastLine ? paragraph.start + paragraph.length - start : line.length;
    fragment.characterRange = {start, length};
    fragment.rect = Rect(line.x, paragraph.top + line.top, line.width, line.height);
    fragment.usedRect = Rect(line.usedX, paragraph.top + line.top, line.usedWidth, line.height);
    fragment.baseline = paragraph.top + line.baseline;
    return fragment;
}

Rect ParagraphLayoutCache::usedRectForTextContainer() const
{
    double height = m_paragraphs.empty() ? 0 : m_paragraphs.back().top + m_paragraphs.back().height;
    double width = m_usedWidth;
    const Rect extra = extraLineFragmentUsedRect();
    if (!extra.isEmpty()) {
        height = std::max(height, extra.maxY());
        width = std::max(width, extra.maxX());
    }
    return Rect(0, 0, width, height);
}

qsizetype ParagraphLayoutCache::numberOfLines() const
{
    ensureLayoutForAll();
    qsizetype count = 0;
    for (const Paragraph& paragraph : m_paragraphs)
        count += qsizetype(paragraph.lines.size());
    return count;
}

Range ParagraphLayoutCache::glyphRangeForCharacterRange(const Range& characterRange,
                                                        Range* actualCharacterRange) const
{
    const qsizetype start = std::clamp<qsizetype>(characterRange.location, 0, m_length);
    const qsizetype end = std::clamp<qsizetype>(characterRange.end(), start, m_length);
    const Range result{start, end - start};
    if (actualCharacterRange)
        *actualCharacterRange = result;
    return result;
}

Range ParagraphLayoutCache::characterRangeForGlyphRange(const Range& glyphRange,
                                                        Range* actualGlyphRange) const
{
    return glyphRangeForCharacterRange(glyphRange, actualGlyphRange);
}

std::optional<LineFragment> ParagraphLayoutCache::lineFragmentForGlyphAtIndex(qsizetype glyphIndex) const
{
    if (m_paragraphs.empty() || glyphIndex < 0 || glyphIndex >= m_length)
        return std::nullopt;
    ensureLayoutForCharacterIndex(glyphIndex);
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForCharacter(glyphIndex)];
    const qsizetype offset = glyphIndex - paragraph.start;
    for (qsizetype i = qsizetype(paragraph.lines.size()) - 1; i >= 0; --i) {
        if (paragraph.lines[i].start <= offset)
            return fragmentFor(paragraph, paragraph.lines[i]);
    }
    return std::nullopt;
}

std::optional<LineFragment> ParagraphLayoutCache::lineFragmentWhereEstimated(qsizetype glyphIndex,
                                                                             double below) const
{
    if (m_paragraphs.empty() || glyphIndex < 0 || glyphIndex >= m_length)
        return std::nullopt;
    const qsizetype p = paragraphIndexForCharacter(glyphIndex);
    const Paragraph& paragraph = m_paragraphs[p];
    if (!paragraph.laidOut && p > m_firstUnlaid &&
        paragraph.start - m_paragraphs[m_firstUnlaid].start > kLongestGapLaidOutInOrder)
        const_cast<ParagraphLayoutCache*>(this)->layOutApart(p, p, paragraph.top + std::max(0.0, below));
    // Near the laid-out text, layout goes on in order up to it, as any other query's would.
    if (!paragraph.laidOut)
        return lineFragmentForGlyphAtIndex(glyphIndex);
    const qsizetype offset = glyphIndex - paragraph.start;
    for (qsizetype i = qsizetype(paragraph.lines.size()) - 1; i >= 0; --i)
        if (paragraph.lines[i].start <= offset)
            return fragmentFor(paragraph, paragraph.lines[i]);
    return std::nullopt;
}

Rect ParagraphLayoutCache::lineFragmentRectForGlyphAtIndex(qsizetype glyphIndex,
                                                           Range* effectiveGlyphRange) const
{
    return fragmentRectForGlyphAtIndex(glyphIndex, effectiveGlyphRange, false);
}

Rect ParagraphLayoutCache::lineFragmentUsedRectForGlyphAtIndex(qsizetype glyphIndex,
                                                               Range* effectiveGlyphRange) const
{
    return fragmentRectForGlyphAtIndex(glyphIndex, effectiveGlyphRange, true);
}

Rect ParagraphLayoutCache::fragmentRectForGlyphAtIndex(qsizetype glyphIndex, Range* effectiveGlyphRange,
                                                       bool used) const
{
    if (auto fragment = lineFragmentForGlyphAtIndex(glyphIndex)) {
        if (effectiveGlyphRange)
            *effectiveGlyphRange = fragment->characterRange;
        return used ? fragment->usedRect : fragment->rect;
    }
    if (effectiveGlyphRange)
        *effectiveGlyphRange = {m_length, 0};
    if (glyphIndex != m_length)
        return Rect();
    ensureLayoutForAll();
    return used ? extraLineFragmentUsedRect() : extraLineFragmentRect();
}

std::vector<LineFragment> ParagraphLayoutCache::lineFragmentsInRect(const Rect& rect) const
{
    std::vector<LineFragment> result;
    if (m_paragraphs.empty())
        return result;
    ensureLayoutForYRange(rect.minY(), rect.maxY());
    for (qsizetype p = paragraphIndexForY(rect.minY()); p < qsizetype(m_paragraphs.size()); ++p) {
        const Paragraph& paragraph = m_paragraphs[p];
        if (paragraph.top > rect.maxY())
            break;
        for (const Line& line : paragraph.lines) {
            const double top = paragraph.top + line.top;
            if (top + line.height < rect.minY())
                continue;
            if (top > rect.maxY())
                break;
            result.push_back(fragmentFor(paragraph, line));
        }
    }
    return result;
}

Rect ParagraphLayoutCache::extraLineFragmentRect() const
{
    if (!m_endsWithTerminator)
        return Rect();
    const double top = m_paragraphs.empty() ? 0 : m_paragraphs.back().top + m_paragraphs.back().height;
    const QFont font = m_length > 0 ? fontAt(m_length - 1) : m_defaultFont;
    return Rect(0, top, m_container.size().width, defaultLineHeightForFont(font));
}

Rect ParagraphLayoutCache::extraLineFragmentUsedRect() const
{
    const Rect rect = extraLineFragmentRect();
    if (rect.isEmpty() && rect.height() <= 0)
        return Rect();
    return Rect(0, rect.minY(), 2 * m_container.lineFragmentPadding(), rect.height());
}

std::vector<Rect> ParagraphLayoutCache::rectsForCharacterRange(const Range& range) const
{
    std::vector<Rect> rects;
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, m_length);
    const qsizetype end = std::clamp<qsizetype>(range.end(), start, m_length);
    if (end <= start || m_paragraphs.empty())
        return rects;
    ensureLayoutForCharacterIndex(end - 1);
    for (qsizetype p = paragraphIndexForCharacter(start); p < qsizetype(m_paragraphs.size()); ++p) {
        const Paragraph& paragraph = m_paragraphs[p];
        if (paragraph.start >= end)
            break;
        for (qsizetype l = 0; l < qsizetype(paragraph.lines.size()); ++l) {
            const Line& line = paragraph.lines[l];
            const LineFragment fragment = fragmentFor(paragraph, line);
            const Range lineRange = fragment.characterRange;
            const qsizetype from = std::max(start, lineRange.location);
            const qsizetype to = std::min(end, lineRange.end());
            if (to <= from)
                continue;
            const LineLayout shaped = lineLayout(paragraph, l);
            const QTextLine qtLine = shaped.line();
            const qsizetype base = paragraph.start + shaped.offset;
            const qsizetype textEnd = paragraph.start + line.start + line.length;
            // A range going on past the line fills to the fragment's end: the right end in
            // left-to-right paragraphs, the left end in right-to-left ones.
            const bool continues = to >= textEnd && end > textEnd;
            const bool rightToLeft = shaped.layout->textOption().textDirection() == Qt::RightToLeft;
            const double a = qtLine.cursorToX(int(from - base));
            const double b = continues ? (rightToLeft ? fragment.rect.minX() : fragment.rect.maxX())
                                       : qtLine.cursorToX(int(std::min(to, textEnd) - base));
            const double x1 = std::min(a, b);
            const double x2 = std::max(a, b);
            rects.push_back(Rect(x1, fragment.rect.minY(), std::max(0.0, x2 - x1), fragment.rect.height()));
        }
    }
    return rects;
}

Rect ParagraphLayoutCache::boundingRectForGlyphRange(const Range& glyphRange) const
{
    Rect result;
    bool any = false;
    for (const Rect& rect : rectsForCharacterRange(glyphRange)) {
        result = any ? result.united(rect) : rect;
        any = true;
    }
    if (!any)
        return insertionPointRectForCharacterIndex(glyphRange.location);
    return result;
}

qsizetype ParagraphLayoutCache::glyphIndexForPoint(const Point& point, double* fraction) const
{
    if (fraction)
        *fraction = 0;
    if (m_paragraphs.empty())
        return 0;
    ensureLayoutForYRange(point.y, point.y);
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForY(point.y)];
    qsizetype l = 0;
    while (l + 1 < qsizetype(paragraph.lines.size()) &&
           paragraph.top + paragraph.lines[l].top + paragraph.lines[l].height <= point.y)
        ++l;
    const LineLayout shaped = lineLayout(paragraph, l);
    const QTextLine line = shaped.line();
    const Line& record = paragraph.lines[l];
    qsizetype offset = shaped.offset + line.xToCursor(point.x, QTextLine::CursorOnCharacter);
    offset =
        std::clamp<qsizetype>(offset, record.start, std::max(record.start, record.start + record.length - 1));
    const qsizetype index = std::min(paragraph.start + offset, std::max<qsizetype>(0, m_length - 1));
    if (fraction && record.length > 0) {
        const double x1 = line.cursorToX(int(offset - shaped.offset));
        const double x2 =
            line.cursorToX(int(std::min(offset + 1, record.start + record.length) - shaped.offset));
        if (std::abs(x2 - x1) > 0)
            *fraction = std::clamp((point.x - std::min(x1, x2)) / std::abs(x2 - x1), 0.0, 1.0);
    }
    return index;
}

qsizetype ParagraphLayoutCache::insertionIndexForPoint(const Point& point) const
{
    if (m_paragraphs.empty())
        return 0;
    ensureLayoutForYRange(point.y, point.y);
    const Paragraph& last = m_paragraphs.back();
    if (m_endsWithTerminator && point.y >= last.top + last.height)
        return m_length;
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForY(point.y)];
    qsizetype l = 0;
    while (l + 1 < qsizetype(paragraph.lines.size()) &&
           paragraph.top + paragraph.lines[l].top + paragraph.lines[l].height <= point.y)
        ++l;
    const LineLayout shaped = lineLayout(paragraph, l);
    const QTextLine line = shaped.line();
    const Line& record = paragraph.lines[l];
    qsizetype offset = shaped.offset + line.xToCursor(point.x, QTextLine::CursorBetweenCharacters);
    // A wrapped line's end is the next line's start; a click past it stays on this line before its
    // trailing space, as the caret drawn there shows.
    const bool lastLine = l + 1 == qsizetype(paragraph.lines.size());
    const qsizetype lineEnd = record.start + record.length;
    if (!lastLine && offset >= lineEnd && record.length > 0)
        offset = previousCursorPosition(paragraph.start + lineEnd) - paragraph.start;
    return std::clamp<qsizetype>(paragraph.start + offset, 0, m_length);
}

Range ParagraphLayoutCache::glyphRangeForBoundingRect(const Rect& rect, bool onlyWhole) const
{
    qsizetype start = kNotFound;
    qsizetype end = 0;
    for (const LineFragment& fragment : lineFragmentsInRect(rect)) {
        if (onlyWhole && (fragment.rect.minY() < rect.minY() || fragment.rect.maxY() > rect.maxY()))
            continue;
        if (!onlyWhole && (fragment.rect.maxY() <= rect.minY() || fragment.rect.minY() >= rect.maxY()))
            continue;
        start = std::min(start, fragment.characterRange.location);
        end = std::max(end, fragment.characterRange.end());
    }
    if (start == kNotFound)
        return {0, 0};
    return {start, end - start};
}

Rect ParagraphLayoutCache::insertionPointRectForCharacterIndex(qsizetype index) const
{
    index = std::clamp<qsizetype>(index, 0, m_length);
    // A caret in lines already shown far down stands where they are drawn: laying out all the text
    // above it first would stall a long script, and put the caret where its line is not yet drawn.
    if (index == m_length)
        ensureLayoutForAll();
    else if (m_paragraphs.empty() || !m_paragraphs[paragraphIndexForCharacter(index)].laidOut)
        ensureLayoutForCharacterIndex(index);
    if (m_paragraphs.empty() || (index == m_length && m_endsWithTerminator)) {
        const Rect extra = extraLineFragmentRect();
        return Rect(m_container.lineFragmentPadding(), extra.minY(), 1, extra.height());
    }
    const qsizetype p = paragraphIndexForCharacter(std::min(index, m_length - 1));
    const Paragraph& paragraph = m_paragraphs[index == m_length ? m_paragraphs.size() - 1 : p];
    const qsizetype offset = std::min(index - paragraph.start, paragraph.textLength);
    qsizetype l = qsizetype(paragraph.lines.size()) - 1;
    while (l > 0 && paragraph.lines[l].start > offset)
        --l;
    const LineLayout shaped = lineLayout(paragraph, l);
    const Line& record = paragraph.lines[l];
    return Rect(shaped.line().cursorToX(int(offset - shaped.offset)), paragraph.top + record.top, 1,
                record.height);
}

Point ParagraphLayoutCache::locationForGlyphAtIndex(qsizetype glyphIndex) const
{
    const auto fragment = lineFragmentForGlyphAtIndex(glyphIndex);
    if (!fragment)
        return {};
    const Rect caret = insertionPointRectForCharacterIndex(glyphIndex);
    return {caret.minX() - fragment->rect.minX(), fragment->baseline - fragment->rect.minY()};
}
