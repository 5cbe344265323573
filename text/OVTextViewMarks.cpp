// The rich-text view's marks, held as a temporary attribute of its layout manager: marking and
// unmarking, the mark an edit drops as the marked-text options ask, and the jumps from mark to mark.
#include "text/OVTextView.h"

#include "platform/textlayout/LayoutManager.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <algorithm>
#include <optional>
#include <vector>

void OVTextView::dropMarksForEdit(const TextStorage& storage, const Range& edited)
{
    if (!m_drawsMarkedText || m_autoUnmarkText.isDisabled())
        return;
    const PromptState state = promptState();
    if (state.prompt || state.changingMode)
        return;
    const quint64 options = OVSharedPreferencesAccess::markedTextOptions();
    const unsigned mask = storage.editedMask();
    const bool characters = (options & 1) && (mask & TextStorageEditedCharacters);
    const bool attributes = (options & 2) && (mask & TextStorageEditedAttributes);
    if (!characters && !attributes)
        return;
    // The layout manager moves its temporary attributes only once the edit is processed: until then
    // they describe the text before the edit, so the edit is looked at in those coordinates.
    LayoutManager& layout = *layoutManager();
    const qsizetype oldLength = storage.length() - storage.changeInLength();
    const Range whole{0, oldLength};
    const qsizetype start = std::clamp<qsizetype>(edited.location, 0, oldLength);
    const qsizetype end =
        std::clamp<qsizetype>(edited.location + edited.length - storage.changeInLength(), start, oldLength);
    // The mark around the edit: the runs holding the edit's first and last characters, and for a
    // pure insertion the characters on either side of it.
    qsizetype low = start;
    qsizetype high = end;
    bool marked = false;
    auto extendAt = [&](qsizetype index) {
        if (index < 0 || index >= oldLength)
            return;
        Range run;
        if (!layout.temporaryAttribute(OVMarkedTextAttributeName, index, &run, whole).isNull()) {
            marked = true;
            low = std::min(low, run.location);
            high = std::max(high, run.location + run.length);
        }
    };
    extendAt(start);
    extendAt(end > start ? end - 1 : start - 1);
    if (end == start)
        extendAt(start - 1);
    if (marked)
        layout.removeTemporaryAttribute(OVMarkedTextAttributeName, {low, high - low});
}

void OVTextView::unmarkTextAtIndex(qsizetype index)
{
    const qsizetype length = textStorage().length();
    if (index < 0 || index >= length)
        return;
    Range run;
    LayoutManager& layout = *layoutManager();
    if (!layout.temporaryAttribute(OVMarkedTextAttributeName, index, &run, {0, length}).isNull())
        layout.removeTemporaryAttribute(OVMarkedTextAttributeName, run);
}

void OVTextView::setDrawsMarkedText(bool flag)
{
    if (flag == m_drawsMarkedText)
        return;
    m_drawsMarkedText = flag;
    setNeedsDisplay(true);
}

std::optional<OVSharedPreferencesAccess::MarkedTextColor> OVTextView::markedTextColor() const
{
    return OVSharedPreferencesAccess::markedTextColor();
}

void OVTextView::changeMarks(const std::function<void(LayoutManager& layout)>& change)
{
    // Marks are no edit: nobody hears of them, and the edit processing must not drop them meanwhile.
    const bool notifications = m_disableContentNotifications;
    m_disableContentNotifications = true;
    m_autoUnmarkText.disable();
    change(*layoutManager());
    m_autoUnmarkText.enable();
    m_disableContentNotifications = notifications;
}

void OVTextView::markTextInRange(const Range& range)
{
    markTextInRanges({range});
}

void OVTextView::markTextInRanges(const std::vector<Range>& ranges)
{
    if (ranges.empty())
        return;
    const Range whole{0, textStorage().length()};
    changeMarks([&](LayoutManager& layout) {
        for (const Range& range : ranges) {
            const Range clipped = range.intersection(whole);
            if (!clipped.isEmpty())
                layout.addTemporaryAttribute(OVMarkedTextAttributeName, true, clipped);
        }
    });
}

void OVTextView::unmarkTextInRange(const Range& range)
{
    unmarkTextInRanges({range});
}

