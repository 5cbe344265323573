#include "importer/OVDocumentLoader.h"
#include "importer/OVMetadataAttributes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

// The importer's whole reading path on a package made from the fuzzer's bytes: the first byte says
// where the property list ends, the rest of the bytes are the RTF of "Content.rtfd" (with one
// picture beside it), and the loader and the attribute report run over the package on disk.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString package = dir.filePath(QStringLiteral("Fuzz.ovdocument"));
    static const bool made = QDir().mkpath(package + QStringLiteral("/Content.rtfd"));
    if (!made || size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype split = std::min<qsizetype>(input.size(), qsizetype(data[0]) * input.size() / 255);
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    };
    write(package + QStringLiteral("/Properties.plist"), input.left(split));
    write(package + QStringLiteral("/Content.rtfd/TXT.rtf"), input.mid(split));
    write(package + QStringLiteral("/Content.rtfd/a.png"), QByteArray("\x89PNG", 4));
    if (const auto loader = OVDocumentLoader::loadDocumentAtPath(package))
        OVMetadataAttributes::attributesForLoader(*loader);
    return 0;
}
