#pragma once

#include "document/OVDocumentController.h"
#include "platform/foundation/NotificationCenter.h"

#include <QStringList>

#include <memory>

class OVInputController;
class Responder;

// What the program sets up around its documents: the document types and class, the window
// controller every script gets, the Prompt-mode keyboard, the switch the core turns autosaving off
// with while it changes mode, and the documents named on the command line (or a new one).
class OVDocumentSession {
public:
    OVDocumentSession();
    ~OVDocumentSession();
    OVDocumentSession(const OVDocumentSession&) = delete;
    OVDocumentSession& operator=(const OVDocumentSession&) = delete;

    // Opens each path and makes the last one the main window, so the core works for it at once.
    // Without a path, or when none of them opened, a new untitled document stands in: a program
    // without a window cannot be reached on Linux. Answers how many documents opened; errors are
    // presented.
    int openDocuments(const QStringList& paths);

    OVDocumentController& documentController() const { return *m_documents; }

private:
    void installLayerProviders();
    void installInputController();
    void installApplicationResponder();
    void installKeyEquivalents();
    void quitIfNoDocumentWindowIsLeft();

    std::unique_ptr<OVDocumentController> m_documents;
    std::unique_ptr<OVInputController> m_input;
    // The end of the responder chain: quitting, and the document controller's new and open.
    std::unique_ptr<Responder> m_applicationResponder;
    NotificationObserver m_windowCloseObserver;
    int m_keyMonitor = 0;
    // Work posted for later checks it before touching the session.
    std::shared_ptr<int> m_alive = std::make_shared<int>();
};
