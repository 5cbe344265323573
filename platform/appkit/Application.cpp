#include "platform/appkit/Application.h"

#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/EventTranslation.h"
#include "platform/appkit/GlobalCoordinates.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowManagerState.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {
// Guards against responder chains that loop back on themselves.
constexpr int kMaxChainLength = 1000;
// The windows the keyboard was in last, newest last, for giving it back when a window closes.
constexpr size_t kFocusHistoryLength = 8;
} // namespace

// Sees a window of the program hide while the keyboard is in it (a dialog that closes). Qt may not
// hear that the keyboard left it at all: a window deleted at once takes the news with it.
class Application::FocusKeeper final : public QObject {
public:
    explicit FocusKeeper(Application& application) : m_application(application) {}

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() != QEvent::Hide)
            return false;
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (widget && widget->isWindow() && widget->windowHandle() &&
            widget->windowHandle() == QGuiApplication::focusWindow())
            m_application.keyboardLeft(widget->windowHandle());
        return false;
    }

private:
    Application& m_application;
};

// Sees every input event of the application before its receiver, for the local monitors.
class Application::EventFilter final : public QObject {
public:
    explicit EventFilter(Application& application) : m_application(application) {}

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (m_application.m_monitors.empty())
            return false;
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!widget || !isMonitoredType(event->type()))
            return false;
        // Qt hands an unaccepted event on to the parent widgets, and may hand one event to a widget
        // twice; monitors see it once. A new event may reuse the old one's address (Qt makes them on
        // the stack) and go to the same widget, but then its contents tell it apart.
        const QString signature = eventSignature(event);
        const bool propagated = event == m_lastEvent && event->type() == m_lastType && m_lastReceiver &&
                                widget->isAncestorOf(m_lastReceiver) && signature == m_lastSignature;
        m_lastEvent = event;
        m_lastType = event->type();
        m_lastReceiver = widget;
        m_lastSignature = signature;
        if (propagated)
            return false;
        std::optional<Event> converted = convert(widget, event);
        if (!converted)
            return false;
        return !m_application.runMonitors(*converted);
    }

private:
    static bool isMonitoredType(QEvent::Type type)
    {
        switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            return true;
        default:
            return false;
        }
    }

    static QString eventSignature(const QEvent* event)
    {
        const auto* input = dynamic_cast<const QInputEvent*>(event);
        if (!input)
            return {};
        QString signature = QStringLiteral("%1 %2").arg(input->timestamp()).arg(int(input->modifiers()));
        if (const auto* key = dynamic_cast<const QKeyEvent*>(event))
            signature += QStringLiteral(" %1 %2 %3 %4")
                             .arg(key->key())
                             .arg(key->isAutoRepeat())
                             .arg(key->nativeScanCode())
                             .arg(key->text());
        else if (const auto* mouse = dynamic_cast<const QSinglePointEvent*>(event))
            signature += QStringLiteral(" %1 %2 %3 %4")
                             .arg(int(mouse->button()))
                             .arg(int(mouse->buttons()))
                             .arg(mouse->globalPosition().x())
                             .arg(mouse->globalPosition().y());
        return signature;
    }

    Point location(QWidget* widget, const QPointF& position, const QPointF& globalPosition,
                   Window* window) const
    {
        if (window && widget == window->hostWidget())
            return {position.x(), window->frame().size.height - position.y()};
        return window ? window->convertPointFromScreen(globalPointFromQt(globalPosition))
                      : globalPointFromQt(globalPosition);
    }

    std::optional<Event> convert(QWidget* widget, QEvent* event) const
    {
        const double now = Clock::shared().now();
        Window* window = m_application.windowForHost(widget->window());
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            Event converted = eventFromKeyEvent(*static_cast<QKeyEvent*>(event), now);
            converted.window = window;
            return converted;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int clicks = event->type() == QEvent::MouseMove             ? 0
                               : event->type() == QEvent::MouseButtonDblClick ? 2
                                                                              : 1;
            Event converted = eventFromMouseEvent(*mouse, now, clicks);
            converted.window = window;
            converted.locationInWindow = location(widget, mouse->position(), mouse->globalPosition(), window);
            return converted;
        }
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            Event converted = eventFromWheelEvent(*wheel, now);
            converted.window = window;
            converted.locationInWindow = location(widget, wheel->position(), wheel->globalPosition(), window);
            return converted;
        }
        default:
            return std::nullopt;
        }
    }

    Application& m_application;
    const QEvent* m_lastEvent = nullptr;
    QEvent::Type m_lastType = QEvent::None;
    QPointer<QWidget> m_lastReceiver;
    QString m_lastSignature;
};

