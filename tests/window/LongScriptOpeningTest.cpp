// A long script opens before it is all laid out: what the window shows is laid out at once, the rest
// in the background, and what depends on the whole height (the scroll position restored from the
// file, the remaining time, bookmark positions) is right once the background layout is done.
#include "app/sample/SampleScript.h"
#include "document/OVDocumentPackageWriter.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Window.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textview/TextView.h"
#include "tests/support/AppTestSupport.h"
#include "text/OVBookmark.h"
#include "window/OVDocumentPrompterView.h"

#include <gtest/gtest.h>

namespace {

constexpr int kParagraphs = 3000;

class LongScriptOpening : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        MutableAttributedString text;
        for (int i = 0; i < kParagraphs; ++i) {
            QString paragraph = QStringLiteral("Paragraph %1 of a script that goes on").arg(i);
            for (int w = 0; w < i % 17; ++w)
                paragraph += QStringLiteral(" and on");
            text.append(paragraph, samplescript::bodyAttributes());
            if (i % 500 == 250) {
                text.append(AttributedString(
                    QString(QChar(kAttachmentCharacter)),
                    {{kAttachmentAttributeName,
                      OVBookmark::bookmarkWithName(QStringLiteral("Mark %1").arg(i))->textAttachment()}}));
            }
            text.append(QStringLiteral(".\n"), samplescript::bodyAttributes());
        }
        OVDocumentPackageWriter::Input input;
        input.text = &text;
        Error error;
        ASSERT_TRUE(OVDocumentPackageWriter::writeToURL(url(), {}, input, &error))
            << qPrintable(error.localizedDescription());
    }

    QUrl url() const { return QUrl::fromLocalFile(folder.filePath(QStringLiteral("Long.ovdocument"))); }

    // Opens the script with background layout held, so that the test says when it runs.
    OVDocumentWindowController& open()
    {
        Error error;
        Document* document = scripts.documents.openDocumentWithContentsOfURL(url(), true, &error);
        EXPECT_NE(document, nullptr) << qPrintable(error.localizedDescription());
        OVDocumentWindowController& controller = apptest::ScriptDocuments::controllerOf(document);
        controller.textView()->layoutManager()->setBackgroundLayoutEnabled(false);
        return controller;
    }

    static void finishLayout(OVDocumentWindowController& controller)
    {
        LayoutManager& layout = *controller.textView()->layoutManager();
        while (layout.layOutInBackground(0.01)) {
        }
        layout.layOutInBackground(0);
        ASSERT_TRUE(layout.isLayoutComplete());
    }

    static double clipY(OVDocumentWindowController& controller)
    {
        return controller.documentPrompterView()->clipView()->bounds().origin.y;
    }

    apptest::ClockAndScreen clockAndScreen;
    QTemporaryDir folder;
    OVCore core;
    apptest::ScriptDocuments scripts{core, folder};
};

} // namespace

TEST_F(LongScriptOpening, AScrollRatioRestoredBeforeLayoutFinishesEndsOnTheSameText)
{
    OVDocumentWindowController& controller = open();
    TextView& view = *controller.textView();
    ASSERT_FALSE(view.layoutManager()->isLayoutComplete());

    controller.setPrompterPositionRatio(0.6);
    const Range shown = view.visibleCharacterRange();
    // Where the first paragraph shown stands on screen: the text above it may be laid out later and
    // move it in the view, but never on screen.
    const auto onScreen = [&] {
        return view.layoutManager()->paragraphTopForCharacterIndex(shown.location) +
               view.textContainerOrigin().y - clipY(controller);
    };
    const double y = onScreen();
    EXPECT_GT(shown.location, view.textStorage().length() / 3);

    finishLayout(controller);
    EXPECT_EQ(view.visibleCharacterRange(), shown);
    EXPECT_NEAR(onScreen(), y, 1e-6);
    const double ratio = controller.documentPrompterView()->positionRatio();
    EXPECT_NEAR(ratio, 0.6, 0.06) << "the estimate the ratio was restored on was close";
}

TEST_F(LongScriptOpening, RemainingTimeAndBookmarksAreRightOnceLayoutCompletes)
{
    OVDocumentWindowController& twin = open();
    twin.textView()->layoutManager()->ensureLayoutForTextContainer();
    finishLayout(twin);
    OVDocumentWindowController& controller = open();
    LayoutManager& layout = *controller.textView()->layoutManager();
    const QString text = controller.textView()->textStorage().string();
    const qsizetype lastBookmark = text.lastIndexOf(QChar(kAttachmentCharacter));
    ASSERT_GT(lastBookmark, text.size() / 2);

    // Asked before layout reaches it, a bookmark's place is already the final one.
    const Rect early = layout.lineFragmentRectForGlyphAtIndex(lastBookmark);
    controller.setPrompterSpeed(2.0);
    twin.setPrompterSpeed(2.0);
    finishLayout(controller);

    EXPECT_EQ(layout.lineFragmentRectForGlyphAtIndex(lastBookmark), early);
    for (qsizetype at = text.indexOf(QChar(kAttachmentCharacter)); at >= 0;
         at = text.indexOf(QChar(kAttachmentCharacter), at + 1))
        EXPECT_EQ(layout.lineFragmentRectForGlyphAtIndex(at),
                  twin.textView()->layoutManager()->lineFragmentRectForGlyphAtIndex(at));
    EXPECT_DOUBLE_EQ(controller.textView()->frame().size.height, twin.textView()->frame().size.height);
    EXPECT_EQ(core.estimatedTimeRemainingForController(&controller),
              core.estimatedTimeRemainingForController(&twin));
    EXPECT_GT(core.estimatedTimeRemainingForController(&controller), 0);
}

TEST_F(LongScriptOpening, AHiddenWindowLeavesTheIdleTimeToOthers)
{
    OVDocumentWindowController& controller = open();
    LayoutManager& layout = *controller.textView()->layoutManager();
    layout.setBackgroundLayoutEnabled(true);
    Window other(Rect{{0, 0}, {200, 200}});
    controller.enableActivity(false, &other);
    EXPECT_TRUE(layout.backgroundLayoutEnabled());
    controller.enableActivity(false, controller.window());
    EXPECT_FALSE(layout.backgroundLayoutEnabled());
    controller.enableActivity(true, controller.window());
    EXPECT_TRUE(layout.backgroundLayoutEnabled());
}
