// Export as PDF in the program as launched: the sample script with an empty settings folder,
// exported through the File menu with real key events, and the file read back by qpdf and poppler.
#include "app/OVProgramStart.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/Window.h"
#include "platform/text/AttributeNames.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/OVTextView.h"

#include <QAction>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QTest>

#include "LaunchedScriptTest.h"

namespace {

QByteArray run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

class PDFExportLaunch : public launchtest::LaunchedScriptTest {};

TEST_F(PDFExportLaunch, ExportAsPDFFromTheFileMenuWritesTheScriptWithItsBookmarksAsTheOutline)
{
    const QString path = folder.filePath(QStringLiteral("Exported.pdf"));
    QString title;
    int panels = 0;
    SavePanelAnswererScope answer([&](SavePanel& panel) {
        ++panels;
        title = panel.title();
        EXPECT_TRUE(panel.chooseURL(QUrl::fromLocalFile(path)));
        return SavePanel::kModalResponseOK;
    });
    controller().window()->makeKeyAndOrderFront();
    QCoreApplication::processEvents();

    // The File menu, opened and walked with the keyboard down to Export as PDF…, then Return.
    MenuItem* item = Menu::mainMenu()->itemWithAction(QStringLiteral("exportAsPDF:"));
    ASSERT_NE(item, nullptr);
    QMenu* file = item->menu()->qMenu();
    file->popup(controller().window()->hostWidget()->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::processEvents();
    for (int step = 0; step < 40 && (!file->activeAction() ||
                                     file->activeAction()->text() != QStringLiteral("Export as PDF…"));
         ++step) {
        QTest::keyClick(file, Qt::Key_Down);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(file->activeAction());
    ASSERT_EQ(file->activeAction()->text(), QStringLiteral("Export as PDF…"));
    QTest::keyClick(file, Qt::Key_Return);
    for (int i = 0; i < 20 && panels == 0; ++i)
        QCoreApplication::processEvents();

    EXPECT_EQ(panels, 1);
    EXPECT_EQ(title, QStringLiteral("Export as PDF"));
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_FALSE(document().isDocumentEdited());

    // One continuous page by default, its text extractable, and an outline entry per named bookmark.
    const QJsonObject json =
        QJsonDocument::fromJson(run(QStringLiteral("qpdf"), {QStringLiteral("--json"), path})).object();
    EXPECT_EQ(json.value(QStringLiteral("pages")).toArray().size(), 1);
    const TextStorage& text = dynamic_cast<OVTextView*>(controller().textView())->textStorage();
    const auto bookmarks = NSAttributedStringOVBookmarkAdditions::bookmarkCharacterRanges(text);
    const QJsonArray outline = json.value(QStringLiteral("outlines")).toArray();
    if (bookmarks) {
        EXPECT_GE(outline.size(), 1);
    }
    for (const QJsonValue& entry : outline)
        EXPECT_EQ(entry.toObject().value(QStringLiteral("destpageposfrom1")).toInt(), 1);
    const QString words = QString::fromUtf8(run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}));
    const QString firstWords =
        text.string().simplified().remove(QChar(kAttachmentCharacter)).section(u' ', 0, 2);
    EXPECT_TRUE(words.simplified().contains(firstWords))
        << firstWords.toStdString() << " in " << words.toStdString();
    EXPECT_TRUE(QString::fromUtf8(run(QStringLiteral("pdfinfo"), {path}))
                    .simplified()
                    .contains(QStringLiteral("Creator: Orvane ")));
    QProcess check;
    check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    check.waitForFinished(60000);
    EXPECT_EQ(check.exitCode(), 0);
}

} // namespace
