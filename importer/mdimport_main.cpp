// orvane-mdimport FILE...: loads the importer library the way an indexer would and prints, one JSON
// object per line and file, what it reports. Exits 1 when any file was not imported, 2 when the
// importer itself could not be loaded.

#include "importer/MetadataImporterInterface.h"
#include "importer/OVJsonText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QUuid>

#include <cstdio>
#include <cstring>

namespace {

const char* const kLibraryVariable = "ORVANE_IMPORTER_LIBRARY";

OVUUIDBytes uuidBytes(const char* text)
{
    const QByteArray raw = QUuid::fromString(QLatin1String(text)).toRfc4122();
    OVUUIDBytes bytes;
    std::memcpy(bytes.bytes, raw.constData(), sizeof bytes.bytes);
    return bytes;
}

// Beside the program in the build tree, in the private library folder once installed.
QString libraryPath()
{
    const QByteArray chosen = qgetenv(kLibraryVariable);
    if (!chosen.isEmpty())
        return QString::fromLocal8Bit(chosen);
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString beside = programDir.filePath(QStringLiteral("liborvane-importer.so"));
    if (QFileInfo::exists(beside))
        return beside;
    return programDir.filePath(QStringLiteral(ORVANE_IMPORTER_FROM_BIN "/liborvane-importer.so"));
}

// The attributes of one file as JSON members, in the order reported. A value is passed on as the
// importer wrote it once it is checked to be one well-formed value, so a script's text is not
// parsed and written again.
struct Attributes {
    QByteArray members;
    bool any = false;
};

void setAttribute(void* context, const char* name, const char* value)
{
    if (!name || !value || !OVJsonText::isValue(QByteArrayView(value)))
        return;
    auto* attributes = static_cast<Attributes*>(context);
    if (attributes->any)
        attributes->members.append(',');
    attributes->members.append(OVJsonText::quoted(QString::fromUtf8(name)));
    attributes->members.append(':');
    attributes->members.append(value);
    attributes->any = true;
}

void printLine(const QString& path, bool imported, const Attributes& attributes)
{
    QByteArray line =
        "{\"path\":" + OVJsonText::quoted(path) + ",\"imported\":" + (imported ? "true" : "false");
    if (imported)
        line += ",\"attributes\":{" + attributes.members + "}";
    line += "}\n";
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: orvane-mdimport FILE...\n");
        return 2;
    }
    QLibrary library(libraryPath());
    auto factory = reinterpret_cast<OVMetadataImporterFactoryFunction>(
        library.resolve(OV_METADATA_IMPORTER_FACTORY_NAME));
    if (!factory) {
        std::fprintf(stderr, "orvane-mdimport: cannot load the importer: %s\n",
                     qPrintable(library.errorString()));
        return 2;
    }
    void* made = factory(nullptr, uuidBytes(OV_MD_IMPORTER_TYPE_UUID));
    if (!made) {
        std::fprintf(stderr, "orvane-mdimport: the importer made no instance\n");
        return 2;
    }
    auto** table = static_cast<OVMetadataImporterInterface**>(made);
    void* importer = nullptr;
    if ((*table)->QueryInterface(made, uuidBytes(OV_MD_IMPORTER_INTERFACE_UUID), &importer) != OV_S_OK) {
        (*table)->Release(made);
        std::fprintf(stderr, "orvane-mdimport: the importer has no importer interface\n");
        return 2;
    }
    // The factory's reference is not needed once the interface holds its own.
    (*table)->Release(made);
    auto** interface = static_cast<OVMetadataImporterInterface**>(importer);

    bool allImported = true;
    for (const QString& file : files) {
        Attributes attributes;
        OVMetadataAttributeSink sink{&attributes, setAttribute};
        const QByteArray path = QFile::encodeName(file);
        const bool imported =
            (*interface)->GetMetadataForFile(importer, &sink, nullptr, path.constData()) != 0;
        allImported = allImported && imported;
        printLine(file, imported, attributes);
    }
    (*interface)->Release(importer);
    std::fflush(stdout);
    return allImported ? 0 : 1;
}
