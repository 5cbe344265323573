// Feeds arbitrary bytes to the reading of a later start's request, as the running program receives
// them from its socket; a request read back is written and read again unchanged.
#include "app/OVSingleInstance.h"

#include <QByteArray>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<OVSingleInstance::Request> request = OVSingleInstance::decode(bytes)) {
        const std::optional<OVSingleInstance::Request> again =
            OVSingleInstance::decode(OVSingleInstance::encode(*request));
        if (!again || again->paths != request->paths || again->command != request->command)
            std::abort();
    }
    return 0;
}
