#include "platform/appkit/Application.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// A view that can hold the keyboard focus.
class FocusView : public View {
public:
    using View::View;
    bool acceptsFirstResponder() const override { return true; }
};

// Records which responder performed an action.
void answer(Responder& responder, const QString& action, const QString& name, QStringList& log,
            Responder::ActionValidator validator = {})
{
    responder.setActionHandler(
        action, [&log, name](const QVariant&) { log << name; }, std::move(validator));
}

struct ResponderChain : ::testing::Test {
    ResponderChain() : window(Rect(100, 100, 400, 300))
    {
        container = window.contentView()->addSubview(std::make_unique<View>(Rect(0, 0, 200, 200)));
        focus = container->addSubview(std::make_unique<FocusView>(Rect(10, 10, 50, 50)));
        window.setWindowController(&controller);
        window.setDocument(&document);
        Application::shared().setDelegate(&appDelegate);
        window.makeKeyWindow();
        EXPECT_TRUE(window.makeFirstResponder(focus));
    }
    ~ResponderChain() override
    {
        Application::shared().setDelegate(nullptr);
        Application::shared().removeActionHandler("chainTest:");
    }

    Window window;
    View* container = nullptr;
    FocusView* focus = nullptr;
    Responder controller;
    Responder document;
    Responder appDelegate;
    QStringList log;
};

} // namespace

TEST_F(ResponderChain, ActionsGoToTheFirstRespondingObjectAlongTheChain)
{
    answer(appDelegate, "chainTest:", "delegate", log);
    answer(Application::shared(), "chainTest:", "application", log);
    answer(document, "chainTest:", "document", log);
    answer(controller, "chainTest:", "controller", log);
    answer(window, "chainTest:", "window", log);
    answer(*window.contentView(), "chainTest:", "content", log);
    answer(*container, "chainTest:", "container", log);
    answer(*focus, "chainTest:", "focus", log);

    // Peel the chain one responder at a time; each send reaches the next one in order.
    Responder* order[] = {focus,       container, window.contentView(),   &window,
                          &controller, &document, &Application::shared(), &appDelegate};
    for (Responder* responder : order) {
        EXPECT_TRUE(Application::shared().sendAction("chainTest:", nullptr, {}));
        responder->removeActionHandler("chainTest:");
    }
    EXPECT_FALSE(Application::shared().sendAction("chainTest:", nullptr, {}));
    EXPECT_EQ(log, QStringList({"focus", "container", "content", "window", "controller", "document",
                                "application", "delegate"}));
}

TEST_F(ResponderChain, AnExplicitTargetIsTheOnlyOneAsked)
{
    answer(*focus, "chainTest:", "focus", log);
    EXPECT_FALSE(Application::shared().sendAction("chainTest:", &controller, {}));
    answer(controller, "chainTest:", "controller", log);
    EXPECT_TRUE(Application::shared().sendAction("chainTest:", &controller, {}));
    EXPECT_EQ(log, QStringList({"controller"}));
}

TEST_F(ResponderChain, TheSenderReachesTheHandler)
{
    QVariant received;
    controller.setActionHandler("setSpeedFromHotKeyValueNumber:",
                                [&](const QVariant& sender) { received = sender; });
    EXPECT_TRUE(Application::shared().sendAction("setSpeedFromHotKeyValueNumber:", nullptr, QVariant(53)));
    EXPECT_EQ(received.toInt(), 53);
}

TEST_F(ResponderChain, ValidationAsksTheTargetThatWouldPerform)
{
    answer(controller, "chainTest:", "controller", log,
           [](const UserInterfaceItem& item) { return item.tag == 1; });
    EXPECT_TRUE(Application::shared().validateItem({"chainTest:", 1, true}));
    EXPECT_FALSE(Application::shared().validateItem({"chainTest:", 2, true}));
    // A closer responder takes over both performing and validating.
    answer(*focus, "chainTest:", "focus", log);
    EXPECT_TRUE(Application::shared().validateItem({"chainTest:", 2, false}));
    EXPECT_FALSE(Application::shared().validateItem({"nobodyAnswers:", 0, true}));
}

TEST_F(ResponderChain, TryToPerformWalksFromTheReceiver)
{
    answer(window, "chainTest:", "window", log);
    EXPECT_TRUE(focus->tryToPerform("chainTest:", {}));
    EXPECT_FALSE(controller.tryToPerform("chainTest:", {}));
    EXPECT_EQ(log, QStringList({"window"}));
}

TEST_F(ResponderChain, AChainThatLoopsEndsTheWalk)
{
    document.setNextResponder(&controller);
    EXPECT_FALSE(Application::shared().sendAction("neverAnswered:", nullptr, {}));
    EXPECT_FALSE(focus->tryToPerform("neverAnswered:", {}));
}

TEST_F(ResponderChain, RemovingTheFirstResponderHandsFocusBackToTheWindow)
{
    std::unique_ptr<View> removed = container->removeFromSuperview();
    EXPECT_EQ(window.firstResponder(), &window);
    EXPECT_EQ(focus->window(), nullptr);
}

TEST_F(ResponderChain, KeyEventsStartAtTheFirstResponderAndBubble)
{
    struct KeyWatcher : Responder {
        int keys = 0;
        void keyDown(Event&) override { ++keys; }
    } watcher;
    window.setWindowController(&watcher);
    Event event;
    event.type = Event::Type::KeyDown;
    event.characters = " ";
    window.sendEvent(event);
    EXPECT_EQ(watcher.keys, 1);
}

TEST(Responder, RefusingFirstResponderKeepsTheCurrentOne)
{
    struct Stubborn : View {
        bool acceptsFirstResponder() const override { return true; }
        bool resignFirstResponder() override { return false; }
    };
    Window window(Rect(0, 0, 200, 200));
    auto* stubborn = window.contentView()->addSubview(std::make_unique<Stubborn>());
    View* plain = window.contentView()->addSubview(std::make_unique<View>());
    EXPECT_FALSE(window.makeFirstResponder(plain));
    EXPECT_TRUE(window.makeFirstResponder(stubborn));
    EXPECT_FALSE(window.makeFirstResponder(&window));
    EXPECT_EQ(window.firstResponder(), stubborn);
}
