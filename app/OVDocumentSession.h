#pragma once

#include <QStringList>

#include <memory>

class DocumentController;
class OVInputController;

// What the program sets up around its documents: the document types and class, the window
// controller every script gets, the Prompt-mode keyboard, the switch the core turns autosaving off
// with while it changes mode, and the documents named on the command line (or a new one).
class OVDocumentSession {
public:
    OVDocumentSession();
    ~OVDocumentSession();
    OVDocumentSession(const OVDocumentSession&) = delete;
    OVDocumentSession& operator=(const OVDocumentSession&) = delete;

    // Opens each path (a new untitled document when there is none) and makes the last one the main
    // window, so the core works for it at once. Answers how many documents opened; errors are
    // presented.
    int openDocuments(const QStringList& paths);

    DocumentController& documentController() const { return *m_documents; }

private:
    std::unique_ptr<DocumentController> m_documents;
    std::unique_ptr<OVInputController> m_input;
};
