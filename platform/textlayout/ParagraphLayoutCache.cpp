#include "platform/textlayout/ParagraphLayoutCache.h"

#include "platform/text/TextAttachment.h"
#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutConversions.h"
#include "platform/textlayout/TextContainer.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace textlayout;

namespace {

// How much Qt stretches tab positions when laying out for our 72-unit inch (the screen's resolution
// over the layout's), measured once on a probe line.
double tabScale()
{
    static const double scale = [] {
        QTextLayout probe(QStringLiteral("\tx"), QFont(), layoutDevice());
        QTextOption option;
        option.setTabStopDistance(100);
        probe.setTextOption(option);
        probe.beginLayout();
        QTextLine line = probe.createLine();
        line.setLineWidth(1e6);
        probe.endLayout();
        const double x = line.cursorToX(1);
        return x > 1 ? x / 100.0 : 1.0;
    }();
    return scale;
}

// Words and clusters are looked for within this many units of the index; runs longer than that are
// cut there, which keeps moves in a 500,000-character paragraph cheap.
constexpr qsizetype kClusterWindow = 64;
constexpr qsizetype kWordWindow = 512;

// QTextLayout does not turn leading into right for right-to-left text, so natural is resolved here.
Qt::Alignment qtAlignment(TextAlignment alignment, bool rightToLeft)
{
    switch (alignment) {
    case TextAlignment::Left:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    case TextAlignment::Right:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case TextAlignment::Center:
        return Qt::AlignHCenter;
    case TextAlignment::Justified:
        return Qt::AlignJustify;
    case TextAlignment::Natural:
        break;
    }
    return (rightToLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignAbsolute;
}

QTextOption::WrapMode qtWrapMode(LineBreakMode mode)
{
    switch (mode) {
    case LineBreakMode::WordWrapping:
        return QTextOption::WrapAtWordBoundaryOrAnywhere;
    case LineBreakMode::CharWrapping:
        return QTextOption::WrapAnywhere;
    default:
        return QTextOption::NoWrap;
    }
}

// Qt looks for a word's end afresh for every line it breaks inside that word, which makes one very long
// word (a pasted URL or a run of one key) cost quadratic time; past this length lines may break anywhere.
constexpr qsizetype kLongestUnbreakableRun = 256;

bool hasVeryLongWord(const QString& text)
{
    qsizetype run = 0;
    for (QChar c : text) {
        // Spaces and ideographs offer breaks of their own.
        if (c.isSpace() || c.unicode() >= 0x2E80) {
            run = 0;
        } else if (++run > kLongestUnbreakableRun) {
            return true;
        }
    }
    return false;
}

// Text whose lines break and order the same whether shaped whole or from any line's start: left to
// right only, in scripts that break at spaces, without directional controls.
bool isPlainLeftToRight(const QString& text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x0590 || (u >= 0x1E00 && u < 0x2000) || u == kAttachmentCharacter)
            continue;
        if (u >= 0x2000 && u <= 0x206F && u != 0x200E && u != 0x200F && !(u >= 0x202A && u <= 0x202E) &&
            !(u >= 0x2066 && u <= 0x2069))
            continue;
        return false;
    }
    return true;
}

// Qt's text engine is built without exception support: a layout that ran out of memory half way
// through one of its calls is left in a state that cannot be safely freed, so it is abandoned
// instead. Its memory is lost; the program is not.
template <typename Build> void abandonOnFailure(std::unique_ptr<QTextLayout>& layout, Build&& build)
{
    try {
        build();
    } catch (...) {
        (void)layout.release();
        throw;
    }
}

} // namespace

ParagraphLayoutCache::ParagraphLayoutCache(const TextContainer& container, FormatProvider formats,
                                           LayoutChanged changed, IdleWorkWanted idleWorkWanted)
    : m_container(container), m_formats(std::move(formats)), m_changed(std::move(changed)),
      m_idleWorkWanted(std::move(idleWorkWanted))
{
}

ParagraphLayoutCache::~ParagraphLayoutCache() = default;

void ParagraphLayoutCache::setStorage(const TextStorage& storage)
{
    m_storage = &storage;
    relayoutAll();
}

double ParagraphLayoutCache::defaultLineHeightForFont(const QFont& font) const
{
    // The used rect asks for the last font's line on every edit.
    if (m_lineHeight < 0 || font != m_lineHeightFont) {
        const QFontMetricsF metrics(font, layoutDevice());
        m_lineHeightFont = font;
        m_lineHeight = metrics.ascent() + metrics.descent() + std::max(0.0, metrics.leading());
    }
    return m_lineHeight;
}

QFont ParagraphLayoutCache::fontAt(qsizetype index) const
{
    const AttributeValue value = index < 0 || index >= m_storage->length()
                                     ? AttributeValue()
                                     : m_storage->attribute(kFontAttributeName, index);
    if (value.font())
        return qtFont(*value.font());
    return m_defaultFont;
}

