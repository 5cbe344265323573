#include "document/OVDocumentPackageReader.h"
#include "document/OVLegacyColorArchive.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/Rtfd.h"
#include "text/OVBookmark.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

OVDocumentPackageReader::Options options()
{
    OVDocumentPackageReader::Options options;
    options.isInAppBundle = [](const QUrl&) { return false; };
    options.attemptToFixBookmarkShiftBug = true;
    return options;
}

std::shared_ptr<FileWrapper> packageWith(std::shared_ptr<FileWrapper> content, const QByteArray& properties)
{
    return FileWrapper::makeDirectory(
        {{QStringLiteral("Content.rtfd"), std::move(content)},
         {QStringLiteral("Properties.plist"), FileWrapper::makeRegularFile(properties)}});
}

} // namespace

// The first byte chooses what the rest is: the Properties.plist of a package around a fixed text,
// a package whose text and properties are both taken from the input (split at the first NUL), or an
// older single-file prompter document. Bookmark archives and old colour archives are fed too.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool installed = (qInstallMessageHandler(quiet), true);
    Q_UNUSED(installed);
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/nonexistent/Fuzz.ovdocument"));
    OVLoadedDocumentInfo info;
    Error error;
    switch (data[0] % 4) {
    case 0: {
        static const auto content = Rtfd::fileWrapper(
            AttributedString(QStringLiteral("Line one\nLine two\n\nThe end.")), DocumentAttributes());
        const auto package = packageWith(content, input);
        OVDocumentPackageReader::readPackage(*package, url, options(), &info, &error);
        break;
    }
    case 1: {
        const qsizetype split = input.indexOf('\0');
        const QByteArray rtf = split < 0 ? input : input.left(split);
        const QByteArray properties = split < 0 ? QByteArray() : input.mid(split + 1);
        auto content = FileWrapper::makeDirectory();
        content->addRegularFile(rtf, Rtfd::kTextFileName);
        content->addRegularFile(QByteArray("\x89PNG", 4), QStringLiteral("a.png"));
        const auto package = packageWith(content, properties);
        OVDocumentPackageReader::readPackage(*package, url, options(), &info, &error);
        break;
    }
    case 2:
        OVDocumentPackageReader::readPrompterDocumentData(input, url, QStringLiteral("fuzz"), false, &info,
                                                          &error);
        break;
    case 3:
        OVBookmark::unarchivedBookmark(input);
        OVLegacyColorArchive::unarchivedColor(input);
        break;
    }
    return 0;
}
