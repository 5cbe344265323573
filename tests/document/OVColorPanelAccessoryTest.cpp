// The colour panel's accessory follows the focused view that takes part: its options, its reset, the
// colour changes it receives, and when it is brought up to date.
#include "document/OVColorPanelAccessoryViewController.h"
#include "document/OVColorPanelFirstResponderUpdater.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "text/OVColorPanelAccessoryViewProtocol.h"
#include "text/OVTextView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QLineEdit>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A view that takes part with the options it is given, and remembers what it was asked to do.
class Participant : public View, public OVColorPanelAccessoryViewProtocol {
public:
    explicit Participant(unsigned mask) : View(Rect(0, 0, 100, 100)), m_mask(mask)
    {
        setActionHandler(ColorPanel::kChangeColorAction, [this](const QVariant& sender) {
            if (ColorPanel::isSender(sender))
                changes.push_back({ColorPanel::shared().color(), selectedColorPanelOption()});
        });
    }
    bool acceptsFirstResponder() const override { return true; }
    unsigned supportedColorPanelOptionMask() const override { return m_mask; }
    void resetColorForColorPanelOption(unsigned option) override { resets.push_back(option); }
    void updateColorPanelColorForSelectedOption() override { ++shown; }

    std::vector<unsigned> resets;
    std::vector<std::pair<QColor, unsigned>> changes;
    int shown = 0;

private:
    unsigned m_mask;
};

bool altHeld = false;

class ColorPanelAccessoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVTextView::setPromptStateProvider([this] { return state; });
        OVColorPanelAccessoryViewController::setOptionKeyProvider([] { return altHeld; });
        OVColorPanelAccessoryViewController::installColorPanelAccessoryView();
        window = std::make_unique<Window>(Rect(0, 0, 400, 300));
        window->setContentView(std::make_unique<View>(Rect(0, 0, 400, 300)));
        full = window->contentView()->addSubview(std::make_unique<Participant>(7));
        textAndPage = window->contentView()->addSubview(std::make_unique<Participant>(5));
        window->orderFront();
        window->makeKeyWindow();
        focus(full);
    }
    void TearDown() override
    {
        altHeld = false;
        window.reset();
        QApplication::processEvents();
        OVColorPanelAccessoryViewController::setOptionKeyProvider(nullptr);
        OVTextView::setPromptStateProvider(nullptr);
    }
    void focus(Responder* responder)
    {
        window->makeFirstResponder(responder);
        QApplication::processEvents();
    }
    static OVColorPanelAccessoryViewController& accessory()
    {
        return OVColorPanelAccessoryViewController::sharedColorPanelAccessoryViewController();
    }
    static OVColorPanelFirstResponderUpdater& updater()
    {
        return OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater();
    }
    static bool optionEnabled(unsigned tag) { return accessory().optionButton(tag)->isEnabled(); }
    void setPrompting(bool prompting)
    {
        state = prompting ? OVTextView::PromptState{true, false, false}
                          : OVTextView::PromptState{false, true, false};
        NotificationCenter::shared().postNotification(QStringLiteral("OVCoreDidChangeModeNotification"),
                                                      nullptr);
    }

    OVTextView::PromptState state{false, true, false};
    std::unique_ptr<Window> window;
    Participant* full = nullptr;
    Participant* textAndPage = nullptr;
};

TEST_F(ColorPanelAccessoryTest, TheFocusedViewsOptionsAreTheOnesEnabled)
{
    EXPECT_EQ(updater().firstResponder(), full);
    EXPECT_TRUE(accessory().isEnabled());
    EXPECT_TRUE(optionEnabled(1) && optionEnabled(2) && optionEnabled(4));
    EXPECT_EQ(ColorPanel::shared().accessoryView(), accessory().view());

    accessory().setSelectedOption(2);
    focus(textAndPage);
    EXPECT_TRUE(optionEnabled(1));
    EXPECT_FALSE(optionEnabled(2)) << "mask 5 has no highlight";
    EXPECT_TRUE(optionEnabled(4));
    EXPECT_EQ(accessory().selectedOption(), 4u) << "background comes before highlight";
    // Only the selected option's reset shows.
    EXPECT_FALSE(accessory().resetButton(1)->isVisibleTo(accessory().view()));
    EXPECT_TRUE(accessory().resetButton(4)->isVisibleTo(accessory().view()));
    EXPECT_GT(textAndPage->shown, 0) << "the view was asked to show its colour";

    // Nothing taking part: the accessory is disabled and goes back to the text option.
    focus(nullptr);
    EXPECT_EQ(updater().firstResponder(), nullptr);
    EXPECT_FALSE(accessory().isEnabled());
    EXPECT_EQ(accessory().selectedOption(), 1u);
    EXPECT_FALSE(optionEnabled(1) || optionEnabled(2) || optionEnabled(4));
}

