// Inflates arbitrary bytes under a cap; what inflates must survive a round trip.
#include "platform/foundation/Gzip.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    constexpr qsizetype kCap = 1 << 20;
    Error error;
    const std::optional<QByteArray> output = gunzip(input, kCap, &error);
    if (!output) {
        if (error.isNull())
            std::abort();
        return 0;
    }
    if (output->size() > kCap)
        std::abort();
    if (gunzip(gzip(*output), kCap, nullptr) != output)
        std::abort();
    return 0;
}
