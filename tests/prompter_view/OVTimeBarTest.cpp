#include "PrompterViewTestSupport.h"

#include "platform/appkit/Application.h"
#include "platform/text/AttributeNames.h"
#include "prompter_view/OVTimeBarActionResponder.h"
#include "prompter_view/OVTimeBarText.h"
#include "prompting/OVCore.h"
#include "prompting/OVTimeInfo.h"

#include <QAction>
#include <QLabel>
#include <QWidgetAction>
#include <QMenu>

namespace {

class TimeBarTest : public PrompterViewTest {
protected:
    static QAction* actionTitled(QMenu& menu, const QString& title)
    {
        for (QAction* action : menu.actions())
            if (action->text() == title)
                return action;
        return nullptr;
    }
    static AttributeDictionary attributes(double size, const QColor& color)
    {
        AttributeDictionary result;
        result.insert(kFontAttributeName, OVTimeBarText::boldSystemFont(size));
        result.insert(kForegroundColorAttributeName, OVTimeBarText::color(color));
        return result;
    }
    // A bar wide enough for both columns, in a window, with a fresh time info.
    OVTimeBar* addBar(double width = 1200)
    {
        auto* bar = host.add(std::make_unique<OVTimeBar>(Rect{0, 0, width, 0}));
        bar->setFrameSize({width, bar->frameHeight()});
        return bar;
    }
    void clickAt(const Rect& rect, unsigned long modifiers = 0)
    {
        host.send(mouseEvent(Event::Type::LeftMouseDown, rect.midX(), rect.midY(), modifiers));
        host.send(mouseEvent(Event::Type::LeftMouseUp, rect.midX(), rect.midY(), modifiers));
    }
    Rect timerRect(OVTimeBar* bar) const
    {
        const bool remaining = bar->timerType() == OVTimeBar::kTimerRemaining;
        return bar->displayedLocation(remaining ? OVTimeBar::kRemainingTitle : OVTimeBar::kElapsedTitle)
            .united(bar->displayedLocation(remaining ? OVTimeBar::kRemainingTime : OVTimeBar::kElapsedTime));
    }

