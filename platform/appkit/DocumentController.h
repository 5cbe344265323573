#pragma once

#include "platform/appkit/Responder.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/PlistValue.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class Document;
class Menu;
class NotificationObserver;
class OpenPanel;
class UserDefaults;
class Window;

// Cocoa-domain code for a write refused by the file system's permissions.
inline constexpr qint64 kFileWriteNoPermissionError = 513;
// Cocoa-domain code for a write refused for lack of room.
inline constexpr qint64 kFileWriteOutOfSpaceError = 640;

// The application's documents: the table of types it reads and writes and the document classes
// behind them, making and opening documents (at most one per file), the recent-documents list,
// the autosave folder and delay, and closing everything. It stands on the responder chain after the
// application and answers "newDocument:", "openDocument:", "openRecentDocument:", "saveAllDocuments:"
// and "clearRecentDocuments:".
class DocumentController : public Responder {
public:
    enum class Role { Editor, Viewer, None };

    // One row of the type table.
    struct DocumentType {
        QString identifier;
        QString name;
        // Without dots; the first is the preferred one.
        QStringList extensions;
        Role role = Role::Editor;
        QString className;
        // The class's own format; Save writes only these in place.
        bool isNative = false;
        // Written by Save To alone.
        bool isExportOnly = false;
        // A directory that the user sees as one file.
        bool isPackage = false;
        // Declared in the type registry along with the type.
        QStringList conformsTo;
    };
    using DocumentFactory = std::function<std::unique_ptr<Document>()>;

    // The first controller made is the shared one until it is destroyed; without one, a plain
    // controller is made on first use.
    static DocumentController& shared();

    DocumentController();
    ~DocumentController() override;

    // The type table.
    void registerDocumentClass(const QString& className, DocumentFactory factory);
    void addDocumentType(const DocumentType& type);
    const std::vector<DocumentType>& documentTypes() const { return m_types; }
    const DocumentType* documentType(const QString& identifier) const;
    // Empty when no class reads the type (nor a type it conforms to).
    QString documentClassForType(const QString& type) const;
    // The first type an editor class writes natively, else the first editor type.
    QString defaultType() const;
    QStringList readableTypesForClass(const QString& className) const;
    QStringList writableTypesForClass(const QString& className) const;
    bool isNativeType(const QString& type) const;
    QString displayNameForType(const QString& type) const;
    QStringList fileExtensionsFromType(const QString& type) const;
    // The type of what is at url, judged by its extension and whether it is a folder: a package
    // folder has its package type, a plain file carrying a package's extension is "public.data",
    // any other folder "public.folder". Fails with code 260 when nothing is there.
    QString typeForContentsOfURL(const QUrl& url, Error* error) const;

    // The open documents, in the order they were added.
    std::vector<Document*> documents() const;
    Document* addDocument(std::unique_ptr<Document> document);
    // Takes the document out of the list; it is destroyed on the next pass of the event loop, after
    // whatever closed it has returned.
    void removeDocument(Document* document);
    Document* documentForURL(const QUrl& url) const;
    Document* documentForWindow(const Window* window) const;
    // The document of the main window.
    Document* currentDocument() const;
    // Documents in the order of their frontmost windows, front to back; documents without a visible
    // window follow in the order they were added.
    std::vector<Document*> orderedDocuments() const;
    bool hasEditedDocuments() const;

    // Making documents. A subclass may refuse a new untitled document (with an error) where the
    // program cannot set one up whole.
    virtual std::unique_ptr<Document> makeUntitledDocumentOfType(const QString& type, Error* error);
    std::unique_ptr<Document> makeDocumentWithContentsOfURL(const QUrl& url, const QString& type,
                                                            Error* error);
    Document* openUntitledDocumentAndDisplay(bool display, Error* error);
    // Brings an already open document forward instead of reading the file twice.
    Document* openDocumentWithContentsOfURL(const QUrl& url, bool display, Error* error);
    // An untitled document filled from url (copying the file's contents), shown under displayName
    // when given; Save asks where to put it.
    Document* duplicateDocumentWithContentsOfURL(const QUrl& url, const QString& displayName, Error* error);
    // Opens, as edited untitled documents, the autosaved copies an earlier run left behind (it ended
    // without closing them), so no work is lost to a crash. Copies that cannot be read stay where they
    // are. Answers the documents reopened.
    std::vector<Document*> reopenAutosavedDocuments(bool display);
    // Runs the open panel over the readable types; empty when cancelled.
    QList<QUrl> URLsFromRunningOpenPanel();

    // Recent documents, newest first, kept in the user defaults; missing files are dropped on reading.
    QList<QUrl> recentDocumentURLs() const;
    void noteNewRecentDocumentURL(const QUrl& url);
    void clearRecentDocuments();
    // Fills menu with the recent documents (titled by file name, each opening its file through
    // "openRecentDocument:"), then a separator and "Clear Menu".
    void updateRecentDocumentsMenu(Menu& menu) const;
    int maximumRecentDocumentCount() const { return m_maximumRecentCount; }
    void setMaximumRecentDocumentCount(int count);
    // The defaults the list lives in; the shared ones unless set.
    void setUserDefaults(UserDefaults* defaults) { m_defaults = defaults; }

    // Autosaving: the delay after a change before the timer writes, 0 for never, and the folder that
    // autosaves of untitled and imported documents go to.
    double autosavingDelay() const { return m_autosavingDelay; }
    void setAutosavingDelay(double seconds) { m_autosavingDelay = seconds; }
    QString autosaveDirectory() const;
    void setAutosaveDirectory(const QString& path) { m_autosaveDirectory = path; }

    // Reloads every unedited document whose file another program changed; runs whenever the
    // application becomes active.
    void reloadDocumentsChangedOnDisk();

    // Asks about each edited document in turn and closes those it may; completion hears whether all
    // of them closed (false as soon as the user cancels one).
    void closeAllDocuments(std::function<void(bool allClosed)> completion);

    // The lowest number no open untitled document uses, starting at 1.
    int nextUntitledNumber() const;

    static QString recentDocumentsKey() { return QStringLiteral("RecentDocuments"); }

private:
    struct DocumentClass {
        QString className;
        DocumentFactory factory;
    };
    std::unique_ptr<Document> makeDocumentOfClass(const QString& className, Error* error) const;
    Document* documentForAutosave(const QUrl& url) const;
    void closeNext(std::vector<Document*> remaining, std::function<void(bool)> completion);
    UserDefaults& defaults() const;
    PlistArray storedRecentDocumentPaths() const;

    std::unique_ptr<NotificationObserver> m_activationObserver;
    std::vector<DocumentType> m_types;
    std::vector<DocumentClass> m_classes;
    std::vector<std::unique_ptr<Document>> m_documents;
    UserDefaults* m_defaults = nullptr;
    int m_maximumRecentCount = 10;
    double m_autosavingDelay = 30.0;
    QString m_autosaveDirectory;
};