// Layout passes.

void ParagraphLayoutCache::relayoutLines()
{
    if (m_paragraphs.empty() || m_length != m_storage->length())
        return relayoutAll();
    carryEstimatesToLineWidth(lineWidth());
    for (Paragraph& paragraph : m_paragraphs) {
        std::vector<Line>().swap(paragraph.lines);
        paragraph.laidOut = false;
        paragraph.usedWidth = 0;
    }
    m_firstUnlaid = 0;
    m_unreported = {kNotFound, 0};
    m_remembersTops = false;
    estimateFrom(0);
    restackFrom(0);
    m_changed({0, m_length}, true);
    wantIdleWork();
}

void ParagraphLayoutCache::relayoutAll()
{
    m_cache.clear();
    m_lru.clear();
    m_paragraphs.clear();
    m_length = m_storage->length();
    resetEstimates();
    m_firstUnlaid = 0;
    m_unreported = {kNotFound, 0};
    relayoutParagraphs(0, 0, m_length, EditSpan());
}

void ParagraphLayoutCache::invalidateLayoutForCharacterRange(const Range& range)
{
    if (m_paragraphs.empty())
        return relayoutAll();
    const qsizetype first = paragraphIndexForCharacter(std::clamp<qsizetype>(range.location, 0, m_length));
    const qsizetype last = paragraphIndexForCharacter(std::clamp<qsizetype>(range.end(), 0, m_length));
    relayoutParagraphs(first, last + 1, m_paragraphs[last].start + m_paragraphs[last].length, EditSpan());
}

void ParagraphLayoutCache::storageEdited(const TextStorageEdit& edit)
{
    const qsizetype newLength = m_storage->length();
    if (m_paragraphs.empty() || edit.editedRange.location == kNotFound) {
        m_length = newLength;
        return relayoutAll();
    }
    const qsizetype location = std::clamp<qsizetype>(edit.editedRange.location, 0, m_length);
    const qsizetype oldEnd = std::clamp<qsizetype>(
        edit.editedRange.location + edit.editedRange.length - edit.changeInLength, 0, m_length);
    // The paragraph before the edit is laid out again too: the edit may have removed its terminator or
    // turned a "\r" into "\r\n".
    const qsizetype first = paragraphIndexForCharacter(std::max<qsizetype>(0, location - 1));
    const qsizetype last = paragraphIndexForCharacter(oldEnd);
    const Paragraph& lastParagraph = m_paragraphs[last];
    const qsizetype newEnd = lastParagraph.start + lastParagraph.length + edit.changeInLength;
    m_length = newLength;
    EditSpan span;
    if (edit.editedRange.length - edit.changeInLength >= 0)
        span = {edit.editedRange.location, edit.editedRange.length - edit.changeInLength,
                edit.editedRange.length};
    relayoutParagraphs(first, last + 1, std::clamp<qsizetype>(newEnd, 0, newLength), span);
}

std::vector<ParagraphLayoutCache::Paragraph> ParagraphLayoutCache::splitParagraphs(qsizetype from,
                                                                                   qsizetype to)
{
    std::vector<Paragraph> result;
    if (to <= from)
        return result;
    // Read in pieces: a whole long script copied out at once would double its memory for a moment.
    constexpr qsizetype kPiece = 1 << 16;
    qsizetype start = from;
    bool afterReturn = false;
    for (qsizetype pieceStart = from; pieceStart < to; pieceStart += kPiece) {
        const QString text = m_storage->substring({pieceStart, std::min(kPiece, to - pieceStart)});
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            const qsizetype index = pieceStart + i;
            if (afterReturn) {
                afterReturn = false;
                if (c == u'\n') {
                    ++result.back().length;
                    start = index + 1;
                    continue;
                }
            }
            if (!isTerminator(c))
                continue;
            Paragraph paragraph;
            paragraph.start = start;
            paragraph.length = index + 1 - start;
            paragraph.textLength = index - start;
            result.push_back(paragraph);
            start = index + 1;
            afterReturn = c == u'\r';
        }
    }
    if (start < to) {
        Paragraph paragraph;
        paragraph.start = start;
        paragraph.length = to - start;
        paragraph.textLength = to - start;
        result.push_back(paragraph);
    }
    return result;
}

