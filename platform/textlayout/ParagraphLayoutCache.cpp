// The paragraph layout cache's layout passes: paragraphs re-laid out after an edit, the edited lines
// of a long paragraph re-broken in place, and the shaping and breaking of one paragraph's lines.
#include "platform/textlayout/ParagraphLayoutCache.h"

#include "platform/text/TextAttachment.h"
#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutConversions.h"
#include "platform/textlayout/TextContainer.h"

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

// Qt breaks a line at a word boundary by measuring the whole word that overflows it, and only then
// measures again to break that word anywhere: a run without a break opportunity costs its whole
// remaining length on every line it fills, quadratic in the run (a pasted URL, a run of one key, a
// damaged file decoded to replacement characters). Lines that start in a run longer than this are
// broken anywhere at once, at the container's width, as a word processor breaks a word that fits no
// line; the words around the run still wrap at their boundaries.
constexpr qsizetype kLongestUnbreakableRun = 256;

std::vector<std::pair<qsizetype, qsizetype>> unbreakableRuns(const QString& text)
{
    std::vector<std::pair<qsizetype, qsizetype>> runs;
    // Most paragraphs have a space every few characters: only a long stretch without one is worth
    // asking the line breaker about.
    qsizetype stretch = 0;
    bool any = false;
    for (QChar c : text) {
        stretch = c.isSpace() ? 0 : stretch + 1;
        if (stretch > kLongestUnbreakableRun) {
            any = true;
            break;
        }
    }
    if (!any)
        return runs;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    qsizetype previous = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        if (next - previous > kLongestUnbreakableRun)
            runs.emplace_back(previous, next);
        previous = next;
    }
    return runs;
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
    // The storage finds each paragraph's end in its own blocks: nothing is copied out, and a long
    // script opens without a character-by-character pass over a copy of it.
    for (qsizetype start = from; start < to;) {
        // A "\r\n" that to splits ends at its "\r", as the text up to to alone reads.
        const qsizetype end = std::clamp(m_storage->paragraphRange(Range{start, 0}).end(), start + 1, to);
        Paragraph paragraph;
        paragraph.start = start;
        paragraph.length = end - start;
        qsizetype terminator = 0;
        if (isTerminator(m_storage->characterAtIndex(end - 1)))
            terminator = end - start >= 2 && m_storage->characterAtIndex(end - 1) == u'\n' &&
                                 m_storage->characterAtIndex(end - 2) == u'\r'
                             ? 2
                             : 1;
        paragraph.textLength = paragraph.length - terminator;
        result.push_back(paragraph);
        start = end;
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
    // Qt places a centred or right-aligned line by its natural width, which for a line that ends at a
    // space may hold a bearing taken from the wrong glyph (see breakLinesFrom): such a line is placed
    // as the whole paragraph's layout places it.
    if (!(job->layout->textOption().alignment() & Qt::AlignLeft)) {
        for (int l = 0; l < int(made.size()) && l < job->layout->lineCount(); ++l) {
            const QTextLine line = job->layout->lineAt(l);
            const qsizetype end = line.textStart() + line.textLength();
            if (end > line.textStart() && job->layout->text().at(end - 1).isSpace() &&
                line.naturalTextWidth() != line.horizontalAdvance())
                return false;
        }
    }
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
    trimCachedLayouts();
    return kept;
}

void ParagraphLayoutCache::trimCachedLayouts() const
{
    while (qsizetype(m_lru.size()) > m_layoutCacheLimit) {
        m_cache.erase(m_lru.back());
        m_lru.pop_back();
    }
}

void ParagraphLayoutCache::setLayoutCacheLimit(qsizetype paragraphs)
{
    m_layoutCacheLimit = std::max<qsizetype>(paragraphs, kLayoutCacheSize);
    trimCachedLayouts();
}

// Shaping and breaking one paragraph.

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
    if (option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere)
        job.unbreakableRuns = unbreakableRuns(shaped);
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
    const std::vector<std::pair<qsizetype, qsizetype>>& runs = job.unbreakableRuns;
    auto run = runs.begin();
    const QTextOption option = layout->textOption();
    QTextOption anywhere = option;
    anywhere.setWrapMode(QTextOption::WrapAnywhere);
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
        const double width = std::max(0.0, right - left);
        const qsizetype start = line.textStart();
        while (run != runs.end() && run->second <= start)
            ++run;
        if (run != runs.end() && run->first <= start) {
            layout->setTextOption(anywhere);
            line.setLineWidth(width);
            layout->setTextOption(option);
            // The rest of the run fitted, with words after it: those break where words break.
            if (line.textStart() + line.textLength() > run->second)
                line.setLineWidth(width);
        } else {
            line.setLineWidth(width);
        }
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
        // A line that ends at a space draws nothing past its advance. Qt adds the right bearing of a
        // glyph to the natural width, but where the word it refused starts a new run of shaped text it
        // takes that glyph from the wrong run, which depends on where the layout began: the advance
        // gives every layout of the paragraph the same width.
        const bool endsAtSpace = lineEnd > lineStart && layout->text().at(lineEnd - 1).isSpace();
        const double usedWidth = endsAtSpace ? line.horizontalAdvance() : natural.width();
        Line record;
        record.start = offset + lineStart;
        record.length = line.textLength();
        record.top = y;
        record.height = lineHeight + lineSpacing;
        record.baseline = baseline;
        record.x = 0;
        record.width = containerWidth;
        record.usedX = std::max(0.0, natural.x() - padding);
        record.usedWidth = usedWidth + 2 * padding;
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
