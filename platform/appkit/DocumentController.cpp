#include "platform/appkit/DocumentController.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/UniformTypeRegistry.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/MemoryReserve.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StagingItem.h"
#include "platform/foundation/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <new>
#include <set>

namespace {

DocumentController* g_shared = nullptr;

QUrl cleaned(const QUrl& url)
{
    return url.isLocalFile() ? QUrl::fromLocalFile(QDir::cleanPath(url.toLocalFile())) : url;
}

// Reading a script and laying it out take memory in proportion to its length; running out of it
// fails this one open with an error that says so and leaves the program and every other document as
// they were. open answers the document it added, and sets added as soon as it adds one. An open
// that only got through on the memory reserve fails as well: it ran out where it could not say so.
template <typename Open> Document* openOrRunOutOfMemory(const QUrl& url, Error* error, Open&& open)
{
    Document* added = nullptr;
    try {
        if (!MemoryReserve::hold())
            throw std::bad_alloc();
        Document* opened = open(added);
        if (!MemoryReserve::isSpent())
            return opened;
        if (opened && !added)
            return opened; // already open before: nothing was read
    } catch (const std::bad_alloc&) {
    }
    if (added) {
        // An autosaved copy being reopened stays on disk for a later start.
        added->setAutosavedContentsFileURL({});
        added->close();
    }
    MemoryReserve::hold();
    setError(error, Document::notEnoughMemoryError(cleaned(url)));
    return nullptr;
}

} // namespace

DocumentController& DocumentController::shared()
{
    if (!g_shared) {
        static DocumentController fallback;
        return fallback;
    }
    return *g_shared;
}

DocumentController::DocumentController()
{
    if (!g_shared)
        g_shared = this;
    m_activationObserver = std::make_unique<NotificationObserver>(
        NotificationCenter::shared(), kApplicationDidBecomeActiveNotification, nullptr,
        [this](const Notification&) { reloadDocumentsChangedOnDisk(); });
    setActionHandler(QStringLiteral("newDocument:"), [this](const QVariant&) {
        Error error;
        if (!openUntitledDocumentAndDisplay(true, &error) && !error.isUserCancelled())
            Application::shared().presentError(error);
    });
    setActionHandler(QStringLiteral("openDocument:"), [this](const QVariant&) {
        for (const QUrl& url : URLsFromRunningOpenPanel()) {
            Error error;
            if (!openDocumentWithContentsOfURL(url, true, &error) && !error.isUserCancelled())
                Application::shared().presentError(error);
        }
    });
    setActionHandler(QStringLiteral("openRecentDocument:"), [this](const QVariant& sender) {
        auto* item = sender.value<MenuItem*>();
        const QUrl url = item ? item->representedObject().toUrl() : QUrl();
        if (url.isEmpty())
            return;
        Error error;
        if (!openDocumentWithContentsOfURL(url, true, &error) && !error.isUserCancelled())
            Application::shared().presentError(error);
    });
    setActionHandler(
        QStringLiteral("saveAllDocuments:"),
        [this](const QVariant&) {
            for (Document* document : documents()) {
                if (document->isDocumentEdited())
                    document->saveDocument();
            }
        },
        [this](const UserInterfaceItem&) { return hasEditedDocuments(); });
    setActionHandler(
        QStringLiteral("clearRecentDocuments:"), [this](const QVariant&) { clearRecentDocuments(); },
        [this](const UserInterfaceItem&) { return !recentDocumentURLs().isEmpty(); });
}

DocumentController::~DocumentController()
{
    if (g_shared == this)
        g_shared = nullptr;
    m_documents.clear();
}

// The type table.

void DocumentController::registerDocumentClass(const QString& className, DocumentFactory factory)
{
    std::erase_if(m_classes, [&](const DocumentClass& entry) { return entry.className == className; });
    m_classes.push_back({className, std::move(factory)});
}

void DocumentController::addDocumentType(const DocumentType& type)
{
    std::erase_if(m_types, [&](const DocumentType& entry) {
        return entry.identifier == type.identifier && entry.className == type.className;
    });
    m_types.push_back(type);
    UniformTypeRegistry& registry = UniformTypeRegistry::shared();
    const UniformTypeRegistry::Declaration* known = registry.declaration(type.identifier);
    if (!known || !type.conformsTo.isEmpty() || !type.extensions.isEmpty()) {
        QStringList parents = type.conformsTo;
        if (parents.isEmpty())
            parents = known ? known->conformsTo
                            : QStringList{type.isPackage ? QStringLiteral("com.apple.package")
                                                         : QStringLiteral("public.data")};
        if (type.isPackage && !parents.contains(QStringLiteral("com.apple.package")))
            parents << QStringLiteral("com.apple.package");
        registry.declareType({type.identifier, parents,
                              type.extensions.isEmpty() && known ? known->extensions : type.extensions,
                              type.name});
    }
}