Application::Application()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    QObject::connect(app, &QGuiApplication::applicationStateChanged, app, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            NotificationCenter::shared().postNotification(kApplicationDidBecomeActiveNotification, this);
        else if (state == Qt::ApplicationInactive) {
            // Keys released in another application never send their release here.
            forgetHeldKeys();
            NotificationCenter::shared().postNotification(kApplicationDidResignActiveNotification, this);
        }
    });
    // Nor does a key pressed in a window that closes on the press (Return in a dialog): its release
    // goes to no window of ours, and the next press of that key would count as a repeat.
    QObject::connect(app, &QGuiApplication::focusWindowChanged, app, [this](QWindow* window) {
        forgetHeldKeys();
        const QPointer<QWindow> previous = m_focusWindow;
        m_focusWindow = window;
        if (window) {
            std::erase_if(m_focusHistory,
                          [window](const QPointer<QWindow>& known) { return !known || known == window; });
            m_focusHistory.push_back(window);
            if (m_focusHistory.size() > kFocusHistoryLength)
                m_focusHistory.erase(m_focusHistory.begin());
        } else if (previous && !previous->isVisible()) {
            keyboardLeft(previous);
        }
    });
    m_focusKeeper = std::make_unique<FocusKeeper>(*this);
    app->installEventFilter(m_focusKeeper.get());
}

void Application::keyboardLeft(QWindow* closed)
{
    // A window manager gives the keyboard back when a window closes, to the window the closed one
    // belonged to; taking it first would hand it to a window the user was not typing in.
    if (windowManagerIsRunning())
        return;
    // Asked now, while the closed window still knows what it belonged to.
    QPointer<QWindow> owner = closed ? closed->transientParent() : nullptr;
    QPointer<QWindow> left = closed;
    QTimer::singleShot(0, m_focusKeeper.get(), [this, owner, left] { reclaimKeyboardFocus(owner, left); });
}

void Application::reclaimKeyboardFocus(QWindow* owner, QWindow* closed)
{
    // Without a window manager the keyboard goes nowhere once the window it was in hides, and every
    // later key is lost: it goes back where it was before, unless a window of ours took it meanwhile.
    const QWindow* focus = QGuiApplication::focusWindow();
    if (focus && focus->isVisible())
        return;
    const auto takes = [closed](const QWindow* window) {
        return window && window != closed && window->isVisible() &&
               window->windowState() != Qt::WindowMinimized &&
               !(window->flags() & Qt::WindowDoesNotAcceptFocus);
    };
    for (QWindow* candidate = owner; candidate; candidate = candidate->transientParent()) {
        if (takes(candidate)) {
            candidate->requestActivate();
            return;
        }
    }
    // Of the program's own windows only the key window counts: a panel the keyboard passed through
    // (one shown last at start) is not where the user was typing.
    const auto passedThrough = [this](const QWindow* window) {
        return std::any_of(m_windows.begin(), m_windows.end(), [this, window](const Window* known) {
            return known != m_keyWindow && known->hostWidget()->windowHandle() == window;
        });
    };
    for (auto it = m_focusHistory.rbegin(); it != m_focusHistory.rend(); ++it) {
        if (takes(*it) && !passedThrough(*it)) {
            (*it)->requestActivate();
            return;
        }
    }
    Window* target = m_keyWindow ? m_keyWindow : m_mainWindow;
    if (target && target->isVisible() && !target->isMiniaturized())
        target->hostWidget()->activateWindow();
}

Application& Application::shared()
{
    static Application application;
    return application;
}

int Application::run()
{
    return QCoreApplication::instance() ? QCoreApplication::exec() : 1;
}

void Application::terminate()
{
    QCoreApplication::quit();
}

std::vector<Window*> Application::orderedWindows() const
{
    std::vector<Window*> result = m_order;
    std::stable_sort(result.begin(), result.end(),
                     [](const Window* a, const Window* b) { return a->level() > b->level(); });
    return result;
}

