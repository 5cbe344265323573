// The edit diagnostics: the record text as the report prints it, the report and the instruction file
// on the desktop, and that a script writes one report at most.
#include "document/OVTextTransactionLogger.h"

#include "platform/appkit/UndoManager.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextStorage.h"
#include "text/OVTextView.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class TextTransactionLogger : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = OVTextTransactionLogger::environment();
        OVTextTransactionLogger::Environment& env = OVTextTransactionLogger::environment();
        env.bundleIdentifier = QStringLiteral("org.orvane.Orvane");
        env.version = QStringLiteral("3.0");
        env.supportEmailAddress = QStringLiteral("support@orvane.example");
        env.desktopFolder = [this] { return desktop.path(); };
        env.now = [] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC); };
        env.documentCount = [] { return qsizetype(2); };
        env.beep = [this] { ++beeps; };
        env.reveal = [this](const QString& path) { revealed << path; };
    }
    void TearDown() override { OVTextTransactionLogger::environment() = saved; }

    QStringList lines(const QString& text) const { return text.split(u'\n'); }

    OVTextTransactionLogger::Environment saved;
    QTemporaryDir desktop;
    int beeps = 0;
    QStringList revealed;
};

QString folderOf(const QTemporaryDir& desktop)
{
    return QDir(desktop.path()).filePath(QStringLiteral("DU Zazad"));
}

} // namespace

TEST_F(TextTransactionLogger, ARecordPrintsEveryLabelWithItsColonInColumnNineteen)
{
    OVTextView view;
    view.textStorage().replaceCharacters({0, 0}, QStringLiteral("\uFFFCabcd\uFFFCef"));
    view.setSelectedRange({2, 1});
    OVTextTransactionLogger logger;
    logger.beginLog(view, {3, 1}, 1, 3);
    logger.logBeginSanitizeTextStorageLength(8);
    logger.logEndSanitizeTextStorageLength(8);
    logger.logBreadcrumb(QStringLiteral("step1"));
    logger.logBreadcrumb(QString());
    logger.logBreadcrumb(QStringLiteral("step2"));
    logger.logDocumentCount();
    logger.closeLog();
    ASSERT_EQ(logger.logs().size(), 1u);
    const QStringList text = lines(logger.logs().front()->logText());
    EXPECT_EQ(text[0], "              Edit: 1");
    EXPECT_EQ(text[1], "    Initial Length: 8");
    EXPECT_EQ(text[2], "      Edited Range: {3, 1}");
    EXPECT_EQ(text[3], "  Change In Length: 1");
    EXPECT_EQ(text[4], "Is Attributes Edit: 1");
    EXPECT_EQ(text[5], "Is Characters Edit: 1") << "a flag prints as 0 or 1, never as its bit's value";
    EXPECT_EQ(text[6], "   Selected Ranges: {2, 1}");
    EXPECT_EQ(text[7], "Attachment Indices: 0, 5");
    EXPECT_EQ(text[8], "           Is Undo: 0");
    EXPECT_EQ(text[16], "    Documents Open: 2");
    EXPECT_EQ(text[19], "       Breadcrumbs:  → step1 → step2");
    EXPECT_EQ(text[20], "--");
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(text[i].indexOf(u':'), 18) << text[i].toStdString();
    EXPECT_EQ(logger.currentLog(), nullptr);

    OVTextView plain;
    plain.textStorage().replaceCharacters({0, 0}, QStringLiteral("abc"));
    logger.beginLog(plain, {0, 1}, 0, 1);
    EXPECT_EQ(lines(logger.currentLog()->logText())[7], "Attachment Indices: ");
    EXPECT_EQ(logger.currentLog()->editNumber, 2u);
}

