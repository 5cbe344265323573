// Feeds arbitrary text to the reading of an Open call's URIs, as anyone on the session bus can
// send them: split at newlines into a list, read, and every path read back must be absolute, whole
// UTF-8 and within the bound, and must read back the same from the URIs made of it.
#include "app/OVInstanceBus.h"

#include <QByteArray>
#include <QStringList>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList uris = text.split(u'\n');
    if (const std::optional<OVSingleInstance::Request> request = OVInstanceBus::requestFromUris(uris)) {
        for (const QString& path : request->paths) {
            const QByteArray bytes = path.toUtf8();
            if (!path.startsWith(u'/') || bytes.size() > OVSingleInstance::kMaximumPathBytes ||
                QString::fromUtf8(bytes) != path)
                std::abort();
        }
        const std::optional<OVSingleInstance::Request> again =
            OVInstanceBus::requestFromUris(OVInstanceBus::urisFromPaths(request->paths));
        if (!again || again->paths != request->paths)
            std::abort();
    }
    return 0;
}
