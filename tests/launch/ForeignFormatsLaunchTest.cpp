// Scripts written elsewhere, in the program as launched: the real start on files named on the
// command line, with an empty settings folder.
#include "app/OVDocumentSession.h"
#include "app/OVDocumentWindowController.h"
#include "app/OVProgramStart.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/text/AttributeNames.h"
#include "text/OVTextView.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

} // namespace