void ParagraphLayoutCache::relayoutParagraphs(qsizetype first, qsizetype last, qsizetype newEnd,
                                              const EditSpan& edit)
{
    first = std::clamp<qsizetype>(first, 0, qsizetype(m_paragraphs.size()));
    last = std::clamp<qsizetype>(last, first, qsizetype(m_paragraphs.size()));
    const qsizetype from = first < qsizetype(m_paragraphs.size()) ? m_paragraphs[first].start
                           : m_paragraphs.empty()                 ? 0
                                                  : m_paragraphs.back().start + m_paragraphs.back().length;
    double oldHeight = 0;
    qsizetype oldEnd = from;
    for (qsizetype i = first; i < last; ++i) {
        oldHeight += m_paragraphs[i].height;
        oldEnd = m_paragraphs[i].start + m_paragraphs[i].length;
    }
    // Paragraphs come and go: the tops remembered before layout moved them no longer match.
    m_remembersTops = false;
    std::vector<Paragraph> fresh = splitParagraphs(from, std::max(from, newEnd));
    double newHeight = 0;
    for (Paragraph& paragraph : fresh)
        paragraph.id = m_nextParagraphId++;
    // An edit among laid-out lines is laid out now, so that the lines around it never wait; one past
    // them costs an estimate until layout reaches it.
    const bool layOutNow = first < m_firstUnlaid && newEnd - from <= kLargestEditLaidOutAtOnce;
    bool within = false;
    if (layOutNow && last - first == 1 && fresh.size() == 1) {
        try {
            within = relayoutWithinParagraph(m_paragraphs[first], fresh.front(), edit);
        } catch (...) {
            // Its layouts may have been moved for the new lines: shaped again from the lines kept.
            dropCachedLayout(m_paragraphs[first].id);
            throw;
        }
    }
    for (qsizetype i = first; i < last; ++i)
        dropCachedLayout(m_paragraphs[i].id);
    for (Paragraph& paragraph : fresh) {
        if (layOutNow && !within)
            layOutParagraph(paragraph);
    }
    const qsizetype oldFirstUnlaid = m_firstUnlaid;
    const qsizetype delta = newEnd - oldEnd;
    const qsizetype freshCount = qsizetype(fresh.size());
    double oldUsedWidth = 0;
    for (qsizetype i = first; i < last; ++i)
        oldUsedWidth = std::max(oldUsedWidth, m_paragraphs[i].usedWidth);
    // Typing keeps the number of paragraphs: replaced where they stand, the thousands after them stay
    // put instead of moving out and back.
    if (freshCount == last - first) {
        std::move(fresh.begin(), fresh.end(), m_paragraphs.begin() + first);
    } else {
        m_paragraphs.erase(m_paragraphs.begin() + first, m_paragraphs.begin() + last);
        m_paragraphs.insert(m_paragraphs.begin() + first, std::make_move_iterator(fresh.begin()),
                            std::make_move_iterator(fresh.end()));
    }
    const qsizetype after = first + freshCount;
    if (delta != 0) {
        for (qsizetype i = after; i < qsizetype(m_paragraphs.size()); ++i)
            m_paragraphs[i].start += delta;
    }
    if (oldFirstUnlaid > first) {
        if (layOutNow && last <= oldFirstUnlaid) {
            m_firstUnlaid = oldFirstUnlaid + freshCount - (last - first);
        } else {
            m_firstUnlaid = first;
            advanceFirstUnlaid();
        }
    }
    if (!layOutNow)
        estimateFrom(first);
    for (qsizetype i = first; i < after; ++i)
        newHeight += m_paragraphs[i].height;
    m_endsWithTerminator = m_length == 0 || isTerminator(m_storage->characterAtIndex(m_length - 1));
    // What follows moves only when the height changed, and the widest line needs a search only when
    // the widest may have gone.
    double newUsedWidth = 0;
    for (qsizetype i = first; i < after; ++i)
        newUsedWidth = std::max(newUsedWidth, m_paragraphs[i].usedWidth);
    const bool widestMayHaveGone = oldUsedWidth >= m_usedWidth && newUsedWidth < m_usedWidth;
    if (!layOutNow || oldHeight != newHeight || widestMayHaveGone || freshCount != last - first) {
        restackFrom(first);
    } else {
        restackRange(first, after);
        m_usedWidth = std::max(m_usedWidth, newUsedWidth);
    }
    m_changed({from, std::max<qsizetype>(0, newEnd - from)}, oldHeight != newHeight);
    if (!isLayoutComplete())
        wantIdleWork();
}

