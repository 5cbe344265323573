#include "app/OVProgramStart.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVTimeBar.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramSwitchesTest, TheStartSwitchesOnTheSynchronisedPropertiesOfArrowsAndBars)
{
    OVProgramStart::installProgramSwitches();
    ASSERT_FALSE(OVFocusArrowView::globalSynchronizedPropertyChangesEnabled());
    ASSERT_FALSE(OVTimeBar::globalSynchronizedPropertyChangesEnabled());
    OVProgramStart::flipSwitch(OVProgramStart::Switch::FocusArrowSynchronizedPropertyChanges);
    EXPECT_TRUE(OVFocusArrowView::globalSynchronizedPropertyChangesEnabled());
    EXPECT_FALSE(OVTimeBar::globalSynchronizedPropertyChangesEnabled());
    OVProgramStart::flipSwitch(OVProgramStart::Switch::TimeBarSynchronizedPropertyChanges);
    EXPECT_TRUE(OVTimeBar::globalSynchronizedPropertyChangesEnabled());
    OVFocusArrowView::disableGlobalSynchronizedPropertyChanges();
    OVTimeBar::disableGlobalSynchronizedPropertyChanges();
}

} // namespace