    HostWindow host{{1200, 600}};
};

TEST_F(TimeBarTest, ColumnsShareTheWidthWithAGapOfSixtyToOneHundredFifty)
{
    const auto both = OVTimeBar::columnsFor(500, 200, 180, true, true);
    EXPECT_TRUE(both.timerShown);
    EXPECT_EQ(both.gap, 60);
    EXPECT_EQ(both.contentWidth, 440);
    const auto narrow = OVTimeBar::columnsFor(420, 200, 180, true, true);
    EXPECT_TRUE(narrow.clockShown);
    EXPECT_FALSE(narrow.timerShown);
    EXPECT_EQ(narrow.contentWidth, 200);
    EXPECT_EQ(OVTimeBar::columnsFor(2000, 200, 180, true, true).gap, 150);
    EXPECT_EQ(OVTimeBar::columnsFor(200, 200, 180, false, true).contentWidth, 180);
}

TEST_F(TimeBarTest, LayoutCentresEachTimeOverItsTitleAndMirrorsWithTheFlips)
{
    OVTimeBar* bar = addBar();
    const Size size = bar->bounds().size;
    const Rect clockTime = bar->displayedLocation(OVTimeBar::kClockTime);
    const Rect clockTitle = bar->displayedLocation(OVTimeBar::kClockTitle);
    EXPECT_EQ(clockTime.minY(), clockTitle.maxY());
    EXPECT_NEAR(clockTime.midX(), clockTitle.midX(), 0.5);
    EXPECT_LT(clockTime.maxX(), timerRect(bar).minX());
    const double contentMid = (clockTitle.minY() + clockTime.maxY()) / 2;
    EXPECT_NEAR(contentMid, size.height / 2, 1.0);

    bar->setFlippedHorizontally(true);
    bar->setFlippedVertically(true);
    const Rect mirrored = bar->displayedLocation(OVTimeBar::kClockTime);
    EXPECT_EQ(mirrored.minX(), size.width - clockTime.maxX());
    EXPECT_EQ(mirrored.minY(), size.height - clockTime.maxY());
    // The timer still answers clicks where it shows.
    clickAt(timerRect(bar));
    EXPECT_EQ(bar->timerType(), OVTimeBar::kTimerRemaining);
}

TEST_F(TimeBarTest, ClicksSwitchTheTimerAndOptionClickResetsTheElapsedTime)
{
    OVTimeBar* bar = addBar();
    Responder delegate;
    int resets = 0;
    delegate.setActionHandler("resetElapsedTimer:", [&](const QVariant&) { ++resets; });
    Application::shared().setDelegate(&delegate);

    bar->timeInfo()->setElapsedSeconds(125);
    clickAt(timerRect(bar), kOptionKeyMask);
    EXPECT_EQ(bar->timeInfo()->elapsedSeconds(), 0);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(bar->timerType(), OVTimeBar::kTimerElapsed);

    clickAt(timerRect(bar));
    EXPECT_EQ(bar->timerType(), OVTimeBar::kTimerRemaining);
    clickAt(timerRect(bar), kOptionKeyMask);
    EXPECT_EQ(bar->timerType(), OVTimeBar::kTimerElapsed);
    EXPECT_EQ(resets, 1);
    // A click on the clock changes nothing.
    clickAt(bar->displayedLocation(OVTimeBar::kClockTime));
    EXPECT_EQ(bar->timerType(), OVTimeBar::kTimerElapsed);
    Application::shared().setDelegate(nullptr);
}

TEST_F(TimeBarTest, TextThatDoesNotContrastIsDrawnInTheBackgroundsInverse)
{
    OVTimeBar bar(Rect{0, 0, 800, 120});
    bar.setBackgroundColor(QColor(Qt::white));
    EXPECT_EQ(bar.displayedColor(bar.timeAttributes()), QColor(Qt::black));
    EXPECT_EQ(OVTimeBarText::colorOf(bar.component(OVTimeBar::kClockTime).attributes()), QColor(Qt::black));
    bar.setChangeColorsIfNecessary(false);
    EXPECT_EQ(bar.displayedColor(bar.timeAttributes()), QColor(Qt::white));
    bar.setBackgroundColor(QColor(Qt::black));
    bar.setChangeColorsIfNecessary(true);
    EXPECT_EQ(bar.displayedColor(bar.timeAttributes()), QColor(Qt::white));
}

TEST_F(TimeBarTest, TheBorderLineFacesTheTextAndItsColourIsClamped)
{
    OVTimeBar bar(Rect{0, 0, 800, 120});
    EXPECT_EQ(bar.borderRect(), Rect(0, 119, 800, 1));
    bar.setPosition(OVTimeBar::kPositionTop);
    EXPECT_EQ(bar.borderRect(), Rect(0, 0, 800, 1));
    bar.setBackgroundColor(QColor(Qt::black));
    EXPECT_EQ(*bar.borderColor(), QColor::fromRgbF(1.0f, 1.0f, 1.0f, 1.0f));
    bar.setBackgroundColor(QColor::fromRgbF(0.5f, 0.9f, 1.0f));
    EXPECT_NEAR(bar.borderColor()->redF(), 0.7, 0.01);
    EXPECT_NEAR(bar.borderColor()->greenF(), 0.3, 0.01);
    EXPECT_NEAR(bar.borderColor()->blueF(), 0.2, 0.01);
    bar.setBackgroundColor(std::nullopt);
    EXPECT_EQ(*bar.borderColor(), QColor(Qt::white));

    const QImage image = bar.imageOfRect(bar.bounds());
    // Image rows run top down: a bar on top has its line along the bottom row.
    EXPECT_EQ(image.pixelColor(400, 119), QColor(Qt::white));
}

TEST_F(TimeBarTest, FreshSettingsAndTheirRoundTripThroughTheDefaults)
{
    OVTimeBar bar;
    EXPECT_EQ(bar.timerType(), 0);
    EXPECT_EQ(bar.position(), 0);
    EXPECT_TRUE(bar.showsClock());
    EXPECT_TRUE(bar.showsTimer());
    EXPECT_TRUE(bar.changeColorsIfNecessary());
    const Font time = *OVTimeBarText::fontOf(bar.timeAttributes());
    EXPECT_TRUE(time.bold);
    EXPECT_EQ(time.pointSize, 64);
    EXPECT_EQ(OVTimeBarText::fontOf(bar.titleAttributes())->pointSize, 28);
    EXPECT_EQ(OVTimeBarText::colorOf(bar.titleAttributes()), QColor(Qt::white));
    EXPECT_EQ(bar.properties(), OVTimeBar::initialDefaultProperties());

    bar.setTimeAttributes(attributes(40, Qt::yellow));
    bar.setPosition(1);
    OVTimeBar::setPropertiesAsDefaults(bar.properties());
    OVTimeBar second;
    EXPECT_EQ(second.properties(), bar.properties());
    EXPECT_EQ(OVTimeBarText::fontOf(second.timeAttributes())->pointSize, 40);
}

TEST_F(TimeBarTest, DamagedStoredSettingsLeaveTheBarAsItWas)
{
    PlistDictionary damaged;
    damaged.insert("timerType", PlistValue(qint64(7)));
    damaged.insert("position", PlistValue(-1.5));
    damaged.insert("showsClock", PlistValue(QString("no")));
    damaged.insert("timeAttributes", PlistValue(QByteArray("{\\rtf1 {{{{")));
    damaged.insert("titleAttributes", PlistValue(QByteArray("\x00\xff garbage", 10)));
    UserDefaults::shared().setObject(PlistValue(damaged), "timeBarSettings");
    OVTimeBar bar;
    EXPECT_EQ(bar.timerType(), 0);
    EXPECT_EQ(bar.position(), 0);
    EXPECT_TRUE(bar.showsClock());
    EXPECT_EQ(OVTimeBarText::fontOf(bar.timeAttributes())->pointSize, 64);
    EXPECT_EQ(OVTimeBarText::fontOf(bar.titleAttributes())->pointSize, 28);
    EXPECT_GT(bar.height(), 0);
}

TEST_F(TimeBarTest, AMissingFontNeverBecomesANegativeFrameHeight)
{
    OVTimeBar* bar = addBar();
    const double shown = bar->frame().size.height;
    EXPECT_EQ(shown, bar->height());
    // A panel that sends only a colour keeps the font.
    bar->performAttributesAction(OVTimeBar::kTimeAttributesAction, std::nullopt, Color::rgb(1, 0, 0));
    EXPECT_TRUE(OVTimeBarText::fontOf(bar->timeAttributes()));
    EXPECT_EQ(OVTimeBarText::colorOf(bar->timeAttributes()), QColor(Qt::red));
    bar->performAttributesAction(3, OVTimeBarText::boldSystemFont(10), std::nullopt);
    EXPECT_EQ(bar->frame().size.height, shown);

    AttributeDictionary colourOnly;
    colourOnly.insert(kForegroundColorAttributeName, Color::rgb(0, 1, 0));
    bar->setTitleAttributes(colourOnly);
    EXPECT_EQ(bar->height(), -1);
    EXPECT_EQ(bar->frameHeight(), 0);
    EXPECT_EQ(bar->frame().size.height, 0);

    bar->performAttributesAction(OVTimeBar::kTitleAttributesAction, OVTimeBarText::boldSystemFont(20),
                                 std::nullopt);
    EXPECT_GT(bar->frame().size.height, 0);
    EXPECT_LT(bar->frame().size.height, shown);
}

TEST_F(TimeBarTest, ShowingAndHidingAnimateTheHeightOnTheClock)
{
    OVTimeBar bar(Rect{0, 0, 1200, 0});
    bool finished = false;
    bar.animateToHeight(bar.height(), 0.2, [&](bool done) { finished = done; });
    RunLoop::main().advanceManualClock(clockScope.clock, 0.1);
    EXPECT_GT(bar.frame().size.height, 0);
    EXPECT_LT(bar.frame().size.height, bar.height());
    RunLoop::main().advanceManualClock(clockScope.clock, 0.2);
    EXPECT_EQ(bar.frame().size.height, bar.height());
    EXPECT_TRUE(finished);
    // A bar that lost its fonts answers -1, which animates to nothing rather than below it.
    bar.animateToHeight(-1, 0.2);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.3);
    EXPECT_EQ(bar.frame().size.height, 0);
}

