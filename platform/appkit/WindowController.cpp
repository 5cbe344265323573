#include "platform/appkit/WindowController.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/Window.h"

#include <QCloseEvent>
#include <QObject>
#include <QWidget>

namespace {
const QString kPerformCloseAction = QStringLiteral("performClose:");
} // namespace

// Turns the title bar's close button into performClose, which may ask first and may refuse.
class WindowController::CloseFilter final : public QObject {
public:
    explicit CloseFilter(WindowController& controller) : m_controller(controller) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Close || m_controller.m_closing)
            return QObject::eventFilter(watched, event);
        event->ignore();
        // The window hears its close button first, as it hears Close from the menu: a window that
        // takes performClose: itself may refuse it.
        Window* window = m_controller.window();
        if (window && window->respondsToAction(kPerformCloseAction))
            window->performAction(kPerformCloseAction, QVariant());
        else
            m_controller.performClose();
        return true;
    }

private:
    WindowController& m_controller;
};

WindowController::WindowController()
{
    setActionHandler(kPerformCloseAction, [this](const QVariant&) { performClose(); });
}

WindowController::WindowController(std::unique_ptr<Window> window) : WindowController()
{
    adoptWindow(std::move(window));
}

WindowController::~WindowController()
{
    if (m_window) {
        m_window->setCloseHandler({});
        if (m_window->hostWidget() && m_closeFilter)
            m_window->hostWidget()->removeEventFilter(m_closeFilter.get());
        m_window->setWindowController(nullptr);
        m_window->setDocument(nullptr);
    }
    m_window.reset();
}

void WindowController::adoptWindow(std::unique_ptr<Window> window)
{
    m_window = std::move(window);
    if (!m_window)
        return;
    m_window->setWindowController(this);
    m_window->setDocument(m_document);
    m_closeFilter = std::make_unique<CloseFilter>(*this);
    if (m_window->hostWidget())
        m_window->hostWidget()->installEventFilter(m_closeFilter.get());
    m_window->setCloseHandler([this] { windowWillClose(); });
}

std::unique_ptr<Window> WindowController::makeWindow()
{
    return std::make_unique<Window>(Rect(0, 0, 480, 360));
}

Window* WindowController::window()
{
    if (m_window || m_loading)
        return m_window.get();
    m_loading = true;
    windowWillLoad();
    if (m_document)
        m_document->windowControllerWillLoadNib(*this);
    adoptWindow(makeWindow());
    if (m_shouldCascadeWindows && m_window)
        cascadeFromMainWindow();
    windowDidLoad();
    if (m_document)
        m_document->windowControllerDidLoadNib(*this);
    synchronizeWindowTitleWithDocumentName();
    m_loading = false;
    return m_window.get();
}

void WindowController::cascadeFromMainWindow()
{
    // New windows step right and down from the front window, so they do not hide each other.
    constexpr double kCascadeStep = 22;
    Window* front = Application::shared().mainWindow();
    if (!front || front == m_window.get() || !front->isVisible())
        return;
    const Rect frame = front->frame();
    m_window->setFrameTopLeftPoint({frame.origin.x + kCascadeStep, frame.maxY() - kCascadeStep});
}

void WindowController::setDocument(Document* document)
{
    m_document = document;
    if (m_window)
        m_window->setDocument(document);
    if (document) {
        synchronizeWindowTitleWithDocumentName();
        setDocumentEdited(document->isDocumentEdited());
    }
}

void WindowController::showWindow()
{
    if (Window* shown = window())
        shown->makeKeyAndOrderFront();
}

void WindowController::close()
{
    if (!m_window || m_closing)
        return;
    m_closing = true;
    m_window->close();
    m_closing = false;
}

void WindowController::performClose()
{
    if (!m_document) {
        close();
        return;
    }
    const bool lastWindow = m_document->windowControllers().size() <= 1;
    if (!lastWindow && !m_shouldCloseDocument) {
        close();
        m_document->removeWindowController(this);
        return;
    }
    Document* document = m_document;
    document->canCloseDocument([document](bool shouldClose) {
        if (shouldClose)
            document->close();
    });
}

void WindowController::windowWillClose()
{
    // A window closed behind our back (not through performClose) still ends a document that has no
    // other window; one that is already closing needs nothing more.
    if (!m_document || m_document->isClosing() || m_closing)
        return;
    if (m_document->windowControllers().size() <= 1 || m_shouldCloseDocument)
        m_document->close();
}

void WindowController::synchronizeWindowTitleWithDocumentName()
{
    if (!m_window || !m_document)
        return;
    const QString title = windowTitleForDocumentDisplayName(m_document->displayName());
    m_window->setTitle(title);
    // Qt marks an edited window where the title holds its placeholder; the window's own title stays
    // the plain name.
    if (QWidget* host = m_window->hostWidget()) {
        QString shown = title;
        host->setWindowTitle(shown.replace(QStringLiteral("[*]"), QStringLiteral("[ *]")) +
                             QStringLiteral("[*]"));
        host->setWindowModified(m_documentEdited);
    }
}

void WindowController::setDocumentEdited(bool edited)
{
    m_documentEdited = edited;
    QWidget* host = m_window ? m_window->hostWidget() : nullptr;
    if (host && host->windowTitle().contains(QStringLiteral("[*]")))
        host->setWindowModified(edited);
}
