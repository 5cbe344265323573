#pragma once

#include "document/OVTextTransactionLog.h"
#include "text/OVTextView.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The edit diagnostics of one script's text view, kept while the user asks for tracked issues to be
// logged: a record per edit, and on the first critical problem a report of every record written into
// a folder on the desktop and shown in the file manager. After that problem it records nothing more,
// so a script produces at most one report.
class OVTextTransactionLogger : public OVTextTransactionLogging {
public:
    // What the report needs from the program around it; tests replace the effects.
    struct Environment {
        QString bundleIdentifier;
        QString version;
        // Completes the name of the instruction file beside the reports.
        QString supportEmailAddress;
        // The user's desktop folder; empty when there is none.
        std::function<QString()> desktopFolder;
        std::function<QDateTime()> now;
        std::function<qsizetype()> documentCount;
        std::function<void()> beep;
        std::function<void(const QString& reportPath)> reveal;
    };
    static Environment& environment();

    static inline const QString kDebugFolderName = QStringLiteral("DU Zazad");
    static inline const QString kInstructionFilePrefix = QStringLiteral("Email these files to ");

    OVTextTransactionLogger();
    ~OVTextTransactionLogger() override;

    const std::vector<std::unique_ptr<OVTextTransactionLog>>& logs() const { return m_logs; }
    OVTextTransactionLog* currentLog() const { return m_currentLog; }
    bool didWriteLog() const { return m_didWriteLog; }
    bool didSufferCriticalProblem() const { return m_didSufferCriticalProblem; }
    // Where the report went, once written.
    const QString& reportPath() const { return m_reportPath; }

    void beginLog(OVTextView& view, const Range& editedRange, qsizetype changeInLength,
                  unsigned editActions) override;
    // A new numbered record made current, or none once logging has stopped.
    OVTextTransactionLog* beginRecord();
    void closeLog() override;
    void logBeginSanitizeTextStorageLength(qsizetype length) override;
    void logEndSanitizeTextStorageLength(qsizetype length) override;
    void logActionInsert() override;
    void logActionDelete() override;
    void logOpeningSecondaryTextStorageLength(qsizetype length) override;
    void logClosingSecondaryTextStorageLength(qsizetype length) override;
    void logDocumentCount() override;
    void logBackgroundLayoutForDocumentTextView(const TextView& view) override;
    void logBackgroundLayoutForTalentTextView(const TextView& view) override;
    void logBreadcrumb(const QString& step) override;
    void logException(const std::exception& exception) override;
    void logCriticalProblem(const QString& problem) override;

    // The report: a header naming the newest problem, then every record, oldest first.
    QString reportText() const;
    void writeLogToDesktop();

    static std::vector<quint64> _attachmentLocationsInTextStorage(const QString& text);
    static QString debugFolderPath();
    // "Edit Bug yyyy-MM-dd HH-mm-ss-zzz.txt" for the given moment.
    static QString reportFileName(const QDateTime& when);

private:
    // The open record, made for a problem that arrives outside an edit so the problem is not lost.
    OVTextTransactionLog& openRecord();

    std::vector<std::unique_ptr<OVTextTransactionLog>> m_logs;
    OVTextTransactionLog* m_currentLog = nullptr;
    bool m_didWriteLog = false;
    bool m_didSufferCriticalProblem = false;
    QString m_reportPath;
};
