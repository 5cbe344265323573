#include "prompter_view/OVBookmarkControllerPrompterHost.h"

#include "platform/appkit/ClipView.h"
#include "platform/appkit/Window.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkController.h"
#include "text/OVLayoutManager.h"
#include "text/OVTextView.h"

#include <gtest/gtest.h>

namespace {

TEST(OVBookmarkControllerPrompterHostTest, ThePrompterAroundTheTextAnswersForFocusArrowAndZoom)
{
    OVCore core;
    installBookmarkControllerPrompterHost(core);
    OVPrompterView prompter(Rect{0, 0, 800, 400});
    OVTextView* text = prompter.prompterTextView();
    MutableAttributedString script;
    for (int i = 0; i < 40; ++i) {
        if (i == 20)
            script.append(
                AttributedString(QString(QChar(0xFFFC)),
                                 {{kAttachmentAttributeName,
                                   AttributeValue(OVBookmark::bookmarkWithName("Cue")->textAttachment())}}));
        script.append(QStringLiteral("Line %1\n").arg(i), {});
    }
    text->textStorage().setAttributedString(script);
    OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
    controller.setTextView(text);

    ASSERT_TRUE(prompter.setScaleFactor(1.5));
    EXPECT_DOUBLE_EQ(OVLayoutManager::prompterScaleFactor(*text), 1.5);
    OVTextView loose;
    EXPECT_DOUBLE_EQ(OVLayoutManager::prompterScaleFactor(loose), 1.0);

    // With the focus arrow the bookmark's line is aimed at by its middle.
    const auto infos = controller.bookmarkInfoArray();
    ASSERT_EQ(infos.size(), 1u);
    prompter.setFocusArrowVisible(false);
    const double top = controller._adjustedPositionForBookmarkInfo(&infos[0]);
    prompter.setFocusArrowVisible(true);
    EXPECT_DOUBLE_EQ(controller._adjustedPositionForBookmarkInfo(&infos[0]),
                     top + infos[0].boundingRect.height() / 2);
    EXPECT_FALSE(core.isModePrompt());

    controller.setTextView(nullptr);
    OVBookmarkController::setHost({});
    OVLayoutManager::setPrompterScaleFactorProvider({});
}

} // namespace

namespace {

TEST(OVBookmarkControllerPrompterHostTest, TheControllerWorksOnTheMainPrompterWindowsScript)
{
    OVCore core;
    installBookmarkControllerPrompterHost(core);
    OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
    auto first = std::make_unique<Window>(Rect{100, 100, 600, 400});
    auto* prompter = static_cast<OVPrompterView*>(
        first->setContentView(std::make_unique<OVPrompterView>(Rect{0, 0, 600, 400})));
    first->makeKeyAndOrderFront();
    first->makeMainWindow();
    EXPECT_EQ(controller.textView(), prompter->prompterTextView());

    // Another window taking over lets go of the script; the prompter coming back takes it again.
    Window other(Rect{200, 200, 300, 200});
    other.makeKeyAndOrderFront();
    other.makeMainWindow();
    EXPECT_EQ(controller.textView(), nullptr);
    first->makeMainWindow();
    EXPECT_EQ(controller.textView(), prompter->prompterTextView());
    first->close();
    EXPECT_EQ(controller.textView(), nullptr);
    OVBookmarkController::setHost({});
    OVLayoutManager::setPrompterScaleFactorProvider({});
}

} // namespace
