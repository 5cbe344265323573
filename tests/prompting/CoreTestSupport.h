#pragma once

// A stand-in for the document window controller, its prompter view and the input controller, and a
// fixture that gives each test its own core on a hand-driven clock and a fake single screen.
#include "platform/appkit/Application.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAppServices.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreInputController.h"
#include "prompting/OVCorePrompterView.h"
#include "prompting/OVTimeInfo.h"
#include "tests/platform/appkit/TestSupport.h"

#include <QStringList>
#include <QtMessageHandler>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

// The prompter view of the stand-in controller: a scroll view over a flipped document of a given
// height, and a record of what the core switched.
class TestPrompterView final : public OVCorePrompterView {
public:
    TestPrompterView(ScrollView* scrollView, View* textView) : m_scrollView(scrollView), m_textView(textView)
    {
    }

    ScrollView* scrollView() const override { return m_scrollView; }
    ClipView* clipView() const override { return m_scrollView ? m_scrollView->contentView() : nullptr; }
    View* textView() const override { return m_textView; }
    bool isContentEditable() const override { return editable; }
    void setupTextViewForMode(bool promptMode, qsizetype) override
    {
        if (throwOnSetupTextView)
            throw std::runtime_error("text view refused");
        editable = !promptMode;
    }
    qsizetype textLength() const override { return 1234; }
    bool usesAnimation() const override { return animation; }
    void setUsesAnimation(bool flag) override { animation = flag; }
    bool usesFocusArrow() const override { return focusArrow; }
    void setUsesFocusArrow(bool flag) override { focusArrow = flag; }
    bool usesTimeBar() const override { return timeBar; }
    void setUsesTimeBar(bool flag) override { timeBar = flag; }
    void adjustTextSizeByFactor(double factor) override { textScale *= factor; }
    void invertColors() override { inverted = !inverted; }
    bool tracksVerticalInset() const override { return padding; }
    void setTracksVerticalInset(bool flag) override { padding = flag; }
    void setPreventScrolling(bool flag) override { preventsScrolling = flag; }
    void setOverlayScrollerBehavior(unsigned behavior) override { overlayBehavior = behavior; }
    OVPrompterTextOptions textOptions() const override { return options; }
    void setTextOptions(const OVPrompterTextOptions& newOptions) override { options = newOptions; }

    bool editable = true;
    bool padding = false;
    bool preventsScrolling = true;
    unsigned overlayBehavior = 0;
    OVPrompterTextOptions options{true, true, true};
    bool animation = true;
    bool focusArrow = false;
    bool timeBar = false;
    double textScale = 1.0;
    bool inverted = false;
    bool throwOnSetupTextView = false;

private:
    ScrollView* m_scrollView;
    View* m_textView;
};

class TestInputController final : public OVCoreInputController {
public:
    void start() override { running = true; }
    void stop() override { running = false; }
    bool scrollDown() const override { return down; }
    bool scrollUp() const override { return up; }
    bool boostSpeed() const override { return boost; }
    double lastScrollDownTime() const override { return lastDownTime; }
    double lastScrollUpTime() const override { return lastUpTime; }

    bool running = false;
    bool down = false;
    bool up = false;
    bool boost = false;
    double lastDownTime = 0;
    double lastUpTime = 0;
};

// Stands in for the document window controller: a 400 x 300 window whose content is the scroll view.
class TestController final : public OVCoreController {
public:
    explicit TestController(double documentHeight = 3000, const Rect& frame = Rect{{100, 100}, {400, 300}})
        : window(std::make_unique<Window>(frame))
    {
        auto scroll = std::make_unique<ScrollView>(Rect{{0, 0}, frame.size});
        auto document = std::make_unique<View>(Rect{{0, 0}, {frame.size.width, documentHeight}});
        document->setFlipped(true);
        textView = document.get();
        scroll->setDocumentView(std::move(document));
        scrollView = scroll.get();
        window->setContentView(std::move(scroll));
        prompter = std::make_unique<TestPrompterView>(scrollView, textView);
    }

