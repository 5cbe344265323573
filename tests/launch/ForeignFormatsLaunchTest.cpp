// Scripts written elsewhere, in the program as launched: the real start on files named on the
// command line, with an empty settings folder.
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/text/AttributeNames.h"
#include "platform/textformats/LibreOffice.h"
#include "platform/textformats/Odt.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "LaunchTestSupport.h"

namespace {

QString writeFile(const QTemporaryDir& folder, const QString& name, const QByteArray& bytes)
{
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

TEST(LaunchedForeignFormats, HtmlTextAndRtfNamedAtStartOpenAsUntitledScriptsShowingTheirText)
{
    ASSERT_TRUE(
        QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"))).entryList(QDir::NoDotAndDotDot).isEmpty());
    ManualClock clock;
    Clock::setShared(&clock);
    QTemporaryDir folder;
    const QString html = writeFile(folder, QStringLiteral("Evening News.html"),
                                   "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>News</title>"
                                   "<style>p.cue { font-weight: bold; text-align: center }</style></head>"
                                   "<body><p class=\"cue\">ANCHOR</p><p>Good evening &amp; welcome to "
                                   "the caf&eacute;.</p><img src=\"/etc/hostname\"></body></html>");
    const QString text = writeFile(folder, QStringLiteral("notes.txt"), "first line\r\nsecond line\r\n");
    const QString rtf =
        writeFile(folder, QStringLiteral("letter.rtf"), "{\\rtf1\\ansi Dear \\b reader\\b0\\par\n}");

    std::unique_ptr<OVDocumentSession> session = OVProgramStart::launch({html, text, rtf});
    QCoreApplication::processEvents();
    const std::vector<Document*> documents = session->documentController().documents();
    ASSERT_EQ(documents.size(), 3u);
    QStringList shown;
    for (Document* document : documents) {
        auto* window = dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController());
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->window()->isVisible());
        shown << dynamic_cast<OVTextView*>(window->textView())->textStorage().string();
        // Imported: titled by the file's name, and saved only where the user says.
        EXPECT_TRUE(document->displayName() == QStringLiteral("Evening News") ||
                    document->displayName() == QStringLiteral("notes") ||
                    document->displayName() == QStringLiteral("letter"))
            << document->displayName().toStdString();
    }
    // HTML's final newline goes again; the plain text and the RTF keep theirs.
    EXPECT_TRUE(shown.contains(QStringLiteral(u"ANCHOR\nGood evening & welcome to the caf\u00E9.")))
        << shown.join(u'|').toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("first line\nsecond line\n")))
        << shown.join(u'|').toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Dear reader\n"))) << shown.join(u'|').toStdString();
    EXPECT_FALSE(shown.join(QString()).contains(QChar(kAttachmentCharacter)));

    // Export… from the HTML script's window, to plain text: the panel first offers RTF, as the
    // registered defaults say, and the file holds the script's text in UTF-8.
    Document* page = nullptr;
    for (Document* document : documents)
        if (document->displayName() == QStringLiteral("Evening News"))
            page = document;
    ASSERT_NE(page, nullptr);
    QString offered;
    {
        SavePanelAnswererScope answer([&](SavePanel& panel) {
            offered = panel.selectedFileType();
            EXPECT_TRUE(
                panel.chooseURL(QUrl::fromLocalFile(folder.filePath(QStringLiteral("exported.txt")))));
            return SavePanel::kModalResponseOK;
        });
        page->primaryWindowController()->window()->makeKeyAndOrderFront();
        QCoreApplication::processEvents();
        EXPECT_TRUE(Application::shared().sendAction(QStringLiteral("saveDocumentTo:"), page, {}));
    }
    EXPECT_EQ(offered, QStringLiteral("public.rtf"));
    QFile exported(folder.filePath(QStringLiteral("exported.txt")));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(exported.readAll()),
              QStringLiteral(u"ANCHOR\nGood evening & welcome to the caf\u00E9."));

    AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
    session.reset();
    Clock::setShared(nullptr);
}

TEST(LaunchedForeignFormats, AWordFileFromLibreOfficeShowsPromptsAndExportsToOpenDocumentThatLibreOfficeReads)
{
    ASSERT_TRUE(
        QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"))).entryList(QDir::NoDotAndDotDot).isEmpty());
    ManualClock clock;
    Clock::setShared(&clock);
    QTemporaryDir folder;
    const QString docx = folder.filePath(QStringLiteral("Bulletin.docx"));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(ORVANE_SOURCE_DIR "/tests/fixtures/office/libreoffice.docx"), docx));
    const QString expected = QStringLiteral("EVENING BULLETIN\nGood evening. Tonight we begin with the "
                                            "weather, then the markets.\nBack after the break.");

    std::unique_ptr<OVDocumentSession> session = OVProgramStart::launch({docx});
    QCoreApplication::processEvents();
    ASSERT_EQ(session->documentController().documents().size(), 1u);
    Document* document = session->documentController().documents().front();
    auto* window = dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->window()->isVisible());
    EXPECT_EQ(document->displayName(), QStringLiteral("Bulletin"));
    // The Word file's final newline goes, as for every imported word-processor file.
    EXPECT_EQ(dynamic_cast<OVTextView*>(window->textView())->textStorage().string(), expected);

    // It prompts: Ctrl+Return enters Prompt mode, Space starts the scroll.
    QWidget* host = window->window()->hostWidget();
    window->window()->makeKeyAndOrderFront();
    QCoreApplication::processEvents();
    QTest::keyClick(host, Qt::Key_Return, Qt::ControlModifier);
    QCoreApplication::processEvents();
    OVCore& core = OVApplication::shared().core();
    ASSERT_TRUE(core.isModePrompt());
    QTest::keyClick(host, Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_TRUE(core.isStatusStarted());
    QTest::keyClick(host, Qt::Key_Space);
    QTest::keyClick(host, Qt::Key_Escape);
    QCoreApplication::processEvents();
    ASSERT_FALSE(core.isModePrompt());

    // Export…, the OpenDocument type chosen: the report says it holds everything this script has.
    const QString exported = folder.filePath(QStringLiteral("Bulletin.odt"));
    QString report;
    {
        SavePanelAnswererScope answer([&](SavePanel& panel) {
            EXPECT_TRUE(panel.setSelectedFileType(QStringLiteral("org.oasis-open.opendocument.text")));
            if (auto* info = panel.accessoryView()->findChild<QLabel*>(QStringLiteral("infoTextField")))
                report = info->text();
            EXPECT_TRUE(panel.chooseURL(QUrl::fromLocalFile(exported)));
            return SavePanel::kModalResponseOK;
        });
        EXPECT_TRUE(Application::shared().sendAction(QStringLiteral("saveDocumentTo:"), document, {}));
    }
    EXPECT_EQ(report, QStringLiteral("No compatibility issues."));
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray odt = file.readAll();
    EXPECT_EQ(odt.mid(30, 8), QByteArray("mimetype"));

    // LibreOffice reads the same text back.
    if (LibreOffice::isAvailable()) {
        Error error;
        const auto text =
            LibreOffice::convert(odt, QStringLiteral("odt"), QStringLiteral("txt:Text (encoded):UTF8"),
                                 QStringLiteral("txt"), {}, &error);
        ASSERT_TRUE(text) << qPrintable(error.localizedFailureReason());
        QString read = QString::fromUtf8(*text);
        read.remove(QChar(0xFEFF));
        EXPECT_EQ(read.trimmed(), expected);
    }

    AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
    session.reset();
    Clock::setShared(nullptr);
}

} // namespace
