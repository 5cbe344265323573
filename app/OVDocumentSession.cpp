#include "app/OVDocumentSession.h"

#include "app/OVDocumentWindowController.h"
#include "document/OVDocument.h"
#include "document/OVDocumentController.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "prompting/OVInputController.h"
#include "text/OVTextView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace {

// Until the menus exist, the key equivalents of their commands: each Ctrl (Command) combination
// sends its action along the responder chain.
struct KeyEquivalent {
    char16_t character;
    bool shift;
    const char* action;
};

// 3 is the keypad's Enter, which the platform counts as Return for Ctrl+Return.
constexpr KeyEquivalent kKeyEquivalents[] = {
    {u'\r', false, "toggleMode:"},   {3, false, "toggleMode:"},      {u's', false, "saveDocument:"},
    {u's', true, "saveDocumentAs:"}, {u'o', false, "openDocument:"}, {u'n', false, "newDocument:"},
    {u'w', false, "performClose:"},  {u'q', false, "terminate:"},
};

const KeyEquivalent* keyEquivalentFor(const Event& event)
{
    if (event.type != Event::Type::KeyDown || !(event.modifierFlags & kCommandKeyMask))
        return nullptr;
    if (event.modifierFlags & (kOptionKeyMask | kControlKeyMask))
        return nullptr;
    const char16_t character = QChar(event.characterCodeIgnoringModifiers()).toLower().unicode();
    const bool shift = event.modifierFlags & kShiftKeyMask;
    for (const KeyEquivalent& equivalent : kKeyEquivalents)
        if (equivalent.character == character && equivalent.shift == shift)
            return &equivalent;
    return nullptr;
}

} // namespace

OVDocumentSession::OVDocumentSession() : m_documents(std::make_unique<OVDocumentController>())
{
    OVDocument::registerDocumentTypes(*m_documents);
    installLayerProviders();
    installInputController();
    installApplicationResponder();
    installKeyEquivalents();
}

void OVDocumentSession::installLayerProviders()
{
    // The document and text layers ask the prompting core through these, never reaching up to it.
    OVDocument::setPromptModeQuery([] { return OVApplication::shared().isModePrompt(); });
    OVDocument::setWindowFadeTimeOverrider(
        [](double seconds) { OVApplication::shared().setOverrideWindowFadeTime(seconds); });
    OVTextView::setPromptStateProvider([] {
        const OVApplication& application = OVApplication::shared();
        return OVTextView::PromptState{application.isModePrompt(), application.isStatusPaused(),
                                       application.isModeChanging()};
    });
    OVDocument::setWindowControllerFactory(
        [](OVDocument&) { return std::make_unique<OVDocumentWindowController>(); });
    OVApplication::shared().core().setAutosavingHandler(
        [](bool enabled) { OVDocument::setAutosavingEnabled(enabled); });
    // Time estimates and settings reach every open script's window, not the front one alone.
    OVApplication::shared().core().setAllCoreControllersProvider([this] {
        std::vector<OVCoreController*> controllers;
        for (WindowController* controller : m_documents->allWindowControllers())
            if (auto* coreController = dynamic_cast<OVCoreController*>(controller))
                controllers.push_back(coreController);
        return controllers;
    });
}

void OVDocumentSession::installInputController()
{
    OVCore& core = OVApplication::shared().core();
    m_input = std::make_unique<OVInputController>(core);
    // The same actions the core gives an input controller it makes for itself.
    m_input->setIncreaseSpeedAction(QStringLiteral("increaseSpeed:"));
    m_input->setDecreaseSpeedAction(QStringLiteral("decreaseSpeed:"));
    m_input->setScrollLineDownAction(QStringLiteral("scrollToNextLine:"));
    m_input->setScrollLineUpAction(QStringLiteral("scrollToPreviousLine:"));
    core.setInputController(m_input.get());
}

void OVDocumentSession::installApplicationResponder()
{
    m_applicationResponder = std::make_unique<Responder>();
    m_applicationResponder->setNextResponder(m_documents.get());
    m_applicationResponder->setActionHandler(QStringLiteral("terminate:"), [this](const QVariant&) {
        // Every edited document asks first; a cancel anywhere keeps the program running.
        m_documents->closeAllDocuments([](bool allClosed) {
            if (allClosed)
                Application::shared().terminate();
        });
    });
    Application::shared().setDelegate(m_applicationResponder.get());
    // Linux has no menu bar or dock that reaches a program without windows: closing the last
    // document window ends it.
    m_windowCloseObserver = NotificationObserver(
        NotificationCenter::shared(), kWindowWillCloseNotification, nullptr, [this](const Notification&) {
            RunLoop::postToMainThread([this, alive = std::weak_ptr<int>(m_alive)] {
                if (!alive.expired())
                    quitIfNoDocumentWindowIsLeft();
            });
        });
}

void OVDocumentSession::installKeyEquivalents()
{
    // A monitor answers whether the event goes on: every key but a handled equivalent does.
    m_keyMonitor = Application::shared().addLocalMonitorForEvents(
        Application::maskForType(Event::Type::KeyDown), [](Event& event) {
            const KeyEquivalent* equivalent = keyEquivalentFor(event);
            if (!equivalent)
                return true;
            // Held keys repeat; a command runs once per press.
            if (event.isARepeat)
                return false;
            Application::shared().sendAction(QString::fromLatin1(equivalent->action), nullptr, {});
            return false;
        });
}

OVDocumentSession::~OVDocumentSession()
{
    OVCore& core = OVApplication::shared().core();
    Application::shared().removeMonitor(m_keyMonitor);
    if (Application::shared().delegate() == m_applicationResponder.get())
        Application::shared().setDelegate(nullptr);
    m_windowCloseObserver.reset();
    m_alive.reset();
    core.setInputController(nullptr);
    core.setAutosavingHandler({});
    core.setAllCoreControllersProvider({});
    OVDocument::setWindowControllerFactory({});
    OVDocument::setPromptModeQuery({});
    OVDocument::setWindowFadeTimeOverrider({});
    OVTextView::setPromptStateProvider({});
    // Documents and their windows are let go of on the event loop's next pass; that pass is now,
    // while Qt can still destroy widgets (not from its own clean-up at exit).
    for (Document* document : m_documents->documents())
        document->close();
    m_documents.reset();
    QCoreApplication::sendPostedEvents();
}

int OVDocumentSession::openDocuments(const QStringList& paths)
{
    int opened = 0;
    Document* last = nullptr;
    for (const QString& path : paths) {
        Error error;
        const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        Document* document = m_documents->openDocumentWithContentsOfURL(url, true, &error);
        if (!document) {
            if (!error.isUserCancelled())
                Application::shared().presentError(error);
            continue;
        }
        last = document;
        ++opened;
    }
    if (opened == 0) {
        Error error;
        last = m_documents->openUntitledDocumentAndDisplay(true, &error);
        if (last)
            ++opened;
        else
            Application::shared().presentError(error);
    }
    if (last && last->primaryWindowController()) {
        Window* window = last->primaryWindowController()->window();
        window->makeKeyAndOrderFront();
        Application::shared().setMainWindow(window);
    }
    return opened;
}

void OVDocumentSession::quitIfNoDocumentWindowIsLeft()
{
    if (!m_documents)
        return;
    for (Document* document : m_documents->documents())
        if (!document->windowControllers().empty())
            return;
    Application::shared().terminate();
}