bool ParagraphLayoutCache::relayoutWithinParagraph(const Paragraph& old, Paragraph& fresh,
                                                   const EditSpan& edit)
{
    // Worth it where lines around the edit can be kept, and safe only where a line's break depends on
    // nothing before the line: one direction, no justification (which stretches every line but the
    // paragraph's last), words that break only at spaces.
    constexpr qsizetype kMostSegments = 12;
    auto found = m_cache.find(old.id);
    if (edit.location == kNotFound || !old.laidOut || old.lines.size() < 2 || found == m_cache.end() ||
        qsizetype(found->second.segments.size()) >= kMostSegments || fresh.start != old.start)
        return false;
    const qsizetype location = edit.location - old.start;
    // At the paragraph's start an edit may change the font its layouts are made with.
    if (location <= 0 || location + edit.replaced > old.textLength ||
        location + edit.inserted > fresh.textLength ||
        fresh.textLength - old.textLength != edit.inserted - edit.replaced)
        return false;
    const CachedLayout& cached = found->second;
    const LayoutJob& oldJob = *cached.segments.front().job;
    if (oldJob.rightToLeft || oldJob.style.alignment == TextAlignment::Justified ||
        oldJob.layout->textOption().wrapMode() != QTextOption::WrapAtWordBoundaryOrAnywhere)
        return false;
    for (const Segment& segment : cached.segments) {
        if (segment.job->rightToLeft)
            return false;
    }
    const QString text = m_storage->substring({fresh.start, fresh.textLength});
    if (!isPlainLeftToRight(text))
        return false;
    const qsizetype delta = edit.inserted - edit.replaced;
    // Lines are broken again from the line before the edit's, and further back while that line's first
    // word reaches the edit: the line before such a word decided its break by the word's width.
    qsizetype restart = 0;
    while (restart + 1 < qsizetype(old.lines.size()) && old.lines[restart + 1].start <= location)
        ++restart;
    restart = std::max<qsizetype>(0, restart - 1);
    const auto firstWordEndsBefore = [&](qsizetype l) {
        for (qsizetype i = old.lines[l].start + 1; i < location; ++i) {
            if (text.at(i).isSpace())
                return true;
        }
        return false;
    };
    while (restart > 0 && !firstWordEndsBefore(restart))
        --restart;
    // A word too long for a line is broken inside, and Qt measures the lines around such a break by
    // more than their own text: those paragraphs are laid out whole.
    const auto endsAtSpace = [](const QString& in, qsizetype end) {
        return end <= 0 || in.at(end - 1).isSpace();
    };
    for (qsizetype l = 0; l + 1 < qsizetype(old.lines.size()); ++l) {
        const qsizetype end = old.lines[l].start + old.lines[l].length;
        if (end <= location && !endsAtSpace(text, end))
            return false;
        if (end >= location + edit.replaced && !endsAtSpace(text, end + delta))
            return false;
    }
    auto job = std::make_shared<LayoutJob>(prepareLayout(fresh, old.lines[restart].start));
    if (job->style != oldJob.style || job->rightToLeft ||
        job->layout->textOption().wrapMode() != QTextOption::WrapAtWordBoundaryOrAnywhere)
        return false;
    // A line of the new text that ends, past the edit, where an old line ended past it: the lines after
    // it are those that followed the old one.
    qsizetype resumeAfter = -1;
    qsizetype candidate = restart;
    // A layout serves one run of lines (see placeSegmentLines), so the lines after the edit are taken
    // only from layouts that the lines before it do not use.
    const qsizetype oldCount = qsizetype(old.lines.size());
    const auto segmentOfLine = [&](qsizetype l) {
        auto after = std::upper_bound(cached.segments.begin(), cached.segments.end(), l,
                                      [](qsizetype value, const Segment& s) { return value < s.firstLine; });
        return std::prev(after);
    };
    const auto keptBefore = [&](const std::shared_ptr<LayoutJob>& job) {
        for (const Segment& segment : cached.segments) {
            if (segment.firstLine < restart && segment.job == job)
                return true;
        }
        return false;
    };
    const auto rejoined = [&](const Line& line) {
        const qsizetype end = line.start + line.length;
        if (end <= location + edit.inserted || end >= fresh.textLength)
            return false;
        while (candidate < qsizetype(old.lines.size()) &&
               old.lines[candidate].start + old.lines[candidate].length < end - delta)
            ++candidate;
        if (candidate + 1 >= qsizetype(old.lines.size()))
            return false;
        const Line& previous = old.lines[candidate];
        if (previous.start + previous.length != end - delta ||
            previous.start + previous.length < location + edit.replaced ||
            keptBefore(segmentOfLine(candidate + 1)->job))
            return false;
        resumeAfter = candidate;
        return true;
    };
    std::vector<Line> made;
    abandonOnFailure(job->layout, [&] {
        breakLinesFrom(*job, old.lines[restart].start, old.lines[restart].top,
                       std::numeric_limits<qsizetype>::max(), rejoined, &made);
    });
    if (made.empty())
        return false;
    for (const Line& line : made) {
        const qsizetype end = line.start + line.length;
        if (end < fresh.textLength && !endsAtSpace(text, end))
            return false;
    }

    std::vector<Line> lines(old.lines.begin(), old.lines.begin() + restart);
    made.front().startsSegment = true;
    lines.insert(lines.end(), made.begin(), made.end());
    const double newBottom = made.back().top + made.back().height;
    const double paragraphSpacing = std::clamp(finiteOr(job->style.paragraphSpacing, 0), 0.0, 1e5);
    double shift = 0;
    std::vector<Segment> segments;
    // The old segments keep the lines before the restart and, shifted, those after the rejoin.
    for (const Segment& segment : cached.segments) {
        if (segment.firstLine < restart)
            segments.push_back(segment);
    }
    segments.push_back({job, old.lines[restart].start, restart, 0});
    if (resumeAfter >= 0) {
        shift = newBottom - (old.lines[resumeAfter].top + old.lines[resumeAfter].height);
        const qsizetype firstKept = resumeAfter + 1;
        const qsizetype moved = qsizetype(lines.size()) - firstKept;
        for (size_t k = 0; k < cached.segments.size(); ++k) {
            const Segment& segment = cached.segments[k];
            const qsizetype segmentEnd =
                k + 1 < cached.segments.size() ? cached.segments[k + 1].firstLine : oldCount;
            if (segmentEnd <= firstKept)
                continue;
            const qsizetype from = std::max(segment.firstLine, firstKept);
            segments.push_back({segment.job, segment.offset + delta, from + moved,
                                int(segment.firstLineNumber + from - segment.firstLine)});
            for (qsizetype l = from; l < segmentEnd; ++l) {
                QTextLine line =
                    segment.job->layout->lineAt(int(segment.firstLineNumber + l - segment.firstLine));
                line.setPosition(line.position() + QPointF(0, shift));
            }
        }
        for (qsizetype l = firstKept; l < oldCount; ++l) {
            Line line = old.lines[l];
            line.start += delta;
            line.top += shift;
            line.baseline += shift;
            line.startsSegment = line.startsSegment || l == firstKept;
            lines.push_back(line);
        }
        fresh.height = old.height + shift;
    } else {
        fresh.height = newBottom + paragraphSpacing;
    }
    fresh.usedWidth = 0;
    for (const Line& line : lines)
        fresh.usedWidth = std::max(fresh.usedWidth, line.usedX + line.usedWidth);
    fresh.lines = std::move(lines);
    fresh.laidOut = true;
    addToEstimates(fresh);
    placeSegmentLines(segments, qsizetype(fresh.lines.size()));
    keepSegments(fresh.id, std::move(segments));
    return true;
}

