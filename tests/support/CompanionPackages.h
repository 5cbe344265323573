#pragma once

// Native packages for the companion tests, written by the application's own package writer, and a
// way to run a companion program with a time and memory limit.
#include "tests/document/PackageTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <sys/resource.h>

namespace companiontest {

struct PackageContents {
    QString text = QStringLiteral("Hello world");
    AttributeDictionary attributes{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}};
    // Bookmark positions in the final text, ascending.
    std::vector<qsizetype> bookmarks;
    std::optional<Color> backgroundColor;
    QVariantMap metadata;
    PlistDictionary extendedMetadata;
    // Image attachments appended at the end, by name.
    QStringList images;
};

inline QByteArray pngBytes()
{
    // Bytes standing for a picture: an attachment file that nothing here decodes.
    return QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
}

inline bool writePackage(const QString& path, const PackageContents& contents)
{
    MutableAttributedString text(contents.text, contents.attributes);
    for (const QString& name : contents.images)
        text.append(packagetest::attachmentString(packagetest::image(pngBytes(), name), contents.attributes));
    for (qsizetype index : contents.bookmarks)
        packagetest::insertBookmark(text, index, QStringLiteral("Mark %1").arg(index));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.backgroundColor = contents.backgroundColor;
    input.metadataInfo = contents.metadata;
    input.extendedMetadataInfo = contents.extendedMetadata;
    return OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), QUrl(), input, nullptr);
}

struct ProcessResult {
    bool finished = false; // false when it had to be killed at the time limit
    bool crashed = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs program under a limit of address space and CPU time, and kills it at the wall-clock limit:
// a hostile input must make it fail, not spin or swell.
inline ProcessResult runLimited(const QString& program, const QStringList& arguments, int timeoutMs = 30000,
                                rlim_t memoryBytes = rlim_t(2) << 30)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([memoryBytes] {
        const rlimit memory{memoryBytes, memoryBytes};
        ::setrlimit(RLIMIT_AS, &memory);
        const rlimit cpu{20, 20};
        ::setrlimit(RLIMIT_CPU, &cpu);
    });
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(timeoutMs))
        return result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

} // namespace companiontest
