// The text ruler: where it sits in the scroll view, the handles it shows for the paragraph at the
// selection, and what dragging and clicking them does to the selected paragraphs, with undo.
#include "platform/textview/RulerView.h"
#include "TestSupport.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/text/AttributeNames.h"
#include "platform/textview/TextView.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>

#include <cmath>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenu>

#include <algorithm>

namespace {

struct RulerHarness {
    RulerHarness()
    {
        Clock::setShared(&clock);
        window = std::make_unique<Window>(Rect(100, 100, 500, 300));
        scrollView = static_cast<ScrollView*>(
            window->setContentView(std::make_unique<ScrollView>(Rect(0, 0, 500, 300))));
        view = static_cast<TextView*>(
            scrollView->setDocumentView(std::make_unique<TextView>(Rect(0, 0, 500, 300))));
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(view);
        view->setString(QStringLiteral("First paragraph\nSecond paragraph\nThird paragraph"));
        view->undoManager()->removeAllActions();
    }
    ~RulerHarness()
    {
        window.reset();
        Clock::setShared(nullptr);
    }

    RulerView* ruler() const { return view->rulerView(); }
    ParagraphStyle styleAt(qsizetype index) const
    {
        const AttributeValue value =
            view->textStorage().attributesAtIndex(index).value(kParagraphStyleAttributeName);
        return value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle{};
    }
    RulerMarker marker(const QString& tag) const
    {
        const std::vector<RulerMarker> markers = ruler()->markers();
        const auto found = std::find_if(markers.begin(), markers.end(),
                                        [&](const RulerMarker& m) { return m.representedObject == tag; });
        EXPECT_NE(found, markers.end()) << tag.toStdString();
        return found != markers.end() ? *found : RulerMarker{};
    }
    Event mouse(Event::Type type, const Point& inRuler) const
    {
        Event event;
        event.type = type;
        event.window = window.get();
        event.clickCount = 1;
        event.locationInWindow = ruler()->convertPointToView(inRuler, nullptr);
        return event;
    }
    // Drags from one point of the ruler to another, as the mouse would.
    void drag(const Point& from, const Point& to)
    {
        Event down = mouse(Event::Type::LeftMouseDown, from);
        ruler()->mouseDown(down);
        Event moved = mouse(Event::Type::LeftMouseDragged, {(from.x + to.x) / 2, to.y});
        ruler()->mouseDragged(moved);
        Event up = mouse(Event::Type::LeftMouseUp, to);
        ruler()->mouseUp(up);
    }
    Point handlePoint(const QString& tag) const
    {
        const Rect rect = ruler()->rectForMarker(marker(tag));
        return {rect.midX(), rect.midY()};
    }