void ParagraphLayoutCache::placeSegmentLines(const std::vector<Segment>& segments, qsizetype lineCount)
{
    // QTextLayout draws its lines as if they went down the page in order: it skips those above the
    // clip and stops at the first below it. A layout's lines before the run it serves go above any
    // clip and those after it below, so that only the run is ever drawn. Qt keeps positions and the
    // layout's extent in 26.6 fixed point, which wraps around past about 3.3e7: the lines above and
    // below together stay well within that, and any paragraph's lines far inside.
    constexpr double kOutOfSight = 1e7;
    for (size_t k = 0; k < segments.size(); ++k) {
        const Segment& segment = segments[k];
        const qsizetype end = k + 1 < segments.size() ? segments[k + 1].firstLine : lineCount;
        const qsizetype firstNumber = segment.firstLineNumber;
        const qsizetype lastNumber = firstNumber + (end - segment.firstLine);
        QTextLayout& layout = *segment.job->layout;
        for (int number = 0; number < layout.lineCount(); ++number) {
            if (number >= firstNumber && number < lastNumber)
                continue;
            QTextLine line = layout.lineAt(number);
            line.setPosition(QPointF(line.position().x(), number < firstNumber ? -kOutOfSight : kOutOfSight));
        }
    }
}

void ParagraphLayoutCache::restackRange(qsizetype first, qsizetype last)
{
    double top = first > 0 ? m_paragraphs[first - 1].top + m_paragraphs[first - 1].height : 0;
    for (qsizetype i = first; i < last; ++i) {
        m_paragraphs[i].top = top;
        top += m_paragraphs[i].height;
    }
}

void ParagraphLayoutCache::restackFrom(qsizetype paragraphIndex)
{
    double top = 0;
    if (paragraphIndex > 0 && paragraphIndex <= qsizetype(m_paragraphs.size())) {
        const Paragraph& previous = m_paragraphs[paragraphIndex - 1];
        top = previous.top + previous.height;
    } else {
        paragraphIndex = 0;
    }
    for (qsizetype i = paragraphIndex; i < qsizetype(m_paragraphs.size()); ++i) {
        m_paragraphs[i].top = top;
        top += m_paragraphs[i].height;
    }
    double used = 0;
    for (const Paragraph& paragraph : m_paragraphs)
        used = std::max(used, paragraph.usedWidth);
    m_usedWidth = used;
}