const DocumentController::DocumentType* DocumentController::documentType(const QString& identifier) const
{
    auto it = std::find_if(m_types.begin(), m_types.end(),
                           [&](const DocumentType& type) { return type.identifier == identifier; });
    return it == m_types.end() ? nullptr : &*it;
}

QString DocumentController::documentClassForType(const QString& type) const
{
    if (type.isEmpty())
        return {};
    if (const DocumentType* exact = documentType(type); exact && exact->role != Role::None)
        return exact->className;
    const UniformTypeRegistry& registry = UniformTypeRegistry::shared();
    for (const DocumentType& entry : m_types) {
        if (entry.role != Role::None && registry.conformsTo(type, entry.identifier))
            return entry.className;
    }
    return {};
}

QString DocumentController::defaultType() const
{
    for (const DocumentType& type : m_types) {
        if (type.role == Role::Editor && type.isNative)
            return type.identifier;
    }
    for (const DocumentType& type : m_types) {
        if (type.role == Role::Editor && !type.isExportOnly)
            return type.identifier;
    }
    return {};
}

QStringList DocumentController::readableTypesForClass(const QString& className) const
{
    QStringList types;
    for (const DocumentType& type : m_types) {
        if (type.className == className && type.role != Role::None && !type.isExportOnly &&
            !types.contains(type.identifier))
            types << type.identifier;
    }
    return types;
}

QStringList DocumentController::writableTypesForClass(const QString& className) const
{
    QStringList types;
    for (const DocumentType& type : m_types) {
        if (type.className == className && type.role == Role::Editor && !types.contains(type.identifier))
            types << type.identifier;
    }
    return types;
}

bool DocumentController::isNativeType(const QString& type) const
{
    const DocumentType* entry = documentType(type);
    return entry && entry->isNative;
}

QString DocumentController::displayNameForType(const QString& type) const
{
    if (const DocumentType* entry = documentType(type); entry && !entry->name.isEmpty())
        return entry->name;
    if (const auto* declaration = UniformTypeRegistry::shared().declaration(type))
        return declaration->description;
    return type;
}

QStringList DocumentController::fileExtensionsFromType(const QString& type) const
{
    if (const DocumentType* entry = documentType(type); entry && !entry->extensions.isEmpty())
        return entry->extensions;
    return UniformTypeRegistry::shared().extensionsForType(type);
}

QString DocumentController::typeForContentsOfURL(const QUrl& url, Error* error) const
{
    if (!url.isLocalFile()) {
        setError(error,
                 Error::cocoa(kFileReadUnknownError, url, QStringLiteral("Only local files can be opened.")));
        return {};
    }
    const QFileInfo info(url.toLocalFile());
    if (!info.exists()) {
        Error missing =
            Error::cocoa(kFileReadNoSuchFileError, url, QStringLiteral("The file doesn’t exist."));
        missing.setUserInfoValue(
            kLocalizedDescriptionKey,
            QStringLiteral("The file “%1” couldn’t be opened because there is no such file.")
                .arg(info.fileName()));
        setError(error, missing);
        return {};
    }
    const QString extension = info.suffix().toLower();
    const UniformTypeRegistry& registry = UniformTypeRegistry::shared();
    // The document table first, so the application's own types win over the registry's.
    for (const DocumentType& type : m_types) {
        if (type.extensions.contains(extension, Qt::CaseInsensitive) && type.isPackage == info.isDir())
            return type.identifier;
    }
    const QString type = extension.isEmpty() ? QString() : registry.typeForExtension(extension, info.isDir());
    if (!type.isEmpty() && registry.isPackageType(type) == info.isDir())
        return type;
    return info.isDir() ? QStringLiteral("public.folder") : QStringLiteral("public.data");
}

// Documents.

std::vector<Document*> DocumentController::documents() const
{
    std::vector<Document*> result;
    for (const auto& document : m_documents)
        result.push_back(document.get());
    return result;
}