void OVTextView::unmarkTextInRanges(const std::vector<Range>& ranges)
{
    if (ranges.empty())
        return;
    changeMarks([&](LayoutManager& layout) {
        for (const Range& range : ranges) {
            if (range.location == kNotFound)
                continue;
            const Range extended = contiguousMarkedRangeForRange(range);
            if (!extended.isEmpty())
                layout.removeTemporaryAttribute(OVMarkedTextAttributeName, extended);
        }
    });
}

Range OVTextView::contiguousMarkedRangeForRange(const Range& range) const
{
    const qsizetype length = textStorage().length();
    if (range.location == kNotFound || range.location < 0 || range.location > length)
        return range;
    const Range whole{0, length};
    const LayoutManager& layout = *layoutManager();
    Range result = range.intersection(whole);
    if (range.length == 0)
        result = {range.location, 0};
    // The runs at both ends and, for an empty range, the characters either side of it.
    const auto extendAt = [&](qsizetype index) {
        if (index < 0 || index >= length)
            return;
        Range run;
        if (!layout.temporaryAttribute(OVMarkedTextAttributeName, index, &run, whole).isNull())
            result = result.united(run);
    };
    extendAt(result.location);
    extendAt(result.end() - 1);
    if (result.isEmpty())
        extendAt(result.location);
    return result;
}

void OVTextView::markTextInVisibleRange()
{
    const Point origin = textContainerOrigin();
    const Range range =
        layoutManager()->glyphRangeForBoundingRect(visibleRect().offsetBy(-origin.x, -origin.y), true);
    if (!range.isEmpty())
        markTextInRange(range);
}

bool OVTextView::isMarkedTextVisibleInViewport() const
{
    if (!m_drawsMarkedText)
        return false;
    const Point origin = textContainerOrigin();
    const Range range =
        layoutManager()->glyphRangeForBoundingRect(visibleRect().integral().offsetBy(-origin.x, -origin.y));
    if (range.isEmpty())
        return false;
    bool found = false;
    layoutManager()->enumerateTemporaryAttribute(OVMarkedTextAttributeName, range, false,
                                                 [&](const AttributeValue& value, const Range&, bool& stop) {
                                                     if (!value.isNull())
                                                         found = stop = true;
                                                 });
    return found;
}

void OVTextView::jumpToSubsequentMarkInDirection(int direction, bool selectMark)
{
    if (direction != MarkJumpNext && direction != MarkJumpPrevious)
        return;
    const qsizetype length = textStorage().length();
    Range search;
    if (direction == MarkJumpNext) {
        const Range current = contiguousMarkedRangeForRange(selectedRanges().back());
        const qsizetype from = std::clamp<qsizetype>(current.end(), 0, length);
        search = {from, length - from};
    } else {
        const Range current = contiguousMarkedRangeForRange(selectedRanges().front());
        search = {0, std::clamp<qsizetype>(current.location, 0, length)};
    }
    std::optional<Range> found;
    layoutManager()->enumerateTemporaryAttribute(
        OVMarkedTextAttributeName, search, direction == MarkJumpPrevious,
        [&](const AttributeValue& value, const Range& run, bool& stop) {
            if (value.isNull())
                return;
            found = run;
            stop = true;
        });
    if (found)
        _jumpToMarkAtRange(*found, selectMark, true);
}

void OVTextView::jumpToMarkAtRange(const Range& range, bool selectMark)
{
    _jumpToMarkAtRange(range, selectMark, false);
}

void OVTextView::_jumpToMarkAtRange(const Range& range, bool selectMark, bool bypassChecks)
{
    Range target = range;
    if (!bypassChecks) {
        const qsizetype length = textStorage().length();
        if (range.location < 0 || range.location >= length)
            return;
        const Range probe = range.isEmpty() ? Range{range.location, 1} : range.intersection({0, length});
        bool marked = false;
        layoutManager()->enumerateTemporaryAttribute(
            OVMarkedTextAttributeName, probe, false,
            [&](const AttributeValue& value, const Range&, bool& stop) {
                if (!value.isNull())
                    marked = stop = true;
            });
        if (!marked)
            return;
        target = contiguousMarkedRangeForRange(range);
    }
    setSelectedRange(selectMark ? target : Range{target.location, 0});
    scrollRangeToVisible(selectedRange());
}
