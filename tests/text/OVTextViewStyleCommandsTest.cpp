// The text view's restyling commands on a view alone: what a prompt-output view resizes, what the
// size and inversion notifications carry, and when they stay silent.
#include "platform/appkit/UndoManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/text/AttributeNames.h"
#include "text/OVTextView.h"

#include <gtest/gtest.h>

namespace {

Font font(double size)
{
    Font result;
    result.familyName = result.fontName = QStringLiteral("Helvetica");
    result.pointSize = size;
    return result;
}

class OVTextViewStyleCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVTextView::setBeeper([this] { ++beeps; });
        view = std::make_unique<OVTextView>();
        view->textStorage().setAttributedString(
            AttributedString(QStringLiteral("Some words\nand more\n"), {{kFontAttributeName, font(12)}}));
    }
    void TearDown() override
    {
        view.reset();
        OVTextView::setBeeper({});
    }
    double sizeAt(qsizetype index) const
    {
        const AttributeValue value = view->textStorage().attribute(kFontAttributeName, index);
        return value.font() ? value.font()->pointSize : -1;
    }

    std::unique_ptr<OVTextView> view;
    int beeps = 0;
};

TEST_F(OVTextViewStyleCommandsTest, AnOutputViewGivenACaretResizesTheWholeTextWithoutUndo)
{
    view->configureForEditing(false);
    view->adjustTextSizeByFactor(2, 0, {{3, 0}});
    EXPECT_EQ(sizeAt(0), 24);
    EXPECT_EQ(sizeAt(15), 24);
    EXPECT_FALSE(view->undoManager()->canUndo());
}

TEST_F(OVTextViewStyleCommandsTest, TheTypingFontFollowsAndTheShownRangeIsAnnounced)
{
    view->setTypingAttributes({{kFontAttributeName, font(12)}});
    view->setSelectedRange({0, 4});
    std::vector<QVariant> shown;
    NotificationObserver observer(
        NotificationCenter::shared(), OVTextViewDidScrollForTextSizeChangeNotification, view.get(),
        [&](const Notification& n) { shown.push_back(n.userInfo.value(OVTextViewDisplayRange)); });
    view->increaseTextSize();
    EXPECT_EQ(sizeAt(0), 14);
    EXPECT_EQ(sizeAt(5), 12);
    EXPECT_EQ(view->typingAttributes().value(kFontAttributeName).font()->pointSize, 14);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.front().toList().size(), 2);
    // Selecting and keeping the selection at once is no request at all.
    view->adjustTextSizeByFactor(1, 2, {{0, 4}},
                                 OVTextView::TextSizeSelectRanges | OVTextView::TextSizeKeepSelection);
    EXPECT_EQ(sizeAt(0), 14);
    EXPECT_EQ(beeps, 0);
}

TEST_F(OVTextViewStyleCommandsTest, SilencedViewsPostNoInversionNotices)
{
    int notices = 0;
    NotificationObserver will(NotificationCenter::shared(), OVTextViewWillInvertColorsNotification,
                              view.get(), [&](const Notification&) { ++notices; });
    view->invertColorsIgnoringModifiers();
    EXPECT_EQ(notices, 1);
    view->setDisableContentNotifications(true);
    view->invertColorsIgnoringModifiers();
    EXPECT_EQ(notices, 1);
    const AttributeValue color = view->textStorage().attribute(kForegroundColorAttributeName, 0);
    ASSERT_TRUE(color.color());
    EXPECT_EQ(*color.color(), Color::rgb(0, 0, 0)) << "twice inverted, the blackened text is black again";
}

} // namespace