    ManualClock clock{5000};
    std::unique_ptr<Window> window;
    ScrollView* scrollView = nullptr;
    TextView* view = nullptr;
};

TEST(RulerViewTest, ShowingTheRulerTakesAStripAboveTheTextAndHidingGivesItBack)
{
    RulerHarness h;
    EXPECT_FALSE(h.view->isRulerVisible());
    EXPECT_EQ(h.scrollView->contentView()->frame().origin.y, 0.0);
    h.view->toggleRuler();
    ASSERT_TRUE(h.view->isRulerVisible());
    ASSERT_NE(h.ruler(), nullptr);
    EXPECT_EQ(h.scrollView->contentView()->frame().origin.y, RulerView::kThickness);
    EXPECT_EQ(h.scrollView->contentView()->frame().size.height, 300 - RulerView::kThickness);
    EXPECT_EQ(h.ruler()->frame().size.width, 500.0);

    h.view->toggleRuler();
    EXPECT_FALSE(h.view->isRulerVisible());
    EXPECT_TRUE(h.ruler()->isHidden());
    EXPECT_EQ(h.scrollView->contentView()->frame(), Rect(0, 0, 500, 300));

    // A view that does not use the ruler never shows one.
    h.view->setUsesRuler(false);
    h.view->setRulerVisible(true);
    EXPECT_FALSE(h.view->isRulerVisible());
    EXPECT_FALSE(h.view->respondsToAction(QStringLiteral("toggleRuler:")) &&
                 h.view->validateUserInterfaceItem({QStringLiteral("toggleRuler:"), 0, true}));
}

TEST(RulerViewTest, ShowsTheTabStopsAndTheThreeIndentsOfTheParagraphAtTheSelection)
{
    RulerHarness h;
    ParagraphStyle indented;
    indented.firstLineHeadIndent = 36;
    indented.headIndent = 18;
    indented.tailIndent = -40;
    indented.tabStops = {{TextTabType::Left, 72}, {TextTabType::Right, 144}};
    h.view->textStorage().addAttribute(kParagraphStyleAttributeName, indented, {16, 17});
    h.view->setRulerVisible(true);
    h.view->setSelectedRange({20, 0});

    const std::vector<RulerMarker> markers = h.ruler()->markers();
    ASSERT_EQ(markers.size(), 5u);
    EXPECT_EQ(markers[0].kind, RulerMarker::Kind::LeftTab);
    EXPECT_EQ(markers[1].kind, RulerMarker::Kind::RightTab);
    EXPECT_EQ(markers[1].location, 144.0);
    EXPECT_EQ(h.marker(kFirstLineHeadIndentRulerMarkerTag).location, 36.0);
    EXPECT_EQ(h.marker(kHeadIndentRulerMarkerTag).location, 18.0);
    const double lineWidth =
        h.view->textContainer().size().width - 2 * h.view->textContainer().lineFragmentPadding();
    EXPECT_DOUBLE_EQ(h.marker(kTailIndentRulerMarkerTag).location, lineWidth - 40);

    // The handles stand over the text: location 0 is where the line's text begins.
    const Point lineStart = h.view->convertPointToView(
        {h.view->textContainerOrigin().x + h.view->textContainer().lineFragmentPadding(), 0}, h.ruler());
    EXPECT_DOUBLE_EQ(h.ruler()->xForLocation(0), lineStart.x);

    // Elsewhere the default paragraph: twelve tab stops every 28 points, no indents.
    h.view->setSelectedRange({2, 0});
    EXPECT_EQ(h.ruler()->markers().size(), 15u);
    EXPECT_EQ(h.marker(kHeadIndentRulerMarkerTag).location, 0.0);
}

TEST(RulerViewTest, DraggingAnIndentHandleIndentsTheSelectedParagraphsAsOneUndoStep)
{
    RulerHarness h;
    h.view->setRulerVisible(true);
    // The selection reaches from the first paragraph into the second; the third stays as it is.
    h.view->setSelectedRange({5, 15});
    const Point from = h.handlePoint(kHeadIndentRulerMarkerTag);
    h.drag(from, {from.x + 30, from.y});
    EXPECT_EQ(h.styleAt(0).headIndent, 30.0);
    EXPECT_EQ(h.styleAt(20).headIndent, 30.0);
    EXPECT_EQ(h.styleAt(40).headIndent, 0.0);
    EXPECT_EQ(h.styleAt(0).firstLineHeadIndent, 0.0);
    EXPECT_EQ(h.marker(kHeadIndentRulerMarkerTag).location, 30.0);
    EXPECT_EQ(h.view->undoManager()->undoActionName(), QStringLiteral("Set Indent"));

    QCoreApplication::processEvents();
    const Point first = h.handlePoint(kFirstLineHeadIndentRulerMarkerTag);
    h.drag(first, {first.x + 12, first.y});
    EXPECT_EQ(h.styleAt(0).firstLineHeadIndent, 12.0);
    EXPECT_EQ(h.styleAt(0).headIndent, 30.0);

    QCoreApplication::processEvents();
    h.view->undo();
    EXPECT_EQ(h.styleAt(0).firstLineHeadIndent, 0.0);
    EXPECT_EQ(h.styleAt(0).headIndent, 30.0);
    QCoreApplication::processEvents();
    h.view->undo();
    EXPECT_EQ(h.styleAt(0).headIndent, 0.0);
    EXPECT_EQ(h.styleAt(20).headIndent, 0.0);
    QCoreApplication::processEvents();
    h.view->redo();
    EXPECT_EQ(h.styleAt(20).headIndent, 30.0);
}

TEST(RulerViewTest, TheTailIndentCountsFromTheEndAndAHandleCannotLeaveTheLine)
{
    RulerHarness h;
    h.view->setRulerVisible(true);
    h.view->setSelectedRange({0, 0});
    const Point tail = h.handlePoint(kTailIndentRulerMarkerTag);
    h.drag(tail, {tail.x - 50, tail.y});
    EXPECT_EQ(h.styleAt(0).tailIndent, -50.0);
    QCoreApplication::processEvents();
    // Past the start, a handle stops at 0.
    const Point head = h.handlePoint(kHeadIndentRulerMarkerTag);
    h.drag(head, {head.x - 200, head.y});
    EXPECT_EQ(h.styleAt(0).headIndent, 0.0);
}

TEST(RulerViewTest, ClickingTheStripAddsATabAndDraggingOneOffTheRulerRemovesIt)
{
    RulerHarness h;
    h.view->setRulerVisible(true);
    h.view->setSelectedRange({0, 0});
    const double y = RulerView::kAccessoryHeight + RulerView::kScaleHeight + 10;
    // Between the default stops at 28 and 56.
    Event down = h.mouse(Event::Type::LeftMouseDown, {h.ruler()->xForLocation(40), y});
    h.ruler()->mouseDown(down);
    Event up = h.mouse(Event::Type::LeftMouseUp, {h.ruler()->xForLocation(40), y});
    h.ruler()->mouseUp(up);
    QList<TextTab> tabs = h.styleAt(0).tabStops;
    ASSERT_EQ(tabs.size(), 13);
    EXPECT_EQ(tabs[1], (TextTab{TextTabType::Left, 40}));

    QCoreApplication::processEvents();
    const Point handle = h.handlePoint(QStringLiteral("1"));
    h.drag(handle, {handle.x, RulerView::kThickness + 40});
    tabs = h.styleAt(0).tabStops;
    EXPECT_EQ(tabs.size(), 12);
    EXPECT_FALSE(tabs.contains(TextTab{TextTabType::Left, 40}));
}

TEST(RulerViewTest, TheAlignmentButtonsAlignTheSelectedParagraphs)
{
    RulerHarness h;
    h.view->setRulerVisible(true);
    h.view->setSelectedRange({20, 0});
    const Rect center = h.ruler()->alignmentButtonRect(1);
    Event down = h.mouse(Event::Type::LeftMouseDown, {center.midX(), center.midY()});
    h.ruler()->mouseDown(down);
    EXPECT_EQ(h.styleAt(20).alignment, TextAlignment::Center);
    EXPECT_EQ(h.styleAt(0).alignment, TextAlignment::Natural);
    EXPECT_EQ(h.view->rulerParagraphStyle().alignment, TextAlignment::Center);
}

TEST(RulerViewTest, TheSpacingPopUpSetsTheLineHeightOfTheSelectedParagraphs)
{
    RulerHarness h;
    h.view->setRulerVisible(true);
    h.view->setSelectedRange({20, 0});
    QMenu* menu = h.ruler()->spacingMenu();
    ASSERT_EQ(menu->actions().size(), int(RulerView::lineHeightMultiples().size()));
    EXPECT_TRUE(menu->actions().at(0)->isChecked());
    menu->actions().at(2)->trigger();
    EXPECT_EQ(h.styleAt(20).lineHeightMultiple, 1.5);
    EXPECT_EQ(h.styleAt(0).lineHeightMultiple, 0.0);
    EXPECT_EQ(h.view->undoManager()->undoActionName(), QStringLiteral("Set Spacing"));
    EXPECT_TRUE(h.ruler()->spacingMenu()->actions().at(2)->isChecked());
    EXPECT_FALSE(h.ruler()->spacingButtonRect().intersects(h.ruler()->alignmentButtonRect(3)));
}

TEST(RulerViewTest, TheSpacingPanelSetsEverySpacingOfTheSelectedParagraphsAsOneUndoStep)
{
    RulerHarness h;
    // From the second paragraph into the third.
    h.view->setSelectedRange({20, 20});
    h.view->orderFrontSpacingPanel();
    QDialog* panel = h.view->spacingPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    const auto box = [panel](const char* name) {
        return panel->findChild<QDoubleSpinBox*>(QString::fromLatin1(name));
    };
    ASSERT_NE(box("lineHeightMultiple"), nullptr);
    box("lineHeightMultiple")->setValue(1.6);
    box("lineSpacing")->setValue(4);
    box("paragraphSpacingBefore")->setValue(6);
    box("paragraphSpacing")->setValue(12);
    panel->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    for (qsizetype index : {20, 40}) {
        EXPECT_DOUBLE_EQ(h.styleAt(index).lineHeightMultiple, 1.6);
        EXPECT_DOUBLE_EQ(h.styleAt(index).lineSpacing, 4);
        EXPECT_DOUBLE_EQ(h.styleAt(index).paragraphSpacingBefore, 6);
        EXPECT_DOUBLE_EQ(h.styleAt(index).paragraphSpacing, 12);
    }
    EXPECT_EQ(h.styleAt(0).lineHeightMultiple, 0.0);
    EXPECT_EQ(h.view->undoManager()->undoActionName(), QStringLiteral("Spacing"));
    h.view->undoManager()->undo();
    EXPECT_EQ(h.styleAt(20).paragraphSpacing, 0.0);
    // Nonsense is no spacing at all, never a style a layout would choke on.
    h.view->applySpacing({std::nan(""), -5, 1e9, 3});
    EXPECT_EQ(h.styleAt(20).lineHeightMultiple, 0.0);
    EXPECT_EQ(h.styleAt(20).lineSpacing, 0.0);
    EXPECT_EQ(h.styleAt(20).paragraphSpacingBefore, 1000.0);
    h.view->setEditable(false);
    QCoreApplication::processEvents();
    h.view->orderFrontSpacingPanel();
}

TEST(RulerViewTest, AReadOnlyViewKeepsItsParagraphs)
{
    RulerHarness h;
    h.view->setRulerVisible(true);
    h.view->setEditable(false);
    const Point from = h.handlePoint(kHeadIndentRulerMarkerTag);
    h.drag(from, {from.x + 30, from.y});
    EXPECT_EQ(h.styleAt(0).headIndent, 0.0);
    EXPECT_FALSE(h.view->undoManager()->canUndo());
}

TEST(RulerViewTest, ARulerThatOutlivesItsViewDoesNothing)
{
    auto scroll = std::make_unique<ScrollView>(Rect(0, 0, 300, 200));
    auto* view =
        static_cast<TextView*>(scroll->setDocumentView(std::make_unique<TextView>(Rect(0, 0, 300, 200))));
    view->setRulerVisible(true);
    RulerView* ruler = view->rulerView();
    ASSERT_NE(ruler, nullptr);
    scroll->contentView()->takeDocumentView().reset();
    EXPECT_EQ(ruler->client(), nullptr);
    EXPECT_TRUE(ruler->markers().empty());
    Event down;
    down.type = Event::Type::LeftMouseDown;
    ruler->mouseDown(down);
    EXPECT_FALSE(ruler->imageOfRect(ruler->bounds()).isNull());
}

} // namespace
