#include "text/OVBookmarkController.h"

#include "../support/IsolatedSettings.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/UndoManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "platform/textlayout/LayoutManager.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkCell.h"
#include "text/OVTextView.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

[[maybe_unused]] const auto* kIsolated = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);

const QChar kAttachment(0xFFFC);
const QString kWraps = QStringLiteral("bookmarkPreviousNextNavigationWrapsAround");
const QString kNumbered = QStringLiteral("useNumberedBookmarks");

qint64 statistic(const char* key)
{
    return HVAppServices::shared().analytics().integerForKeyPath(QString::fromLatin1(key));
}

AttributedString bookmarkString(const QString& name)
{
    return AttributedString(
        QString(kAttachment),
        {{kAttachmentAttributeName, AttributeValue(OVBookmark::bookmarkWithName(name)->textAttachment())}});
}

Event keyDown(const QString& characters, unsigned long flags)
{
    Event event;
    event.type = Event::Type::KeyDown;
    event.characters = characters;
    event.charactersIgnoringModifiers = characters;
    event.modifierFlags = flags;
    return event;
}

class OVBookmarkControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::setShared(&clock);
        clip = std::make_unique<ClipView>(Rect(0, 0, 400, 200));
        view = static_cast<OVTextView*>(
            clip->setDocumentView(std::make_unique<OVTextView>(Rect(0, 0, 400, 200))));
        OVBookmarkController::Host host;
        host.isModePrompt = [this] { return prompt; };
        host.addScrollingDelta = [this](double delta) {
            deltas.push_back(delta);
            return accepts;
        };
        host.beep = [this] { ++beeps; };
        OVBookmarkController::setHost(host);
        Menu::setModifierFlagsProvider([this] { return modifiers; });
        controller().setTextView(view);
    }
    void TearDown() override
    {
        controller().setTextView(nullptr);
        OVBookmarkController::setHost({});
        Menu::setModifierFlagsProvider({});
        UserDefaults::shared().removeObjectForKey(kWraps);
        UserDefaults::shared().removeObjectForKey(kNumbered);
        UserDefaults::shared().removeObjectForKey(
            NSMutableAttributedStringOVBookmarkAdditions::kBookmarksShowContextKey);
        controller().setMenuDisplayMode(2);
        clip.reset();
        Clock::setShared(nullptr);
    }

    static OVBookmarkController& controller() { return OVBookmarkController::sharedBookmarkController(); }

    // Lines "Line 0".."Line n-1"; the listed lines open with a bookmark named after them.
    void setScript(int lines, const std::vector<int>& bookmarked)
    {
        MutableAttributedString text;
        for (int i = 0; i < lines; ++i) {
            if (std::find(bookmarked.begin(), bookmarked.end(), i) != bookmarked.end())
                text.append(bookmarkString(QStringLiteral("Mark %1").arg(i)));
            text.append(QStringLiteral("Line %1\n").arg(i), {});
        }
        view->textStorage().setAttributedString(text);
        view->undoManager()->removeAllActions();
        RunLoop::main().advanceManualClock(clock, 0.3);
    }
    std::vector<qsizetype> bookmarkLocations() const
    {
        std::vector<qsizetype> locations;
        for (const auto& info : controller().bookmarkInfoArray())
            locations.push_back(info.location);
        return locations;
    }
    double positionOf(int index) const
    {
        const auto infos = controller().bookmarkInfoArray();
        return controller()._adjustedPositionForBookmarkInfo(&infos.at(index));
    }

    ManualClock clock;
    std::unique_ptr<ClipView> clip;
    OVTextView* view = nullptr;
    bool prompt = false;
    bool accepts = true;
    unsigned long modifiers = 0;
    std::vector<double> deltas;
    int beeps = 0;
};

