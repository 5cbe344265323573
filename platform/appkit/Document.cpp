#include "platform/appkit/Document.h"

#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/Timer.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StagingItem.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Bounds the walk that dates a package, so a huge folder cannot stall a save.
constexpr int kMaxDatedEntries = 10000;

} // namespace

QDateTime Document::contentsModificationDate(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    QDateTime latest = info.lastModified();
    if (!info.isDir() || info.isSymLink())
        return latest;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    for (int count = 0; it.hasNext() && count < kMaxDatedEntries; ++count) {
        it.next();
        latest = std::max(latest, it.fileInfo().lastModified());
    }
    return latest;
}

namespace {

QString quoted(const QString& text)
{
    return QStringLiteral("“%1”").arg(text);
}

// Swaps the finished item at from into to, whatever was there; the old item ends up at from.
bool swapInto(const QString& from, const QString& to, bool targetExists, int* errorNumber)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (!targetExists) {
        // RENAME_NOREPLACE keeps a file that appeared meanwhile.
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EINVAL && errno != ENOSYS) {
            *errorNumber = errno;
            return false;
        }
        if (::rename(source.constData(), target.constData()) == 0)
            return true;
        *errorNumber = errno;
        return false;
    }
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        *errorNumber = errno;
        return false;
    }
    // No exchange on this file system: move the old item aside, the new one in, and put the old one
    // back if that fails.
    const QString aside = from + QStringLiteral(".old");
    const QByteArray asideName = QFile::encodeName(aside);
    if (::rename(target.constData(), asideName.constData()) != 0) {
        *errorNumber = errno;
        return false;
    }
    if (::rename(source.constData(), target.constData()) != 0) {
        *errorNumber = errno;
        ::rename(asideName.constData(), target.constData());
        return false;
    }
    // The old item goes where the new one was, so the staging folder's removal takes it away.
    ::rename(asideName.constData(), source.constData());
    return true;
}

qint64 codeForErrorNumber(int number)
{
    switch (number) {
    case EACCES:
    case EPERM:
    case EROFS:
        return kFileWriteNoPermissionError;
    case ENOSPC:
    case EDQUOT:
        return kFileWriteOutOfSpaceError;
    default:
        return kFileWriteUnknownError;
    }
}

} // namespace

bool isUserSaveOperation(Document::SaveOperation operation)
{
    return operation == Document::SaveOperation::Save || operation == Document::SaveOperation::SaveAs;
}

bool isAutosaveOperation(Document::SaveOperation operation)
{
    return operation == Document::SaveOperation::Autosave ||
           operation == Document::SaveOperation::AutosaveInPlace ||
           operation == Document::SaveOperation::AutosaveAs;
}

Document::Document()
{
    setActionHandler(QStringLiteral("saveDocument:"), [this](const QVariant&) { saveDocument(); });
    setActionHandler(QStringLiteral("saveDocumentAs:"), [this](const QVariant&) { saveDocumentAs(); });
    setActionHandler(QStringLiteral("saveDocumentTo:"), [this](const QVariant&) { saveDocumentTo(); });
    setActionHandler(
        QStringLiteral("revertDocumentToSaved:"), [this](const QVariant&) { revertDocumentToSaved(); },
        [this](const UserInterfaceItem&) { return m_fileURL.isLocalFile() && isDocumentEdited(); });
    setActionHandler(QStringLiteral("duplicateDocument:"), [this](const QVariant&) {
        Error error;
        if (!duplicate(&error))
            presentError(error);
    });
}

Document::~Document()
{
    m_autosaveTimer.reset();
    m_undoObservers.clear();
    // Windows go before the document they point at.
    m_windowControllers.clear();
}

DocumentController& Document::controller() const
{
    return m_controller ? *m_controller : DocumentController::shared();
}

void Document::setFileURL(const QUrl& url)
{
    m_fileURL = url;
    for (WindowController* controller : windowControllers())
        controller->synchronizeWindowTitleWithDocumentName();
}

QString Document::displayName() const
{
    if (!m_displayName.isEmpty())
        return m_displayName;
    if (m_fileURL.isLocalFile()) {
        const QFileInfo info(m_fileURL.toLocalFile());
        const QString base = info.completeBaseName();
        return base.isEmpty() ? info.fileName() : base;
    }
    if (m_untitledNumber > 1)
        return QStringLiteral("Untitled %1").arg(m_untitledNumber);
    return QStringLiteral("Untitled");
}

