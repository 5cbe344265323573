// Bookmarks and marks on a long script: a 1 MB script with 2,000 bookmarks counted, listed in a
// menu and jumped through while prompting, and a full-HD frame with 200 marks and a selection.
#include "BenchApplication.h"
#include "ScriptSample.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkController.h"
#include "text/OVTextView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr qsizetype kScriptCharacters = 1'000'000;
constexpr int kBookmarks = 2000;
constexpr int kMarks = 200;

using bench::application;

// The script with a named bookmark opening every n-th paragraph.
MutableAttributedString scriptWithBookmarks()
{
    MutableAttributedString script = ScriptSample::make(kScriptCharacters);
    std::vector<qsizetype> starts{0};
    const QString& text = script.string();
    for (qsizetype i = text.indexOf(QChar('\n')); i >= 0 && i + 1 < text.size();
         i = text.indexOf(QChar('\n'), i + 1))
        starts.push_back(i + 1);
    const qsizetype every = std::max<qsizetype>(1, qsizetype(starts.size()) / kBookmarks);
    std::vector<qsizetype> chosen;
    for (qsizetype i = 0; i < qsizetype(starts.size()) && qsizetype(chosen.size()) < kBookmarks; i += every)
        chosen.push_back(starts[i]);
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
        auto attachment = OVBookmark::bookmarkWithName(QStringLiteral("Cue %1").arg(it - chosen.rbegin()))
                              ->textAttachment();
        script.insert(AttributedString(QString(QChar(0xFFFC)),
                                       {{kAttachmentAttributeName, AttributeValue(attachment)}}),
                      *it);
    }
    return script;
}

struct Script {
    Script()
    {
        application();
        UserDefaults::shared().setBool(
            true, NSMutableAttributedStringOVBookmarkAdditions::kBookmarksShowContextKey);
        UserDefaults::shared().setBool(true, QStringLiteral("useNumberedBookmarks"));
        clip = std::make_unique<ClipView>(Rect(0, 0, 1920, 1080));
        view = static_cast<OVTextView*>(
            clip->setDocumentView(std::make_unique<OVTextView>(Rect(0, 0, 1920, 1080))));
        view->textStorage().setAttributedString(scriptWithBookmarks());
        OVBookmarkController::sharedBookmarkController().setTextView(view);
    }
    ~Script() { OVBookmarkController::sharedBookmarkController().setTextView(nullptr); }
    std::unique_ptr<ClipView> clip;
    OVTextView* view = nullptr;
};

Script& script()
{
    static Script shared;
    return shared;
}

void BM_RecountBookmarks(benchmark::State& state)
{
    Script& s = script();
    OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
    for (auto _ : state)
        controller.recountBookmarks();
    state.counters["bookmarks"] = double(controller.bookmarkInfoArray().size());
    benchmark::DoNotOptimize(s.view);
}
BENCHMARK(BM_RecountBookmarks)->Unit(benchmark::kMillisecond);

// The longest count: a script without bookmarks is read to its end.
void BM_RecountScriptWithoutBookmarks(benchmark::State& state)
{
    application();
    ClipView clip(Rect(0, 0, 1920, 1080));
    auto* view =
        static_cast<OVTextView*>(clip.setDocumentView(std::make_unique<OVTextView>(Rect(0, 0, 1920, 1080))));
    view->textStorage().setAttributedString(ScriptSample::make(kScriptCharacters));
    OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
    TextView* previous = controller.textView();
    controller.setTextView(view);
    for (auto _ : state)
        controller.recountBookmarks();
    controller.setTextView(previous);
}
BENCHMARK(BM_RecountScriptWithoutBookmarks)->Unit(benchmark::kMillisecond);