TEST_F(OVBookmarkControllerTest, QuickBookmarksGoToEachSelectedLineAsOneUndoStep)
{
    view->setString(QStringLiteral("One\nTwo\nThree\n"));
    view->undoManager()->removeAllActions();
    view->setSelectedRange({1, 9});
    const qint64 added = statistic("bookmarks.bookmarksAdded");
    controller().addQuickBookmark();

    EXPECT_EQ(view->string(),
              QString(kAttachment) + "One\n" + kAttachment + "Two\n" + kAttachment + "Three\n");
    EXPECT_EQ(statistic("bookmarks.bookmarksAdded"), added + 3);
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Add Bookmark"));
    // A second add on the same lines has nowhere to go.
    controller().addQuickBookmark();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(statistic("bookmarks.bookmarksAdded"), added + 3);

    view->undoManager()->undo();
    EXPECT_EQ(view->string(), QStringLiteral("One\nTwo\nThree\n"));
}

TEST_F(OVBookmarkControllerTest, ABookmarkOnAnEmptyLineComesBeforeAPlainBlank)
{
    view->setString(QStringLiteral("A\n\nB"));
    view->textStorage().addAttribute(kUnderlineStyleAttributeName, AttributeValue(qint64(1)), {0, 4});
    view->textStorage().addAttribute(kBackgroundColorAttributeName, AttributeValue(Color::rgb(1, 1, 0)),
                                     {0, 4});
    view->setSelectedRange({2, 0});
    const qint64 named = statistic("bookmarks.namedBookmarksAdded");
    controller()._applyEditOfOriginalBookmark(nullptr, OVBookmark(QStringLiteral("Cue")));

    ASSERT_EQ(view->string(), QStringLiteral("A\n") + kAttachment + QStringLiteral(" \nB"));
    const AttributeDictionary blank = view->textStorage().attributesAtIndex(3);
    EXPECT_FALSE(blank.contains(kUnderlineStyleAttributeName));
    EXPECT_FALSE(blank.contains(kBackgroundColorAttributeName));
    EXPECT_EQ(statistic("bookmarks.namedBookmarksAdded"), named + 1);

    // Removing it takes the blank it brought along.
    controller().removeBookmarksInRange({2, 0});
    EXPECT_EQ(view->string(), QStringLiteral("A\n\nB"));
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Remove Bookmarks"));
}

TEST_F(OVBookmarkControllerTest, RemovingKeepsBlanksThatBelongToTheText)
{
    const auto removeFrom = [&](const AttributedString& line) {
        view->textStorage().setAttributedString(line);
        controller().removeBookmarksInRange({0, line.length()});
        return view->string();
    };
    MutableAttributedString single(bookmarkString({}));
    single.append(QStringLiteral(" Hello"), {});
    EXPECT_EQ(removeFrom(single), QStringLiteral("Hello"));
    MutableAttributedString two(bookmarkString({}));
    two.append(QStringLiteral("  Hello"), {});
    EXPECT_EQ(removeFrom(two), QStringLiteral("  Hello"));
    MutableAttributedString inside(AttributedString(QStringLiteral("Hi ")));
    inside.append(bookmarkString({}));
    inside.append(QStringLiteral(" there"), {});
    EXPECT_EQ(removeFrom(inside), QStringLiteral("Hi  there"));

    // "No range" names no line: the last one, without a line break after it, keeps its bookmark.
    MutableAttributedString last(AttributedString(QStringLiteral("A\n")));
    last.append(bookmarkString({}));
    last.append(QStringLiteral(" B"), {});
    view->textStorage().setAttributedString(last);
    controller().removeBookmarksInRange({kNotFound, 0});
    EXPECT_EQ(view->string(), last.string());
}

TEST_F(OVBookmarkControllerTest, RenamingGoesThroughTheSheetWithItsOwnUndoName)
{
    setScript(3, {1});
    std::shared_ptr<OVBookmark> asked;
    OVBookmarkController::Host host;
    host.runNameSheet = [&](TextView&, std::shared_ptr<OVBookmark> original,
                            OVBookmarkController::Host::NameSheetDone done) {
        asked = original;
        done(1, OVBookmark::bookmarkWithName(QStringLiteral("Opening")), true);
    };
    host.beep = [this] { ++beeps; };
    OVBookmarkController::setHost(host);
    const qint64 edits = statistic("bookmarks.edits");

    controller().editBookmarkAtIndex(0);
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->name(), QStringLiteral("Mark 1"));
    const auto renamed =
        NSTextAttachmentOVBookmarkAdditions::bookmark(*controller().bookmarkInfoArray().at(0).attachment);
    EXPECT_EQ(renamed->name(), QStringLiteral("Opening"));
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Edit Bookmark"));
    EXPECT_EQ(statistic("bookmarks.edits"), edits + 1);

    // A menu built before the bookmark went away cannot reach past the text.
    controller().editBookmarkAtIndex(5);
    EXPECT_EQ(beeps, 1);
}

