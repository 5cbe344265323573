// The paragraph layout cache's layout ahead of need: paragraphs laid out in slices while the program
// is idle or as far as a caller needs, the moves reported, and the estimated heights of the rest.
#include "platform/textlayout/ParagraphLayoutCache.h"

#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutConversions.h"
#include "platform/textlayout/TextContainer.h"

#include <QElapsedTimer>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace textlayout;


qsizetype ParagraphLayoutCache::firstUnlaidCharacterIndex() const
{
    return isLayoutComplete() ? m_length : m_paragraphs[m_firstUnlaid].start;
}

bool ParagraphLayoutCache::layOutSlice(double seconds)
{
    reportLayout();
    if (isLayoutComplete())
        return false;
    QElapsedTimer timer;
    timer.start();
    rememberTops();
    const qsizetype first = m_firstUnlaid;
    const qsizetype count = qsizetype(m_paragraphs.size());
    qsizetype p = first;
    double top = m_paragraphs[p].top;
    try {
        do {
            Paragraph& paragraph = m_paragraphs[p];
            paragraph.top = top;
            // Drawing never waits for these: they are shaped again when shown.
            if (!paragraph.laidOut)
                layOutParagraph(paragraph, false);
            top += paragraph.height;
            ++p;
        } while (p < count && timer.nsecsElapsed() < seconds * 1e9);
    } catch (...) {
        noteLaidOut(first, p);
        throw;
    }
    noteLaidOut(first, p);
    reportLayout();
    return !isLayoutComplete();
}

void ParagraphLayoutCache::ensureLayoutForCharacterIndex(qsizetype index) const
{
    if (isLayoutComplete() || index < m_paragraphs[m_firstUnlaid].start)
        return;
    // Laying out on demand fills a cache; what the queries answer does not change by it.
    const_cast<ParagraphLayoutCache*>(this)->extendLayout(paragraphIndexForCharacter(index),
                                                          -std::numeric_limits<double>::infinity());
}

void ParagraphLayoutCache::ensureLayoutThroughY(double y) const
{
    if (isLayoutComplete() || !(y >= m_paragraphs[m_firstUnlaid].top))
        return;
    const_cast<ParagraphLayoutCache*>(this)->extendLayout(-1, y);
}

void ParagraphLayoutCache::ensureLayoutForYRange(double minY, double maxY) const
{
    if (isLayoutComplete() || !(maxY >= m_paragraphs[m_firstUnlaid].top))
        return;
    auto* self = const_cast<ParagraphLayoutCache*>(this);
    const qsizetype first = paragraphIndexForY(minY);
    if (first > m_firstUnlaid &&
        m_paragraphs[first].start - m_paragraphs[m_firstUnlaid].start > kLongestGapLaidOutInOrder)
        self->layOutApart(first, first, maxY);
    else
        self->extendLayout(-1, maxY);
}

void ParagraphLayoutCache::ensureLayoutForAll() const
{
    if (!isLayoutComplete())
        const_cast<ParagraphLayoutCache*>(this)->extendLayout(qsizetype(m_paragraphs.size()) - 1,
                                                              -std::numeric_limits<double>::infinity());
}

void ParagraphLayoutCache::extendLayout(qsizetype last, double y)
{
    rememberTops();
    const qsizetype first = m_firstUnlaid;
    const qsizetype count = qsizetype(m_paragraphs.size());
    qsizetype p = first;
    double top = m_paragraphs[p].top;
    try {
        for (; p < count && (p <= last || top <= y); ++p) {
            Paragraph& paragraph = m_paragraphs[p];
            paragraph.top = top;
            if (!paragraph.laidOut)
                layOutParagraph(paragraph);
            top += paragraph.height;
        }
    } catch (...) {
        noteLaidOut(first, p);
        throw;
    }
    noteLaidOut(first, p);
}

void ParagraphLayoutCache::layOutApart(qsizetype first, qsizetype last, double y)
{
    const qsizetype count = qsizetype(m_paragraphs.size());
    qsizetype p = first;
    double top = m_paragraphs[p].top;
    bool any = false;
    const auto note = [&] {
        if (!any)
            return;
        restackFrom(first);
        noteUnreported(first, p);
    };
    try {
        for (; p < count && (p <= last || top <= y); ++p) {
            Paragraph& paragraph = m_paragraphs[p];
            paragraph.top = top;
            if (!paragraph.laidOut) {
                layOutParagraph(paragraph);
                any = true;
            }
            top += paragraph.height;
        }
    } catch (...) {
        note();
        throw;
    }
    // The paragraphs before stay where the estimates put them, so nothing shown above moves; the
    // estimates learn from these only when layout from the start next moves on.
    note();
    // These were placed where the text stands now, after any move not yet reported: a view showing
    // them must not take that move again.
    if (any)
        m_remembersTops = false;
}

void ParagraphLayoutCache::rememberTops()
{
    // The first layout since observers last heard keeps where everything stood for them.
    if (m_remembersTops || isLayoutComplete())
        return;
    for (Paragraph& paragraph : m_paragraphs)
        paragraph.topBeforeMove = paragraph.top;
    m_remembersTops = true;
}

double ParagraphLayoutCache::reportedMoveAt(double y) const
{
    if (!m_remembersTops || m_paragraphs.empty())
        return 0;
    const auto after = std::upper_bound(
        m_paragraphs.begin(), m_paragraphs.end(), y,
        [](double value, const Paragraph& paragraph) { return value < paragraph.topBeforeMove; });
    const Paragraph& paragraph = after == m_paragraphs.begin() ? m_paragraphs.front() : *(after - 1);
    return paragraph.top - paragraph.topBeforeMove;
}

