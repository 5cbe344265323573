#include "platform/textformats/LibreOffice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <csignal>
#include <unistd.h>

namespace {

std::optional<QString>& executableOverride()
{
    static std::optional<QString> path;
    return path;
}

Error failure(const QString& why)
{
    return Error::cocoa(kFileReadUnknownError, {}, why);
}

} // namespace

QString LibreOffice::executable()
{
    if (executableOverride())
        return *executableOverride();
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

void LibreOffice::setExecutableOverride(std::optional<QString> path)
{
    executableOverride() = std::move(path);
}

std::optional<QByteArray> LibreOffice::convert(const QByteArray& input, const QString& fromExtension,
                                               const QString& toFilter, const QString& toExtension,
                                               const Progress& progress, Error* error)
{
    const QString program = executable();
    if (program.isEmpty()) {
        setError(error, failure(QStringLiteral("Word 97 documents need LibreOffice, which is not installed. "
                                               "Install the package %1 to open and export them.")
                                    .arg(QLatin1String(kPackage))));
        return std::nullopt;
    }
    // QTemporaryDir makes the folder readable by its owner only and removes it when it goes away.
    QTemporaryDir folder(QDir::temp().filePath(QStringLiteral("orvane-convert-XXXXXX")));
    if (!folder.isValid()) {
        setError(error, failure(QStringLiteral("No temporary folder could be made for the conversion.")));
        return std::nullopt;
    }
    const QString inputPath = folder.filePath(QStringLiteral("script.") + fromExtension);
    const QString outputFolder = folder.filePath(QStringLiteral("out"));
    QDir().mkpath(outputFolder);
    {
        QFile file(inputPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(input) != input.size()) {
            setError(error, failure(QStringLiteral("The document could not be handed to LibreOffice.")));
            return std::nullopt;
        }
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("-env:UserInstallation=") +
                              QUrl::fromLocalFile(folder.filePath(QStringLiteral("profile"))).toString(),
                          QStringLiteral("--headless"), QStringLiteral("--norestore"),
                          QStringLiteral("--nolockcheck"), QStringLiteral("--nodefault"),
                          QStringLiteral("--convert-to"), toFilter, QStringLiteral("--outdir"), outputFolder,
                          inputPath});
    process.setWorkingDirectory(folder.path());
    // Its own temporary files go into the private folder too, and with it when it is removed.
    const QString temporary = folder.filePath(QStringLiteral("tmp"));
    QDir().mkpath(temporary);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {QStringLiteral("TMPDIR"), QStringLiteral("TMP"), QStringLiteral("TEMP")})
        environment.insert(name, temporary);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    // Its own process group, so a stop reaches the helper processes it starts too.
    process.setChildProcessModifier([] { ::setsid(); });
    process.start();
    if (!process.waitForStarted(10000)) {
        setError(
            error,
            failure(QStringLiteral("LibreOffice could not be started (%1).").arg(process.errorString())));
        return std::nullopt;
    }
    const qint64 pid = process.processId();
    const auto stopAll = [&process, pid] {
        if (pid > 0)
            ::kill(-pid_t(pid), SIGKILL);
        process.kill();
        process.waitForFinished(5000);
    };
    QElapsedTimer elapsed;
    elapsed.start();
    QByteArray output;
    while (!process.waitForFinished(50)) {
        // Nothing the converter says is needed; keep its pipe from filling up.
        if (output.size() < 65536)
            output += process.readAll();
        else
            process.readAll();
        if (progress.wait)
            progress.wait();
        if (progress.cancelled && progress.cancelled()) {
            stopAll();
            setError(error, Error::userCancelled());
            return std::nullopt;
        }
        if (elapsed.elapsed() > progress.timeoutMilliseconds) {
            stopAll();
            setError(error,
                     failure(QStringLiteral("LibreOffice did not finish the conversion within %1 seconds.")
                                 .arg(progress.timeoutMilliseconds / 1000)));
            return std::nullopt;
        }
        if (process.state() == QProcess::NotRunning)
            break;
    }
    // Helpers it left behind go with it.
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        setError(error, failure(QStringLiteral("LibreOffice could not convert the document.")));
        return std::nullopt;
    }
    const QFileInfo result(QDir(outputFolder).filePath(QStringLiteral("script.") + toExtension));
    if (!result.exists() || !result.isFile() || result.isSymLink() || result.size() <= 0 ||
        result.size() > kMaximumOutputBytes) {
        setError(error, failure(QStringLiteral("LibreOffice could not convert the document.")));
        return std::nullopt;
    }
    QFile file(result.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, failure(QStringLiteral("LibreOffice's conversion could not be read.")));
        return std::nullopt;
    }
    return file.readAll();
}