TEST_F(OVBookmarkControllerTest, CountsFollowEditsOnceTheyPauseForAFifthOfASecond)
{
    int changes = 0;
    const int token = controller().addBindingsObserver([&] { ++changes; });
    setScript(4, {});
    EXPECT_FALSE(controller().hasOneBookmark());
    view->setSelectedRange({0, 0});
    controller().addQuickBookmark();
    EXPECT_FALSE(controller().hasOneBookmark());
    RunLoop::main().advanceManualClock(clock, 0.1);
    view->setSelectedRange({view->string().indexOf("Line 2"), 0});
    controller().addQuickBookmark();
    // The second edit restarted the wait.
    RunLoop::main().advanceManualClock(clock, 0.15);
    EXPECT_FALSE(controller().hasOneBookmark());
    RunLoop::main().advanceManualClock(clock, 0.06);
    EXPECT_TRUE(controller().hasOneBookmark());
    EXPECT_TRUE(controller().hasMultipleBookmarks());
    EXPECT_TRUE(controller().canAddOrEditBookmark());
    EXPECT_EQ(changes, 1);
    controller().removeBindingsObserver(token);
}

TEST_F(OVBookmarkControllerTest, EditModeJumpsFollowTheCaretAndWrapAsAskedOrReversedByAlt)
{
    setScript(30, {2, 12, 25});
    const std::vector<qsizetype> marks = bookmarkLocations();
    ASSERT_EQ(marks.size(), 3u);
    view->setSelectedRange({0, 0});
    const qint64 actions = statistic("bookmarks.previousNextActions");

    controller().jumpToNextBookmark();
    EXPECT_EQ(view->selectedRange(), Range(marks[0] + 1, 0));
    controller().jumpToNextBookmark();
    EXPECT_EQ(view->selectedRange(), Range(marks[1] + 1, 0));
    EXPECT_NEAR(clip->bounds().minY(), std::round(positionOf(1)), 0.5);
    controller().jumpToPreviousBookmark();
    EXPECT_EQ(view->selectedRange(), Range(marks[0] + 1, 0));
    EXPECT_EQ(statistic("bookmarks.previousNextActions"), actions + 3);

    view->setSelectedRange({marks[2] + 3, 0});
    const double scroll = clip->bounds().minY();
    controller().jumpToNextBookmark();
    EXPECT_EQ(view->selectedRange(), Range(marks[2] + 3, 0));
    EXPECT_EQ(clip->bounds().minY(), scroll);
    EXPECT_EQ(statistic("bookmarks.previousNextActions"), actions + 3);

    modifiers = kOptionKeyMask;
    controller().jumpToNextBookmark();
    EXPECT_EQ(view->selectedRange(), Range(marks[0] + 1, 0));

    // Wrapping on by default; Alt turns it off.
    UserDefaults::shared().setBool(true, kWraps);
    controller().jumpToPreviousBookmark();
    EXPECT_EQ(view->selectedRange(), Range(marks[0] + 1, 0));
    modifiers = 0;
    controller().jumpToPreviousBookmark();
    EXPECT_EQ(view->selectedRange(), Range(marks[2] + 1, 0));
}

