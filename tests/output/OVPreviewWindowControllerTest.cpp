#include "TalentTestSupport.h"

#include "output/OVEnvironment.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVTalentWindow.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVSettingsController.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <limits>

namespace {

const QStringList kPreviewKeys = {
    QStringLiteral("openPreviewWindowOnStartup"),
    QStringLiteral("previewWindowTopFrameCoordinate"),
    QStringLiteral("useFocusArrow"),
    QStringLiteral("useTimeBar"),
    QStringLiteral("contentInvertTextAndBackgroundColor"),
    QStringLiteral("contentTextMagnificationFactor"),
    QStringLiteral("horizontalMarginPercentage"),
    QStringLiteral("verticalMarginPercentage"),
    QStringLiteral("marginAlignment"),
    QStringLiteral("screenMode"),
    QStringLiteral("horizontallyFlipped"),
    QStringLiteral("verticallyFlipped"),
};

// Registers the panel's defaults and forgets whatever a test stored under its keys.
struct RegisteredPreviewDefaults {
    RegisteredPreviewDefaults()
    {
        UserDefaults::shared().registerDefaults(OVPreviewWindowController::initialDefaultsDictionary());
        clear();
    }
    ~RegisteredPreviewDefaults() { clear(); }
    static void clear()
    {
        for (const QString& key : kPreviewKeys)
            UserDefaults::shared().removeObjectForKey(key);
    }
};

Screen operator1920()
{
    return FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}});
}
Screen talent1920()
{
    return FakeScreenProvider::makeScreen(1, {{1920, 0}, {1920, 1080}});
}

// Two equal displays: the second is usable.
class PreviewTest : public ::testing::Test {
protected:
    explicit PreviewTest(std::vector<Screen> list = {operator1920(), talent1920()}) : screens(std::move(list))
    {
        defaults.setBool(QStringLiteral("enableTalentContentAdjustments"), true);
    }

    RegisteredPreviewDefaults registered;
    ScopedScreens screens;
    ScopedDefaults defaults;
    OVCore core;
    OVTalentWindowController talent{core};
};

class PreviewWithoutSecondScreenTest : public PreviewTest {
protected:
    PreviewWithoutSecondScreenTest() : PreviewTest({operatorScreen1440()}) {}
};

} // namespace

TEST_F(PreviewTest, RegistersExactlyTheTwelveSettingsAndTheBlankingSwitch)
{
    const PlistDictionary initial = OVPreviewWindowController::initialDefaultsDictionary();
    EXPECT_EQ(initial.size(), kPreviewKeys.size() + 1);
    EXPECT_EQ(initial.value(QStringLiteral("previewWindowTopFrameCoordinate")).toDouble(),
              std::numeric_limits<double>::min());
    EXPECT_EQ(initial.value(QStringLiteral("marginAlignment")).integer(), 4);
    EXPECT_TRUE(initial.value(QStringLiteral("openPreviewWindowOnStartup")).boolean());
    EXPECT_TRUE(initial.value(QStringLiteral("useFocusArrow")).boolean());
    EXPECT_DOUBLE_EQ(initial.value(QStringLiteral("contentTextMagnificationFactor")).toDouble(), 1.0);
}

TEST_F(PreviewTest, ReducesTheOutputByAWholeNumberAndLaysItOutAtFullSize)
{
    OVPreviewWindowController preview(core, talent);
    preview.centeringPrompterBox()->setFrameSize({400, 300});
    OVPrompterView* view = preview.prompterView();

    preview.updatePreviewBoundsForSize({3840, 2160});
    EXPECT_EQ(view->frame(), (Rect{{8, 42}, {384, 216}}));
    EXPECT_EQ(view->bounds(), (Rect{{0, 0}, {3840, 2160}}));

    preview.updatePreviewBoundsForSize({1920, 1080});
    EXPECT_EQ(view->frame(), (Rect{{8, 42}, {384, 216}}));
    EXPECT_EQ(view->bounds(), (Rect{{0, 0}, {1920, 1080}}));

    preview.updatePreviewBoundsForSize({1280, 800});
    EXPECT_EQ(view->frame(), (Rect{{40, 50}, {320, 200}}));
    EXPECT_EQ(view->bounds(), (Rect{{0, 0}, {1280, 800}}));

    // A box with no room, and an empty output, leave the view as it was.
    preview.centeringPrompterBox()->setFrameSize({0, 300});
    preview.updatePreviewBoundsForSize({3840, 2160});
    preview.centeringPrompterBox()->setFrameSize({400, 300});
    preview.updatePreviewBoundsForSize({0, 0});
    EXPECT_EQ(view->frame(), (Rect{{40, 50}, {320, 200}}));
    EXPECT_EQ(view->bounds(), (Rect{{0, 0}, {1280, 800}}));
}