void ParagraphLayoutCache::layOutParagraph(Paragraph& paragraph, bool keep)
{
    auto found = m_cache.find(paragraph.id);
    if (found != m_cache.end() &&
        (found->second.segments.size() != 1 || found->second.segments.front().offset != 0 ||
         found->second.segments.front().firstLineNumber != 0))
        dropCachedLayout(paragraph.id);
    found = m_cache.find(paragraph.id);
    if (found != m_cache.end()) {
        // Built already, for another width: only its lines are broken again.
        CachedLayout& cached = found->second;
        try {
            runLayout(*cached.segments.front().job, &paragraph.lines, &paragraph.height,
                      &paragraph.usedWidth);
        } catch (...) {
            m_lru.erase(cached.lru);
            m_cache.erase(found);
            throw;
        }
        paragraph.laidOut = true;
        addToEstimates(paragraph);
        m_lru.splice(m_lru.begin(), m_lru, cached.lru);
        return;
    }
    LayoutJob job = buildLayout(paragraph, &paragraph.lines, &paragraph.height, &paragraph.usedWidth);
    paragraph.laidOut = true;
    addToEstimates(paragraph);
    if (keep)
        keepLayout(paragraph.id, std::move(job));
}

const ParagraphLayoutCache::CachedLayout& ParagraphLayoutCache::keepLayout(quint64 id, LayoutJob job) const
{
    std::vector<Segment> segments;
    segments.push_back({std::make_shared<LayoutJob>(std::move(job)), 0, 0, 0});
    return keepSegments(id, std::move(segments));
}

const ParagraphLayoutCache::CachedLayout&
ParagraphLayoutCache::keepSegments(quint64 id, std::vector<Segment> segments) const
{
    dropCachedLayout(id);
    m_lru.push_front(id);
    CachedLayout& kept = m_cache[id];
    kept = CachedLayout{std::move(segments), m_lru.begin()};
    while (qsizetype(m_lru.size()) > kLayoutCacheSize) {
        m_cache.erase(m_lru.back());
        m_lru.pop_back();
    }
    return kept;
}

// Layout ahead of need.

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

QString ParagraphLayoutCache::paragraphLayoutText(const Paragraph& paragraph) const
{
    QString text = m_storage->substring({paragraph.start, paragraph.textLength});
    text.replace(QChar(kAttachmentCharacter), QChar(kAttachmentStandIn));
    return text;
}

