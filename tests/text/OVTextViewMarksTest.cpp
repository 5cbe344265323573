#include "text/OVTextView.h"

#include "../support/IsolatedSettings.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/text/Rtfd.h"
#include "platform/textlayout/LayoutManager.h"

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] const auto* kIsolated = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);

class OVTextViewMarksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        clip = std::make_unique<ClipView>(Rect(0, 0, 400, 300));
        view = static_cast<OVTextView*>(
            clip->setDocumentView(std::make_unique<OVTextView>(Rect(0, 0, 400, 300))));
        view->setDrawsMarkedText(true);
        view->setString(QStringLiteral("one two three four"));
        view->undoManager()->removeAllActions();
    }

    std::vector<Range> marks() const
    {
        std::vector<Range> found;
        view->layoutManager()->enumerateTemporaryAttribute(
            OVMarkedTextAttributeName, {0, view->textStorage().length()}, false,
            [&](const AttributeValue& value, const Range& run, bool&) {
                if (!value.isNull())
                    found.push_back(run);
            });
        return found;
    }

    std::unique_ptr<ClipView> clip;
    OVTextView* view = nullptr;
};

TEST_F(OVTextViewMarksTest, OverlappingMarksMergeAndAnyUnmarkDropsTheWholeMark)
{
    view->markTextInRanges({{4, 3}, {6, 5}});
    EXPECT_EQ(marks(), std::vector<Range>({{4, 7}}));
    EXPECT_EQ(view->contiguousMarkedRangeForRange({5, 0}), Range(4, 7));
    EXPECT_EQ(view->contiguousMarkedRangeForRange({0, 2}), Range(0, 2));

    view->markTextInRange({2, 0});
    EXPECT_EQ(marks().size(), 1u);
    view->unmarkTextInRange({kNotFound, 0});
    EXPECT_EQ(marks().size(), 1u);
    view->unmarkTextInRange({5, 0});
    EXPECT_TRUE(marks().empty());

    // Touching the end counts too.
    view->markTextInRange({4, 3});
    view->unmarkTextInRange({7, 0});
    EXPECT_TRUE(marks().empty());
}

TEST_F(OVTextViewMarksTest, MarkingIsNoEditOfTheDocument)
{
    int notices = 0;
    NotificationObserver didProcess(NotificationCenter::shared(), OVTextViewDidProcessEditingNotification,
                                    nullptr, [&](const Notification&) { ++notices; });
    NotificationObserver didChange(NotificationCenter::shared(), kTextDidChangeNotification, nullptr,
                                   [&](const Notification&) { ++notices; });
    view->markTextInRange({0, 3});
    view->unmarkTextInRange({1, 0});
    view->markTextInRange({8, 5});
    EXPECT_EQ(notices, 0);
    EXPECT_FALSE(view->undoManager()->canUndo());
    EXPECT_EQ(marks(), std::vector<Range>({{8, 5}}));

    // Marks shift with the text around them; typed characters are not marked.
    view->setSelectedRange({0, 0});
    view->insertText(QStringLiteral("xx "));
    EXPECT_EQ(marks(), std::vector<Range>({{11, 5}}));
    EXPECT_EQ(view->string().mid(11, 5), QStringLiteral("three"));

    // What is saved has no trace of the mark, and a reopened script has none.
    bool stored = false;
    view->textStorage().enumerateAttributes({0, view->textStorage().length()}, 0,
                                            [&](const AttributeDictionary& attributes, const Range&, bool&) {
                                                stored =
                                                    stored || attributes.contains(OVMarkedTextAttributeName);
                                            });
    EXPECT_FALSE(stored);
    MutableAttributedString saved;
    ASSERT_TRUE(Rtfd::readData(Rtfd::data(view->textStorage(), {}), saved, nullptr, nullptr));
    OVTextView reopened;
    reopened.textStorage().setAttributedString(saved);
    bool marked = false;
    reopened.layoutManager()->enumerateTemporaryAttribute(
        OVMarkedTextAttributeName, {0, saved.length()}, false,
        [&](const AttributeValue& value, const Range&, bool&) { marked = marked || !value.isNull(); });
    EXPECT_FALSE(marked);
}

TEST_F(OVTextViewMarksTest, JumpsGoFromMarkToMarkAndLandAtTheirStart)
{
    view->markTextInRanges({{4, 3}, {14, 4}});
    view->setSelectedRange({5, 0});
    view->jumpToSubsequentMarkInDirection(OVTextView::MarkJumpNext, false);
    EXPECT_EQ(view->selectedRange(), Range(14, 0));
    view->jumpToSubsequentMarkInDirection(OVTextView::MarkJumpNext, false);
    EXPECT_EQ(view->selectedRange(), Range(14, 0));
    view->jumpToSubsequentMarkInDirection(OVTextView::MarkJumpPrevious, false);
    EXPECT_EQ(view->selectedRange(), Range(4, 0));

    view->setSelectedRange({5, 0});
    view->jumpToSubsequentMarkInDirection(OVTextView::MarkJumpPrevious, false);
    EXPECT_EQ(view->selectedRange(), Range(5, 0));
    view->jumpToSubsequentMarkInDirection(0, false);
    view->jumpToSubsequentMarkInDirection(3, false);
    EXPECT_EQ(view->selectedRange(), Range(5, 0));

    view->jumpToMarkAtRange({5, 1}, true);
    EXPECT_EQ(view->selectedRange(), Range(4, 3));
    view->jumpToMarkAtRange({5, 1}, false);
    EXPECT_EQ(view->selectedRange(), Range(4, 0));
    view->jumpToMarkAtRange({9, 2}, true);
    EXPECT_EQ(view->selectedRange(), Range(4, 0));
}

TEST_F(OVTextViewMarksTest, VisibleMarksAndMarkingTheVisibleLines)
{
    QString lines;
    for (int i = 0; i < 60; ++i)
        lines += QStringLiteral("Line %1\n").arg(i, 2, 10, QChar('0'));
    view->setString(lines);
    view->markTextInRange({0, 4});
    EXPECT_TRUE(view->isMarkedTextVisibleInViewport());
    view->setDrawsMarkedText(false);
    EXPECT_FALSE(view->isMarkedTextVisibleInViewport());
    view->setDrawsMarkedText(true);
    clip->scrollToPoint({0, 300});
    EXPECT_FALSE(view->isMarkedTextVisibleInViewport());

    // Scrolled so the last line shows only in part: it stays unmarked.
    view->unmarkTextInRange({0, 0});
    const Rect line = view->layoutManager()->lineFragmentRectForGlyphAtIndex(0);
    clip->scrollToPoint({0, line.height() * 10 + view->textContainerOrigin().y});
    view->markTextInVisibleRange();
    const std::vector<Range> marked = marks();
    ASSERT_EQ(marked.size(), 1u);
    const Rect visible = view->visibleRect();
    const Point origin = view->textContainerOrigin();
    const Rect first = view->layoutManager()->lineFragmentRectForGlyphAtIndex(marked[0].location);
    const Rect last = view->layoutManager()->lineFragmentRectForGlyphAtIndex(marked[0].end() - 1);
    EXPECT_GE(first.minY() + origin.y, visible.minY() - 0.01);
    EXPECT_LE(last.maxY() + origin.y, visible.maxY() + 0.01);
    const Rect after = view->layoutManager()->lineFragmentRectForGlyphAtIndex(marked[0].end());
    EXPECT_GT(after.maxY() + origin.y, visible.maxY());
}

} // namespace
