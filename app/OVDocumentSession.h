#pragma once

#include "document/OVDocumentController.h"
#include "platform/foundation/NotificationCenter.h"

#include <QStringList>

#include <memory>

class OVAppDelegate;
class OVInputController;
class OVPromptModeWindows;
class Responder;

// What the program sets up around its documents: the document types and class, the window
// controller every script gets, the Prompt-mode keyboard, the switch the core turns autosaving off
// with while it changes mode, the menus' key equivalents and the application delegate at the end
// of the responder chain.
class OVDocumentSession {
public:
    OVDocumentSession();
    ~OVDocumentSession();
    OVDocumentSession(const OVDocumentSession&) = delete;
    OVDocumentSession& operator=(const OVDocumentSession&) = delete;

    OVDocumentController& documentController() const { return *m_documents; }
    OVAppDelegate& appDelegate() const { return *m_delegate; }

private:
    void installLayerProviders();
    void installInputController();
    void installApplicationResponder();
    void installKeyEquivalents();
    void quitIfNoDocumentWindowIsLeft();

    std::unique_ptr<OVDocumentController> m_documents;
    std::unique_ptr<OVInputController> m_input;
    // The blocking windows, notices and alerts of Prompt mode, installed on the shared core.
    std::unique_ptr<OVPromptModeWindows> m_promptModeWindows;
    // The end of the responder chain: quitting, and the document controller's new and open.
    std::unique_ptr<Responder> m_applicationResponder;
    std::unique_ptr<OVAppDelegate> m_delegate;
    NotificationObserver m_windowCloseObserver;
    int m_keyMonitor = 0;
    // Work posted for later checks it before touching the session.
    std::shared_ptr<int> m_alive = std::make_shared<int>();
};
