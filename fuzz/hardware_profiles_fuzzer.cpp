// Reads arbitrary bytes as a downloaded hardware-profile file: it must answer a list or an error,
// never crash, hang or grow past its cap, and a list it answers must be usable. With a zero first
// byte the rest is compressed first, so the search reaches the archive behind the gzip checksum
// (a real gzip file begins with 0x1f and is read as it is).
#include "platform/foundation/Gzip.h"
#include "prompting/OVHardwareProfiles.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (size > 0 && data[0] == 0)
        input = gzip(input.mid(1));
    QString error;
    const std::optional<OVHardwareProfiles::List> list =
        OVHardwareProfiles::readDownloadedProfiles(input, &error);
    if (!list) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    const std::vector<OVHardwareProfile> ordered =
        OVHardwareProfiles::orderedProfiles(OVHardwareProfiles::builtInProfiles(), *list);
    OVHardwareFacts facts{QStringLiteral("MacBook2,1"), {QStringLiteral("Intel GMA 950")}, 64};
    const OVHardwareProfile chosen = OVHardwareProfiles::firstMatch(ordered, facts);
    if (!OVHardwareProfiles::matches(chosen, facts))
        std::abort();
    return 0;
}
