// The colour panel in the program as launched: Show Colors brings it up with the accessory for the
// script, a colour picked in it colours the selection, and the Format menu's background option sends
// the next colour to the page, one undo step each. Esc closes the panel and leaves it whole; it shows
// the colour under the selection as the selection moves and after an undo; a drag across its
// colour field undoes as one step.
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
#include <QLineEdit>
#include <QMouseEvent>
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
    // The picker's square field of hue and saturation.
    static QWidget* colorField()
    {
        for (QWidget* part : ColorPanel::shared().colorPicker()->findChildren<QWidget*>())
            if (QByteArray(part->metaObject()->className()).endsWith("QColorPicker"))
                return part;
        return nullptr;
    }
    static void mouse(QWidget* widget, QEvent::Type type, const QPoint& at, Qt::MouseButtons held)
    {
        QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
        // Each move in a pass of its own, as the pointer delivers them.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    // Selects the word after the caret with the keys, as the user would.
    void selectNextWord()
    {
        key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
        QCoreApplication::processEvents();
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

TEST_F(LaunchedColorPanel, EscClosesThePanelWhichComesBackWhole)
{
    key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    ColorPanel& panel = ColorPanel::shared();
    ASSERT_TRUE(panel.isVisible());
    // The user clicks into the colour's text field and presses Esc there.
    auto* field = panel.colorPicker()->findChild<QLineEdit*>();
    ASSERT_TRUE(field);
    field->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(field, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(panel.isVisible()) << "Esc closes the panel";

    key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.colorPicker()->isVisible()) << "the picker is still in the panel";
    ASSERT_TRUE(colorField());
    EXPECT_TRUE(colorField()->isVisible());
    panel.close();
}

TEST_F(LaunchedColorPanel, ThePanelShowsTheSelectionsColourAndADragAcrossItUndoesAsOneStep)
{
    key(Qt::Key_Home, Qt::ControlModifier);
    selectNextWord();
    const qsizetype first = text().selectedRange().location;
    const QColor original = foregroundAt(first);
    ASSERT_TRUE(original.isValid());
    key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    ColorPanel& panel = ColorPanel::shared();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.color().rgb(), original.rgb()) << "the panel opens on the selection's colour";

    // The first word turns red; the panel follows the selection to the next word and back.
    panel.colorPicker()->setCurrentColor(QColor(255, 0, 0));
    QCoreApplication::processEvents();
    ASSERT_EQ(foregroundAt(first).rgb(), QColor(255, 0, 0).rgb());
    key(Qt::Key_Right);
    selectNextWord();
    selectNextWord();
    QCoreApplication::processEvents();
    const qsizetype second = text().selectedRange().end() - 1;
    ASSERT_EQ(foregroundAt(second).rgb(), original.rgb());
    EXPECT_EQ(panel.color().rgb(), original.rgb()) << "the panel follows the selection";

    // A drag across the colour field: a colour per move, one undo step in all.
    QWidget* field = colorField();
    ASSERT_TRUE(field);
    const QRect area = field->contentsRect();
    QPoint at(area.left() + area.width() / 8, area.top() + area.height() / 8);
    mouse(field, QEvent::MouseButtonPress, at, Qt::LeftButton);
    const QColor pressed = foregroundAt(second);
    EXPECT_NE(pressed.rgb(), original.rgb());
    for (int step = 1; step <= 6; ++step)
        mouse(field, QEvent::MouseMove, at + QPoint(step * area.width() / 10, step * area.height() / 20),
              Qt::LeftButton);
    at += QPoint(6 * area.width() / 10, 6 * area.height() / 20);
    mouse(field, QEvent::MouseButtonRelease, at, Qt::NoButton);
    const QColor dragged = foregroundAt(second);
    EXPECT_NE(dragged.rgb(), pressed.rgb()) << "the drag kept colouring the selection";
    EXPECT_EQ(dragged.rgb(), panel.color().rgb());

    // Undo, typed into the script: the whole drag goes, and the panel shows the colour back.
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(foregroundAt(second).rgb(), original.rgb()) << "one undo takes the whole drag";
    EXPECT_EQ(panel.color().rgb(), original.rgb()) << "the panel shows the undone colour";
    EXPECT_EQ(foregroundAt(first).rgb(), QColor(255, 0, 0).rgb());
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(foregroundAt(first).rgb(), original.rgb());
    panel.close();
}

} // namespace