TEST_F(OVBookmarkControllerTest, PromptModeJumpsMoveOnWhileThePrompterHasNotCaughtUp)
{
    setScript(60, {5, 20, 40});
    prompt = true;
    view->setEditable(false);
    clip->scrollToPoint({0, std::floor(positionOf(0)) + 1});

    // Within the tolerance of the first bookmark: the next one is the second.
    controller().jumpToNextBookmark();
    ASSERT_EQ(deltas.size(), 1u);
    const double start = clip->bounds().minY();
    EXPECT_NEAR(deltas[0], std::round(positionOf(1)) - start, 0.5);
    // The prompter has not moved yet; a second press within a second goes to the third.
    clock.advance(0.5);
    controller().jumpToNextBookmark();
    ASSERT_EQ(deltas.size(), 2u);
    EXPECT_NEAR(deltas[1], std::round(positionOf(2)) - start, 0.5);

    // Once the memory lapsed, the same press goes back to the second bookmark.
    RunLoop::main().advanceManualClock(clock, 1.1);
    EXPECT_EQ(controller().recentPreviousNextLocation(), OVBookmarkController::kRecentLocationReset);
    controller().jumpToNextBookmark();
    ASSERT_EQ(deltas.size(), 3u);
    EXPECT_NEAR(deltas[2], deltas[0], 0.5);
    // Nothing changes the caret while prompting.
    EXPECT_EQ(view->selectedRange(), Range(0, 0));

    // A paused prompter takes no deltas: the view moves at once.
    accepts = false;
    RunLoop::main().advanceManualClock(clock, 1.1);
    controller().jumpToNextBookmark();
    EXPECT_EQ(deltas.size(), 4u);
    EXPECT_NEAR(clip->bounds().minY(), std::round(positionOf(1)), 0.5);
}

TEST_F(OVBookmarkControllerTest, ControlAltDigitsJumpDirectlyAndSwallowDigitsPastTheLastBookmark)
{
    setScript(30, {2, 12});
    view->setSelectedRange({0, 0});
    const qint64 jumps = statistic("bookmarks.directJumpActions");
    Event three = keyDown(QStringLiteral("3"), OVBookmarkController::kDirectJumpModifierMask);
    EXPECT_FALSE(controller().handleKeyDownEvent(three));
    EXPECT_EQ(view->selectedRange(), Range(0, 0));
    EXPECT_EQ(statistic("bookmarks.directJumpActions"), jumps);

    setScript(30, {2, 12, 25});
    EXPECT_FALSE(controller().handleKeyDownEvent(three));
    EXPECT_EQ(view->selectedRange(), Range(bookmarkLocations()[2] + 1, 0));
    EXPECT_EQ(statistic("bookmarks.directJumpActions"), jumps + 1);

    // Other keys and other modifiers pass.
    Event plain = keyDown(QStringLiteral("3"), kCommandKeyMask);
    EXPECT_TRUE(controller().handleKeyDownEvent(plain));
    Event letter = keyDown(QStringLiteral("a"), OVBookmarkController::kDirectJumpModifierMask);
    EXPECT_TRUE(controller().handleKeyDownEvent(letter));
}