void Document::setDisplayName(const QString& name)
{
    m_displayName = name;
    for (WindowController* controller : windowControllers())
        controller->synchronizeWindowTitleWithDocumentName();
}

// Reading.

bool Document::readFromURL(const QUrl& url, const QString& type, Error* error)
{
    std::shared_ptr<FileWrapper> wrapper = FileWrapper::readFromURL(url, error);
    if (!wrapper)
        return false;
    return readFromFileWrapper(*wrapper, type, error);
}

bool Document::readSafelyFromURL(const QUrl& url, const QString& type, Error* error)
{
    try {
        Error readError;
        if (readFromURL(url, type, &readError))
            return true;
        // Past a reader's size limit is what running out of memory would be, told before it happens.
        setError(error, readError.domain() == kCocoaErrorDomain && readError.code() == kFileReadTooLargeError
                            ? notEnoughMemoryError(url)
                            : readError);
        return false;
    } catch (const std::bad_alloc&) {
        setError(error, notEnoughMemoryError(url));
        return false;
    }
}

Error Document::notEnoughMemoryError(const QUrl& url)
{
    const QString name = QFileInfo(QDir::cleanPath(url.toLocalFile())).fileName();
    Error error = Error::cocoa(kFileReadUnknownError, url, QStringLiteral("There is not enough memory."));
    error.setUserInfoValue(kLocalizedDescriptionKey,
                           QStringLiteral("not enough memory to open %1").arg(quoted(name)));
    return error;
}

bool Document::readFromFileWrapper(const FileWrapper& wrapper, const QString& type, Error* error)
{
    if (!wrapper.isRegularFile()) {
        setError(error, Error::cocoa(kFileReadCorruptFileError, {},
                                     QStringLiteral("The document is a folder, not a file.")));
        return false;
    }
    return readFromData(wrapper.regularFileContents(), type, error);
}

bool Document::readFromData(const QByteArray& data, const QString& type, Error* error)
{
    Q_UNUSED(data);
    setError(error, Error::cocoa(kFileReadUnknownError, {},
                                 QStringLiteral("Documents of the type %1 cannot be read.").arg(type)));
    return false;
}

// Writing.

bool Document::writeToURL(const QUrl& url, const QString& type, SaveOperation operation,
                          const QUrl& originalContentsURL, Error* error)
{
    Q_UNUSED(operation);
    std::shared_ptr<FileWrapper> wrapper = fileWrapperOfType(type, error);
    if (!wrapper)
        return false;
    return wrapper->writeToURL(url, FileWrapper::WritingAtomic, originalContentsURL, error);
}

std::shared_ptr<FileWrapper> Document::fileWrapperOfType(const QString& type, Error* error)
{
    std::optional<QByteArray> data = dataOfType(type, error);
    if (!data)
        return nullptr;
    return FileWrapper::makeRegularFile(std::move(*data));
}

std::optional<QByteArray> Document::dataOfType(const QString& type, Error* error)
{
    setError(error, Error::cocoa(kFileWriteUnknownError, {},
                                 QStringLiteral("Documents of the type %1 cannot be written.").arg(type)));
    return std::nullopt;
}

Error Document::saveError(const QUrl& url, SaveOperation operation, const Error& cause) const
{
    if (cause.isUserCancelled())
        return cause;
    const QString fileName = QFileInfo(url.toLocalFile()).fileName();
    QString description;
    if (isAutosaveOperation(operation))
        description = QStringLiteral("The document %1 could not be autosaved.").arg(quoted(displayName()));
    else if (operation == SaveOperation::Save)
        description = QStringLiteral("The document %1 could not be saved.").arg(quoted(displayName()));
    else
        description = QStringLiteral("The document %1 could not be saved as %2.")
                          .arg(quoted(displayName()), quoted(fileName));
    QString reason = cause.localizedFailureReason();
    if (reason.isEmpty())
        reason = cause.localizedDescription();
    Error error = Error::cocoa(cause.code(), url, reason);
    if (cause.domain() != kCocoaErrorDomain)
        error = Error(cause.domain(), cause.code(), error.userInfo());
    error.setUserInfoValue(kLocalizedDescriptionKey, description);
    return error;
}