TEST_F(TextTransactionLogger, UndoAndRedoNameTheirActionWhenItHasOne)
{
    // The undo manager outlives the view, which removes its actions from it when it goes.
    UndoManager undo;
    OVTextView view;
    view.setUndoManager(&undo);
    OVTextTransactionLogger logger;
    const auto edit = [&view](const QString& text) { view.textStorage().replaceCharacters({0, 0}, text); };
    const std::function<void()> typed = [&] {
        logger.beginLog(view, {0, 0}, 0, 2);
        undo.registerUndo(&view, [&] { typed(); });
    };
    undo.beginUndoGrouping();
    undo.registerUndo(&view, typed);
    undo.setActionName(QStringLiteral("Typing"));
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    undo.registerUndo(&view, typed);
    undo.endUndoGrouping();
    edit(QStringLiteral("x"));

    undo.undo();
    EXPECT_EQ(lines(logger.logs().back()->logText())[8], "           Is Undo: 1");
    undo.undo();
    EXPECT_EQ(lines(logger.logs().back()->logText())[8], "           Is Undo: 1    (Typing)");
    undo.redo();
    const QStringList redone = lines(logger.logs().back()->logText());
    EXPECT_EQ(redone[8], "           Is Undo: 0");
    EXPECT_EQ(redone[9], "           Is Redo: 1    (Typing)");
    undo.redo();
    EXPECT_EQ(lines(logger.logs().back()->logText())[9], "           Is Redo: 1");
}

TEST_F(TextTransactionLogger, TheFirstCriticalProblemWritesOneReportOfAllRecordsAndStopsLogging)
{
    OVTextView view;
    view.textStorage().replaceCharacters({0, 0}, QStringLiteral("abc"));
    OVTextTransactionLogger logger;
    logger.beginLog(view, {0, 1}, 0, 2);
    logger.closeLog();
    logger.beginLog(view, {1, 1}, 0, 2);
    logger.logBeginSanitizeTextStorageLength(3);
    logger.logEndSanitizeTextStorageLength(4);
    EXPECT_TRUE(logger.didWriteLog());
    EXPECT_TRUE(logger.didSufferCriticalProblem());
    EXPECT_EQ(beeps, 1);
    ASSERT_EQ(revealed.size(), 1);

    const QString folder = folderOf(desktop);
    EXPECT_EQ(revealed.front(), QDir(folder).filePath("Edit Bug 2026-03-04 05-06-07-089.txt"));
    EXPECT_TRUE(QFile::exists(QDir(folder).filePath("Email these files to support@orvane.example")));
    QFile report(revealed.front());
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(
        text.startsWith(" Bundle: org.orvane.Orvane\nVersion: 3.0\n   Date: 2026-03-04 05:06:07 +0000\n"
                        "Problem: String lengths differ after sanitize.\n----------\n"
                        "              Edit: 1\n"))
        << text.toStdString();
    EXPECT_EQ(text.count("--\n") - 1, 2) << "two records, oldest first";
    EXPECT_TRUE(text.contains("  Problem Detected: String lengths differ after sanitize.\n--\n"));
    EXPECT_TRUE(text.endsWith("--\n"));

    // Nothing more is recorded, and no second report is written.
    logger.beginLog(view, {0, 1}, 0, 2);
    logger.logCriticalProblem(QStringLiteral("Again"));
    EXPECT_EQ(logger.logs().size(), 2u);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(beeps, 1);
}

TEST_F(TextTransactionLogger, AProblemOutsideAnEditGetsARecordAndAnEmptyOneIsAnUnknownError)
{
    OVTextTransactionLogger logger;
    logger.logCriticalProblem(QString());
    ASSERT_EQ(logger.logs().size(), 1u);
    EXPECT_EQ(logger.logs().front()->problemDetected, "Unknown error.");
    EXPECT_TRUE(logger.didWriteLog());

    OVTextTransactionLogger thrown;
    thrown.logException(std::out_of_range("edited range outside the talent storage"));
    const QString text = thrown.logs().front()->logText();
    EXPECT_TRUE(text.contains("    Exception Name: std::out_of_range\n"));
    EXPECT_TRUE(text.contains("  Exception Reason: edited range outside the talent storage\n"));
    EXPECT_TRUE(text.contains(" Exception Symbols:\n"));
    EXPECT_TRUE(text.contains("  Problem Detected: Exception thrown.\n"));
}

TEST_F(TextTransactionLogger, WithoutADesktopNothingIsWritten)
{
    OVTextTransactionLogger::environment().desktopFolder = [] { return QString(); };
    OVTextTransactionLogger logger;
    logger.logCriticalProblem(QStringLiteral("Lost?"));
    EXPECT_FALSE(logger.didWriteLog());
    EXPECT_TRUE(logger.didSufferCriticalProblem());
    EXPECT_TRUE(revealed.isEmpty());
}
