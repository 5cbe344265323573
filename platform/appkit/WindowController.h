#pragma once

#include "platform/appkit/Responder.h"

#include <QString>

#include <memory>

class Document;
class Window;

// Manages one window: makes it on first use, keeps its title in step with the document, stands on
// the responder chain after the window, and turns the window's close into the document's close when
// the document has no other window (asking about unsaved changes first).
class WindowController : public Responder {
public:
    WindowController();
    // Takes an already made window.
    explicit WindowController(std::unique_ptr<Window> window);
    ~WindowController() override;

    // Makes the window on first use: windowWillLoad, the document's windowControllerWillLoadNib,
    // makeWindow, windowDidLoad, the document's windowControllerDidLoadNib.
    Window* window();
    bool isWindowLoaded() const { return m_window != nullptr; }

    Document* document() const { return m_document; }
    // Called by the document when it adopts or lets go of the controller.
    virtual void setDocument(Document* document);

    void showWindow();
    // Closes the window without asking anything.
    void close();
    // What the title bar's close button and the "performClose:" action do: a document's last window
    // asks whether the document can close first.
    void performClose();

    // When set, closing this window closes the document even if it has other windows.
    bool shouldCloseDocument() const { return m_shouldCloseDocument; }
    void setShouldCloseDocument(bool flag) { m_shouldCloseDocument = flag; }
    // When set (the default), a window made after another is placed a step right of and below the
    // main window.
    bool shouldCascadeWindows() const { return m_shouldCascadeWindows; }
    void setShouldCascadeWindows(bool flag) { m_shouldCascadeWindows = flag; }

    virtual QString windowTitleForDocumentDisplayName(const QString& displayName) const
    {
        return displayName;
    }
    void synchronizeWindowTitleWithDocumentName();
    // Mirrors the document's edited state in the window (the title's modified mark).
    void setDocumentEdited(bool edited);
    bool isDocumentEdited() const { return m_documentEdited; }

protected:
    // Builds the window; the default is an empty titled window.
    virtual std::unique_ptr<Window> makeWindow();
    virtual void windowWillLoad() {}
    virtual void windowDidLoad() {}

private:
    class CloseFilter;
    void adoptWindow(std::unique_ptr<Window> window);
    void cascadeFromMainWindow();
    void windowWillClose();

    std::unique_ptr<Window> m_window;
    std::unique_ptr<CloseFilter> m_closeFilter;
    Document* m_document = nullptr;
    bool m_shouldCloseDocument = false;
    bool m_shouldCascadeWindows = true;
    bool m_documentEdited = false;
    bool m_loading = false;
    bool m_closing = false;
};