ParagraphLayoutCache::LayoutJob ParagraphLayoutCache::prepareLayout(const Paragraph& paragraph,
                                                                    qsizetype offset) const
{
    LayoutJob job;
    const QString whole = paragraphLayoutText(paragraph);
    offset = std::clamp<qsizetype>(offset, 0, whole.size());
    // The paragraph's direction and wrapping are the whole text's, wherever the layout starts.
    const QString& text = whole;
    const QString shaped = offset == 0 ? whole : whole.mid(offset);
    if (paragraph.start < m_storage->length()) {
        const AttributeValue value = m_storage->attribute(kParagraphStyleAttributeName, paragraph.start);
        if (value.paragraphStyle())
            job.style = *value.paragraphStyle();
    }
    const ParagraphStyle& style = job.style;
    job.rightToLeft = style.baseWritingDirection == WritingDirection::RightToLeft;
    if (style.baseWritingDirection == WritingDirection::Natural)
        job.rightToLeft = text.isRightToLeft();
    QTextOption option(qtAlignment(style.alignment, job.rightToLeft));
    option.setTextDirection(job.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setWrapMode(qtWrapMode(style.lineBreakMode));
    if (option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere && hasVeryLongWord(text))
        option.setWrapMode(QTextOption::WrapAnywhere);
    // Tab stops count from the margin, where a line without indent starts; Qt counts them from each
    // line's own start and scales them by the screen's resolution over the layout's. Both are undone
    // here for the lines after the first (and for the first when its indent is the same).
    const double scale = tabScale();
    const double headIndent = std::clamp(finiteOr(style.headIndent, 0), 0.0, 1e6);
    QList<QTextOption::Tab> tabs;
    for (const TextTab& tab : style.tabStops) {
        const double location = std::clamp(finiteOr(tab.location, 0), 0.0, 1e6) - headIndent;
        if (location <= 0)
            continue;
        const QTextOption::TabType type = tab.type == TextTabType::Right     ? QTextOption::RightTab
                                          : tab.type == TextTabType::Center  ? QTextOption::CenterTab
                                          : tab.type == TextTabType::Decimal ? QTextOption::DelimiterTab
                                                                             : QTextOption::LeftTab;
        tabs.push_back(QTextOption::Tab(location / scale, type,
                                        type == QTextOption::DelimiterTab ? QChar('.') : QChar()));
    }
    option.setTabs(tabs);
    const double interval = style.defaultTabInterval > 0 ? std::min(style.defaultTabInterval, 1e6) : 28.0;
    option.setTabStopDistance(interval / scale);
    const QList<QTextLayout::FormatRange> formats =
        m_formats({paragraph.start + offset, paragraph.textLength - offset});
    job.layout = std::make_unique<QTextLayout>(shaped, fontAt(paragraph.start), layoutDevice());
    abandonOnFailure(job.layout, [&] {
        job.layout->setCacheEnabled(true);
        job.layout->setTextOption(option);
        job.layout->setFormats(formats);
    });

    // Attachments raise or deepen the lines they sit in.
    const QString original = m_storage->substring({paragraph.start + offset, paragraph.textLength - offset});
    for (qsizetype i = original.indexOf(QChar(kAttachmentCharacter)); i >= 0;
         i = original.indexOf(QChar(kAttachmentCharacter), i + 1)) {
        const AttributeValue value =
            m_storage->attribute(kAttachmentAttributeName, paragraph.start + offset + i);
        if (auto attachment = value.attachment()) {
            auto [ascent, descent] = attachmentMetrics(*attachment, nullptr, m_attachmentScale);
            job.inlines.push_back({i, ascent, descent});
        }
    }
    return job;
}

ParagraphLayoutCache::LayoutJob ParagraphLayoutCache::buildLayout(const Paragraph& paragraph,
                                                                  std::vector<Line>* lines, double* height,
                                                                  double* usedWidth) const
{
    LayoutJob job = prepareLayout(paragraph);
    runLayout(job, lines, height, usedWidth);
    return job;
}

void ParagraphLayoutCache::runLayout(LayoutJob& job, std::vector<Line>* lines, double* height,
                                     double* usedWidth) const
{
    abandonOnFailure(job.layout, [&] { breakLines(job, lines, height, usedWidth); });
}

void ParagraphLayoutCache::breakLines(LayoutJob& job, std::vector<Line>* lines, double* height,
                                      double* usedWidth) const
{
    const ParagraphStyle& style = job.style;
    std::vector<Line> result;
    breakLinesFrom(job, 0, std::clamp(finiteOr(style.paragraphSpacingBefore, 0), 0.0, 1e5),
                   std::numeric_limits<qsizetype>::max(), {}, &result);
    double y = result.empty() ? std::clamp(finiteOr(style.paragraphSpacingBefore, 0), 0.0, 1e5)
                              : result.back().top + result.back().height;
    y += std::clamp(finiteOr(style.paragraphSpacing, 0), 0.0, 1e5);
    if (usedWidth) {
        *usedWidth = 0;
        for (const Line& line : result)
            *usedWidth = std::max(*usedWidth, line.usedX + line.usedWidth);
    }
    if (lines)
        *lines = std::move(result);
    if (height)
        *height = y;
}

void ParagraphLayoutCache::breakLinesFrom(LayoutJob& job, qsizetype offset, double y, qsizetype maxLines,
                                          const std::function<bool(const Line&)>& stop,
                                          std::vector<Line>* lines) const
{
    QTextLayout* layout = job.layout.get();
    const ParagraphStyle& style = job.style;
    const bool rightToLeft = job.rightToLeft;
    const std::vector<Inline>& inlines = job.inlines;
    const double containerWidth = m_container.size().width;
    const double padding = m_container.lineFragmentPadding();
    const double lineHeightMultiple = std::clamp(finiteOr(style.lineHeightMultiple, 0), 0.0, 100.0);
    const double minimumLineHeight = std::clamp(finiteOr(style.minimumLineHeight, 0), 0.0, 1e5);
    const double maximumLineHeight = std::clamp(finiteOr(style.maximumLineHeight, 0), 0.0, 1e5);
    const double lineSpacing = std::clamp(finiteOr(style.lineSpacing, 0), 0.0, 1e5);
    layout->beginLayout();
    for (qsizetype made = 0; made < maxLines; ++made) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        const bool firstOfParagraph = offset == 0 && made == 0;
        const double head = std::clamp(
            finiteOr(firstOfParagraph ? style.firstLineHeadIndent : style.headIndent, 0), 0.0, 1e6);
        const double tail = std::clamp(finiteOr(style.tailIndent, 0), -1e6, 1e6);
        double left = padding + head;
        double right = tail > 0 ? padding + tail : containerWidth - padding + tail;
        if (rightToLeft) {
            left = tail > 0 ? containerWidth - padding - tail : padding - tail;
            right = containerWidth - padding - head;
        }
        line.setLineWidth(std::max(0.0, right - left));
        double ascent = line.ascent();
        double descent = line.descent();
        const qsizetype lineStart = line.textStart();
        const qsizetype lineEnd = lineStart + line.textLength();
        for (const Inline& item : inlines) {
            if (item.position >= lineStart && item.position < lineEnd) {
                ascent = std::max(ascent, item.ascent);
                descent = std::max(descent, item.descent);
            }
        }
        double lineHeight = ascent + descent + std::max(0.0, line.leading());
        if (lineHeightMultiple > 0)
            lineHeight *= lineHeightMultiple;
        if (minimumLineHeight > 0)
            lineHeight = std::max(lineHeight, minimumLineHeight);
        if (maximumLineHeight > 0)
            lineHeight = std::min(lineHeight, maximumLineHeight);
        const double baseline = y + lineHeight - descent;
        line.setPosition(QPointF(left, baseline - line.ascent()));
        const QRectF natural = line.naturalTextRect();
        Line record;
        record.start = offset + lineStart;
        record.length = line.textLength();
        record.top = y;
        record.height = lineHeight + lineSpacing;
        record.baseline = baseline;
        record.x = 0;
        record.width = containerWidth;
        record.usedX = std::max(0.0, natural.x() - padding);
        record.usedWidth = natural.width() + 2 * padding;
        lines->push_back(record);
        y += lineHeight + lineSpacing;
        if (stop && stop(record))
            break;
    }
    layout->endLayout();
}

