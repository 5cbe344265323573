#include "platform/textformats/Zip.h"

#include <cstddef>
#include <cstdint>

// Opens arbitrary bytes as a zip archive and reads every member within small limits: errors are
// fine, crashes, hangs and reads past the limits are not.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ZipReader::Limits limits;
    limits.maxMemberBytes = 1 << 20;
    limits.maxTotalBytes = 4 << 20;
    limits.maxRatioFreeBytes = 64 << 10;
    Error error;
    auto zip =
        ZipReader::open(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &error, limits);
    if (!zip)
        return 0;
    for (const QString& name : zip->names()) {
        if (!ZipReader::isUsableName(name))
            __builtin_trap();
        if (const auto member = zip->read(name, &error); member && member->size() > limits.maxMemberBytes)
            __builtin_trap();
    }
    return 0;
}
