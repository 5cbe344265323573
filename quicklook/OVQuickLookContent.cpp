#include "quicklook/OVQuickLookContent.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/text/Rtfd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

const QString kNativeExtension = QStringLiteral("ovdocument");
const QString kContentFileName = QStringLiteral("Content.rtfd");

} // namespace

QString OVQuickLookContent::message(const Error& error)
{
    const QString description = error.localizedDescription();
    const QString reason = error.localizedFailureReason();
    return reason.isEmpty() || description.contains(reason) ? description : description + u' ' + reason;
}

bool OVQuickLookContent::isNativePackage(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && info.suffix() == kNativeExtension;
}

bool OVQuickLookContent::read(const QString& packagePath, MutableAttributedString& text,
                              Color* backgroundColor, Error* error)
{
    const QString contentPath = QDir(packagePath).filePath(kContentFileName);
    const QUrl contentURL = QUrl::fromLocalFile(contentPath);
    // The member itself is looked at without following links: a link would show a file the package
    // does not hold, and a pipe would block the reader.
    struct stat info;
    if (::lstat(QFile::encodeName(contentPath).constData(), &info) != 0) {
        // A package that is a loop of links, or one that cannot be entered, says so; only a missing
        // content is "no such file".
        const int code = errno;
        setError(error, code == ENOENT ? Error::cocoa(kFileReadNoSuchFileError, contentURL,
                                                      QStringLiteral("The package holds no text."))
                                       : Error::cocoa(kFileReadUnknownError, contentURL,
                                                      QString::fromLocal8Bit(std::strerror(code)) + u'.'));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        setError(error, Error::cocoa(kFileReadCorruptFileError, contentURL,
                                     QStringLiteral("The content is not a folder of its own.")));
        return false;
    }
    FileWrapper::ReadingLimits limits;
    limits.maxDepth = kMaxContentDepth;
    limits.maxEntries = kMaxContentEntries;
    limits.maxTotalBytes = kMaxContentBytes;
    const auto directory = FileWrapper::readFromURL(contentURL, limits, error);
    if (!directory)
        return false;
    MutableAttributedString read;
    DocumentAttributes attributes;
    if (!Rtfd::read(*directory, read, &attributes, error)) {
        if (error && error->fileURL().isEmpty())
            error->setUserInfoValue(kURLErrorKey, contentURL);
        return false;
    }
    read.removeAttribute(kUnderlineColorAttributeName, {0, read.length()});
    if (backgroundColor) {
        const QVariant background = attributes.value(NSBackgroundColorDocumentAttribute);
        *backgroundColor = background.metaType() == QMetaType::fromType<Color>() ? background.value<Color>()
                                                                                 : Color::rgb(0, 0, 0);
    }
    text = std::move(read);
    return true;
}