TEST(PreviewTitleTest, NamesTheOutputTarget)
{
    EXPECT_EQ(OVPreviewWindowController::previewTitleForTarget(0, false),
              QStringLiteral("Preview (Second Screen)"));
    EXPECT_EQ(OVPreviewWindowController::previewTitleForTarget(1, false),
              QStringLiteral("Preview (Full-Screen)"));
    EXPECT_EQ(OVPreviewWindowController::previewTitleForTarget(2, true),
              QStringLiteral("Preview (Zoomed Window)"));
    EXPECT_EQ(OVPreviewWindowController::previewTitleForTarget(2, false), QStringLiteral("Preview (Window)"));
    EXPECT_EQ(OVPreviewWindowController::previewTitleForTarget(7, false), QStringLiteral("Preview"));
}

TEST_F(PreviewWithoutSecondScreenTest, RefusesTheSecondDisplayWhileItIsNotUsable)
{
    ASSERT_NE(core.dualScreenStatus(), 0);
    OVPreviewWindowController preview(core, talent);
    EXPECT_FALSE(preview.enableDualScreenControls());
    int posted = 0;
    NotificationObserver observer(NotificationCenter::shared(), OVPreviewScreenModeDidChangeNotification,
                                  nullptr, [&posted](const Notification&) { ++posted; });
    preview.setScreenMode(1);
    RunLoop::main().fireDueTimers();
    EXPECT_EQ(preview.screenMode(), 0);
    EXPECT_FALSE(UserDefaults::shared().hasUserValue(QStringLiteral("screenMode")));
    EXPECT_FALSE(talent.window()->isVisible());
    EXPECT_EQ(posted, 0);
}

TEST_F(PreviewTest, TheSecondDisplayShowsTheTalentWindowAndIsWritten)
{
    ASSERT_EQ(core.dualScreenStatus(), 0);
    OVPreviewWindowController preview(core, talent);
    EXPECT_TRUE(preview.enableDualScreenControls());
    QVariantMap info;
    NotificationObserver observer(NotificationCenter::shared(), OVPreviewScreenModeDidChangeNotification,
                                  nullptr, [&info](const Notification& n) { info = n.userInfo; });
    preview.setScreenMode(1);
    EXPECT_TRUE(talent.window()->isVisible());
    EXPECT_EQ(UserDefaults::shared().integerForKey(QStringLiteral("screenMode")), 1);
    EXPECT_EQ(info.value(QStringLiteral("ScreenMode")).toInt(), 1);
    preview.setScreenMode(0);
    EXPECT_FALSE(talent.window()->isVisible());
    RunLoop::main().fireDueTimers();
}

TEST_F(PreviewTest, MagnificationIsWrittenAnnouncedAndDoublesTheTalentText)
{
    talent.talentTextStorage().setAttributedString(AttributedString(
        QStringLiteral("Script"),
        {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}}));
    OVPreviewWindowController preview(core, talent);
    QVariantMap info;
    int changed = 0;
    NotificationObserver magnified(NotificationCenter::shared(),
                                   OVPreviewPanelDidChangeTextMagnificationFactorNotification, nullptr,
                                   [&info](const Notification& n) { info = n.userInfo; });
    NotificationObserver any(NotificationCenter::shared(), OVPreviewPrompterViewDidChangeNotification,
                             &preview, [&changed](const Notification&) { ++changed; });
    preview.setContentTextMagnificationFactor(2.0);
    EXPECT_DOUBLE_EQ(UserDefaults::shared().doubleForKey(QStringLiteral("contentTextMagnificationFactor")),
                     2.0);
    EXPECT_DOUBLE_EQ(info.value(QStringLiteral("contentTextMagnificationFactor")).toDouble(), 2.0);
    EXPECT_EQ(changed, 1);
    EXPECT_DOUBLE_EQ(talent.talentTextStorage().attribute(kFontAttributeName, 0).font()->pointSize, 48.0);
    // Below 1 the talent would keep text at mixed sizes: the factor stays within the slider's range.
    preview.setContentTextMagnificationFactor(0.25);
    EXPECT_DOUBLE_EQ(preview.contentTextMagnificationFactor(), 1.0);
}