TEST_F(OVBookmarkControllerTest, MenusListBookmarksInEachDisplayModeWithTheFirstTenOnDigits)
{
    UserDefaults::shared().setBool(true,
                                   NSMutableAttributedStringOVBookmarkAdditions::kBookmarksShowContextKey);
    UserDefaults::shared().setBool(true, kNumbered);
    std::vector<int> lines(12);
    std::iota(lines.begin(), lines.end(), 0);
    setScript(12, lines);

    Menu menu;
    menu.addItemWithTitle(QStringLiteral("Add Bookmark"), QStringLiteral("addBookmark:"), {});
    menu.addItem(MenuItem::separatorItem());
    menu.addItem(MenuItem::separatorItem());
    menu.addItemWithTitle(QStringLiteral("Remove Bookmarks"), QStringLiteral("removeBookmarks:"), {});
    controller().addBookmarksMenuToUpdateList(&menu, 2, 0);
    EXPECT_EQ(menu.delegate(), &controller());
    controller().menuNeedsUpdate(menu);
    ASSERT_EQ(menu.numberOfItems(), 4 + 12);

    const QString separator = OVBookmarkController::menuTitleSeparator();
    const MenuItem* first = menu.itemAtIndex(2);
    EXPECT_EQ(first->title(),
              QStringLiteral("\u20071\u2007Mark 0") + separator + QStringLiteral("Line 0\u2026"));
    EXPECT_FALSE(first->styledTitle().isEmpty());
    EXPECT_EQ(first->keyEquivalent(), QStringLiteral("1"));
    EXPECT_EQ(first->keyEquivalentModifierMask(), OVBookmarkController::kDirectJumpModifierMask);
    EXPECT_EQ(menu.itemAtIndex(11)->keyEquivalent(), QStringLiteral("0"));
    EXPECT_TRUE(menu.itemAtIndex(12)->keyEquivalent().isEmpty());
    EXPECT_EQ(menu.itemAtIndex(13)->title(),
              QStringLiteral("12\u2007Mark 11") + separator + QStringLiteral("Line 11\u2026"));
    EXPECT_EQ(menu.itemAtIndex(14)->isSeparatorItem(), true);

    // Rebuilding replaces the items instead of adding more; mode 0 shows the plain name.
    controller().setMenuDisplayMode(0);
    controller().menuNeedsUpdate(menu);
    ASSERT_EQ(menu.numberOfItems(), 4 + 12);
    EXPECT_EQ(menu.itemAtIndex(2)->title(), QStringLiteral("Mark 0"));
    EXPECT_TRUE(menu.itemAtIndex(2)->styledTitle().isEmpty());

    controller().setMenuDisplayMode(1);
    controller().menuNeedsUpdate(menu);
    EXPECT_EQ(menu.itemAtIndex(2)->title(), QStringLiteral("\u20071\u2007Mark 0\tLine 0\u2026"));
    EXPECT_TRUE(menu.itemAtIndex(2)->styledTitle().contains(QStringLiteral("<td width=")));

    // Alt on its own turns an item into a rename of its bookmark.
    std::shared_ptr<OVBookmark> renamed;
    OVBookmarkController::Host host;
    host.runNameSheet = [&](TextView&, std::shared_ptr<OVBookmark> original,
                            OVBookmarkController::Host::NameSheetDone) { renamed = original; };
    host.beep = [this] { ++beeps; };
    OVBookmarkController::setHost(host);
    modifiers = kOptionKeyMask;
    controller()._jumpToBookmarkRepresentedByMenuItem(*menu.itemAtIndex(4));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->name(), QStringLiteral("Mark 2"));
    modifiers = 0;

    // Choosing an item built for a longer text beeps instead of jumping.
    MenuItem* last = menu.itemAtIndex(13);
    setScript(12, {0});
    controller()._jumpToBookmarkRepresentedByMenuItem(*last);
    EXPECT_EQ(beeps, 1);
    controller().removeBookmarksMenuFromUpdateList(&menu);
    EXPECT_EQ(menu.delegate(), nullptr);
}

TEST_F(OVBookmarkControllerTest, MenusShowTheContextAsEditedSinceTheLastMenu)
{
    UserDefaults::shared().setBool(true,
                                   NSMutableAttributedStringOVBookmarkAdditions::kBookmarksShowContextKey);
    setScript(40, {2, 30});
    controller().setMenuDisplayMode(0);
    Menu menu;
    controller().addBookmarksMenuToUpdateList(&menu, 0, 0);
    const auto rename = [&](qsizetype bookmark) {
        const qsizetype location = bookmarkLocations()[bookmark];
        const auto named = NSTextAttachmentOVBookmarkAdditions::bookmark(
            *controller().bookmarkInfoArray()[bookmark].attachment);
        named->setName(QString());
        view->textStorage().replaceCharacters({location + 1, 4}, QStringLiteral("Verse"));
    };
    controller().menuNeedsUpdate(menu);
    rename(0);
    rename(1);
    controller().menuNeedsUpdate(menu);
    ASSERT_EQ(menu.numberOfItems(), 2);
    EXPECT_TRUE(menu.itemAtIndex(0)->title().startsWith(QStringLiteral("Verse 2")))
        << qPrintable(menu.itemAtIndex(0)->title());
    EXPECT_TRUE(menu.itemAtIndex(1)->title().startsWith(QStringLiteral("Verse 30")))
        << qPrintable(menu.itemAtIndex(1)->title());
    controller().removeBookmarksMenuFromUpdateList(&menu);
}