TEST_F(ColorPanelAccessoryTest, AltResetOfTextOrHighlightResetsBothAndTheBackgroundAlone)
{
    accessory().setSelectedOption(1);
    accessory().resetSelectedColor();
    altHeld = true;
    accessory().resetSelectedColor();
    accessory().setSelectedOption(4);
    accessory().resetSelectedColor();
    accessory().resetButton(2)->click();
    EXPECT_EQ(full->resets, (std::vector<unsigned>{1, 3, 4, 3}));
}

TEST_F(ColorPanelAccessoryTest, PanelColoursGoToTheFocusedViewEvenWithTheKeyboardInThePanel)
{
    ColorPanel& panel = ColorPanel::shared();
    panel.orderFront();
    accessory().setSelectedOption(4);
    // The user clicks into the panel: the keyboard goes there, the view stays the participant.
    panel.window()->activateWindow();
    auto* hex = panel.colorPicker()->findChild<QLineEdit*>();
    ASSERT_NE(hex, nullptr);
    hex->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(updater().firstResponder(), full);
    panel.colorPicker()->setCurrentColor(QColor(10, 200, 30));
    ASSERT_EQ(full->changes.size(), 1u);
    EXPECT_EQ(full->changes.front().first.rgb(), QColor(10, 200, 30).rgb());
    EXPECT_EQ(full->changes.front().second, 4u);
    // Showing a view's colour sends nothing.
    panel.setColor(Qt::red);
    EXPECT_EQ(full->changes.size(), 1u);
    panel.close();
}

TEST_F(ColorPanelAccessoryTest, ChangesWithinOnePassMakeOneUpdateAndNoneWhileAModalDialogIsOpen)
{
    const int before = updater().updateCount();
    focus(textAndPage);
    const int after = updater().updateCount();
    EXPECT_EQ(after, before + 1);
    // Five changes of focus, key window and activation before the loop runs: one update.
    window->makeFirstResponder(full);
    window->makeFirstResponder(textAndPage);
    window->makeFirstResponder(full);
    NotificationCenter::shared().postNotification(kWindowDidBecomeKeyNotification, window.get());
    NotificationCenter::shared().postNotification(kApplicationDidBecomeActiveNotification, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(updater().updateCount(), after + 1);
    EXPECT_TRUE(optionEnabled(2));

    QDialog modal;
    modal.setModal(true);
    modal.show();
    QApplication::processEvents();
    const int during = updater().updateCount();
    focus(textAndPage);
    EXPECT_EQ(updater().updateCount(), during) << "no update inside a modal dialog";
    modal.hide();
    QApplication::processEvents();
    focus(full);
    EXPECT_GT(updater().updateCount(), during);
}

TEST_F(ColorPanelAccessoryTest, PromptModeLeavesTheAccessoryAloneAndLeavingItUpdatesAtOnce)
{
    focus(full);
    setPrompting(true);
    QApplication::processEvents();
    const int prompting = updater().updateCount();
    focus(textAndPage);
    focus(full);
    focus(textAndPage);
    EXPECT_EQ(updater().updateCount(), prompting);
    EXPECT_TRUE(optionEnabled(2)) << "still the state of the view focused before prompting";

    setPrompting(false);
    QApplication::processEvents();
    EXPECT_EQ(updater().updateCount(), prompting + 1);
    EXPECT_FALSE(optionEnabled(2));
}

} // namespace
