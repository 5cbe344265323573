#pragma once

// Shared by the prompter view tests: a window to host views, mouse events in window coordinates, and
// a fixture with a hand-driven clock and clean settings.
#include "platform/appkit/Event.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompting/OVTimeFormatter.h"

#include "tests/platform/appkit/TestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <memory>

inline Event mouseEvent(Event::Type type, double x, double y, unsigned long modifiers = 0)
{
    Event event;
    event.type = type;
    event.locationInWindow = {x, y};
    event.modifierFlags = modifiers;
    event.clickCount = 1;
    event.buttonNumber = type == Event::Type::RightMouseDown ? 1 : 0;
    return event;
}

// A window whose content view is a plain y-up view of the given size.
struct HostWindow {
    explicit HostWindow(const Size& size = {800, 600})
        : window(std::make_unique<Window>(Rect{{100, 100}, size}))
    {
        window->setContentView(std::make_unique<View>(Rect{{0, 0}, size}));
    }
    template <class T> T* add(std::unique_ptr<T> view)
    {
        return window->contentView()->addSubview(std::move(view));
    }
    void send(Event event) { window->sendEvent(event); }

    std::unique_ptr<Window> window;
};

// Counts the notifications of one name while it lives.
struct NotificationCounter {
    explicit NotificationCounter(const QString& name)
        : observer(NotificationCenter::shared(), name, nullptr, [this](const Notification&) { ++count; })
    {
    }
    int count = 0;
    NotificationObserver observer;
};

// Counts the writes of one user default while it lives.
struct DefaultsWriteCounter {
    explicit DefaultsWriteCounter(const QString& key)
        : token(UserDefaults::shared().addObserver(key, [this](const QString&) { ++count; }))
    {
    }
    ~DefaultsWriteCounter() { UserDefaults::shared().removeObserver(token); }
    int count = 0;
    UserDefaults::ObserverToken token;
};

// English time patterns, so strings do not depend on the machine's locale.
inline OVTimeFormatter::LocalePatterns englishPatterns()
{
    OVTimeFormatter::LocalePatterns patterns;
    patterns.shortTimeFormat = QStringLiteral("h:mm a");
    patterns.mediumTimeFormat = QStringLiteral("h:mm:ss a");
    patterns.amSymbol = QStringLiteral("AM");
    patterns.pmSymbol = QStringLiteral("PM");
    patterns.minusSign = QStringLiteral("-");
    patterns.minusPosition = OVTimeFormatter::LocalePatterns::MinusPosition::BeforeNumber;
    return patterns;
}

class PrompterViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults::shared().resetUserValues();
        OVFocusArrowView::disableGlobalSynchronizedPropertyChanges();
        OVTimeBar::disableGlobalSynchronizedPropertyChanges();
        OVTimeFormatter::setLocalePatterns(englishPatterns());
    }
    void TearDown() override
    {
        OVFocusArrowView::disableGlobalSynchronizedPropertyChanges();
        OVTimeBar::disableGlobalSynchronizedPropertyChanges();
        OVTimeFormatter::setLocalePatterns(std::nullopt);

        RunLoop::main().fireDueTimers();
        UserDefaults::shared().resetUserValues();
    }
    // Runs what was scheduled for after the current event.
    void runLoopOnce() { RunLoop::main().advanceManualClock(clockScope.clock, 0.001); }

    ManualClockScope clockScope;
};

// The bounding box, in image pixels (y down), of the pixels where predicate holds.
template <class Predicate> QRect pixelBounds(const QImage& image, Predicate predicate)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (predicate(image.pixelColor(x, y)))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

// Collects what is logged through Qt while it lives.
class LogLines {
public:
    LogLines()
    {
        s_lines = &lines;
        m_previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& message) { s_lines->append(message); });
    }
    ~LogLines()
    {
        qInstallMessageHandler(m_previous);
        s_lines = nullptr;
    }
    int count(const QString& text) const
    {
        int n = 0;
        for (const QString& line : lines)
            n += line.contains(text) ? 1 : 0;
        return n;
    }
    QStringList lines;

private:
    static inline QStringList* s_lines = nullptr;
    QtMessageHandler m_previous = nullptr;
};