TEST_F(OVBookmarkControllerTest, HiddenBookmarksShowTheAtomAndCannotBeAddedOrEdited)
{
    setScript(30, {2, 12, 25});
    ASSERT_TRUE(controller().canAddOrEditBookmark());
    controller().setBookmarksVisible(false);
    EXPECT_FALSE(controller().bookmarksVisible());
    EXPECT_FALSE(controller().canAddOrEditBookmark());
    for (const auto& info : controller().bookmarkInfoArray()) {
        const auto cell = std::dynamic_pointer_cast<OVBookmarkCell>(info.attachment->attachmentCell());
        ASSERT_TRUE(cell);
        EXPECT_FALSE(cell->isVisible());
    }
    const QString before = view->string();
    view->setSelectedRange({0, 0});
    controller().addQuickBookmark();
    EXPECT_EQ(view->string(), before);
    controller().setBookmarksVisible(true);
    EXPECT_TRUE(controller().canAddOrEditBookmark());
}

TEST_F(OVBookmarkControllerTest, TheClosestBookmarkIsTheFirstAtOrBelowTheTopOfTheView)
{
    setScript(60, {5, 20, 40});
    EXPECT_EQ(controller().indexOfClosestBookmark(), 0);
    clip->scrollToPoint({0, std::floor(positionOf(1)) - 1});
    EXPECT_EQ(controller().indexOfClosestBookmark(), 1);
    clip->scrollToPoint({0, std::floor(positionOf(2)) + 5});
    EXPECT_EQ(controller().indexOfClosestBookmark(), 2);
    setScript(3, {});
    EXPECT_EQ(controller().indexOfClosestBookmark(), -1);
}

} // namespace

TEST_F(OVBookmarkControllerTest, TheFindIndicatorPointsAtJumpedExistingAndHighlightedBookmarks)
{
    setScript(30, {2, 12, 25});
    const std::vector<qsizetype> marks = bookmarkLocations();
    ASSERT_EQ(marks.size(), 3u);

    // A jump in an editable view flashes the bookmark for a second.
    view->setSelectedRange({0, 0});
    controller().jumpToNextBookmark();
    EXPECT_EQ(view->findIndicatorRanges(), (std::vector<Range>{{marks[0], 1}}));
    RunLoop::main().advanceManualClock(clock, TextView::kFindIndicatorDuration + 0.1);
    EXPECT_TRUE(view->findIndicatorRanges().empty());
    controller().setHighlightJumpedBookmark(false);
    controller().jumpToNextBookmark();
    EXPECT_TRUE(view->findIndicatorRanges().empty());
    controller().setHighlightJumpedBookmark(true);

    // Adding on lines that have one points at those instead, and beeps.
    view->setSelectedRange({marks[1], 3});
    controller().addQuickBookmark();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(view->findIndicatorRanges(), (std::vector<Range>{{marks[1], 1}}));

    // Highlighting a bookmark item flashes its bookmark; the commands above do nothing.
    Menu menu;
    menu.addItemWithTitle(QStringLiteral("Add Bookmark"), QStringLiteral("addBookmark:"), {});
    menu.addItem(MenuItem::separatorItem());
    controller().addBookmarksMenuToUpdateList(&menu, 2, 0);
    menu.prepareToOpen();
    view->showFindIndicatorForRanges({});
    menu.delegate()->menuWillHighlightItem(menu, menu.itemAtIndex(0));
    EXPECT_TRUE(view->findIndicatorRanges().empty());
    menu.delegate()->menuWillHighlightItem(menu, menu.itemAtIndex(4));
    EXPECT_EQ(view->findIndicatorRanges(), (std::vector<Range>{{marks[2], 1}}));
    controller().menuDidClose(menu);
    controller().removeBookmarksMenuFromUpdateList(&menu);
}