Document* DocumentController::addDocument(std::unique_ptr<Document> document)
{
    if (!document)
        return nullptr;
    document->m_controller = this;
    if (document->fileURL().isEmpty() && document->m_untitledNumber == 0)
        document->m_untitledNumber = nextUntitledNumber();
    m_documents.push_back(std::move(document));
    return m_documents.back().get();
}

void DocumentController::removeDocument(Document* document)
{
    auto it = std::find_if(m_documents.begin(), m_documents.end(),
                           [document](const auto& owned) { return owned.get() == document; });
    if (it == m_documents.end())
        return;
    std::shared_ptr<Document> removed = std::move(*it);
    m_documents.erase(it);
    // The caller may be the document itself, or one of its windows.
    RunLoop::postToMainThread([removed] {});
}

Document* DocumentController::documentForURL(const QUrl& url) const
{
    if (url.isEmpty())
        return nullptr;
    const QUrl wanted = cleaned(url);
    for (const auto& document : m_documents) {
        if (!document->fileURL().isEmpty() && cleaned(document->fileURL()) == wanted)
            return document.get();
    }
    return nullptr;
}

Document* DocumentController::documentForWindow(const Window* window) const
{
    if (!window)
        return nullptr;
    for (const auto& document : m_documents) {
        for (WindowController* controller : document->windowControllers()) {
            if (controller->isWindowLoaded() && controller->window() == window)
                return document.get();
        }
    }
    return nullptr;
}

std::vector<Document*> DocumentController::orderedDocuments() const
{
    std::vector<Document*> ordered;
    for (Window* window : Application::shared().orderedWindows()) {
        Document* document = documentForWindow(window);
        if (document && std::find(ordered.begin(), ordered.end(), document) == ordered.end())
            ordered.push_back(document);
    }
    for (const auto& document : m_documents) {
        if (std::find(ordered.begin(), ordered.end(), document.get()) == ordered.end())
            ordered.push_back(document.get());
    }
    return ordered;
}

Document* DocumentController::currentDocument() const
{
    return documentForWindow(Application::shared().mainWindow());
}

bool DocumentController::hasEditedDocuments() const
{
    return std::any_of(m_documents.begin(), m_documents.end(),
                       [](const auto& document) { return document->isDocumentEdited(); });
}

int DocumentController::nextUntitledNumber() const
{
    std::set<int> used;
    for (const auto& document : m_documents) {
        if (document->fileURL().isEmpty())
            used.insert(document->m_untitledNumber);
    }
    int number = 1;
    while (used.count(number))
        ++number;
    return number;
}

// Making documents.

std::unique_ptr<Document> DocumentController::makeDocumentOfClass(const QString& className,
                                                                  Error* error) const
{
    auto it = std::find_if(m_classes.begin(), m_classes.end(),
                           [&](const DocumentClass& entry) { return entry.className == className; });
    std::unique_ptr<Document> document = it == m_classes.end() ? nullptr : it->factory();
    if (!document) {
        setError(error, Error::cocoa(kFileReadUnknownError, {},
                                     QStringLiteral("No document class handles this type of file.")));
        return nullptr;
    }
    document->m_controller = const_cast<DocumentController*>(this);
    return document;
}

std::unique_ptr<Document> DocumentController::makeUntitledDocumentOfType(const QString& type, Error* error)
{
    std::unique_ptr<Document> document = makeDocumentOfClass(documentClassForType(type), error);
    if (document)
        document->setFileType(type);
    return document;
}

std::unique_ptr<Document> DocumentController::makeDocumentWithContentsOfURL(const QUrl& url,
                                                                            const QString& type, Error* error)
{
    std::unique_ptr<Document> document = makeDocumentOfClass(documentClassForType(type), error);
    if (!document)
        return nullptr;
    const QUrl clean = cleaned(url);
    Error readError;
    if (!document->readSafelyFromURL(clean, type, &readError)) {
        if (!readError.isUserCancelled() && readError.fileURL().isEmpty()) {
            readError.setUserInfoValue(kURLErrorKey, clean);
            readError.setUserInfoValue(kFilePathErrorKey, clean.toLocalFile());
        }
        setError(error, readError);
        return nullptr;
    }
    document->setFileType(type);
    document->setFileURL(clean);
    document->setFileModificationDate(Document::contentsModificationDate(clean.toLocalFile()));
    document->updateChangeCount(Document::ChangeType::Cleared);
    // Saves interrupted by a crash leave their staging folders beside the document; a save of this
    // document would remove them too, but a document that is only read would keep them forever.
    if (clean.isLocalFile()) {
        const QFileInfo file(clean.toLocalFile());
        StagingItem::removeStaleSavingFolders(file.absolutePath(), file.fileName());
    }
    return document;
}

