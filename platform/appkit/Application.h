#pragma once

#include "platform/appkit/Event.h"
#include "platform/appkit/Responder.h"
#include "platform/foundation/Error.h"

#include <QObject>
#include <QPointer>
#include <QWindow>

#include <functional>
#include <memory>
#include <vector>

class QEventLoop;
class Window;

// The application object on the Qt event loop: its windows and their order, key and main window,
// actions sent along the responder chain, error presentation, modal sessions and event monitors.
class Application : public Responder {
public:
    enum class OrderChange { None, Front, Back, Out };
    using EventMonitor = std::function<bool(Event& event)>;
    using ErrorPresenter = std::function<bool(const Error& error)>;

    // Answer for a modal session ended without a code.
    static constexpr int kModalResponseAbort = -1001;

    static Application& shared();

    // Runs the Qt event loop until terminate().
    int run();
    void terminate();

    // Windows.
    const std::vector<Window*>& windows() const { return m_windows; }
    // Visible windows, front to back: higher levels first, then most recently ordered front.
    std::vector<Window*> orderedWindows() const;
    Window* keyWindow() const { return m_keyWindow; }
    Window* mainWindow() const { return m_mainWindow; }
    void setKeyWindow(Window* window);
    void setMainWindow(Window* window);
    Window* windowForHost(const QObject* host) const;
    bool isActive() const;
    void activate();

    // Actions. With a target, only it is asked; without, the responder chain is walked: the key
    // window's chain, its delegate and document, the same for the main window, the application,
    // the application's delegate.
    Responder* targetForAction(const QString& action, Responder* target = nullptr) const;
    bool sendAction(const QString& action, Responder* target, const QVariant& sender);
    // Whether the item's action has a target and that target enables the item.
    bool validateItem(const UserInterfaceItem& item) const;
    Responder* delegate() const { return m_delegate; }
    void setDelegate(Responder* delegate) { m_delegate = delegate; }

    // Error presentation: the will-present hook may replace the error (the prompting layer logs it and
    // hands back the user-cancelled error while prompting full screen); a user-cancelled error is never
    // shown. The presenter, when set, shows it; otherwise a modal message box does.
    using ErrorFilter = std::function<Error(const Error& error)>;
    bool presentError(const Error& error);
    void setWillPresentError(ErrorFilter filter) { m_willPresentError = std::move(filter); }
    void setErrorPresenter(ErrorPresenter presenter) { m_errorPresenter = std::move(presenter); }

    // Modal sessions. The hook runs once a session has begun and before its loop runs, so a window
    // can be raised above a full-screen prompter while it is still useful.
    using ModalSessionHook = std::function<void(Window* window)>;
    void setModalSessionHook(ModalSessionHook hook) { m_modalSessionHook = std::move(hook); }
    int runModalForWindow(Window* window);
    // A session without its own loop: the window is modal until endModalSession.
    void beginModalSessionForWindow(Window* window);
    void endModalSession(Window* window);
    void stopModalWithCode(int code);
    // Ends every dialog, sheet and alert standing over the program's windows as cancelled.
    void cancelSheetsAndAlerts();
    void abortModal() { stopModalWithCode(kModalResponseAbort); }
    Window* modalWindow() const { return m_modalStack.empty() ? nullptr : m_modalStack.back().window; }
    bool isRunningModal() const { return !m_modalStack.empty(); }

    // Local event monitors: every input event of the application passes through them first, in the
    // order they were added; a monitor that answers false swallows the event.
    int addLocalMonitorForEvents(unsigned long long mask, EventMonitor monitor);
    void removeMonitor(int token);
    static unsigned long long maskForType(Event::Type type) { return 1ULL << unsigned(type); }
    static constexpr unsigned long long kAnyEventMask = ~0ULL;
    // Runs the monitors on an event; false when one swallowed it.
    bool runMonitors(Event& event);

    // The input event being handed out (to the monitors or through a window), while it is; what an
    // action asks for the modifiers and keys that sent it. Null between events.
    const Event* currentEvent() const { return m_currentEvent; }
    // Makes an event the current one for its lifetime.
    class CurrentEventScope {
    public:
        explicit CurrentEventScope(const Event& event)
            : m_application(Application::shared()), m_previous(m_application.m_currentEvent)
        {
            m_application.m_currentEvent = &event;
        }
        ~CurrentEventScope() { m_application.m_currentEvent = m_previous; }
        CurrentEventScope(const CurrentEventScope&) = delete;
        CurrentEventScope& operator=(const CurrentEventScope&) = delete;

    private:
        Application& m_application;
        const Event* m_previous;
    };

    // Bookkeeping from windows.
    void registerWindow(Window* window);
    void unregisterWindow(Window* window);
    void windowOrderChanged(Window* window, OrderChange change);

private:
    struct Monitor {
        int token;
        unsigned long long mask;
        EventMonitor monitor;
    };
    struct ModalSession {
        Window* window;
        QEventLoop* loop;
        int code;
        // Set when the session was stopped, possibly before its loop started.
        bool stopped = false;
    };
    class EventFilter;
    class FocusKeeper;

    Application();
    void ensureEventFilter();
    // The keyboard left a window that hid or closed.
    void keyboardLeft(QWindow* closed);
    void reclaimKeyboardFocus(QWindow* owner, QWindow* closed);
    bool walkChain(Responder* start, const QString& action, std::vector<const Responder*>& visited,
                   Responder*& found) const;

    std::vector<Window*> m_windows;
    // Front to back, visible windows only.
    std::vector<Window*> m_order;
    Window* m_keyWindow = nullptr;
    Window* m_mainWindow = nullptr;
    Responder* m_delegate = nullptr;
    ErrorPresenter m_errorPresenter;
    ErrorFilter m_willPresentError;
    ModalSessionHook m_modalSessionHook;
    std::vector<ModalSession> m_modalStack;
    std::vector<Monitor> m_monitors;
    const Event* m_currentEvent = nullptr;
    std::unique_ptr<QObject> m_eventFilter;
    // The window the keyboard was in last, to tell a window that closed from one the user left.
    QPointer<QWindow> m_focusWindow;
    std::vector<QPointer<QWindow>> m_focusHistory;
    std::unique_ptr<QObject> m_focusKeeper;
    int m_nextToken = 1;
};
