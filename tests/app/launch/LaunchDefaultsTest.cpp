// The program's real start on an empty settings folder registers every setting the program reads:
// nothing falls back to zero, false or nothing for want of a registration.
#include "app/OVProgramStart.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLogger.h"
#include "platform/text/AttributeNames.h"
#include "prompting/OVInputController.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "window/OVDocumentWindowController.h"

#include <gtest/gtest.h>

namespace {

// Every setting the program's code reads, by the folder that reads it. A key read by new code
// belongs here, and its owner's table registers it.
const char* const kKeysTheProgramReads[] = {
    // app/
    "defaultSpeed",
    "speedIncrement",
    "speedLimiterRestrictsToSpeedSlider",
    "speedSliderOnlyUsesPositiveValues",
    "printPanelMaximumSmallFontPointSize",
    "printPanelMinimumSmallFontPointSize",
    // document/
    "documentSpeedTypeTag",
    "useDocumentAutosave",
    "attemptToFixBookmarkShiftBug",
    // prompting/: the core, its scroll engine and mode changes, the input controller, the clock
    "alwaysCoverTheDesktop",
    "changingSpeedStartsPrompter",
    "contentInvertTextAndBackgroundColor",
    "contentTextMagnificationFactor",
    "cursorMovementAdjustsSpeed",
    "customFrameRate",
    "enableTalentContentAdjustments",
    "frameRateOptionTag",
    "leftClickBehaviorTag",
    "mousePromptingCursorLocation",
    "mouseReverseMovementAdjustsSpeed",
    "pauseSpeed",
    "resetElapsedTimer",
    "rightClickBehaviorTag",
    "screenMode",
    "setDefaultSpeedExitingPromptMode",
    "setPauseSpeedOnPause",
    "setPreviousSpeedOnStart",
    "showScrollBarInPromptMode",
    "speedScaleTypeTag",
    "updateDriverTypeTag",
    "updateTimingTag",
    "useFocusArrow",
    "useTimeBar",
    "useWindowedPrompting",
    "waTimerInterval",
    "waTypeTag",
    "horizontalMarginPercentage",
    "verticalMarginPercentage",
    "hotkeyUseNumberKeysToSetSpeed",
    "use24HourClock",
    // prompter_view/
    "marginAlignment",
    "alwaysUseAutomaticWhitespacePadding",
    "focusArrowSettings",
    "timeBarSettings",
    "focusArrowShowsOnRight",
    // settings/
    "defaultDocumentStyle",
    "markedTextHighlightColorData",
    "markedTextUseHighlightPattern",
    "markedTextOptions",
    "promptModeToolbarState",
    // text/
    "bookmarksShowContext",
    "editingAlwaysNormalizeParagraphIndents",
    "preventUnderlineColors",
    "logTrackedIssues",
    "scrollWheelBehaviorTag",
};

TEST(LaunchDefaultsTest, TheStartRegistersEverySettingTheProgramReads)
{
    UserDefaults& defaults = UserDefaults::shared();
    ASSERT_TRUE(defaults.persistentDomain().isEmpty()) << "the settings folder is not empty";
    OVProgramStart::installProgramSwitches();
    ASSERT_TRUE(OVProgramStart::prepareProcess());
    HVLogger::restoreLogs();

    // A new document prompts at the default speed, and the speed keys step by the increment.
    const OVDocumentWindowController controller;
    EXPECT_EQ(controller.prompterSpeed(), 3.0);
    EXPECT_EQ(OVSharedPreferencesAccess::speedIncrement(), 0.2);

    for (const OVInputController::HotKey& hotKey : OVInputController::hotKeyTable()) {
        EXPECT_TRUE(defaults.registeredDefaults().contains(hotKey.defaultsKey))
            << qPrintable(hotKey.defaultsKey);
        EXPECT_EQ(OVInputController::hotKeyValue(hotKey.defaultsKey), hotKey.defaultValue)
            << qPrintable(hotKey.defaultsKey);
    }

    const std::optional<AttributeDictionary> style = OVSharedPreferencesAccess::defaultStyleAttributes();
    ASSERT_TRUE(style);
    ASSERT_TRUE(style->value(kFontAttributeName).font());
    EXPECT_EQ(style->value(kFontAttributeName).font()->pointSize, 100);
    const auto marked = OVSharedPreferencesAccess::markedTextColor();
    ASSERT_TRUE(marked);
    EXPECT_EQ(marked->standardPattern, OVSharedPreferencesAccess::kMarkedTextStandardPattern);
    EXPECT_EQ(OVSharedPreferencesAccess::markedTextOptions(), 4u);

    for (const char* key : kKeysTheProgramReads)
        defaults.objectForKey(QString::fromLatin1(key));
    EXPECT_EQ(defaults.unregisteredReadCount(), 0u)
        << qPrintable(defaults.unregisteredKeysRead().join(QStringLiteral(", ")));
    // The start wrote nothing of its own: every value above is a registered one.
    EXPECT_TRUE(defaults.persistentDomain().isEmpty());
}

} // namespace
