#include "document/OVScrollbarAnchor.h"

#include "document/OVDocumentPackageConstants.h"

#include <cmath>

namespace {

// Far beyond any line's height; an offset past it is damage, not a place.
constexpr double kLargestLineOffset = 1e6;
// Both shares went through the same property list, so only rounding by a writer of fewer digits
// separates them.
constexpr double kShareTolerance = 1e-9;

} // namespace

PlistValue OVScrollbarAnchor::propertyListValue() const
{
    PlistDictionary anchor;
    anchor.insert(OVScrollbarAnchorCharacterIndexKey, qint64(characterIndex));
    anchor.insert(OVScrollbarAnchorLineOffsetKey, lineOffset);
    anchor.insert(OVDocumentPrompterScrollbarPositionKey, scrollbarPosition);
    return anchor;
}

std::optional<OVScrollbarAnchor> OVScrollbarAnchor::fromPropertyList(const PlistValue& value,
                                                                     std::optional<double> scrollbarPosition,
                                                                     qint64 length)
{
    if (!value.isDictionary() || !scrollbarPosition || !std::isfinite(*scrollbarPosition))
        return std::nullopt;
    const PlistDictionary& stored = value.dictionary();
    const PlistValue index = stored.value(OVScrollbarAnchorCharacterIndexKey);
    const PlistValue offset = stored.value(OVScrollbarAnchorLineOffsetKey);
    const PlistValue share = stored.value(OVDocumentPrompterScrollbarPositionKey);
    if (!index.isInteger() || index.isUnsignedInteger() || !offset.isNumber() || !share.isNumber())
        return std::nullopt;
    OVScrollbarAnchor anchor;
    anchor.characterIndex = index.integer();
    anchor.lineOffset = offset.toDouble();
    anchor.scrollbarPosition = share.toDouble();
    if (anchor.characterIndex < 0 || anchor.characterIndex >= length)
        return std::nullopt;
    if (!(anchor.lineOffset >= 0 && anchor.lineOffset <= kLargestLineOffset))
        return std::nullopt;
    if (!(std::abs(anchor.scrollbarPosition - *scrollbarPosition) <= kShareTolerance))
        return std::nullopt;
    return anchor;
}
