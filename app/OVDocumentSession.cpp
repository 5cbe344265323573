#include "app/OVDocumentSession.h"

#include "app/OVDocumentWindowController.h"
#include "document/OVDocument.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Window.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "prompting/OVInputController.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace {

// Until the toolbar and the menus exist, Ctrl+Return enters and leaves Prompt mode; in Prompt mode
// the hot keys (the space bar starts and pauses) belong to the input controller.
bool isModeToggleKey(const Event& event)
{
    return event.type == Event::Type::KeyDown && (event.modifierFlags & kCommandKeyMask) &&
           (event.characterCodeIgnoringModifiers() == u'\r' || event.characterCodeIgnoringModifiers() == 3);
}

} // namespace

OVDocumentSession::OVDocumentSession() : m_documents(std::make_unique<DocumentController>())
{
    OVCore& core = OVApplication::shared().core();
    OVDocument::registerDocumentTypes(*m_documents);
    OVDocument::setWindowControllerFactory(
        [](OVDocument&) { return std::make_unique<OVDocumentWindowController>(); });
    core.setAutosavingHandler([](bool enabled) { OVDocument::setAutosavingEnabled(enabled); });
    m_input = std::make_unique<OVInputController>(core);
    core.setInputController(m_input.get());
    Application::shared().addLocalMonitorForEvents(
        Application::maskForType(Event::Type::KeyDown), [](Event& event) {
            if (!isModeToggleKey(event))
                return false;
            return Application::shared().sendAction(QStringLiteral("toggleMode:"), nullptr, {});
        });
}

OVDocumentSession::~OVDocumentSession()
{
    OVCore& core = OVApplication::shared().core();
    core.setInputController(nullptr);
    core.setAutosavingHandler({});
    OVDocument::setWindowControllerFactory({});
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
    if (paths.isEmpty()) {
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