TEST_F(TimeBarTest, StringsAndRefreshOnTheCoresTimerNotification)
{
    OVTimeBar* bar = addBar();
    EXPECT_EQ(bar->component(OVTimeBar::kClockTitle).string(), "Clock");
    EXPECT_EQ(bar->component(OVTimeBar::kElapsedTitle).string(), "Elapsed");
    EXPECT_EQ(bar->component(OVTimeBar::kRemainingTitle).string(), "Remaining");
    EXPECT_EQ(bar->component(OVTimeBar::kTimerSample).string(), "-23:59:59");

    bar->timeInfo()->setElapsedSeconds(3725);
    bar->timeInfo()->setRemainingSeconds(-90);
    NotificationCenter::shared().postNotification(OVCoreWillRequireSynchronizedTimersUpdateNotification);
    EXPECT_EQ(bar->component(OVTimeBar::kElapsedTime).string(), "1:02:05");
    EXPECT_EQ(bar->component(OVTimeBar::kRemainingTime).string(), "-01:30");

    bar->setHidden(true);
    bar->timeInfo()->setElapsedSeconds(59);
    NotificationCenter::shared().postNotification(OVCoreWillRequireSynchronizedTimersUpdateNotification);
    EXPECT_EQ(bar->component(OVTimeBar::kElapsedTime).string(), "1:02:05");
}