bool Document::writesTypeAsOneFileAtomically(const QString& type) const
{
    Q_UNUSED(type);
    return false;
}

QString Document::unwritableFolderReason(const QString& path)
{
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (::access(QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK | X_OK) == 0)
        return {};
    if (codeForErrorNumber(errno) != kFileWriteNoPermissionError)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QStringLiteral("You don’t have permission to save the file %1 in the folder %2.")
        .arg(quoted(target.fileName()), quoted(folder.fileName()));
}

QString Document::writeFailureReason(const QString& path, qint64 size, const QString& systemReason)
{
    if (const QString reason = unwritableFolderReason(path); !reason.isEmpty())
        return reason;
    const QFileInfo target(path);
    // A write that filled the disk is often reported only as a failed flush, without its cause.
    const QStorageInfo storage(target.absolutePath());
    if (storage.isValid() && storage.bytesAvailable() < size + (qint64(1) << 16))
        return QStringLiteral("There isn’t enough space in the folder %1 to save the file %2.")
            .arg(quoted(QFileInfo(target.absolutePath()).fileName()), quoted(target.fileName()));
    return systemReason;
}

bool Document::writeSafelyToURL(const QUrl& url, const QString& type, SaveOperation operation, Error* error)
{
    auto fail = [&](qint64 code, const QString& reason) {
        setError(error, saveError(url, operation, Error::cocoa(code, url, reason)));
        return false;
    };
    if (!url.isLocalFile())
        return fail(kFileWriteUnknownError, QStringLiteral("Only local files can be written."));
    QString path = QDir::cleanPath(url.toLocalFile());
    // Saving through a link updates the file it points at; the link stays a link.
    if (const QFileInfo link(path); link.isSymLink() && QFileInfo(link.absolutePath()).isDir())
        path = QDir::cleanPath(link.symLinkTarget());
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return fail(kFileWriteUnknownError,
                    QStringLiteral("The folder %1 doesn’t exist.").arg(quoted(folder.fileName())));

    const QUrl original = target.exists() ? QUrl::fromLocalFile(path) : QUrl();
    if (writesTypeAsOneFileAtomically(type) && !target.isDir()) {
        if (const QString reason = unwritableFolderReason(path); !reason.isEmpty())
            return fail(kFileWriteNoPermissionError, reason);
        Error writeError;
        if (!writeToURL(QUrl::fromLocalFile(path), type, operation, original, &writeError)) {
            setError(error, saveError(url, operation, writeError));
            return false;
        }
        if (!QFileInfo::exists(path))
            return fail(kFileWriteUnknownError, QStringLiteral("The document wrote nothing."));
        return true;
    }
    // The new contents are written whole into a hidden folder beside the target, so nothing at the
    // target changes until one rename puts them in place.
    const auto staging =
        StagingItem::make(StagingItem::savingFolderTemplate(folder.absoluteFilePath(), target.fileName()),
                          StagingItem::Kind::Directory);
    if (!staging) {
        // Ask the folder itself: errno after a failed temporary folder is not reliably the cause.
        const QByteArray folderName = QFile::encodeName(folder.absoluteFilePath());
        const int number = ::access(folderName.constData(), W_OK) != 0 ? errno : EIO;
        if (codeForErrorNumber(number) == kFileWriteNoPermissionError)
            return fail(kFileWriteNoPermissionError,
                        QStringLiteral("You don’t have permission to save the file %1 in the folder %2.")
                            .arg(quoted(target.fileName()), quoted(folder.fileName())));
        return fail(codeForErrorNumber(number), QString::fromLocal8Bit(std::strerror(number)));
    }
    const QString stagedPath = QFile::decodeName(staging->path()) + u'/' + target.fileName();
    Error writeError;
    if (!writeToURL(QUrl::fromLocalFile(stagedPath), type, operation, original, &writeError)) {
        setError(error, saveError(url, operation, writeError));
        return false;
    }
    if (!QFileInfo::exists(stagedPath) && !QFileInfo(stagedPath).isSymLink())
        return fail(kFileWriteUnknownError, QStringLiteral("The document wrote nothing."));
    StagingItem::reportProgress();
    // A replaced file keeps its permissions: saving must not make a private script readable by all.
    const bool replacing = target.exists() && !target.isSymLink();
    if (replacing && QFileInfo(stagedPath).isDir() == target.isDir())
        QFile::setPermissions(stagedPath, QFile::permissions(path));
    int number = 0;
    if (!swapInto(stagedPath, path, target.exists() || target.isSymLink(), &number)) {
        if (number == EEXIST)
            return fail(kFileWriteUnknownError, QStringLiteral("Another file named %1 appeared while saving.")
                                                    .arg(quoted(target.fileName())));
        return fail(codeForErrorNumber(number), QString::fromLocal8Bit(std::strerror(number)));
    }
    StagingItem::reportProgress();
    // Only once this save is in place: what an interrupted one left behind is no longer needed.
    StagingItem::removeStaleSavingFolders(folder.absoluteFilePath(), target.fileName());
    return true;
}