// Paragraphs [first, last) were laid out: what follows them moves to where they end, and the
// estimates of the rest learn from them.
void ParagraphLayoutCache::noteLaidOut(qsizetype first, qsizetype last)
{
    if (last <= first)
        return;
    m_firstUnlaid = last;
    advanceFirstUnlaid();
    estimateFrom(m_firstUnlaid);
    restackFrom(first);
    noteUnreported(first, last);
}

void ParagraphLayoutCache::noteUnreported(qsizetype first, qsizetype last)
{
    if (last <= first)
        return;
    const qsizetype from = m_paragraphs[first].start;
    const qsizetype to = m_paragraphs[last - 1].start + m_paragraphs[last - 1].length;
    if (m_unreported.location == kNotFound) {
        m_unreported = {from, to - from};
    } else {
        const qsizetype start = std::min(m_unreported.location, from);
        m_unreported = {start, std::max(m_unreported.end(), to) - start};
    }
    wantIdleWork();
}

void ParagraphLayoutCache::reportLayout()
{
    if (!hasUnreportedLayout()) {
        m_remembersTops = false;
        return;
    }
    const Range range = m_unreported.intersection({0, m_length});
    m_unreported = {kNotFound, 0};
    // What follows the laid-out paragraphs moved from its estimated place to its real one.
    try {
        m_changed({range.location, m_length - range.location}, true);
    } catch (...) {
        m_remembersTops = false;
        throw;
    }
    m_remembersTops = false;
}

double ParagraphLayoutCache::paragraphTopForCharacterIndex(qsizetype index) const
{
    if (m_paragraphs.empty())
        return 0;
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForCharacter(index)];
    if (index >= m_length && m_endsWithTerminator)
        return paragraph.top + paragraph.height;
    return paragraph.top;
}

void ParagraphLayoutCache::advanceFirstUnlaid()
{
    const qsizetype count = qsizetype(m_paragraphs.size());
    while (m_firstUnlaid < count && m_paragraphs[m_firstUnlaid].laidOut)
        ++m_firstUnlaid;
}

void ParagraphLayoutCache::wantIdleWork() const
{
    if (m_idleWorkWanted)
        m_idleWorkWanted();
}

// Estimates.

void ParagraphLayoutCache::resetEstimates()
{
    m_sums = {};
    m_initialLineHeight = -1;
    m_initialSpacing = 0;
    m_estimatedLineWidth = lineWidth();
}

double ParagraphLayoutCache::lineWidth() const
{
    return std::max(0.0, m_container.size().width - 2 * m_container.lineFragmentPadding());
}

void ParagraphLayoutCache::carryEstimatesToLineWidth(double lineWidth)
{
    // Line heights and paragraph spacing do not depend on the width; lines hold about as many more
    // characters as they grew wider.
    const EstimateSums sums = m_sums;
    const double oldLineWidth = m_estimatedLineWidth;
    const bool learned = m_initialLineHeight >= 0;
    const double oldCharactersPerLine =
        sums.wrappedLines > 0 ? sums.wrappedCharacters / sums.wrappedLines : m_initialCharactersPerLine;
    const double oldLineHeight = sums.lines > 0 ? sums.lineHeights / sums.lines : m_initialLineHeight;
    const double oldSpacing = sums.paragraphs > 0 ? sums.spacing / sums.paragraphs : m_initialSpacing;
    resetEstimates();
    if (!learned || !(oldLineWidth > 0) || !(lineWidth > 0))
        return;
    m_initialLineHeight = oldLineHeight;
    m_initialSpacing = oldSpacing;
    m_initialCharactersPerLine =
        std::max(1.0, finiteOr(oldCharactersPerLine * lineWidth / oldLineWidth, 1.0));
}

void ParagraphLayoutCache::addToEstimates(const Paragraph& paragraph)
{
    double lineHeights = 0;
    for (const Line& line : paragraph.lines)
        lineHeights += line.height;
    m_sums.paragraphs += 1;
    m_sums.lines += double(paragraph.lines.size());
    m_sums.lineHeights += lineHeights;
    m_sums.spacing += std::max(0.0, paragraph.height - lineHeights);
    if (paragraph.lines.size() > 1) {
        // The last line is on average half full.
        m_sums.wrappedCharacters += double(paragraph.textLength);
        m_sums.wrappedLines += double(paragraph.lines.size()) - 0.5;
    }
}

void ParagraphLayoutCache::estimateFrom(qsizetype index)
{
    const qsizetype count = qsizetype(m_paragraphs.size());
    if (index >= count)
        return;
    if (m_initialLineHeight < 0) {
        const QFont font = fontAt(0);
        m_initialLineHeight = defaultLineHeightForFont(font);
        const double advance = QFontMetricsF(font, layoutDevice()).averageCharWidth();
        const double width = lineWidth();
        m_initialCharactersPerLine = advance > 0 && width > 0 ? std::max(1.0, width / advance) : 1.0;
    }
    const double lineHeight = m_sums.lines > 0 ? m_sums.lineHeights / m_sums.lines : m_initialLineHeight;
    const double charactersPerLine = m_sums.wrappedLines > 0
                                         ? std::max(1.0, m_sums.wrappedCharacters / m_sums.wrappedLines)
                                         : m_initialCharactersPerLine;
    const double spacing = m_sums.paragraphs > 0 ? m_sums.spacing / m_sums.paragraphs : m_initialSpacing;
    for (qsizetype i = index; i < count; ++i) {
        Paragraph& paragraph = m_paragraphs[i];
        if (paragraph.laidOut)
            continue;
        const double lines = std::max(1.0, std::ceil(double(paragraph.textLength) / charactersPerLine));
        paragraph.height = finiteOr(lines * lineHeight + spacing, 0);
    }
}