TEST_F(TimeBarTest, ALocaleWithoutAUsableMinusSignStillShowsMinus)
{
    OVTimeFormatter::LocalePatterns patterns = englishPatterns();
    patterns.minusSign.clear();
    patterns.minusPosition = OVTimeFormatter::LocalePatterns::MinusPosition::Unknown;
    OVTimeFormatter::setLocalePatterns(patterns);
    OVTimeBar bar(Rect{0, 0, 1200, 120});
    bar.timeInfo()->setRemainingSeconds(-90);
    bar.update();
    EXPECT_EQ(bar.component(OVTimeBar::kRemainingTime).string(), "-01:30");
}

TEST_F(TimeBarTest, SynchronisedPositionMovesEveryBarAndWritesOnce)
{
    OVTimeBar::enableGlobalSynchronizedPropertyChanges();
    OVTimeBar a, b, c;
    std::vector<const void*> moved;
    NotificationObserver positions(NotificationCenter::shared(), OVTimeBarPositionDidChangeNotification,
                                   nullptr, [&](const Notification& n) { moved.push_back(n.object); });
    NotificationCounter internal(OVTimeBarInternalPropertiesDidChangeNotification);
    DefaultsWriteCounter writes("timeBarSettings");

    std::unique_ptr<QMenu> menu = a.menuForEvent(mouseEvent(Event::Type::RightMouseDown, 1, 1));
    ASSERT_TRUE(menu);
    EXPECT_FALSE(actionTitled(*menu, "Use Timer as Default"));
    actionTitled(*menu, "Position on Top")->trigger();
    for (OVTimeBar* bar : {&a, &b, &c})
        EXPECT_EQ(bar->position(), OVTimeBar::kPositionTop);
    EXPECT_EQ(moved.size(), 3u);
    EXPECT_EQ(internal.count, 1);
    runLoopOnce();
    EXPECT_EQ(writes.count, 1);
    EXPECT_EQ(UserDefaults::shared().dictionaryForKey("timeBarSettings").value("position").integer(), 1);
}