bool Document::saveToURL(const QUrl& url, const QString& type, SaveOperation operation, Error* error)
{
    const QUrl cleanURL = url.isLocalFile() ? QUrl::fromLocalFile(QDir::cleanPath(url.toLocalFile())) : url;
    if (operation == SaveOperation::SaveAs || operation == SaveOperation::SaveTo) {
        // Writing over another open document's file would leave that document showing contents the
        // disk no longer has, and its next save would silently undo this one.
        Document* holder = controller().documentForURL(cleanURL);
        if (holder && holder != this) {
            setError(error,
                     saveError(cleanURL, operation,
                               Error::cocoa(kFileWriteUnknownError, cleanURL,
                                            QStringLiteral("The document %1 is open with that file. Close "
                                                           "it first, or choose another name.")
                                                .arg(quoted(holder->displayName())))));
            return false;
        }
    }
    if (!writeSafelyToURL(cleanURL, type, operation, error))
        return false;

    const QDateTime written = contentsModificationDate(cleanURL.toLocalFile());
    switch (operation) {
    case SaveOperation::Save:
    case SaveOperation::SaveAs: {
        const bool moved = cleanURL != m_fileURL;
        m_fileType = type;
        m_fileModificationDate = written;
        if (moved)
            m_displayName.clear();
        setFileURL(cleanURL);
        discardAutosave();
        updateChangeCount(ChangeType::Cleared);
        controller().noteNewRecentDocumentURL(cleanURL);
        break;
    }
    case SaveOperation::SaveTo:
        break;
    case SaveOperation::AutosaveInPlace:
        m_fileModificationDate = written;
        discardAutosave();
        // The file now holds every change: the document is no longer edited.
        updateChangeCount(ChangeType::Cleared);
        break;
    case SaveOperation::Autosave:
    case SaveOperation::AutosaveAs:
        m_autosavedContentsURL = cleanURL;
        updateChangeCount(ChangeType::Autosaved);
        break;
    }
    return true;
}

bool Document::fileChangedOnDisk() const
{
    if (!m_fileURL.isLocalFile())
        return false;
    const QString path = m_fileURL.toLocalFile();
    if (!QFileInfo::exists(path))
        return true;
    if (!m_fileModificationDate.isValid())
        return false;
    return contentsModificationDate(path) != m_fileModificationDate;
}

bool Document::reloadIfChangedOnDisk()
{
    if (!m_fileURL.isLocalFile() || isDocumentEdited() || !QFileInfo::exists(m_fileURL.toLocalFile()) ||
        !fileChangedOnDisk())
        return false;
    Error error;
    // A file caught half written reads as damaged; the document keeps what it has and tries again
    // at the next check.
    return revertToContentsOfURL(m_fileURL, m_fileType, &error);
}

bool Document::confirmOverwritingChangedFile()
{
    const QString name = QFileInfo(m_fileURL.toLocalFile()).fileName();
    const bool gone = !QFileInfo::exists(m_fileURL.toLocalFile());
    auto alert = Alert::alertWithTitle(
        gone ? QStringLiteral("The file %1 has been moved or deleted since you opened or saved it.")
                   .arg(quoted(name))
             : QStringLiteral(
                   "The file %1 has been changed by another application since you opened or saved it.")
                   .arg(quoted(name)),
        gone ? QStringLiteral("Do you want to save the document in its old place anyway?")
             : QStringLiteral("Do you want to replace the changed file with this document?"),
        {QStringLiteral("Save Anyway"), QStringLiteral("Cancel")});
    return alert->runModal() == Alert::kFirstButtonReturn;
}

