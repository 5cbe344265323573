// Feeds arbitrary text to the geometry string readers and checks that what they read survives a
// write and a second read unchanged.
#include "platform/foundation/GeometryStrings.h"

#include <cstdlib>

namespace {

void checkRoundTrip(QStringView text)
{
    const Range range = rangeFromString(text);
    if (rangeFromString(stringFromRange(range)) != range)
        std::abort();

    const Rect rect = rectFromString(text);
    if (rect.isFinite() && rectFromString(stringFromRect(rect)) != rect)
        std::abort();

    const Point point = pointFromString(text);
    if (point.isFinite() && pointFromString(stringFromPoint(point)) != point)
        std::abort();
    if (sizeFromString(text) != Size{point.x, point.y})
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    checkRoundTrip(QString::fromUtf8(bytes, qsizetype(size)));
    // The same bytes as raw UTF-16, unpaired surrogates and all.
    checkRoundTrip(QStringView(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2)));
    return 0;
}