TEST_F(TimeBarTest, MenuFollowsTheTimerAndTheSynchronisation)
{
    OVTimeBar bar(Rect{0, 0, 1200, 120});
    std::unique_ptr<QMenu> menu = bar.menuForEvent(mouseEvent(Event::Type::RightMouseDown, 1, 1));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->title(), "Timer Settings");
    EXPECT_TRUE(actionTitled(*menu, "Clock and Timer")->isChecked());
    EXPECT_TRUE(actionTitled(*menu, "Reset Elapsed Timer"));
    EXPECT_TRUE(actionTitled(*menu, "Use Timer as Default"));
    EXPECT_TRUE(actionTitled(*menu, "Use 24 Hour Clock"));
    // No responder styles bars here, so the font items stay away.
    EXPECT_FALSE(actionTitled(*menu, "Set Time Font and Color"));
    actionTitled(*menu, "Timer")->trigger();
    EXPECT_FALSE(bar.showsClock());
    EXPECT_TRUE(bar.showsTimer());

    bar.setTimerType(OVTimeBar::kTimerRemaining);
    menu = bar.menuForEvent(mouseEvent(Event::Type::RightMouseDown, 1, 1));
    EXPECT_FALSE(actionTitled(*menu, "Reset Elapsed Timer"));
    EXPECT_FALSE(bar.menuForEvent(mouseEvent(Event::Type::LeftMouseDown, 1, 1)));
}

// A window that opens the font panel for time bars.
class StylingWindow : public Window, public OVTimeBarActionResponder {
public:
    StylingWindow() : Window(Rect{0, 0, 300, 200}) {}
    void prepareForTimebar(OVTimeBar* bar, int action, const AttributeDictionary& current) override
    {
        prepared = bar;
        lastAction = action;
        size = OVTimeBarText::fontOf(current)->pointSize;
    }
    OVTimeBar* prepared = nullptr;
    int lastAction = 0;
    double size = 0;
};

TEST_F(TimeBarTest, FontItemsGoToTheStylingWindowAndMakeTheBarActionable)
{
    StylingWindow styling;
    styling.makeKeyAndOrderFront();
    OVTimeBar bar(Rect{0, 0, 1200, 120});
    std::unique_ptr<QMenu> menu = bar.menuForEvent(mouseEvent(Event::Type::RightMouseDown, 1, 1));
    QAction* title = actionTitled(*menu, "Set Title Font and Color");
    ASSERT_TRUE(title);
    QAction* note = actionTitled(*menu, "The color inverts if its contrast is too low.");
    ASSERT_TRUE(note);
    EXPECT_FALSE(note->isEnabled());
    // The note is small, and shown whole: the menu is as wide as its text needs.
    auto* shown = qobject_cast<QWidgetAction*>(note);
    ASSERT_TRUE(shown);
    auto* label = qobject_cast<QLabel*>(shown->defaultWidget());
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), note->text());
    EXPECT_LT(label->font().pointSizeF(), menu->font().pointSizeF());
    menu->adjustSize();
    EXPECT_GE(menu->actionGeometry(note).width(), label->sizeHint().width());
    EXPECT_GT(label->sizeHint().width(),
              QFontMetrics(label->font()).horizontalAdvance(note->text()) + label->contentsMargins().left());
    title->trigger();
    EXPECT_EQ(styling.prepared, &bar);
    EXPECT_EQ(styling.lastAction, 2);
    EXPECT_EQ(styling.size, 28);
    EXPECT_EQ(OVTimeBar::actionableTimeBar(), &bar);
    styling.orderOut();
}

} // namespace