TEST_F(PreviewTest, WithoutContentAdjustmentsTheSectionGoesAndStoredValuesAreIgnored)
{
    defaults.setDouble(QStringLiteral("contentTextMagnificationFactor"), 2.0);
    defaults.setBool(QStringLiteral("contentInvertTextAndBackgroundColor"), true);
    double withSection = 0;
    {
        OVPreviewWindowController preview(core, talent);
        EXPECT_DOUBLE_EQ(preview.contentTextMagnificationFactor(), 2.0);
        EXPECT_TRUE(preview.contentInvertTextAndBackgroundColor());
        withSection = preview.window()->frame().size.height;
    }
    defaults.setBool(QStringLiteral("enableTalentContentAdjustments"), false);
    OVPreviewWindowController preview(core, talent);
    EXPECT_DOUBLE_EQ(preview.contentTextMagnificationFactor(), 1.0);
    EXPECT_FALSE(preview.contentInvertTextAndBackgroundColor());
    EXPECT_TRUE(preview.contentSection()->isHidden());
    EXPECT_LT(preview.window()->frame().size.height, withSection);
}

TEST_F(PreviewTest, MarginsEnableTheAlignmentAndDragsAreAnnounced)
{
    OVPreviewWindowController preview(core, talent);
    EXPECT_FALSE(preview.isMarginAlignmentEnabled());
    preview.setVerticalMarginFactor(0.1);
    EXPECT_TRUE(preview.isMarginAlignmentEnabled());
    EXPECT_DOUBLE_EQ(UserDefaults::shared().doubleForKey(QStringLiteral("verticalMarginPercentage")), 0.1);
    preview.setMarginAlignment(0);
    EXPECT_EQ(talent.prompterView()->marginAlignment(), 0u);
    EXPECT_EQ(preview.prompterView()->marginAlignment(), 0u);
    EXPECT_EQ(UserDefaults::shared().integerForKey(QStringLiteral("marginAlignment")), 0);

    QStringList heard;
    NotificationObserver observer(NotificationCenter::shared(), QString(), nullptr,
                                  [&heard](const Notification& n) {
                                      if (n.name.contains(QStringLiteral("MarginChange")))
                                          heard << n.name;
                                  });
    preview.marginSliderInitialActionOccurred();
    preview.marginSliderFinalActionOccurred();
    EXPECT_EQ(heard, (QStringList{OVPrompterDidBeginMarginChangeNotification,
                                  OVPrompterDidEndMarginChangeNotification}));
}

TEST_F(PreviewTest, AResetBringsEverySettingBack)
{
    OVPreviewWindowController preview(core, talent);
    preview.setUseTimeBar(true);
    preview.setUseFocusArrow(false);
    preview.setHorizontalMarginFactor(0.2);
    preview.setContentInvertTextAndBackgroundColor(true);
    preview.setScreenMode(1);
    for (const QString& key : kPreviewKeys)
        UserDefaults::shared().removeObjectForKey(key);
    preview.defaultsDidReset();
    RunLoop::main().fireDueTimers();
    EXPECT_FALSE(preview.useTimeBar());
    EXPECT_TRUE(preview.useFocusArrow());
    EXPECT_DOUBLE_EQ(preview.horizontalMarginFactor(), 0.0);
    EXPECT_FALSE(preview.contentInvertTextAndBackgroundColor());
    EXPECT_EQ(preview.screenMode(), 0);
    EXPECT_FALSE(talent.window()->isVisible());
    EXPECT_FALSE(UserDefaults::shared().boolForKey(QStringLiteral("useTimeBar")));
}

TEST_F(PreviewTest, ClosingByTheUserKeepsThePanelClosedAtTheNextStart)
{
    OVPreviewWindowController preview(core, talent);
    preview.showWindow();
    EXPECT_TRUE(preview.window()->isVisible());
    EXPECT_TRUE(UserDefaults::shared().boolForKey(QStringLiteral("openPreviewWindowOnStartup")));
    preview.window()->performClose();
    EXPECT_FALSE(preview.window()->isVisible());
    EXPECT_FALSE(UserDefaults::shared().boolForKey(QStringLiteral("openPreviewWindowOnStartup")));
}

TEST_F(PreviewTest, ASavedTopEdgeIsRestoredInsideAnAttachedScreen)
{
    {
        OVPreviewWindowController preview(core, talent);
        const Rect frame = preview.window()->frame();
        preview.window()->setFrameTopLeftPoint({frame.origin.x, 700});
        EXPECT_DOUBLE_EQ(
            UserDefaults::shared().doubleForKey(QStringLiteral("previewWindowTopFrameCoordinate")), 700);
    }
    {
        OVPreviewWindowController preview(core, talent);
        EXPECT_DOUBLE_EQ(preview.window()->frame().maxY(), 700);
    }
    // Saved on a screen that has gone: the panel comes back onto the one there is.
    defaults.setDouble(QStringLiteral("previewWindowTopFrameCoordinate"), 50000);
    OVPreviewWindowController preview(core, talent);
    EXPECT_LE(preview.window()->frame().maxY(), operator1920().visibleFrame().maxY());
}