Document* DocumentController::openUntitledDocumentAndDisplay(bool display, Error* error)
{
    std::unique_ptr<Document> made = makeUntitledDocumentOfType(defaultType(), error);
    if (!made)
        return nullptr;
    Document* document = addDocument(std::move(made));
    document->makeWindowControllers();
    if (display)
        document->showWindows();
    return document;
}

Document* DocumentController::openDocumentWithContentsOfURL(const QUrl& url, bool display, Error* error)
{
    return openOrRunOutOfMemory(url, error, [&](Document*& added) -> Document* {
        if (Document* open = documentForURL(url)) {
            if (display)
                open->showWindows();
            return open;
        }
        const QString type = typeForContentsOfURL(url, error);
        if (type.isEmpty())
            return nullptr;
        if (documentClassForType(type).isEmpty()) {
            setError(error,
                     Error::cocoa(kFileReadUnknownError, cleaned(url),
                                  QStringLiteral("The file is not in a format this application opens.")));
            return nullptr;
        }
        std::unique_ptr<Document> made = makeDocumentWithContentsOfURL(url, type, error);
        if (!made)
            return nullptr;
        added = addDocument(std::move(made));
        added->makeWindowControllers();
        if (display)
            added->showWindows();
        noteNewRecentDocumentURL(added->fileURL());
        return added;
    });
}

Document* DocumentController::duplicateDocumentWithContentsOfURL(const QUrl& url, const QString& displayName,
                                                                 Error* error)
{
    return openOrRunOutOfMemory(url, error, [&](Document*& added) -> Document* {
        const QString type = typeForContentsOfURL(url, error);
        if (type.isEmpty())
            return nullptr;
        std::unique_ptr<Document> made = makeDocumentOfClass(documentClassForType(type), error);
        if (!made)
            return nullptr;
        made->m_duplicating = true;
        const bool read = made->readSafelyFromURL(cleaned(url), type, error);
        made->m_duplicating = false;
        if (!read)
            return nullptr;
        made->setFileType(type);
        if (!displayName.isEmpty())
            made->setDisplayName(displayName);
        added = addDocument(std::move(made));
        // A copy nobody saved yet: closing it asks, like any new work.
        added->updateChangeCount(Document::ChangeType::Done);
        added->makeWindowControllers();
        added->showWindows();
        return added;
    });
}

std::vector<Document*> DocumentController::reopenAutosavedDocuments(bool display)
{
    std::vector<Document*> reopened;
    const QDir folder(autosaveDirectory());
    const QStringList names = folder.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QUrl url = QUrl::fromLocalFile(folder.filePath(name));
        if (documentForAutosave(url))
            continue;
        Error error;
        Document* document = openOrRunOutOfMemory(url, &error, [&](Document*& added) -> Document* {
            const QString type = typeForContentsOfURL(url, &error);
            std::unique_ptr<Document> made = makeDocumentOfClass(documentClassForType(type), &error);
            if (!made)
                return nullptr;
            made->m_reopening = true;
            const bool read = made->readSafelyFromURL(url, type, &error);
            made->m_reopening = false;
            if (!read)
                return nullptr;
            QString title = QFileInfo(name).completeBaseName();
            title.remove(QRegularExpression(QStringLiteral(" \\(Autosaved( \\d+)?\\)$")));
            made->setFileType(type);
            made->setDisplayName(title);
            made->setAutosavedContentsFileURL(url);
            added = addDocument(std::move(made));
            added->updateChangeCount(Document::ChangeType::Done);
            // The copy on disk already holds everything.
            added->updateChangeCount(Document::ChangeType::Autosaved);
            added->makeWindowControllers();
            if (display)
                added->showWindows();
            return added;
        });
        if (document)
            reopened.push_back(document);
    }
    return reopened;
}

Document* DocumentController::documentForAutosave(const QUrl& url) const
{
    const QUrl wanted = cleaned(url);
    for (const auto& document : m_documents) {
        if (cleaned(document->autosavedContentsFileURL()) == wanted)
            return document.get();
    }
    return nullptr;
}