    Window* controllerWindow() const override { return window.get(); }
    OVCorePrompterView* prompterView() const override { return prompter.get(); }
    double speed() const override { return m_speed; }
    void setSpeed(double speed) override
    {
        m_speed = speed;
        if (core)
            core->speedDidUpdate();
    }
    double minSpeedUIValue() const override { return -30; }
    double maxSpeedUIValue() const override { return 30; }
    OVTimeInfo* timeInfo() const override { return m_timeInfo.get(); }
    bool timeRemainingNeedsUpdate() const override { return remainingNeedsUpdate; }
    void setTimeRemainingNeedsUpdate(bool flag) override { remainingNeedsUpdate = flag; }
    bool speedControlNeedsUpdate() const override { return speedControlDirty; }
    void setSpeedControlNeedsUpdate(bool flag) override { speedControlDirty = flag; }
    void updateSpeedControl() override { ++speedControlUpdates; }
    void forceModeChange(unsigned mode) override { forcedModes << mode; }
    bool looping() const override { return loops; }
    void coreModeWillChange(unsigned mode) override { log << QStringLiteral("modeWill %1").arg(mode); }
    void coreModeDidChange(unsigned mode) override { log << QStringLiteral("modeDid %1").arg(mode); }
    void coreStatusWillChange(unsigned status) override
    {
        log << QStringLiteral("statusWill %1").arg(status);
    }
    void coreStatusDidChange(unsigned status) override { log << QStringLiteral("statusDid %1").arg(status); }
    void prompterScrolledToScriptStart() override { ++scriptStarts; }
    void prompterScrolledToScriptEnd() override { ++scriptEnds; }
    bool shouldHardPausePrompter() const override { return hardPauses; }

    // Sets the speed the way the speed control does: without telling anyone but the core.
    void setSpeedQuietly(double speed) { m_speed = speed; }
    double y() const { return scrollView->contentView()->bounds().origin.y; }
    ClipView* clipView() const { return scrollView->contentView(); }

    OVCore* core = nullptr;
    std::unique_ptr<Window> window;
    ScrollView* scrollView = nullptr;
    View* textView = nullptr;
    std::unique_ptr<TestPrompterView> prompter;
    std::unique_ptr<OVTimeInfo> m_timeInfo = std::make_unique<OVTimeInfo>();
    QStringList log;
    QList<unsigned> forcedModes;
    bool loops = false;
    bool hardPauses = false;
    bool remainingNeedsUpdate = false;
    bool speedControlDirty = false;
    int speedControlUpdates = 0;
    int scriptStarts = 0;
    int scriptEnds = 0;

private:
    double m_speed = 0;
};

// Collects what is logged through Qt while it lives.
class LogCapture {
public:
    LogCapture()
    {
        s_lines = &lines;
        m_previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& message) { s_lines->append(message); });
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_lines = nullptr;
    }
    bool contains(const QString& text) const
    {
        for (const QString& line : lines)
            if (line.contains(text))
                return true;
        return false;
    }
    QStringList lines;

private:
    static inline QStringList* s_lines = nullptr;
    QtMessageHandler m_previous = nullptr;
};

// Each test gets its own core on a manual clock (starting at 1000 s), one 1280 x 800 screen at
// 60 Hz, clean settings and statistics, and an application delegate that forwards toggleStatus:
// to the core as the document window controller will.
class CoreTest : public ::testing::Test {
protected:
    CoreTest() : screens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}, 60.0)}) {}

    void SetUp() override
    {
        UserDefaults::shared().resetUserValues();
        HVAppServices::shared().analytics().reset();
        defaults().setInteger(0, QStringLiteral("speedScaleTypeTag"));
        delegate.setActionHandler(QStringLiteral("toggleStatus:"), [this](const QVariant&) {
            ++toggleStatusActions;
            core->toggleStatus();
        });
        Application::shared().setDelegate(&delegate);
    }

    void TearDown() override
    {
        Application::shared().setDelegate(nullptr);
        core.reset();
        UserDefaults::shared().resetUserValues();
    }

    static UserDefaults& defaults() { return UserDefaults::shared(); }

    // Makes the core after the test has chosen its settings, and makes the controller current.
    void makeCore()
    {
        core = std::make_unique<OVCore>();
        core->setInputController(&input);
        core->setModifierFlagsProvider([this] { return modifierFlags; });
        controller.core = core.get();
        core->configureCoreForController(&controller);
    }

    // Moves the clock and runs one tick by hand, as a timer or display link would.
    void tickAfter(double seconds)
    {
        clockScope.clock.advance(seconds);
        core->_prompterTimerAction();
    }

    void advance(double seconds) { RunLoop::main().advanceManualClock(clockScope.clock, seconds); }
    double now() const { return clockScope.clock.now(); }

    ManualClockScope clockScope;
    FakeScreensScope screens;
    TestController controller;
    TestInputController input;
    Responder delegate;
    unsigned long modifierFlags = 0;
    int toggleStatusActions = 0;
    std::unique_ptr<OVCore> core;
};