const ParagraphLayoutCache::CachedLayout&
ParagraphLayoutCache::cachedLayoutFor(const Paragraph& paragraph) const
{
    if (!paragraph.laidOut)
        ensureLayoutForCharacterIndex(paragraph.start);
    auto found = m_cache.find(paragraph.id);
    if (found != m_cache.end()) {
        m_lru.splice(m_lru.begin(), m_lru, found->second.lru);
        return found->second;
    }
    const auto segmentStart = [&](qsizetype l) { return l == 0 || paragraph.lines[l].startsSegment; };
    if (std::none_of(paragraph.lines.begin() + std::min<qsizetype>(1, paragraph.lines.size()),
                     paragraph.lines.end(), [](const Line& line) { return line.startsSegment; }))
        return keepLayout(paragraph.id, buildLayout(paragraph, nullptr, nullptr, nullptr));
    // Shaped again as the lines were shaped when laid out, each segment from its first line on, so
    // that every line breaks where it broke then.
    std::vector<Segment> segments;
    const qsizetype count = qsizetype(paragraph.lines.size());
    for (qsizetype first = 0; first < count;) {
        qsizetype end = first + 1;
        while (end < count && !segmentStart(end))
            ++end;
        const Line& line = paragraph.lines[first];
        auto job = std::make_shared<LayoutJob>(prepareLayout(paragraph, line.start));
        std::vector<Line> made;
        abandonOnFailure(job->layout,
                         [&] { breakLinesFrom(*job, line.start, line.top, end - first, {}, &made); });
        segments.push_back({std::move(job), line.start, first, 0});
        first = end;
    }
    return keepSegments(paragraph.id, std::move(segments));
}

ParagraphLayoutCache::LineLayout ParagraphLayoutCache::lineLayout(const Paragraph& paragraph,
                                                                  qsizetype lineIndex) const
{
    const CachedLayout& cached = cachedLayoutFor(paragraph);
    auto segment = std::upper_bound(cached.segments.begin(), cached.segments.end(), lineIndex,
                                    [](qsizetype value, const Segment& s) { return value < s.firstLine; });
    if (segment != cached.segments.begin())
        --segment;
    return {segment->job->layout.get(), int(segment->firstLineNumber + lineIndex - segment->firstLine),
            segment->offset};
}

void ParagraphLayoutCache::dropCachedLayout(quint64 id) const
{
    auto found = m_cache.find(id);
    if (found == m_cache.end())
        return;
    m_lru.erase(found->second.lru);
    m_cache.erase(found);
}

// Lookups.

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
    if (auto fragment = lineFragmentForGlyphAtIndex(glyphIndex)) {
        if (effectiveGlyphRange)
            *effectiveGlyphRange = fragment->characterRange;
        return fragment->rect;
    }
    if (effectiveGlyphRange)
        *effectiveGlyphRange = {m_length, 0};
    if (glyphIndex != m_length)
        return Rect();
    ensureLayoutForAll();
    return extraLineFragmentRect();
}

Rect ParagraphLayoutCache::lineFragmentUsedRectForGlyphAtIndex(qsizetype glyphIndex,
                                                               Range* effectiveGlyphRange) const
{
    if (auto fragment = lineFragmentForGlyphAtIndex(glyphIndex)) {
        if (effectiveGlyphRange)
            *effectiveGlyphRange = fragment->characterRange;
        return fragment->usedRect;
    }
    if (effectiveGlyphRange)
        *effectiveGlyphRange = {m_length, 0};
    if (glyphIndex != m_length)
        return Rect();
    ensureLayoutForAll();
    return extraLineFragmentUsedRect();
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

// Moves.

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