void BM_BuildBookmarkMenu(benchmark::State& state)
{
    script();
    OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
    controller.setMenuDisplayMode(unsigned(state.range(0)));
    Menu menu;
    menu.addItem(MenuItem::separatorItem());
    controller.addBookmarksMenuToUpdateList(&menu, 1, 0);
    for (auto _ : state)
        controller.menuNeedsUpdate(menu);
    state.counters["items"] = menu.numberOfItems();
    controller.removeBookmarksMenuFromUpdateList(&menu);
}
BENCHMARK(BM_BuildBookmarkMenu)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A key typed into a script whose Bookmarks menu lists its 2,000 bookmarks, against one without
// bookmarks: every key passes the main menu's key equivalents on its way to the text.
void BM_TypedKeyThroughMainMenu(benchmark::State& state)
{
    Script& s = script();
    OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
    const bool withBookmarks = state.range(0) != 0;
    controller.setTextView(withBookmarks ? s.view : nullptr);
    Menu main;
    auto bookmarksItem = std::make_unique<MenuItem>(QStringLiteral("Bookmarks"), QString());
    bookmarksItem->setSubmenu(std::make_unique<Menu>(QStringLiteral("Bookmarks")));
    Menu* bookmarks = main.addItem(std::move(bookmarksItem))->submenu();
    bookmarks->addItemWithTitle(QStringLiteral("Add Bookmark"), QStringLiteral("addBookmark:"));
    bookmarks->addItem(MenuItem::separatorItem());
    controller.addBookmarksMenuToUpdateList(bookmarks, 2, 0);
    // The menu has been opened once: its items are there.
    bookmarks->prepareToOpen();
    Event key;
    key.type = Event::Type::KeyDown;
    key.characters = key.charactersIgnoringModifiers = QStringLiteral("a");
    for (auto _ : state)
        benchmark::DoNotOptimize(main.performKeyEquivalent(key));
    state.counters["items"] = bookmarks->numberOfItems();
    controller.removeBookmarksMenuFromUpdateList(bookmarks);
    controller.setTextView(s.view);
}
BENCHMARK(BM_TypedKeyThroughMainMenu)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The first menu after an edit: the context names are made again from the text.
void BM_BuildBookmarkMenuAfterEdit(benchmark::State& state)
{
    Script& s = script();
    OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
    controller.setMenuDisplayMode(unsigned(state.range(0)));
    Menu menu;
    menu.addItem(MenuItem::separatorItem());
    controller.addBookmarksMenuToUpdateList(&menu, 1, 0);
    bool underline = false;
    for (auto _ : state) {
        state.PauseTiming();
        underline = !underline;
        s.view->textStorage().addAttribute(kUnderlineStyleAttributeName, AttributeValue(qint64(underline)),
                                           {5, 1});
        state.ResumeTiming();
        controller.menuNeedsUpdate(menu);
    }
    controller.removeBookmarksMenuFromUpdateList(&menu);
}
BENCHMARK(BM_BuildBookmarkMenuAfterEdit)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The context names the menu titles show, refreshed each time a menu opens.
void BM_UpdateTransientNames(benchmark::State& state)
{
    Script& s = script();
    for (auto _ : state)
        NSMutableAttributedStringOVBookmarkAdditions::updateBookmarkTransientNames(s.view->textStorage());
}
BENCHMARK(BM_UpdateTransientNames)->Unit(benchmark::kMillisecond);

void BM_PromptModeNextBookmark(benchmark::State& state)
{
    Script& s = script();
    OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
    OVBookmarkController::Host host;
    host.isModePrompt = [] { return true; };
    // A running prompter: the core takes the jump as a scrolling delta for its next frame, so what
    // is measured is the controller's own work. Presses come faster than the frames, so each goes
    // on from where the last one went.
    double pending = 0;
    host.addScrollingDelta = [&pending](double delta) {
        pending = delta;
        return true;
    };
    OVBookmarkController::setHost(host);
    UserDefaults::shared().setBool(true, QStringLiteral("bookmarkPreviousNextNavigationWrapsAround"));
    s.view->setEditable(false);
    // As in Prompt mode, statistics wait in memory instead of going to the disk with each press.
    HVAnalytics& analytics = HVAppServices::shared().analytics();
    analytics.setPersistsChanges(false);
    s.clip->scrollToPoint({0, s.view->frame().size.height / 2});
    controller.jumpToNextBookmark();
    for (auto _ : state)
        controller.jumpToNextBookmark();
    benchmark::DoNotOptimize(pending);
    analytics.setPersistsChanges(true);
    OVBookmarkController::setHost({});
    s.view->setEditable(true);
}
BENCHMARK(BM_PromptModeNextBookmark)->Unit(benchmark::kMicrosecond);

void BM_FrameWithMarksAndSelection(benchmark::State& state)
{
    Script& s = script();
    const bool marked = state.range(0) != 0;
    const qsizetype length = s.view->textStorage().length();
    s.view->setDrawsMarkedText(marked);
    s.clip->scrollToPoint({0, s.view->frame().size.height / 2});
    const Range visible = s.view->visibleCharacterRange();
    if (marked) {
        // 200 marks, the visible ones among them short and close together.
        std::vector<Range> ranges;
        for (int i = 0; i < kMarks; ++i)
            ranges.push_back(
                {visible.location + qsizetype(i) * std::max<qsizetype>(1, visible.length / kMarks), 8});
        s.view->markTextInRanges(ranges);
        s.view->setSelectedRange({visible.location + visible.length / 3, visible.length / 3});
    }
    QImage frame(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    double y = s.clip->bounds().minY();
    for (auto _ : state) {
        y += 0.37;
        s.clip->scrollToPoint({0, y});
        QPainter painter(&frame);
        s.clip->displayRectIgnoringOpacity(s.clip->bounds(), painter);
        benchmark::DoNotOptimize(frame.constBits());
    }
    s.view->layoutManager()->removeTemporaryAttribute(OVMarkedTextAttributeName, {0, length});
    s.view->setSelectedRange({0, 0});
}
BENCHMARK(BM_FrameWithMarksAndSelection)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
