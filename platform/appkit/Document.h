#pragma once

#include "platform/appkit/Responder.h"
#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DocumentController;
class FileWrapper;
class NotificationObserver;
class SavePanel;
class Timer;
class UndoManager;
class Window;
class WindowController;

// The base of every document: what it was read from and of which type, its edited state, saving
// (Save, Save As, Save To and autosaving) with atomic writes, reverting, duplicating and closing with
// the "save changes?" question. Subclasses read and write their contents by overriding the reading
// and writing operations; everything else runs here. Documents are owned by the DocumentController.
// On the responder chain a document answers "saveDocument:", "saveDocumentAs:", "saveDocumentTo:",
// "revertDocumentToSaved:" (enabled for an edited document with a file) and "duplicateDocument:".
class Document : public Responder {
public:
    enum class SaveOperation {
        Save,
        SaveAs,
        SaveTo,
        // Autosaving elsewhere: into the autosave folder, leaving the document's own file alone.
        Autosave,
        AutosaveInPlace,
        AutosaveAs,
    };

    enum class ChangeType { Done, Undone, Redone, Cleared, ReadOtherContents, Autosaved, Discardable };

    Document();
    ~Document() override;

    // Identity.
    const QUrl& fileURL() const { return m_fileURL; }
    virtual void setFileURL(const QUrl& url);
    const QString& fileType() const { return m_fileType; }
    void setFileType(const QString& type) { m_fileType = type; }
    // The name set with setDisplayName, else the file's name without its extension, else "Untitled"
    // (numbered when other untitled documents are open).
    virtual QString displayName() const;
    void setDisplayName(const QString& name);
    // When the file was last read or written by this document; checked before saving over it.
    const QDateTime& fileModificationDate() const { return m_fileModificationDate; }
    void setFileModificationDate(const QDateTime& date) { m_fileModificationDate = date; }
    const QUrl& autosavedContentsFileURL() const { return m_autosavedContentsURL; }
    void setAutosavedContentsFileURL(const QUrl& url) { m_autosavedContentsURL = url; }

    // Reading. The default reads a file wrapper of the URL and hands it on; a regular file's bytes
    // reach readFromData. Failing leaves the document as it was only when the override does.
    virtual bool readFromURL(const QUrl& url, const QString& type, Error* error);
    virtual bool readFromFileWrapper(const FileWrapper& wrapper, const QString& type, Error* error);
    virtual bool readFromData(const QByteArray& data, const QString& type, Error* error);
    // Reads through readFromURL as opening a file does: running out of memory on a script too long
    // for the machine fails this one read with an error that says so, instead of ending the program.
    bool readSafelyFromURL(const QUrl& url, const QString& type, Error* error);
    // The error of an open that ran out of memory: "not enough memory to open “NAME”".
    static Error notEnoughMemoryError(const QUrl& url);

    // Writing. The default writes fileWrapperOfType (by default dataOfType as one file) atomically.
    virtual bool writeToURL(const QUrl& url, const QString& type, SaveOperation operation,
                            const QUrl& originalContentsURL, Error* error);
    virtual std::shared_ptr<FileWrapper> fileWrapperOfType(const QString& type, Error* error);
    virtual std::optional<QByteArray> dataOfType(const QString& type, Error* error);

    // Whether writeToURL writes this type as one file in one atomic step of its own (its contents made
    // before anything on disk is touched, then a temporary in the target's folder renamed over it), so
    // that writeSafelyToURL may hand it the target itself: no staging folder then stands beside the
    // target while the contents are made, to be left there by a program ended mid-way.
    virtual bool writesTypeAsOneFileAtomically(const QString& type) const;
    // Writes a complete new file at url and only then replaces what was there, so a failure leaves
    // the previous file exactly as it was. Errors are readable: they name the document and the cause.
    bool writeSafelyToURL(const QUrl& url, const QString& type, SaveOperation operation, Error* error);
    // Why nothing can be written into the folder of path, in the words a failed save uses; empty when
    // the folder takes new files.
    static QString unwritableFolderReason(const QString& path);
    // Why writing size bytes to path failed, in the same words: the folder's permissions or its free
    // space where either is the cause, else what the system said.
    static QString writeFailureReason(const QString& path, qint64 size, const QString& systemReason);
    // Writes and updates the document: location, type and edited state after Save and Save As,
    // nothing but the file after Save To, autosave state after autosaving.
    bool saveToURL(const QUrl& url, const QString& type, SaveOperation operation, Error* error);

    // The user's commands. Each ends by calling completion with whether the document was written;
    // errors other than cancelling are presented. A Save of a document with no file, or of a type
    // the document cannot save in place, becomes a Save As.
    void saveDocument(std::function<void(bool saved)> completion = {});
    void saveDocumentAs(std::function<void(bool saved)> completion = {});
    void saveDocumentTo(std::function<void(bool saved)> completion = {});
    void revertDocumentToSaved();
    // Sets up the save panel for an operation; subclasses add an accessory or pick the type.
    virtual bool prepareSavePanel(SavePanel& panel, SaveOperation operation);
    QStringList writableTypesForSaveOperation(SaveOperation operation) const;
    QString fileNameExtensionForType(const QString& type) const;

    // Edited state.
    bool isDocumentEdited() const { return m_changeCount != 0; }
    void updateChangeCount(ChangeType change);
    virtual bool hasUnautosavedChanges() const { return m_hasUnautosavedChanges; }
    // The undo manager whose changes, undos and redos move the change count: one set from outside (not
    // owned), else the document's own, made on first use. Reverting empties it.
    UndoManager* undoManager();
    void setUndoManager(UndoManager* manager);

