// The colour panel in the program as launched: Show Colors brings it up with the accessory for the
// script, a colour picked in it colours the selection, and the Format menu's background option sends
// the next colour to the page, one undo step each.
#include "document/OVColorPanelAccessoryViewController.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/text/AttributeNames.h"
#include "platform/textview/TextView.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QCoreApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedColorPanel : public launchtest::LaunchedScriptTest {
protected:
    QWidget* host() const { return controller().window()->hostWidget(); }
    TextView& text() const { return *controller().textView(); }
    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(host(), which, modifiers);
        QCoreApplication::processEvents();
    }
    static OVColorPanelAccessoryViewController& accessory()
    {
        return OVColorPanelAccessoryViewController::sharedColorPanelAccessoryViewController();
    }
    QColor foregroundAt(qsizetype index) const
    {
        const AttributeValue value = text().textStorage().attribute(kForegroundColorAttributeName, index);
        if (!value.color())
            return {};
        return QColor::fromRgbF(float(value.color()->red), float(value.color()->green),
                                float(value.color()->blue));
    }
};

TEST_F(LaunchedColorPanel, PickedColoursGoToTheSelectionAndThenToThePage)
{
    MenuItem* show = Menu::mainMenu()->itemWithAction(QStringLiteral("orderFrontColorPanel:"));
    ASSERT_NE(show, nullptr);
    ASSERT_NE(Menu::mainMenu()->itemWithAction(QStringLiteral("selectTextColorOption:")), nullptr);
    MenuItem* background = Menu::mainMenu()->itemWithAction(QStringLiteral("selectBackgroundColorOption:"));
    ASSERT_NE(background, nullptr);

    // A word selected with the keys, then Show Colors by its key equivalent.
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_GT(text().selectedRange().length, 0);
    const qsizetype first = text().selectedRange().location;
    key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    ColorPanel& panel = ColorPanel::shared();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.accessoryView(), accessory().view());
    EXPECT_TRUE(accessory().isEnabled());
    for (unsigned option : {1u, 2u, 4u})
        EXPECT_TRUE(accessory().optionButton(option)->isEnabled()) << option;
    EXPECT_EQ(accessory().selectedOption(), 1u);

    // The user picks red: the selected word turns red, as one undo step.
    panel.colorPicker()->setCurrentColor(QColor(255, 0, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(foregroundAt(first).rgb(), QColor(255, 0, 0).rgb());

    // Format > Background Color: the next colour is the page's.
    Application::shared().sendAction(background->action(), nullptr, QVariant::fromValue(background));
    QCoreApplication::processEvents();
    EXPECT_EQ(accessory().selectedOption(), 4u);
    panel.colorPicker()->setCurrentColor(QColor(0, 0, 128));
    QCoreApplication::processEvents();
    EXPECT_EQ(text().backgroundColor().rgb(), QColor(0, 0, 128).rgb());
    EXPECT_EQ(foregroundAt(first).rgb(), QColor(255, 0, 0).rgb());

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(text().backgroundColor().rgb(), QColor(0, 0, 128).rgb());
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(foregroundAt(first).rgb(), QColor(255, 0, 0).rgb());
    panel.close();
}

} // namespace
