#include "document/OVTextTransactionLogger.h"

#include "document/OVDocumentController.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Workspace.h"
#include "platform/text/AttributeNames.h"
#include "platform/textlayout/LayoutManager.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace {

OVTextTransactionLogger::Environment defaultEnvironment()
{
    OVTextTransactionLogger::Environment environment;
    environment.bundleIdentifier = QCoreApplication::applicationName();
    environment.version = QCoreApplication::applicationVersion();
    environment.desktopFolder = [] {
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    };
    environment.now = [] { return QDateTime::currentDateTime(); };
    environment.documentCount = [] { return qsizetype(OVDocumentController::shared().documents().size()); };
    environment.beep = [] { QApplication::beep(); };
    environment.reveal = [](const QString& path) {
        Workspace::shared().activateFileViewerSelectingURLs({QUrl::fromLocalFile(path)});
    };
    return environment;
}

void log(const QString& message)
{
    qWarning("%s", qUtf8Printable(message));
}

} // namespace

OVTextTransactionLogger::Environment& OVTextTransactionLogger::environment()
{
    static Environment environment = defaultEnvironment();
    return environment;
}

OVTextTransactionLogger::OVTextTransactionLogger() = default;

OVTextTransactionLogger::~OVTextTransactionLogger() = default;

std::vector<quint64> OVTextTransactionLogger::_attachmentLocationsInTextStorage(const QString& text)
{
    std::vector<quint64> locations;
    for (qsizetype found = text.indexOf(kAttachmentCharacter); found >= 0;
         found = text.indexOf(kAttachmentCharacter, found + 1))
        locations.push_back(quint64(found));
    return locations;
}

OVTextTransactionLog* OVTextTransactionLogger::beginRecord()
{
    if (m_didSufferCriticalProblem)
        return nullptr;
    auto record = std::make_unique<OVTextTransactionLog>();
    record->editNumber = quint64(m_logs.size() + 1);
    record->timestamp = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    m_currentLog = record.get();
    m_logs.push_back(std::move(record));
    return m_currentLog;
}

void OVTextTransactionLogger::beginLog(OVTextView& view, const Range& editedRange, qsizetype changeInLength,
                                       unsigned editActions)
{
    OVTextTransactionLog* record = beginRecord();
    if (!record)
        return;
    const QString text = view.textStorage().string();
    record->initialTextStorageLength = quint64(text.size());
    record->editedRange = editedRange;
    record->changeInLength = changeInLength;
    record->editActions = editActions;
    record->selectedRanges = view.selectedRanges();
    record->attachmentLocations = _attachmentLocationsInTextStorage(text);
    if (UndoManager* undo = view.undoManager()) {
        record->undo = undo->isUndoing();
        record->redo = undo->isRedoing();
        // The group being undone or redone has left its stack by now: its name is the running one.
        record->undoActionName = record->undo ? undo->runningActionName() : undo->undoActionName();
        record->redoActionName = record->redo ? undo->runningActionName() : undo->redoActionName();
    }
}

void OVTextTransactionLogger::closeLog()
{
    m_currentLog = nullptr;
}

OVTextTransactionLog& OVTextTransactionLogger::openRecord()
{
    if (!m_currentLog)
        beginRecord();
    return *m_currentLog;
}

void OVTextTransactionLogger::logBeginSanitizeTextStorageLength(qsizetype length)
{
    if (m_currentLog)
        m_currentLog->textStorageLengthBeginSanitize = quint64(length);
}

void OVTextTransactionLogger::logEndSanitizeTextStorageLength(qsizetype length)
{
    if (!m_currentLog)
        return;
    m_currentLog->textStorageLengthEndSanitize = quint64(length);
    if (m_currentLog->textStorageLengthBeginSanitize != m_currentLog->textStorageLengthEndSanitize)
        logCriticalProblem(QStringLiteral("String lengths differ after sanitize."));
}

void OVTextTransactionLogger::logActionInsert()
{
    if (m_currentLog)
        m_currentLog->didInsertContent = true;
}

void OVTextTransactionLogger::logActionDelete()
{
    if (m_currentLog)
        m_currentLog->didDeleteContent = true;
}

void OVTextTransactionLogger::logOpeningSecondaryTextStorageLength(qsizetype length)
{
    if (m_currentLog)
        m_currentLog->secondaryTextStorageLengthOnBegin = quint64(length);
}

void OVTextTransactionLogger::logClosingSecondaryTextStorageLength(qsizetype length)
{
    if (m_currentLog)
        m_currentLog->secondaryTextStorageLengthOnClose = quint64(length);
}

