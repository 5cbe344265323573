#include "app/OVDocumentSession.h"

#include "app/OVAppDelegate.h"
#include "document/OVDocument.h"
#include "document/OVDocumentController.h"
#include "output/OVPromptModeWindows.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/EventTranslation.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "prompting/OVInputController.h"
#include "text/OVTextView.h"
#include "textutil/NSMutableAttributedStringOVColorInversion.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

OVDocumentSession::OVDocumentSession() : m_documents(std::make_unique<OVDocumentController>())
{
    OVDocument::registerDocumentTypes(*m_documents);
    // The delegate comes first: the prompting core, made on first use below, expects to find it.
    installApplicationResponder();
    installLayerProviders();
    installInputController();
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
    NSMutableAttributedStringOVBookmarkAdditions::setOptionKeyDownProvider(
        [] { return (currentModifierFlags() & kOptionKeyMask) != 0; });
    OVDocument::setWindowControllerFactory(
        [](OVDocument&) { return std::make_unique<OVDocumentWindowController>(); });
    m_promptModeWindows = std::make_unique<OVPromptModeWindows>();
    m_promptModeWindows->install(OVApplication::shared().core());
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
    m_delegate = std::make_unique<OVAppDelegate>();
    m_delegate->setNextResponder(m_applicationResponder.get());
    Application::shared().setDelegate(m_delegate.get());
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
    // The menus' shortcuts act from every window, whether its menu bar shows or not. A monitor
    // answers whether the event goes on: every key but a menu's shortcut does.
    m_keyMonitor = Application::shared().addLocalMonitorForEvents(
        Application::maskForType(Event::Type::KeyDown), [](Event& event) {
            Menu* menu = Menu::mainMenu();
            if (!menu)
                return true;
            // A view that swallows shortcuts (a Prompt-mode notice) sees them before the menus.
            if (event.window && event.window->performKeyEquivalent(event))
                return false;
            // A key typed into a dialog, sheet, panel or alert acts there or nowhere.
            if (Menu::isKeyForADialog(event))
                return true;
            // Held keys repeat; a command runs once per press (a held Ctrl+Return must not
            // switch the mode back and forth).
            if (event.isARepeat)
                return menu->itemForKeyEquivalent(event) == nullptr;
            return !menu->performKeyEquivalent(event);
        });
}

OVDocumentSession::~OVDocumentSession()
{
    OVCore& core = OVApplication::shared().core();
    Application::shared().removeMonitor(m_keyMonitor);
    if (Application::shared().delegate() == m_delegate.get())
        Application::shared().setDelegate(nullptr);
    m_windowCloseObserver.reset();
    m_alive.reset();
    core.setInputController(nullptr);
    core.setAutosavingHandler({});
    core.setPromptModeWindows(nullptr);
    m_promptModeWindows.reset();
    Alert::setModalOptionsProvider({});
    core.setAllCoreControllersProvider({});
    OVDocument::setWindowControllerFactory({});
    OVDocument::setPromptModeQuery({});
    OVDocument::setWindowFadeTimeOverrider({});
    OVTextView::setPromptStateProvider({});
    NSMutableAttributedStringOVBookmarkAdditions::setOptionKeyDownProvider({});
    // Documents and their windows are let go of on the event loop's next pass; that pass is now,
    // while Qt can still destroy widgets (not from its own clean-up at exit).
    for (Document* document : m_documents->documents())
        document->close();
    m_documents.reset();
    QCoreApplication::sendPostedEvents();
    m_delegate.reset();
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
