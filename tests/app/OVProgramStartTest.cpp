#include "app/OVProgramStart.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLogger.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

// The start runs once per process, so one test walks through it.
TEST(ProgramStartTest, RunsEachStepOnceInTheFixedOrder)
{
    QStringList flipped;
    for (OVProgramStart::Switch which :
         {OVProgramStart::Switch::FixParagraphStyleAppleBugWorkaround,
          OVProgramStart::Switch::FixAttachmentAppleBugWorkaround, OVProgramStart::Switch::BetterIBeamCursor,
          OVProgramStart::Switch::FixedReflectScrolledClipView,
          OVProgramStart::Switch::AnimationResizeOverride,
          OVProgramStart::Switch::FocusArrowSynchronizedPropertyChanges,
          OVProgramStart::Switch::TimeBarSynchronizedPropertyChanges})
        OVProgramStart::setSwitch(which, [&flipped, which] { flipped << OVProgramStart::switchName(which); });

    QStringList steps;
    bool logsRedirectedAtSetup = false;
    ASSERT_FALSE(OVProgramStart::hasPreparedProcess());
    EXPECT_TRUE(OVProgramStart::prepareProcess([&](const QString& step) {
        steps << step;
        if (step == "setupKit")
            logsRedirectedAtSetup = HVLogger::isRedirectingLogs();
    }));
    EXPECT_EQ(steps, QStringList({"redirectLogs", "logAppLaunchInformation", "setupKit",
                                  "toggleFixParagraphStyleAppleBugWorkaround",
                                  "toggleFixAttachmentAppleBugWorkaround",
                                  "toggleFixedReflectScrolledClipView", "toggleAnimationResizeOverride",
                                  "OVFocusArrowView enableGlobalSynchronizedPropertyChanges",
                                  "OVTimeBar enableGlobalSynchronizedPropertyChanges"}));
    // The I-beam cursor fix is for systems older than the one the program behaves as.
    EXPECT_EQ(flipped, steps.mid(3));
    EXPECT_TRUE(logsRedirectedAtSetup);

    // Every switch flips: a second start would switch the workarounds off again.
    EXPECT_FALSE(OVProgramStart::prepareProcess([&](const QString& step) { steps << step; }));
    EXPECT_EQ(flipped.size(), 6);
    EXPECT_EQ(steps.size(), 9);

    for (const char* key :
         {"NSViewBackingLayerTileSize", "NSViewMaxNonTiledBackingLayerSize", "NSViewMaxResidentTiles"})
        EXPECT_TRUE(UserDefaults::shared().objectForKey(key).isNull()) << key;
    HVLogger::restoreLogs();
}

} // namespace
