#include "CoreTestSupport.h"

#include "prompting/OVCoreTalentOutput.h"

namespace {

// A talent or preview prompter: a scroll view of its own over a flipped document.
class SyncedPrompterView final : public OVCorePrompterView {
public:
    SyncedPrompterView(const Size& clipSize, double documentHeight) : scroll(Rect{{0, 0}, clipSize})
    {
        auto document = std::make_unique<View>(Rect{{0, 0}, {clipSize.width, documentHeight}});
        document->setFlipped(true);
        scroll.setDocumentView(std::move(document));
        boundsObserver = scroll.contentView()->addBoundsObserver([this](View&) { ++moves; });
    }
    ~SyncedPrompterView() override { scroll.contentView()->removeObserver(boundsObserver); }

    ScrollView* scrollView() const override { return const_cast<ScrollView*>(&scroll); }
    ClipView* clipView() const override { return scroll.contentView(); }
    View* textView() const override { return scroll.documentView(); }
    bool isVerticallyFlipped() const override { return flipped; }
    bool isStandbyViewVisible() const override { return standby; }
    void setStandbyViewVisible(bool visible) override { standby = visible; }

    double y() const { return scroll.contentView()->bounds().origin.y; }
    void scrollTo(double y) { scroll.contentView()->scrollToPoint({0, y}); }

    ScrollView scroll;
    int boundsObserver = 0;
    int moves = 0;
    bool flipped = false;
    bool standby = false;
};

class TestTalentOutput final : public OVCoreTalentOutput {
public:
    TestTalentOutput(const Size& clipSize, double documentHeight) : view(clipSize, documentHeight) {}
    bool isTalentWindowInUse() const override { return inUse; }
    OVCorePrompterView* talentPrompterView() const override { return const_cast<SyncedPrompterView*>(&view); }

    SyncedPrompterView view;
    bool inUse = true;
};

class OVCorePositionSyncTest : public CoreTest {
protected:
    void TearDown() override
    {
        if (core)
            core->setTalentWindowController(nullptr);
        CoreTest::TearDown();
    }

    void enterPromptWithTalent()
    {
        makeCore();
        core->setTalentWindowController(talentOutput.get());
        core->enterPromptMode();
        ASSERT_TRUE(core->isModePrompt());
        operatorMoves = 0;
        controller.clipView()->addBoundsObserver([this](View&) { ++operatorMoves; });
        talentOutput->view.moves = 0;
    }

    void useTalent(const Size& clipSize, double documentHeight)
    {
        talentOutput = std::make_unique<TestTalentOutput>(clipSize, documentHeight);
    }

    std::unique_ptr<TestTalentOutput> talentOutput = std::make_unique<TestTalentOutput>(Size{400, 300}, 3000);

