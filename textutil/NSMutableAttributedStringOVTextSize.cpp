#include "textutil/NSMutableAttributedStringOVTextSize.h"

#include "textutil/NSParagraphStyleOVIndentAdditions.h"
#include "platform/text/AttributeNames.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace NSMutableAttributedStringOVBookmarkAdditions {

namespace {

constexpr double kNoOpFactorTolerance = 0.0001;
constexpr double kNoOpSizeTolerance = 0.000000001;

// first minus every range of cuts (both sorted by location).
std::vector<Range> subtract(const std::vector<Range>& ranges, const std::vector<Range>& cuts)
{
    std::vector<Range> result;
    for (const Range& range : ranges) {
        qsizetype start = range.location;
        const qsizetype end = range.end();
        for (const Range& cut : cuts) {
            if (cut.end() <= start || cut.location >= end)
                continue;
            if (cut.location > start)
                result.push_back({start, cut.location - start});
            start = std::max(start, cut.end());
        }
        if (start < end)
            result.push_back({start, end - start});
    }
    return result;
}

// The ranges cut to the text, sorted, and joined where they overlap, so no character is scaled twice.
std::vector<Range> joinedRanges(const AttributedString& string, const std::vector<Range>& ranges)
{
    const Range whole{0, string.length()};
    std::vector<Range> inside;
    for (const Range& range : ranges) {
        const Range clipped = range.intersection(whole);
        if (!clipped.isEmpty())
            inside.push_back(clipped);
    }
    std::sort(inside.begin(), inside.end(),
              [](const Range& a, const Range& b) { return a.location < b.location; });
    std::vector<Range> joined;
    for (const Range& range : inside) {
        if (!joined.empty() && range.location <= joined.back().end())
            joined.back() = joined.back().united(range);
        else
            joined.push_back(range);
    }
    return joined;
}

} // namespace

bool isTextSizeChangeNoOp(double factor, double size)
{
    return std::abs(factor - 1.0) < kNoOpFactorTolerance && std::abs(size) < kNoOpSizeTolerance;
}

bool adjustTextSizeByFactor(MutableAttributedString& string, double factor, double size)
{
    return adjustTextSizeByFactor(string, factor, size, {{0, string.length()}});
}

bool adjustTextSizeByFactor(MutableAttributedString& string, double factor, double size,
                            const std::vector<Range>& inRanges)
{
    if (!std::isfinite(factor) || !std::isfinite(size) || factor <= 0)
        return false;
    if (isTextSizeChangeNoOp(factor, size) || inRanges.empty())
        return false;
    const std::vector<Range> ranges = joinedRanges(string, inRanges);
    // Every new size is checked before any is set: a refused change leaves no font half-scaled.
    // The sizes only grow with the old ones, so the smallest and the largest font decide.
    double smallest = std::numeric_limits<double>::max();
    double largest = std::numeric_limits<double>::lowest();
    for (const Range& range : _rangeValueArrayIgnoringAttachments(string, ranges)) {
        string.enumerateAttribute(kFontAttributeName, range, 0,
                                  [&](const AttributeValue& value, const Range&, bool&) {
                                      if (const Font* font = value.font()) {
                                          smallest = std::min(smallest, font->pointSize);
                                          largest = std::max(largest, font->pointSize);
                                      }
                                  });
    }
    if (largest < smallest)
        return false;
    const double newSmallest = smallest * factor + size;
    const double newLargest = largest * factor + size;
    if (!std::isfinite(newSmallest) || !std::isfinite(newLargest) || newSmallest < kMinimumFontSize)
        return false;
    // Attachment characters carry their own runs; those keep their font.
    const auto scale = [factor, size](AttributeDictionary& attributes) {
        if (attributes.contains(kAttachmentAttributeName))
            return;
        const AttributeValue* value = attributes.find(kFontAttributeName);
        if (!value || !value->font())
            return;
        const Font font = *value->font();
        attributes.insert(kFontAttributeName, font.withPointSize(font.pointSize * factor + size));
    };
    string.beginEditing();
    for (const Range& range : ranges)
        string.changeAttributesInRange(range, scale);
    string.endEditing();
    return true;
}