void Application::setKeyWindow(Window* window)
{
    if (window == m_keyWindow)
        return;
    Window* old = m_keyWindow;
    m_keyWindow = window;
    if (old) {
        old->resignKeyWindow();
        NotificationCenter::shared().postNotification(kWindowDidResignKeyNotification, old);
    }
    if (window) {
        window->becomeKeyWindow();
        NotificationCenter::shared().postNotification(kWindowDidBecomeKeyNotification, window);
        if (window->canBecomeMainWindow())
            setMainWindow(window);
    }
}

void Application::setMainWindow(Window* window)
{
    if (window == m_mainWindow)
        return;
    Window* old = m_mainWindow;
    m_mainWindow = window;
    if (old) {
        old->resignMainWindow();
        NotificationCenter::shared().postNotification(kWindowDidResignMainNotification, old);
    }
    if (window) {
        window->becomeMainWindow();
        NotificationCenter::shared().postNotification(kWindowDidBecomeMainNotification, window);
    }
}

Window* Application::windowForHost(const QObject* host) const
{
    for (Window* window : m_windows) {
        if (window->hostWidget() == host)
            return window;
    }
    return nullptr;
}

bool Application::isActive() const
{
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void Application::activate()
{
    Window* target = m_keyWindow ? m_keyWindow : m_mainWindow;
    if (target && target->isVisible())
        target->makeKeyAndOrderFront();
}

bool Application::walkChain(Responder* start, const QString& action, std::vector<const Responder*>& visited,
                            Responder*& found) const
{
    int steps = 0;
    for (Responder* responder = start; responder && steps < kMaxChainLength;
         responder = responder->nextResponder(), ++steps) {
        if (std::find(visited.begin(), visited.end(), responder) != visited.end())
            return false;
        visited.push_back(responder);
        if (responder->respondsToAction(action)) {
            found = responder;
            return true;
        }
    }
    return false;
}

Responder* Application::targetForAction(const QString& action, Responder* target) const
{
    if (target)
        return target->respondsToAction(action) ? target : nullptr;
    std::vector<const Responder*> visited;
    Responder* found = nullptr;
    auto tryWindow = [&](Window* window) {
        if (!window)
            return false;
        return walkChain(window->firstResponder(), action, visited, found) ||
               walkChain(window->delegate(), action, visited, found) ||
               walkChain(window->document(), action, visited, found);
    };
    if (tryWindow(m_keyWindow))
        return found;
    if (m_mainWindow != m_keyWindow && tryWindow(m_mainWindow))
        return found;
    Responder* self = const_cast<Application*>(this);
    if (walkChain(self, action, visited, found) || walkChain(m_delegate, action, visited, found))
        return found;
    return nullptr;
}

bool Application::sendAction(const QString& action, Responder* target, const QVariant& sender)
{
    Responder* responder = targetForAction(action, target);
    return responder && responder->performAction(action, sender);
}

bool Application::validateItem(const UserInterfaceItem& item) const
{
    Responder* responder = targetForAction(item.action);
    if (!responder)
        return false;
    return item.isMenuItem ? responder->validateMenuItem(item) : responder->validateUserInterfaceItem(item);
}

bool Application::presentError(const Error& original)
{
    const Error error = m_willPresentError ? m_willPresentError(original) : original;
    if (error.isUserCancelled())
        return false;
    if (m_errorPresenter) {
        ErrorPresenter presenter = m_errorPresenter;
        return presenter(error);
    }
    // Logged as well as shown, so what the user saw can be read back afterwards.
    qCWarning(lcAppKit).noquote() << "Error:" << error.localizedDescription();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), error.localizedDescription(),
                    QMessageBox::Ok, m_keyWindow ? m_keyWindow->hostWidget() : nullptr);
    box.setInformativeText(error.localizedFailureReason());
    box.exec();
    return false;
}

int Application::runModalForWindow(Window* window)
{
    if (!window)
        return kModalResponseAbort;
    QEventLoop loop;
    m_modalStack.push_back({window, &loop, kModalResponseAbort, false});
    QWidget* host = window->hostWidget();
    const bool wasVisible = host->isVisible();
    if (wasVisible)
        host->hide();
    host->setWindowModality(Qt::ApplicationModal);
    window->makeKeyAndOrderFront();
    if (m_modalSessionHook)
        m_modalSessionHook(window);
    // A stop that came before the loop started would be lost by QEventLoop::exec.
    if (!m_modalStack.back().stopped)
        loop.exec();
    const int code = m_modalStack.back().code;
    // A window deleted during its session took its host with it.
    Window* const ended = m_modalStack.back().window;
    m_modalStack.pop_back();
    if (ended)
        ended->setHostModality(Qt::NonModal);
    return code;
}