void OVTextTransactionLogger::logDocumentCount()
{
    if (m_currentLog && environment().documentCount)
        m_currentLog->documentCount = quint64(environment().documentCount());
}

void OVTextTransactionLogger::logBackgroundLayoutForDocumentTextView(const TextView& view)
{
    if (m_currentLog && view.layoutManager())
        m_currentLog->documentTextViewBackgroundLayoutEnabled =
            view.layoutManager()->backgroundLayoutEnabled();
}

void OVTextTransactionLogger::logBackgroundLayoutForTalentTextView(const TextView& view)
{
    if (m_currentLog && view.layoutManager())
        m_currentLog->talentTextViewBackgroundLayoutEnabled = view.layoutManager()->backgroundLayoutEnabled();
}

void OVTextTransactionLogger::logBreadcrumb(const QString& step)
{
    if (m_currentLog)
        m_currentLog->addBreadcrumb(step);
}

void OVTextTransactionLogger::logException(const std::exception& exception)
{
    if (m_didSufferCriticalProblem)
        return;
    openRecord().exception = OVTextTransactionLog::Exception::fromException(exception);
    logCriticalProblem(QStringLiteral("Exception thrown."));
}

void OVTextTransactionLogger::logCriticalProblem(const QString& problem)
{
    if (m_didSufferCriticalProblem)
        return;
    // A problem reported between edits still gets a record of its own rather than being dropped.
    openRecord().problemDetected = problem.isEmpty() ? QStringLiteral("Unknown error.") : problem;
    closeLog();
    writeLogToDesktop();
    m_didSufferCriticalProblem = true;
}

QString OVTextTransactionLogger::debugFolderPath()
{
    const QString desktop = environment().desktopFolder ? environment().desktopFolder() : QString();
    if (desktop.isEmpty())
        return {};
    return QDir(desktop).filePath(kDebugFolderName);
}

QString OVTextTransactionLogger::reportFileName(const QDateTime& when)
{
    return QStringLiteral("Edit Bug %1.txt")
        .arg(QLocale::c().toString(when, QStringLiteral("yyyy-MM-dd HH-mm-ss-zzz")));
}

QString OVTextTransactionLogger::reportText() const
{
    const Environment& env = environment();
    QString problem = QStringLiteral("None");
    for (auto it = m_logs.rbegin(); it != m_logs.rend(); ++it) {
        if (!(*it)->problemDetected.isEmpty()) {
            problem = (*it)->problemDetected;
            break;
        }
    }
    const QDateTime now = env.now ? env.now() : QDateTime::currentDateTime();
    QString text;
    text.reserve(qsizetype(m_logs.size()) * 800 + 200);
    text += QStringLiteral(" Bundle: ") + env.bundleIdentifier + u'\n';
    text += QStringLiteral("Version: ") + env.version + u'\n';
    text += QStringLiteral("   Date: ") +
            QLocale::c().toString(now.toUTC(), QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
            QStringLiteral(" +0000") + u'\n';
    text += QStringLiteral("Problem: ") + problem + u'\n';
    text += QStringLiteral("----------\n");
    for (const auto& record : m_logs)
        record->appendLogText(text);
    return text;
}

void OVTextTransactionLogger::writeLogToDesktop()
{
    if (m_didSufferCriticalProblem || m_didWriteLog)
        return;
    const QString folder = debugFolderPath();
    if (folder.isEmpty())
        return;
    if (!QDir().mkpath(folder)) {
        log(QStringLiteral("error creating directory: %1").arg(folder));
        return;
    }
    const Environment& env = environment();
    // The instruction names where to send the reports; a build without a support address has none
    // to give.
    const QString instruction = env.supportEmailAddress.isEmpty()
                                    ? QString()
                                    : QDir(folder).filePath(kInstructionFilePrefix + env.supportEmailAddress);
    if (!instruction.isEmpty() && !QFile::exists(instruction)) {
        QSaveFile file(instruction);
        if (!file.open(QIODevice::WriteOnly) || !file.commit())
            log(QStringLiteral("instructionError: %1").arg(file.errorString()));
    }
    const QString path =
        QDir(folder).filePath(reportFileName(env.now ? env.now() : QDateTime::currentDateTime()));
    QSaveFile report(path);
    if (!report.open(QIODevice::WriteOnly) || report.write(reportText().toUtf8()) < 0 || !report.commit()) {
        log(QStringLiteral("dataWritingError: %1").arg(report.errorString()));
        return;
    }
    m_didWriteLog = true;
    m_reportPath = path;
    if (env.beep)
        env.beep();
    if (env.reveal)
        env.reveal(path);
}