    // Autosaving.
    virtual bool autosavesInPlace() const { return false; }
    // The type autosaves are written in; empty means the document is never autosaved.
    virtual QString autosavingFileType() const { return m_fileType; }
    // Whether the autosave now running may be given up (timer-driven ones may; closing may not).
    bool autosavingIsImplicitlyCancellable() const { return m_autosaveIsImplicitlyCancellable; }
    // Writes the document's changes: in place when autosaving in place and the document has a file
    // that did not change behind its back, otherwise into the autosave folder. A failed in-place
    // autosave keeps a copy in the autosave folder, so no edit is lost, and still reports the failure.
    bool autosave(bool implicitlyCancellable, Error* error);
    // Starts (or keeps) the autosave timer when there are unautosaved changes.
    void scheduleAutosaving();
    bool isAutosaveScheduled() const;
    // Autosaves a copy in type into the autosave folder. A document read from a file of another type
    // (an import) or from a file it may not write becomes an unsaved document of type backed by that
    // copy, so its next Save asks where to go.
    void auxiliaryAutosave(const QString& type, std::function<void(const Error& error)> completion = {});

    // Reverting.
    virtual bool revertToContentsOfURL(const QUrl& url, const QString& type, Error* error);
    bool isReverting() const { return m_reverting; }

    // A new untitled document holding a copy of this one, opened and shown by the controller.
    virtual Document* duplicate(Error* error);
    bool isDuplicating() const { return m_duplicating; }
    // True while the controller reads an autosaved copy back after the application ended without
    // closing the document.
    bool isReopening() const { return m_reopening; }

    // The newest modification time of a file or, for a folder, of everything in it: editing a file
    // inside a package leaves the package folder's own date alone.
    static QDateTime contentsModificationDate(const QString& path);
    // Reads the file again when another program changed it and this document has no changes of its
    // own; an edited document keeps its contents (saving asks before replacing the file). Answers
    // whether the document was reloaded.
    bool reloadIfChangedOnDisk();
    // True when the file at fileURL was changed (or removed) since this document last read or wrote it.
    bool fileChangedOnDisk() const;

    // Window controllers, owned by the document.
    virtual void makeWindowControllers() {}
    WindowController* addWindowController(std::unique_ptr<WindowController> controller);
    // Lets go of the controller; it and its window are destroyed on the next pass of the event loop.
    void removeWindowController(WindowController* controller);
    std::vector<WindowController*> windowControllers() const;
    WindowController* primaryWindowController() const;
    virtual void windowControllerWillLoadNib(WindowController& controller) { Q_UNUSED(controller); }
    virtual void windowControllerDidLoadNib(WindowController& controller) { Q_UNUSED(controller); }
    void showWindows();
    // The window sheets about this document attach to.
    Window* windowForSheet() const;

    // Closing. canCloseDocument asks about unsaved changes when there are any and answers whether the
    // document may close; close removes its windows and hands the document back to the controller,
    // which destroys it on the next pass of the event loop.
    void canCloseDocument(std::function<void(bool shouldClose)> completion);
    virtual void close();
    bool isClosing() const { return m_closing; }

    // Errors go to the application's presenter, except cancelling.
    void presentError(const Error& error);

    // The type table's word on whether this document's class writes type as its own.
    bool isNativeType(const QString& type) const;
    // Which class this is in the controller's type table.
    virtual QString className() const { return QStringLiteral("Document"); }
    // The controller that made the document, else the shared one.
    DocumentController& controller() const;

protected:
    // Runs a save panel for operation; answers the URL and type chosen, or nothing when cancelled.
    struct SaveChoice {
        QUrl url;
        QString type;
    };
    std::optional<SaveChoice> runSavePanel(SaveOperation operation);

private:
    friend class DocumentController;

    void changeCountDidChange();
    void autosaveTimerFired();
    bool autosaveInPlace(Error* error);
    bool autosaveElsewhere(const QString& type, Error* error);
    QUrl autosaveLocation(const QString& type);
    bool confirmOverwritingChangedFile();
    void saveWithChoice(SaveOperation operation, std::function<void(bool)> completion);
    void discardAutosave();
    Error saveError(const QUrl& url, SaveOperation operation, const Error& cause) const;

    QUrl m_fileURL;
    QString m_fileType;
    QString m_displayName;
    QDateTime m_fileModificationDate;
    QUrl m_autosavedContentsURL;
    int m_changeCount = 0;
    bool m_hasUnautosavedChanges = false;
    bool m_autosaveIsImplicitlyCancellable = false;
    bool m_autosaveFailureShown = false;
    bool m_reverting = false;
    bool m_duplicating = false;
    bool m_reopening = false;
    bool m_closing = false;
    int m_untitledNumber = 0;
    DocumentController* m_controller = nullptr;
    UndoManager* m_undoManager = nullptr;
    std::unique_ptr<UndoManager> m_ownUndoManager;
    std::vector<NotificationObserver> m_undoObservers;
    // The undo manager's change count when the document last heard from it: a group that closes
    // without anything new registered (or a nested one) is no change.
    quint64 m_undoChangeCountSeen = 0;
    std::unique_ptr<Timer> m_autosaveTimer;
    std::vector<std::unique_ptr<WindowController>> m_windowControllers;
};

// Save and Save As are the user's own saves; Save To and autosaves are not.
bool isUserSaveOperation(Document::SaveOperation operation);
bool isAutosaveOperation(Document::SaveOperation operation);