void Application::stopModalWithCode(int code)
{
    if (m_modalStack.empty())
        return;
    m_modalStack.back().code = code;
    m_modalStack.back().stopped = true;
    if (QEventLoop* loop = m_modalStack.back().loop)
        loop->quit();
}

void Application::beginModalSessionForWindow(Window* window)
{
    if (!window)
        return;
    m_modalStack.push_back({window, nullptr, kModalResponseAbort, false});
    QWidget* host = window->hostWidget();
    if (host->isVisible())
        host->hide();
    host->setWindowModality(Qt::ApplicationModal);
    window->makeKeyAndOrderFront();
    if (m_modalSessionHook)
        m_modalSessionHook(window);
}

void Application::endModalSession(Window* window)
{
    auto it = std::find_if(m_modalStack.begin(), m_modalStack.end(), [window](const ModalSession& session) {
        return session.window == window && !session.loop;
    });
    if (it == m_modalStack.end())
        return;
    m_modalStack.erase(it);
    if (window)
        window->setHostModality(Qt::NonModal);
}

void Application::cancelSheetsAndAlerts()
{
    QList<QPointer<QDialog>> dialogs;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog && !dialog->isHidden() && dialog->windowModality() != Qt::NonModal)
            dialogs << dialog;
    }
    for (const QPointer<QDialog>& dialog : dialogs) {
        // One may end another (a sheet that closes with its alert).
        if (!dialog || dialog->isHidden())
            continue;
        // Answered as its Cancel button answers, never as its default button: a question ended on
        // the user's behalf must never confirm anything.
        auto* box = qobject_cast<QMessageBox*>(dialog.data());
        if (box && box->escapeButton())
            box->escapeButton()->click();
        else
            dialog->reject();
    }
}

int Application::addLocalMonitorForEvents(unsigned long long mask, EventMonitor monitor)
{
    ensureEventFilter();
    const int token = m_nextToken++;
    m_monitors.push_back({token, mask, std::move(monitor)});
    return token;
}

void Application::removeMonitor(int token)
{
    std::erase_if(m_monitors, [token](const Monitor& monitor) { return monitor.token == token; });
}

bool Application::runMonitors(Event& event)
{
    const unsigned long long bit = maskForType(event.type);
    const CurrentEventScope current(event);
    // Index walk with a token check: a monitor may remove itself while it runs.
    for (size_t i = 0; i < m_monitors.size(); ++i) {
        if (!(m_monitors[i].mask & bit))
            continue;
        EventMonitor monitor = m_monitors[i].monitor;
        const int token = m_monitors[i].token;
        if (!monitor(event))
            return false;
        if (i < m_monitors.size() && m_monitors[i].token != token)
            --i;
    }
    return true;
}

void Application::ensureEventFilter()
{
    if (m_eventFilter || !QCoreApplication::instance())
        return;
    m_eventFilter = std::make_unique<EventFilter>(*this);
    QCoreApplication::instance()->installEventFilter(m_eventFilter.get());
}

void Application::registerWindow(Window* window)
{
    m_windows.push_back(window);
}

void Application::unregisterWindow(Window* window)
{
    std::erase(m_windows, window);
    std::erase(m_order, window);
    for (ModalSession& session : m_modalStack) {
        if (session.window == window) {
            session.window = nullptr;
            session.stopped = true;
            if (session.loop)
                session.loop->quit();
        }
    }
    if (m_keyWindow == window)
        m_keyWindow = nullptr;
    if (m_mainWindow == window)
        m_mainWindow = nullptr;
}

void Application::windowOrderChanged(Window* window, OrderChange change)
{
    if (change == OrderChange::None)
        return;
    std::erase(m_order, window);
    if (change == OrderChange::Front)
        m_order.insert(m_order.begin(), window);
    else if (change == OrderChange::Back)
        m_order.push_back(window);
    if (change != OrderChange::Out)
        return;
    // A window ordered out gives up key and main status to the frontmost window that can take it.
    auto successor = [this](bool key) -> Window* {
        for (Window* candidate : orderedWindows()) {
            if (key ? candidate->canBecomeKeyWindow() : candidate->canBecomeMainWindow())
                return candidate;
        }
        return nullptr;
    };
    if (m_keyWindow == window)
        setKeyWindow(successor(true));
    if (m_mainWindow == window)
        setMainWindow(successor(false));
}
