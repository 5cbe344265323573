// The script's properties and the edit diagnostics in the program as launched: the sheet opened
// from the File menu and filled with real key events, undone and redone; and with tracked issues
// logged, a talent copy out of step writes its report into the desktop folder.
#include "document/OVDocument.h"
#include "document/OVDocumentPropertiesWindowController.h"
#include "document/OVTextTransactionLogger.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "window/OVDocumentWindowController.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "LaunchedScriptTest.h"

namespace {

class DocumentPropertiesLaunch : public launchtest::LaunchedScriptTest {
protected:
    QWidget* host() const { return controller().window()->hostWidget(); }
    OVDocument& script() const { return dynamic_cast<OVDocument&>(document()); }
    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(host(), which, modifiers);
        QCoreApplication::processEvents();
    }
    void openPropertiesFromTheFileMenu()
    {
        Menu& file = *Menu::mainMenu()->itemWithAction(QStringLiteral("orderFrontPropertiesWindow:"))->menu();
        QMenu* shown = file.qMenu();
        shown->popup(host()->mapToGlobal(QPoint(20, 20)));
        QCoreApplication::processEvents();
        QAction* properties = nullptr;
        for (QAction* action : shown->actions())
            if (action->text().startsWith(QStringLiteral("Properties")))
                properties = action;
        ASSERT_NE(properties, nullptr);
        const QPoint at = shown->actionGeometry(properties).center();
        QTest::mouseMove(shown, at);
        QTest::mouseClick(shown, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    }
};

TEST_F(DocumentPropertiesLaunch, KeywordsTypedIntoTheSheetAreSetAndUndoneAndRedone)
{
    ASSERT_FALSE(script().documentProperties().value(QStringLiteral("keywords")).isValid());
    openPropertiesFromTheFileMenu();
    OVDocumentPropertiesWindowController* sheet = controller().documentPropertiesWindowController();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(sheet->window()->isVisible());
    EXPECT_EQ(sheet->window()->windowModality(), Qt::WindowModal);

    QTableView* table = sheet->tableView();
    const QModelIndex keywords =
        sheet->model()->index(sheet->_rowNumberForKey(QStringLiteral("keywords")), 1);
    const QPoint cell = table->visualRect(keywords).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
    QCoreApplication::processEvents();
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(table->isAncestorOf(editor));
    QTest::keyClicks(editor, QStringLiteral(" news ,, weather,sport "));
    // OK straight from the open editor: what was typed last still counts.
    auto* buttons = sheet->window()->findChild<QDialogButtonBox*>();
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(sheet->window()->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(controller().documentPropertiesWindowController(), nullptr);
    EXPECT_EQ(script().documentProperties().value(QStringLiteral("keywords")).toStringList(),
              (QStringList{"news", "weather", "sport"}));
    EXPECT_TRUE(script().isDocumentEdited());

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(script().documentProperties().value(QStringLiteral("keywords")).isValid());
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(script().documentProperties().value(QStringLiteral("keywords")).toStringList(),
              (QStringList{"news", "weather", "sport"}));
}

TEST_F(DocumentPropertiesLaunch, ATalentCopyOutOfStepWritesOneReportIntoTheDesktopFolder)
{
    // The user's desktop, as the desktop's own folder settings name it.
    QTemporaryDir home;
    const QString desktop = home.filePath(QStringLiteral("Schreibtisch"));
    const QString userDirs =
        QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"))).filePath("user-dirs.dirs");
    {
        QFile dirs(userDirs);
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DESKTOP_DIR=\"" + desktop.toUtf8() + "\"\n");
    }
    struct Removal {
        QString path;
        ~Removal() { QFile::remove(path); }
    } removal{userDirs};
    QList<QUrl> shown;
    Workspace::shared().setFileManagerCall([&shown](const QList<QUrl>& urls) {
        shown << urls;
        return true;
    });
    UserDefaults::shared().setBool(true, QStringLiteral("logTrackedIssues"));

    host()->setFocus();
    key(Qt::Key_A);
    ASSERT_TRUE(OVTalentWindowController::sharedTalentWindowControllerExists());
    TextStorage& talent = OVTalentWindowController::sharedTalentWindowController().talentTextStorage();
    ASSERT_EQ(talent.length(), controller().textView()->textStorage().length());
    EXPECT_FALSE(QDir(desktop).exists());

    // As a build given a support address writes it.
    OVTextTransactionLogger::environment().supportEmailAddress = QStringLiteral("support@orvane.example");
    // Out of step behind the replay's back: the next edit finds the lengths differ.
    talent.replaceCharacters({0, 0}, QStringLiteral("!"));
    key(Qt::Key_B);
    key(Qt::Key_C);

    const QDir folder(QDir(desktop).filePath(QStringLiteral("DU Zazad")));
    const QStringList reports = folder.entryList({QStringLiteral("Edit Bug *.txt")}, QDir::Files);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(folder.exists(QStringLiteral("Email these files to support@orvane.example")));
    QFile report(folder.filePath(reports.front()));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral(" Bundle: org.orvane.Orvane\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Problem: TextStorage lengths are not equal\n----------\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("              Edit: 2\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("        Did Insert: 1\n")));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.front(), QUrl::fromLocalFile(folder.filePath(reports.front())));

    UserDefaults::shared().removeObjectForKey(QStringLiteral("logTrackedIssues"));
    Workspace::shared().setFileManagerCall(nullptr);
}

} // namespace