QList<QUrl> DocumentController::URLsFromRunningOpenPanel()
{
    OpenPanel panel;
    panel.setAllowsMultipleSelection(true);
    QStringList extensions;
    for (const DocumentType& type : m_types) {
        if (type.role != Role::None && !type.isExportOnly)
            extensions << type.extensions;
    }
    panel.setAllowedExtensions(extensions);
    if (panel.runModal() != SavePanel::kModalResponseOK)
        return {};
    return panel.URLs();
}

// Recent documents.

UserDefaults& DocumentController::defaults() const
{
    return m_defaults ? *m_defaults : UserDefaults::shared();
}

PlistArray DocumentController::storedRecentDocumentPaths() const
{
    // The list is the controller's own saved state, never registered: read what is stored.
    return defaults().persistentDomain().value(recentDocumentsKey()).array();
}

QList<QUrl> DocumentController::recentDocumentURLs() const
{
    QList<QUrl> urls;
    for (const PlistValue& value : storedRecentDocumentPaths()) {
        if (!value.isString())
            continue;
        const QString path = value.string();
        if (QFileInfo::exists(path))
            urls << QUrl::fromLocalFile(path);
    }
    return urls;
}

void DocumentController::noteNewRecentDocumentURL(const QUrl& url)
{
    if (!url.isLocalFile() || m_maximumRecentCount <= 0)
        return;
    const QString path = QDir::cleanPath(url.toLocalFile());
    PlistArray paths;
    paths.push_back(PlistValue(path));
    for (const PlistValue& value : storedRecentDocumentPaths()) {
        if (int(paths.size()) >= m_maximumRecentCount)
            break;
        if (value.isString() && value.string() != path)
            paths.push_back(value);
    }
    defaults().setObject(PlistValue(paths), recentDocumentsKey());
}

void DocumentController::clearRecentDocuments()
{
    defaults().removeObjectForKey(recentDocumentsKey());
}

void DocumentController::updateRecentDocumentsMenu(Menu& menu) const
{
    menu.removeAllItems();
    for (const QUrl& url : recentDocumentURLs()) {
        MenuItem* item = menu.addItemWithTitle(QFileInfo(url.toLocalFile()).fileName(),
                                               QStringLiteral("openRecentDocument:"));
        item->setRepresentedObject(url);
        item->setToolTip(url.toLocalFile());
        item->setTarget(const_cast<DocumentController*>(this));
    }
    menu.addSeparatorIfNeeded();
    MenuItem* clear =
        menu.addItemWithTitle(QStringLiteral("Clear Menu"), QStringLiteral("clearRecentDocuments:"));
    clear->setTarget(const_cast<DocumentController*>(this));
}

void DocumentController::setMaximumRecentDocumentCount(int count)
{
    m_maximumRecentCount = std::max(0, count);
    PlistArray paths = storedRecentDocumentPaths();
    if (int(paths.size()) > m_maximumRecentCount) {
        paths.resize(size_t(m_maximumRecentCount));
        defaults().setObject(PlistValue(paths), recentDocumentsKey());
    }
}

// Autosaving and closing.

QString DocumentController::autosaveDirectory() const
{
    if (!m_autosaveDirectory.isEmpty())
        return m_autosaveDirectory;
    return QDir(DataFolder::path()).filePath(QStringLiteral("Autosave Information"));
}

void DocumentController::reloadDocumentsChangedOnDisk()
{
    for (Document* document : documents())
        document->reloadIfChangedOnDisk();
}

void DocumentController::closeAllDocuments(std::function<void(bool)> completion)
{
    closeNext(documents(), std::move(completion));
}

void DocumentController::closeNext(std::vector<Document*> remaining, std::function<void(bool)> completion)
{
    // Documents may close themselves meanwhile; only those still open are asked.
    while (!remaining.empty()) {
        Document* document = remaining.front();
        remaining.erase(remaining.begin());
        const auto open = documents();
        if (std::find(open.begin(), open.end(), document) == open.end())
            continue;
        document->canCloseDocument([this, document, remaining, completion](bool shouldClose) {
            if (!shouldClose) {
                if (completion)
                    completion(false);
                return;
            }
            document->close();
            closeNext(remaining, completion);
        });
        return;
    }
    if (completion)
        completion(true);
}
