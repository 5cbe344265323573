// The paragraph layout cache's cursor moves: the next and previous cluster, visual moves in
// bidirectional text, and words.
#include "platform/textlayout/ParagraphLayoutCache.h"

#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutConversions.h"

#include <QTextBoundaryFinder>

#include <algorithm>

using namespace textlayout;

namespace {

// Words and clusters are looked for within this many units of the index; runs longer than that are
// cut there, which keeps moves in a 500,000-character paragraph cheap.
constexpr qsizetype kClusterWindow = 64;
constexpr qsizetype kWordWindow = 512;

} // namespace

qsizetype ParagraphLayoutCache::nextCursorPosition(qsizetype index) const
{
    if (index >= m_length)
        return m_length;
    index = std::max<qsizetype>(0, index);
    const char16_t c = m_storage->characterAtIndex(index);
    if (c == u'\r' && index + 1 < m_length && m_storage->characterAtIndex(index + 1) == u'\n')
        return index + 2;
    if (isTerminator(c))
        return index + 1;
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForCharacter(index)];
    const qsizetype textEnd = paragraph.start + paragraph.textLength;
    const qsizetype to = std::min(textEnd, index + kClusterWindow);
    const QString text = m_storage->substring({index, to - index});
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(0);
    qsizetype next = finder.toNextBoundary();
    if (next <= 0)
        next = 1;
    qsizetype result = index + next;
    if (result < m_length && QChar::isLowSurrogate(m_storage->characterAtIndex(result)) &&
        QChar::isHighSurrogate(m_storage->characterAtIndex(result - 1)))
        ++result;
    return std::min(result, m_length);
}

qsizetype ParagraphLayoutCache::previousCursorPosition(qsizetype index) const
{
    if (index <= 0)
        return 0;
    index = std::min(index, m_length);
    const char16_t c = m_storage->characterAtIndex(index - 1);
    if (c == u'\n' && index >= 2 && m_storage->characterAtIndex(index - 2) == u'\r')
        return index - 2;
    if (isTerminator(c))
        return index - 1;
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForCharacter(index - 1)];
    const qsizetype from = std::max(paragraph.start, index - kClusterWindow);
    const QString text = m_storage->substring({from, index - from});
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(text.size());
    qsizetype previous = finder.toPreviousBoundary();
    if (previous < 0 || previous >= text.size())
        previous = text.size() - 1;
    qsizetype result = from + previous;
    if (result > 0 && result < m_length && QChar::isLowSurrogate(m_storage->characterAtIndex(result)) &&
        QChar::isHighSurrogate(m_storage->characterAtIndex(result - 1)))
        --result;
    return std::max<qsizetype>(0, result);
}

qsizetype ParagraphLayoutCache::visualCursorPosition(qsizetype index, bool toLeft) const
{
    index = std::clamp<qsizetype>(index, 0, m_length);
    if (m_paragraphs.empty())
        return index;
    const qsizetype p =
        paragraphIndexForCharacter(index == m_length ? std::max<qsizetype>(0, index - 1) : index);
    const Paragraph& paragraph = m_paragraphs[p];
    const qsizetype offset = index - paragraph.start;
    const CachedLayout& cached = cachedLayoutFor(paragraph);
    const QTextLayout& layout = *cached.segments.front().job->layout;
    const bool rightToLeft = layout.textOption().textDirection() == Qt::RightToLeft;
    // Only left-to-right paragraphs are shaped in segments, where visual order is logical order.
    if (cached.segments.size() > 1)
        return toLeft ? previousCursorPosition(index) : nextCursorPosition(index);
    if (offset <= paragraph.textLength) {
        const int moved =
            toLeft ? layout.leftCursorPosition(int(offset)) : layout.rightCursorPosition(int(offset));
        if (moved != offset)
            return paragraph.start + moved;
    }
    // At the visual end of the paragraph: go on to the logical neighbour.
    const bool backward = toLeft != rightToLeft;
    return backward ? previousCursorPosition(index) : nextCursorPosition(index);
}

Range ParagraphLayoutCache::wordRangeAtIndex(qsizetype index) const
{
    if (m_length == 0)
        return {0, 0};
    index = std::clamp<qsizetype>(index, 0, m_length - 1);
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForCharacter(index)];
    const qsizetype textEnd = paragraph.start + paragraph.textLength;
    if (index >= textEnd) {
        // On the terminator: the terminator alone.
        return {textEnd, paragraph.start + paragraph.length - textEnd};
    }
    const qsizetype from = std::max(paragraph.start, index - kWordWindow);
    const qsizetype to = std::min(textEnd, index + kWordWindow);
    const QString text = m_storage->substring({from, to - from});
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    const qsizetype offset = index - from;
    finder.setPosition(offset);
    qsizetype start = finder.isAtBoundary() ? offset : finder.toPreviousBoundary();
    finder.setPosition(offset);
    qsizetype end = finder.toNextBoundary();
    if (start < 0)
        start = 0;
    if (end < 0)
        end = text.size();
    return {from + start, std::max<qsizetype>(1, end - start)};
}

qsizetype ParagraphLayoutCache::nextWordBoundary(qsizetype index) const
{
    if (index >= m_length)
        return m_length;
    index = std::max<qsizetype>(0, index);
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForCharacter(index)];
    const qsizetype textEnd = paragraph.start + paragraph.textLength;
    if (index >= textEnd) {
        const qsizetype next = paragraph.start + paragraph.length;
        return std::min(next, m_length);
    }
    const qsizetype to = std::min(textEnd, index + kWordWindow);
    const QString text = m_storage->substring({index, to - index});
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(0);
    // To the end of the next word, skipping spaces and punctuation before it.
    for (qsizetype position = finder.toNextBoundary(); position > 0; position = finder.toNextBoundary()) {
        if (finder.boundaryReasons() & QTextBoundaryFinder::EndOfItem)
            return index + position;
    }
    return to;
}

qsizetype ParagraphLayoutCache::previousWordBoundary(qsizetype index) const
{
    if (index <= 0)
        return 0;
    index = std::min(index, m_length);
    const Paragraph& paragraph = m_paragraphs[paragraphIndexForCharacter(index - 1)];
    if (index <= paragraph.start)
        return std::max<qsizetype>(0, index - 1);
    const qsizetype textEnd = paragraph.start + paragraph.textLength;
    if (index > textEnd)
        return textEnd;
    const qsizetype from = std::max(paragraph.start, index - kWordWindow);
    const QString text = m_storage->substring({from, index - from});
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(text.size());
    for (qsizetype position = finder.toPreviousBoundary(); position >= 0;
         position = finder.toPreviousBoundary()) {
        if (finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            return from + position;
        if (position == 0)
            break;
    }
    return from;
}
