// Feeds arbitrary bytes to the update-feed reader and the update choice.
#include "platform/updates/UpdateChoice.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<Appcast> appcast = Appcast::appcastWithData(bytes)) {
        const UpdateChoice choice = UpdateChoice::chooseFromAppcast(*appcast);
        (void)choice.appUpdates();
    }
    return 0;
}
