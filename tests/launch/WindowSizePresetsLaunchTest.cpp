// Window-size presets in the program as launched: the editor opened from the document window's
// preset submenu, a size typed into it, and the same submenu resizing the window to that size.
#include "app/OVAppDelegate.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/UserDefaults.h"
#include "preferences/OVWindowSizePresetEditor.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedPresets : public launchtest::LaunchedScriptTest {
protected:
    Menu& presetMenu() const
    {
        return *Menu::mainMenu()
                    ->itemWithAction(QStringLiteral("resizeDocumentPrompterContentForMenuItem:"))
                    ->menu();
    }
    // Opens the submenu as the pointer would and clicks the item of that title.
    void choose(const QString& title)
    {
        QMenu* menu = presetMenu().qMenu();
        menu->popup(controller().window()->hostWidget()->mapToGlobal(QPoint(20, 20)));
        QCoreApplication::processEvents();
        QAction* found = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == title && action->isVisible())
                found = action;
        }
        ASSERT_NE(found, nullptr) << title.toStdString();
        const QPoint at = menu->actionGeometry(found).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    }
};

TEST_F(LaunchedPresets, APresetTypedIntoTheEditorResizesTheWindowAndIsKept)
{
    choose(QStringLiteral("Edit Sizes…"));
    OVWindowSizePresetEditor* editor = session->appDelegate().presetEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());

    QTest::mouseClick(editor->widthField(), Qt::LeftButton);
    editor->widthField()->selectAll();
    QTest::keyClicks(editor->widthField(), QStringLiteral("1024"));
    QTest::mouseClick(editor->heightField(), Qt::LeftButton);
    editor->heightField()->selectAll();
    QTest::keyClicks(editor->heightField(), QStringLiteral("600"));
    QTest::keyClick(editor->heightField(), Qt::Key_Return);
    EXPECT_EQ(editor->tableView()->rowCount(), 13);
    editor->close();

    choose(QStringLiteral("1024 × 600"));
    // The resize is animated on the clock.
    RunLoop::main().advanceManualClock(clock, 1.0);
    QCoreApplication::processEvents();
    EXPECT_EQ(controller().window()->contentView()->frame().size, (Size{1024, 600}));

    // Kept for the next start: the settings file holds it.
    ASSERT_TRUE(UserDefaults::shared().synchronize());
    QFile file(UserDefaults::shared().filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<PlistValue> stored = PropertyListSerialization::propertyListWithData(file.readAll());
    ASSERT_TRUE(stored && stored->isDictionary());
    const PlistValue list = stored->dictionary().value(QStringLiteral("windowPresetResolutions"));
    ASSERT_TRUE(list.isArray());
    bool kept = false;
    for (const PlistValue& entry : list.array())
        kept = kept || (entry.isString() && entry.string() == QStringLiteral("1024 × 600"));
    EXPECT_TRUE(kept);
}

} // namespace