double smallestAvailableFontSize(const AttributedString& string)
{
    return smallestAvailableFontSizeInRanges(string, {{0, string.length()}});
}

double smallestAvailableFontSizeInRanges(const AttributedString& string, const std::vector<Range>& ranges)
{
    double smallest = std::numeric_limits<double>::max();
    for (const Range& range : _rangeValueArrayIgnoringAttachments(string, ranges)) {
        if (range.location == kNotFound)
            continue;
        string.enumerateAttribute(kFontAttributeName, range, 0,
                                  [&](const AttributeValue& value, const Range&, bool&) {
                                      if (const Font* font = value.font())
                                          smallest = std::min(smallest, font->pointSize);
                                  });
    }
    return smallest;
}

std::vector<Range> _rangeValueArrayIgnoringAttachments(const AttributedString& string,
                                                       const std::vector<Range>& ranges)
{
    const Range whole{0, string.length()};
    std::vector<Range> wanted;
    for (const Range& range : ranges) {
        const Range inside = range.intersection(whole);
        if (!inside.isEmpty())
            wanted.push_back(inside);
    }
    if (wanted.empty())
        return {};
    std::sort(wanted.begin(), wanted.end(),
              [](const Range& a, const Range& b) { return a.location < b.location; });
    qsizetype end = 0;
    for (const Range& range : wanted)
        end = std::max(end, range.end());
    const Range span{wanted.front().location, end - wanted.front().location};
    std::vector<Range> attachments;
    string.enumerateAttribute(kAttachmentAttributeName, span, 0,
                              [&](const AttributeValue& value, const Range& run, bool&) {
                                  if (!value.isNull())
                                      attachments.push_back(run);
                              });
    return subtract(wanted, attachments);
}

void normalizeParagraphIndents(MutableAttributedString& string)
{
    normalizeParagraphIndentsInRange(string, {0, string.length()});
}

void normalizeParagraphIndentsInRange(MutableAttributedString& string, const Range& range)
{
    if (range.location < 0 || range.length <= 0 || !range.isWithinLength(string.length()))
        return;
    // Most scripts carry no indents at all: one look over the runs tells, before the paragraphs are
    // walked one by one (a whole long script is, as it opens).
    bool indented = false;
    string.enumerateAttribute(kParagraphStyleAttributeName, range,
                              AttributedString::EnumerationLongestEffectiveRangeNotRequired,
                              [&indented](const AttributeValue& value, const Range&, bool& stop) {
                                  const ParagraphStyle* style = value.paragraphStyle();
                                  indented = stop =
                                      style && !NSParagraphStyleOVIndentAdditions::usesDefaultIndents(*style);
                              });
    if (!indented)
        return;
    std::vector<std::pair<Range, ParagraphStyle>> changes;
    qsizetype location = range.location;
    while (location < range.end()) {
        const Range paragraph = string.paragraphRange({location, 0});
        const Range part = paragraph.intersection(range);
        location = std::max(paragraph.end(), location + 1);
        if (part.isEmpty())
            continue;
        std::optional<ParagraphStyle> first;
        string.enumerateAttribute(kParagraphStyleAttributeName, part, 0,
                                  [&](const AttributeValue& value, const Range&, bool& stop) {
                                      if (const ParagraphStyle* style = value.paragraphStyle()) {
                                          first = *style;
                                          stop = true;
                                      }
                                  });
        if (!first || NSParagraphStyleOVIndentAdditions::usesDefaultIndents(*first))
            continue;
        NSMutableParagraphStyleOVIndentAdditions::normalizeIndents(*first);
        changes.emplace_back(part, *first);
    }
    if (changes.empty())
        return;
    string.beginEditing();
    for (const auto& [part, style] : changes)
        string.addAttribute(kParagraphStyleAttributeName, style, part);
    string.endEditing();
}

} // namespace NSMutableAttributedStringOVBookmarkAdditions
