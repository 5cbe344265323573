// The talent output as the operator drives it in the program as started: the Blank button follows
// the output chosen in the preview while the program runs, and a bookmark jump lands on the arrow of
// whichever script window the operator last brought to front.
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/textview/TextView.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "text/OVBookmarkController.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVDocumentWindowToolbar.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

using launchtest::copyFolder;
using launchtest::kSample;

// Two monitors of one size, so the second display can take the talent output.
class LaunchedTalentOutput : public launchtest::LaunchedScriptTest {
protected:
    void SetUp() override
    {
        ScreenProvider::setShared(&screens);
        launchtest::announceScreenChange();
        LaunchedScriptTest::SetUp();
    }
    void TearDown() override
    {
        LaunchedScriptTest::TearDown();
        ScreenProvider::setShared(nullptr);
        launchtest::announceScreenChange();
    }
    FakeScreenProvider screens{{FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}),
                                FakeScreenProvider::makeScreen(1, Rect{{1280, 0}, {1280, 800}})}};
};

// The preview's Output pop-up, chosen as the operator chooses it.
void chooseOutput(OVPreviewWindowController& preview, const QString& title)
{
    for (QComboBox* popUp : preview.window()->hostWidget()->findChildren<QComboBox*>()) {
        const int index = popUp->findText(title);
        if (index < 0)
            continue;
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
        QCoreApplication::processEvents();
        return;
    }
    ADD_FAILURE() << "no Output pop-up offers " << title.toStdString();
}

} // namespace

TEST_F(LaunchedTalentOutput, TheBlankButtonFollowsTheOutputChosenWhileRunning)
{
    OVPreviewWindowController* preview = OVPreviewWindowController::openPreviewWindowController();
    ASSERT_TRUE(preview);
    ToolbarItem* blank =
        controller().documentToolbar()->toolbar().itemWithIdentifier(OVToolbarItemBlankingIdentifier);
    ASSERT_TRUE(blank);
    // One screen's output: nothing to blank.
    EXPECT_FALSE(blank->isEnabled());
    ASSERT_TRUE(OVTalentWindowController::sharedTalentWindowController().canDisplayTalentWindow())
        << "dual-screen status " << OVApplication::shared().core().dualScreenStatus();

    chooseOutput(*preview, QStringLiteral("Second Screen"));
    ASSERT_TRUE(OVTalentWindowController::isTalentWindowUtilized());
    EXPECT_TRUE(blank->isEnabled());

    chooseOutput(*preview, QStringLiteral("Single Screen"));
    ASSERT_FALSE(OVTalentWindowController::isTalentWindowUtilized());
    EXPECT_FALSE(blank->isEnabled());
}

TEST(LaunchedTalentOutputTwoWindows, ABookmarkJumpAfterAWindowSwitchLandsAsItDoesAfterAResize)
{
    ManualClock clock;
    Clock::setShared(&clock);
    QTemporaryDir folder;
    const QString tall = folder.filePath(QStringLiteral("Tall.ovdocument"));
    const QString short_ = folder.filePath(QStringLiteral("Short.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, tall));
    ASSERT_TRUE(copyFolder(kSample, short_));
    std::unique_ptr<OVDocumentSession> session = OVProgramStart::launch({tall, short_});
    QCoreApplication::processEvents();
    const std::vector<Document*> documents = session->documentController().documents();
    ASSERT_EQ(documents.size(), 2u);
    auto controllerOf = [](Document* document) {
        return dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController());
    };
    auto activate = [&](Document* document) {
        QWidget* host = controllerOf(document)->window()->hostWidget();
        host->activateWindow();
        QApplication::setActiveWindow(host);
        QCoreApplication::processEvents();
    };
    OVBookmarkController& bookmarks = OVBookmarkController::sharedBookmarkController();
    Window* tallWindow = controllerOf(documents[0])->window();
    Window* shortWindow = controllerOf(documents[1])->window();
    Rect frame = tallWindow->frame();
    frame.size.height = 800;
    tallWindow->setFrame(frame);
    frame = shortWindow->frame();
    frame.size.height = 420;
    shortWindow->setFrame(frame);
    QCoreApplication::processEvents();

    activate(documents[0]);
    ASSERT_EQ(Application::shared().mainWindow(), tallWindow);
    const double tallDelta = bookmarks.deltaLocation();
    activate(documents[1]);
    ASSERT_EQ(Application::shared().mainWindow(), shortWindow);
    // The arrow sits at another height in a window of another height.
    EXPECT_NE(bookmarks.deltaLocation(), tallDelta);

    ClipView* clip = controllerOf(documents[1])->textView()->enclosingScrollView()->contentView();
    clip->scrollToPoint({0, 0});
    ASSERT_TRUE(bookmarks.jumpToBookmarkAtIndex(1));
    QCoreApplication::processEvents();
    const double afterSwitch = clip->bounds().origin.y;
    EXPECT_GT(afterSwitch, 0);

    // A resize, which the arrow always followed, changes nothing now.
    clip->scrollToPoint({0, 0});
    frame.size.height += 1;
    shortWindow->setFrame(frame);
    frame.size.height -= 1;
    shortWindow->setFrame(frame);
    QCoreApplication::processEvents();
    ASSERT_TRUE(bookmarks.jumpToBookmarkAtIndex(1));
    QCoreApplication::processEvents();
    EXPECT_DOUBLE_EQ(clip->bounds().origin.y, afterSwitch);

    AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
    session.reset();
    Clock::setShared(nullptr);
}