// The user's commands.

QStringList Document::writableTypesForSaveOperation(SaveOperation operation) const
{
    QStringList types;
    for (const DocumentController::DocumentType& type : controller().documentTypes()) {
        if (type.className != className() || type.role != DocumentController::Role::Editor)
            continue;
        const bool allowed =
            type.isExportOnly ? operation == SaveOperation::SaveTo
            : (operation == SaveOperation::Save || operation == SaveOperation::AutosaveInPlace)
                ? type.isNative
                : true;
        if (allowed && !types.contains(type.identifier))
            types << type.identifier;
    }
    return types;
}

QString Document::fileNameExtensionForType(const QString& type) const
{
    const QStringList extensions = controller().fileExtensionsFromType(type);
    return extensions.isEmpty() ? QString() : extensions.first();
}

bool Document::isNativeType(const QString& type) const
{
    const DocumentController::DocumentType* entry = controller().documentType(type);
    return entry && entry->isNative && entry->className == className();
}

bool Document::prepareSavePanel(SavePanel& panel, SaveOperation operation)
{
    Q_UNUSED(panel);
    Q_UNUSED(operation);
    return true;
}

std::optional<Document::SaveChoice> Document::runSavePanel(SaveOperation operation)
{
    SavePanel panel;
    std::vector<SavePanel::FileType> types;
    for (const QString& type : writableTypesForSaveOperation(operation))
        types.push_back(
            {type, controller().displayNameForType(type), controller().fileExtensionsFromType(type)});
    panel.setFileTypes(std::move(types));
    if (!panel.setSelectedFileType(m_fileType))
        panel.setSelectedFileType(controller().defaultType());
    panel.setNameFieldStringValue(displayName());
    if (m_fileURL.isLocalFile())
        panel.setDirectoryURL(QUrl::fromLocalFile(QFileInfo(m_fileURL.toLocalFile()).absolutePath()));
    else
        panel.setDirectoryURL(
            QUrl::fromLocalFile(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    if (operation == SaveOperation::SaveTo)
        panel.setPrompt(QStringLiteral("Export"));
    if (!prepareSavePanel(panel, operation))
        return std::nullopt;
    int response = SavePanel::kModalResponseCancel;
    panel.beginSheetModalForWindow(windowForSheet(), [&response](int answer) { response = answer; });
    if (response != SavePanel::kModalResponseOK || panel.URL().isEmpty())
        return std::nullopt;
    return SaveChoice{panel.URL(), panel.selectedFileType()};
}

void Document::saveWithChoice(SaveOperation operation, std::function<void(bool)> completion)
{
    std::optional<SaveChoice> choice = runSavePanel(operation);
    bool saved = false;
    if (choice) {
        Error error;
        saved = saveToURL(choice->url, choice->type, operation, &error);
        if (!saved)
            presentError(error);
    }
    if (completion)
        completion(saved);
}

void Document::saveDocument(std::function<void(bool)> completion)
{
    if (m_fileURL.isEmpty() || !writableTypesForSaveOperation(SaveOperation::Save).contains(m_fileType)) {
        saveDocumentAs(std::move(completion));
        return;
    }
    if (fileChangedOnDisk() && !confirmOverwritingChangedFile()) {
        if (completion)
            completion(false);
        return;
    }
    Error error;
    const bool saved = saveToURL(m_fileURL, m_fileType, SaveOperation::Save, &error);
    if (!saved)
        presentError(error);
    if (completion)
        completion(saved);
}

void Document::saveDocumentAs(std::function<void(bool)> completion)
{
    saveWithChoice(SaveOperation::SaveAs, std::move(completion));
}

void Document::saveDocumentTo(std::function<void(bool)> completion)
{
    saveWithChoice(SaveOperation::SaveTo, std::move(completion));
}

// Edited state.

void Document::updateChangeCount(ChangeType change)
{
    switch (change) {
    case ChangeType::Done:
    case ChangeType::Redone:
    case ChangeType::Discardable:
        ++m_changeCount;
        m_hasUnautosavedChanges = true;
        break;
    case ChangeType::Undone:
        --m_changeCount;
        m_hasUnautosavedChanges = true;
        break;
    case ChangeType::Cleared:
    case ChangeType::ReadOtherContents:
        m_changeCount = 0;
        m_hasUnautosavedChanges = false;
        break;
    case ChangeType::Autosaved:
        m_hasUnautosavedChanges = false;
        break;
    }
    changeCountDidChange();
}

void Document::changeCountDidChange()
{
    for (WindowController* controller : windowControllers())
        controller->setDocumentEdited(isDocumentEdited());
    if (m_hasUnautosavedChanges)
        scheduleAutosaving();
    else if (m_autosaveTimer)
        m_autosaveTimer->invalidate();
}

UndoManager* Document::undoManager()
{
    if (!m_undoManager) {
        m_ownUndoManager = std::make_unique<UndoManager>();
        setUndoManager(m_ownUndoManager.get());
    }
    return m_undoManager;
}

void Document::setUndoManager(UndoManager* manager)
{
    m_undoObservers.clear();
    m_undoManager = manager;
    if (!manager)
        return;
    m_undoChangeCountSeen = manager->changeCount();
    NotificationCenter& center = NotificationCenter::shared();
    auto follow = [this](ChangeType change) {
        return [this, change](const Notification&) {
            m_undoChangeCountSeen = m_undoManager->changeCount();
            updateChangeCount(change);
        };
    };
    m_undoObservers.emplace_back(center, kUndoManagerDidUndoChangeNotification, manager,
                                 follow(ChangeType::Undone));
    m_undoObservers.emplace_back(center, kUndoManagerDidRedoChangeNotification, manager,
                                 follow(ChangeType::Redone));
    m_undoObservers.emplace_back(center, kUndoManagerDidCloseUndoGroupNotification, manager,
                                 [this](const Notification&) {
                                     const UndoManager& undo = *m_undoManager;
                                     if (undo.groupingLevel() > 0 || undo.isUndoing() || undo.isRedoing() ||
                                         undo.changeCount() == m_undoChangeCountSeen)
                                         return;
                                     m_undoChangeCountSeen = undo.changeCount();
                                     updateChangeCount(ChangeType::Done);
                                 });
}

// Autosaving.

void Document::scheduleAutosaving()
{
    const double delay = controller().autosavingDelay();
    if (m_closing || delay <= 0 || !hasUnautosavedChanges() || autosavingFileType().isEmpty())
        return;
    // A pending autosave keeps its date: steady typing must not put it off for ever.
    if (m_autosaveTimer && m_autosaveTimer->isValid())
        return;
    m_autosaveTimer = Timer::scheduledTimer(delay, false, [this](Timer&) { autosaveTimerFired(); });
}

bool Document::isAutosaveScheduled() const
{
    return m_autosaveTimer && m_autosaveTimer->isValid();
}

void Document::autosaveTimerFired()
{
    Error error;
    if (autosave(true, &error)) {
        m_autosaveFailureShown = false;
        return;
    }
    // A cancelled autosave (the document was busy) simply tries again later.
    if (error.isUserCancelled()) {
        scheduleAutosaving();
        return;
    }
    // One report per run of failures: the edits stay in memory and on the next change it tries again.
    if (!m_autosaveFailureShown) {
        m_autosaveFailureShown = true;
        presentError(error);
    }
}

bool Document::autosave(bool implicitlyCancellable, Error* error)
{
    if (!hasUnautosavedChanges())
        return true;
    const QString type = autosavingFileType();
    if (type.isEmpty())
        return true;
    m_autosaveIsImplicitlyCancellable = implicitlyCancellable;
    const bool inPlace = autosavesInPlace() && m_fileURL.isLocalFile() && type == m_fileType &&
                         writableTypesForSaveOperation(SaveOperation::AutosaveInPlace).contains(type);
    bool saved = false;
    if (inPlace && !fileChangedOnDisk())
        saved = autosaveInPlace(error);
    else
        // A file changed or removed behind the document's back is never overwritten unasked: the
        // changes go to the autosave folder and the next Save asks.
        saved = autosaveElsewhere(type, error);
    m_autosaveIsImplicitlyCancellable = false;
    return saved;
}

bool Document::autosaveInPlace(Error* error)
{
    Error inPlaceError;
    if (saveToURL(m_fileURL, m_fileType, SaveOperation::AutosaveInPlace, &inPlaceError))
        return true;
    if (inPlaceError.isUserCancelled()) {
        setError(error, inPlaceError);
        return false;
    }
    Error copyError;
    if (autosaveElsewhere(m_fileType, &copyError) && m_autosavedContentsURL.isLocalFile()) {
        inPlaceError.setUserInfoValue(kLocalizedFailureReasonErrorKey,
                                      inPlaceError.localizedFailureReason() +
                                          QStringLiteral(" Your changes were kept in %1.")
                                              .arg(quoted(m_autosavedContentsURL.toLocalFile())));
    }
    setError(error, inPlaceError);
    return false;
}

bool Document::autosaveElsewhere(const QString& type, Error* error)
{
    const QUrl location = autosaveLocation(type);
    if (location.isEmpty()) {
        setError(error, saveError(QUrl(), SaveOperation::Autosave,
                                  Error::cocoa(kFileWriteUnknownError, {},
                                               QStringLiteral("The autosave folder cannot be made."))));
        return false;
    }
    return saveToURL(location, type, SaveOperation::Autosave, error);
}

QUrl Document::autosaveLocation(const QString& type)
{
    const QString extension = fileNameExtensionForType(type);
    if (m_autosavedContentsURL.isLocalFile() &&
        QFileInfo(m_autosavedContentsURL.toLocalFile()).suffix() == extension)
        return m_autosavedContentsURL;
    const QString folder = controller().autosaveDirectory();
    if (!QDir().mkpath(folder))
        return {};
    QString stem = displayName();
    stem.replace(u'/', u'-');
    const QString dotted = extension.isEmpty() ? QString() : u'.' + extension;
    QString candidate = QDir(folder).filePath(QStringLiteral("%1 (Autosaved)%2").arg(stem, dotted));
    for (int number = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++number)
        candidate =
            QDir(folder).filePath(QStringLiteral("%1 (Autosaved %2)%3").arg(stem).arg(number).arg(dotted));
    return QUrl::fromLocalFile(candidate);
}

void Document::discardAutosave()
{
    if (!m_autosavedContentsURL.isLocalFile())
        return;
    const QString path = m_autosavedContentsURL.toLocalFile();
    m_autosavedContentsURL.clear();
    // Only what lives in the autosave folder is ours to remove.
    const QString folder = QDir::cleanPath(controller().autosaveDirectory()) + u'/';
    if (!QDir::cleanPath(path).startsWith(folder))
        return;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

void Document::auxiliaryAutosave(const QString& type, std::function<void(const Error&)> completion)
{
    Error error;
    const bool hadOwnFile = m_fileURL.isLocalFile();
    const bool becomesUntitled =
        hadOwnFile && (type != m_fileType || !QFileInfo(m_fileURL.toLocalFile()).isWritable() ||
                       !writableTypesForSaveOperation(SaveOperation::Save).contains(m_fileType));
    // The copy is written even without changes: it is what the document will be from now on.
    m_hasUnautosavedChanges = true;
    const bool saved = autosaveElsewhere(type, &error);
    if (saved && becomesUntitled) {
        const QString name = displayName();
        m_fileType = type;
        m_fileModificationDate = {};
        if (m_displayName.isEmpty())
            m_displayName = name;
        setFileURL({});
    } else if (!saved) {
        m_hasUnautosavedChanges = isDocumentEdited();
    }
    if (completion)
        completion(saved ? Error() : error);
}

// Reverting and duplicating.

bool Document::revertToContentsOfURL(const QUrl& url, const QString& type, Error* error)
{
    m_reverting = true;
    const bool read = readSafelyFromURL(url, type, error);
    m_reverting = false;
    if (!read)
        return false;
    m_fileModificationDate = contentsModificationDate(url.toLocalFile());
    discardAutosave();
    // What the undo stack would undo is no longer in the document.
    if (m_undoManager) {
        m_undoManager->removeAllActions();
        m_undoChangeCountSeen = m_undoManager->changeCount();
    }
    updateChangeCount(ChangeType::ReadOtherContents);
    return true;
}

void Document::revertDocumentToSaved()
{
    if (!m_fileURL.isLocalFile())
        return;
    auto alert = Alert::alertWithTitle(
        QStringLiteral("Do you want to revert to the most recently saved version of the document %1?")
            .arg(quoted(displayName())),
        QStringLiteral("Your current changes will be lost."),
        {QStringLiteral("Revert"), QStringLiteral("Cancel")});
    alert->beginSheetModalForWindow(windowForSheet(), [this](int code) {
        if (code != Alert::kFirstButtonReturn)
            return;
        Error error;
        if (!revertToContentsOfURL(m_fileURL, m_fileType, &error))
            presentError(error);
    });
}

Document* Document::duplicate(Error* error)
{
    const QString type = m_fileType.isEmpty() ? controller().defaultType() : m_fileType;
    QTemporaryDir folder;
    if (!folder.isValid()) {
        setError(error, Error::cocoa(kFileWriteUnknownError, {}, QStringLiteral("No temporary folder.")));
        return nullptr;
    }
    const QString extension = fileNameExtensionForType(type);
    const QUrl copyURL = QUrl::fromLocalFile(folder.filePath(
        displayName().replace(u'/', u'-') + (extension.isEmpty() ? QString() : u'.' + extension)));
    m_duplicating = true;
    const bool written = writeSafelyToURL(copyURL, type, SaveOperation::AutosaveAs, error);
    Document* copy = nullptr;
    if (written)
        copy = controller().duplicateDocumentWithContentsOfURL(
            copyURL, displayName() + QStringLiteral(" copy"), error);
    m_duplicating = false;
    return copy;
}

// Windows.

WindowController* Document::addWindowController(std::unique_ptr<WindowController> controller)
{
    WindowController* added = controller.get();
    m_windowControllers.push_back(std::move(controller));
    added->setDocument(this);
    return added;
}

void Document::removeWindowController(WindowController* controller)
{
    auto it = std::find_if(m_windowControllers.begin(), m_windowControllers.end(),
                           [controller](const auto& owned) { return owned.get() == controller; });
    if (it == m_windowControllers.end())
        return;
    std::shared_ptr<WindowController> removed = std::move(*it);
    m_windowControllers.erase(it);
    removed->setDocument(nullptr);
    // The controller may be the caller (its window's close button); it goes once that call returned.
    RunLoop::postToMainThread([removed] {});
}

std::vector<WindowController*> Document::windowControllers() const
{
    std::vector<WindowController*> result;
    for (const auto& controller : m_windowControllers)
        result.push_back(controller.get());
    return result;
}

WindowController* Document::primaryWindowController() const
{
    return m_windowControllers.empty() ? nullptr : m_windowControllers.front().get();
}

void Document::showWindows()
{
    for (WindowController* controller : windowControllers())
        controller->showWindow();
}

Window* Document::windowForSheet() const
{
    WindowController* primary = primaryWindowController();
    return primary && primary->isWindowLoaded() ? primary->window() : nullptr;
}

// Closing.

void Document::canCloseDocument(std::function<void(bool)> completion)
{
    // A question already on the window is answered first; a second click on close asks nothing.
    if (Alert::isShowingSheetOnWindow(windowForSheet())) {
        completion(false);
        return;
    }
    if (!isDocumentEdited()) {
        completion(true);
        return;
    }
    // Even where documents autosave in place, closing an edited one asks: a Linux user expects the
    // question, and a silent write of the file they opened is no answer to "close".
    auto alert = Alert::alertWithTitle(
        QStringLiteral("Do you want to save the changes made to the document %1?").arg(quoted(displayName())),
        QStringLiteral("Your changes will be lost if you don’t save them."),
        {QStringLiteral("Save"), QStringLiteral("Cancel"), QStringLiteral("Don’t Save")});
    alert->beginSheetModalForWindow(windowForSheet(), [this, completion](int code) {
        switch (code) {
        case Alert::kFirstButtonReturn:
            saveDocument([completion](bool saved) { completion(saved); });
            return;
        case Alert::kThirdButtonReturn:
            completion(true);
            return;
        default:
            completion(false);
            return;
        }
    });
}

void Document::close()
{
    if (m_closing)
        return;
    m_closing = true;
    if (m_autosaveTimer)
        m_autosaveTimer->invalidate();
    // Closing means the user saved or chose not to: the autosaved copy has done its work.
    discardAutosave();
    for (WindowController* controller : windowControllers())
        controller->close();
    controller().removeDocument(this);
}

void Document::presentError(const Error& error)
{
    if (error.isNull() || error.isUserCancelled())
        return;
    Application::shared().presentError(error);
}