    int operatorMoves = 0;
};

TEST_F(OVCorePositionSyncTest, AnOperatorScrollMovesTheTalentOnceAndItsEchoIsSwallowed)
{
    enterPromptWithTalent();
    controller.clipView()->scrollToPoint({0, 500});
    EXPECT_EQ(talentOutput->view.y(), 500);
    EXPECT_EQ(talentOutput->view.moves, 1);
    EXPECT_EQ(operatorMoves, 1);
    EXPECT_EQ(controller.y(), 500);

    // The echo left no mark behind: the talent's own next move still leads the operator.
    talentOutput->view.scrollTo(120);
    EXPECT_EQ(controller.y(), 120);
}

TEST_F(OVCorePositionSyncTest, AClampedTargetLeavesNoMarkToSwallowTheNextRealScroll)
{
    useTalent({400, 300}, 2000);
    enterPromptWithTalent();
    controller.clipView()->scrollToPoint({0, 2500});
    EXPECT_EQ(talentOutput->view.y(), 1700);
    // The talent is already at its end: nothing moves, and nothing is marked.
    controller.clipView()->scrollToPoint({0, 2600});
    EXPECT_EQ(talentOutput->view.y(), 1700);
    talentOutput->view.scrollTo(100);
    EXPECT_EQ(controller.y(), 100);
}

TEST_F(OVCorePositionSyncTest, AFlippedTalentMovesTheOtherWay)
{
    // Prompting with the talent window, the operator's window covers its screen: 1280 x 800.
    useTalent({1280, 800}, 3000);
    talentOutput->view.flipped = true;
    enterPromptWithTalent();
    controller.clipView()->scrollToPoint({0, 1000});
    const double first = talentOutput->view.y();
    // Equal clips and documents: the talent shows the same part counted from the script's end.
    EXPECT_EQ(first, 3000 - 1000 - 800);
    controller.clipView()->scrollToPoint({0, 1100});
    EXPECT_EQ(talentOutput->view.y(), first - 100);
    EXPECT_EQ(operatorMoves, 2);
}

TEST_F(OVCorePositionSyncTest, NothingFollowsInPromptModeWithoutTheTalentWindow)
{
    talentOutput->inUse = false;
    SyncedPrompterView preview({300, 200}, 2500);
    enterPromptWithTalent();
    core->setPreviewScrollView(&preview.scroll);
    controller.clipView()->scrollToPoint({0, 700});
    EXPECT_EQ(talentOutput->view.y(), 0);
    EXPECT_EQ(preview.y(), 0);
    core->setPreviewScrollView(nullptr);
}

TEST_F(OVCorePositionSyncTest, AnEditModeRoundTripBetweenTalentAndPreviewComesBackWithinAPixel)
{
    makeCore();
    talentOutput->view.flipped = true;
    core->setTalentWindowController(talentOutput.get());
    // The preview is smaller and its script laid out taller than the talent's.
    SyncedPrompterView preview({300, 200}, 3400);
    core->setPreviewScrollView(&preview.scroll);

    talentOutput->view.scrollTo(700);
    const double previewY = preview.y();
    EXPECT_NE(previewY, 0);
    EXPECT_EQ(talentOutput->view.y(), 700);
    core->noTrackFixSynchronizeTalentLocationToPreviewLocationAndForceSync(true);
    EXPECT_NEAR(talentOutput->view.y(), 700, 1.0);

    // Scrolling the preview leads the talent too, and while sync is switched off nothing follows.
    preview.scrollTo(previewY + 50);
    EXPECT_NEAR(talentOutput->view.y(), 650, 1.0);
    core->syncScrolling().disable();
    preview.scrollTo(previewY);
    EXPECT_NEAR(talentOutput->view.y(), 650, 1.0);
    core->syncScrolling().enable();
    core->setPreviewScrollView(nullptr);
}

TEST_F(OVCorePositionSyncTest, TheTalentFollowsTheOperatorAfterEnteringPromptMode)
{
    makeCore();
    core->setTalentWindowController(talentOutput.get());
    controller.clipView()->scrollToPoint({0, 900});
    EXPECT_EQ(talentOutput->view.y(), 0);
    core->enterPromptMode();
    EXPECT_EQ(talentOutput->view.y(), controller.y());
    EXPECT_TRUE(core->isOrWasTalentWindowUtilized());
    // Leaving, the talent is no longer on screen but the change still counts it as used.
    talentOutput->inUse = false;
    bool usedDuringChange = false;
    core->setModeChangeStepObserver(
        [&](const QString&) { usedDuringChange = core->isOrWasTalentWindowUtilized(); });
    core->enterEditMode();
    EXPECT_TRUE(usedDuringChange);
    EXPECT_FALSE(core->isOrWasTalentWindowUtilized());
}

TEST_F(OVCorePositionSyncTest, TheBookmarkControllerHearsWhereTheReadingLineIs)
{
    makeCore();
    std::vector<double> deltas;
    core->setBookmarkDeltaLocationHandler([&deltas](double delta) { deltas.push_back(delta); });
    core->_updateBookmarkControllerDeltaLocation();
    ASSERT_EQ(deltas.size(), 1u);
    EXPECT_EQ(deltas.back(), 0);
    // Prompting pads the script by one visible height above the first line.
    core->enterPromptMode();
    EXPECT_EQ(deltas.back(), controller.scrollView->contentSize().height);
    core->setBookmarkDeltaLocationHandler({});
}

TEST_F(OVCorePositionSyncTest, BlankingPostsOncePerChangeAndCoversTheTalent)
{
    screens.provider.setScreens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}),
                                 FakeScreenProvider::makeScreen(1, {{1920, 0}, {1920, 1080}})});
    makeCore();
    core->setTalentWindowController(talentOutput.get());
    EXPECT_TRUE(core->canBlankScreen());
    int posted = 0;
    NotificationObserver observer(NotificationCenter::shared(), OVCoreBlankingDidChangeNotification, nullptr,
                                  [&posted](const Notification&) { ++posted; });
    core->setBlanking(true);
    core->setBlanking(true);
    EXPECT_EQ(posted, 1);
    EXPECT_TRUE(talentOutput->view.standby);
    core->toggleBlanking();
    EXPECT_EQ(posted, 2);
    EXPECT_FALSE(talentOutput->view.standby);

    // Automatic blanking hides edits in Edit mode and shows the script while prompting.
    defaults().setBool(true, QStringLiteral("autoBlankToHideEdits"));
    NotificationCenter::shared().postNotification(OVBlankingAutoBlankToHideEditsDidChangeNotification);
    EXPECT_TRUE(core->isBlanking());
    core->enterPromptMode();
    EXPECT_FALSE(core->isBlanking());
    core->enterEditMode();
    EXPECT_TRUE(core->isBlanking());

    // A preview screen mode other than the talent window switches it off.
    NotificationCenter::shared().postNotification(OVPreviewScreenModeDidChangeNotification, nullptr,
                                                  {{QStringLiteral("ScreenMode"), 0}});
    EXPECT_FALSE(core->isBlanking());
}

TEST_F(OVCorePositionSyncTest, OneScreenCannotBlank)
{
    defaults().setBool(true, QStringLiteral("autoBlankToHideEdits"));
    makeCore();
    core->setTalentWindowController(talentOutput.get());
    EXPECT_EQ(core->dualScreenStatus(), OVCore::kDualScreenStatusNoTalentScreen);
    EXPECT_FALSE(core->canBlankScreen());
    core->autoBlankToHideEditsIfNecessary();
    EXPECT_FALSE(core->isBlanking());
}

} // namespace
