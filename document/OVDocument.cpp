#include "document/OVDocument.h"

#include "document/OVDocumentContentController.h"
#include "document/OVDocumentExport.h"
#include "document/OVDocumentExportAccessoryViewController.h"
#include "document/OVDocumentImport.h"
#include "document/OVDocumentPackageConstants.h"
#include "document/OVDocumentPackageReader.h"
#include "document/OVDocumentPackageWriter.h"
#include "document/OVDocumentPropertiesWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/EventTranslation.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/UniformTypeRegistry.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textformats/LibreOffice.h"

#include <QApplication>
#include <QFileInfo>

#include <cmath>

namespace {

bool s_autosavingEnabled = true;
int s_duplicateCount = 0;
bool s_didFinishRestoringWindows = false;
// The window animation time while a replaced window closes: short enough that nothing shows.
constexpr double kReplacedWindowFadeTime = 0.001;
constexpr int kNoAnimationBehavior = 2;
OVDocument::WindowControllerFactory& windowControllerFactory()
{
    static OVDocument::WindowControllerFactory factory;
    return factory;
}
std::function<void(double)>& windowFadeTimeOverrider()
{
    static std::function<void(double)> overrider;
    return overrider;
}

void overrideWindowFadeTime(double seconds)
{
    if (windowFadeTimeOverrider())
        windowFadeTimeOverrider()(seconds);
}

std::function<bool()>& promptModeQuery()
{
    static std::function<bool()> query;
    return query;
}
std::function<bool(const QUrl&)>& inAppBundleTest()
{
    static std::function<bool(const QUrl&)> test;
    return test;
}
std::function<unsigned long()>& modifierFlagsQuery()
{
    static std::function<unsigned long()> query;
    return query;
}

unsigned long modifierFlags()
{
    return modifierFlagsQuery() ? modifierFlagsQuery()() : currentModifierFlags();
}

bool applyDefaultStyleToAllImportedDocuments()
{
    const QString key = QStringLiteral("applyDefaultStyleToAllImportedDocuments");
    return UserDefaults::shared().objectForKey(key).isNull() ? true : UserDefaults::shared().boolForKey(key);
}

// A document nobody has worked in: closing it loses nothing and asks nothing.
bool isUntouched(OVDocument& document)
{
    const UndoManager* undo = document.undoManager();
    if (undo->canUndo() || undo->canRedo() || document.isDocumentEdited() ||
        document.hasUnautosavedChanges() || !document.autosavedContentsFileURL().isEmpty() ||
        !document.fileURL().isEmpty() || document.loadedDocumentInfo() || document.isReadDocument())
        return false;
    if (Window* window = document.windowForSheet();
        window && (window->attachedSheet() || Alert::isShowingSheetOnWindow(window)))
        return false;
    // Text typed into the window is work even where no undo step recorded it.
    const OVDocumentContentController* content = document.contentController();
    const std::unique_ptr<MutableAttributedString> text =
        content ? content->exportableTextStorage() : nullptr;
    return !text || text->length() == 0;
}

// Closes a replaced document's window without any animation, so only the opened one is seen.
void closeOutOfSight(OVDocument& document)
{
    overrideWindowFadeTime(kReplacedWindowFadeTime);
    if (Window* window = document.windowForSheet()) {
        window->setExcludedFromWindowsMenu(true);
        window->setAnimationBehavior(kNoAnimationBehavior);
    }
    document.close();
}

void log(const QString& line)
{
    qWarning("%s", qUtf8Printable(line));
}

bool isPackageType(const QString& type)
{
    return UniformTypeRegistry::shared().conformsTo(type, OVDocumentUTI);
}

// The file's last path component without its extension, trimmed.
QString displayNameForURL(const QUrl& url)
{
    QString name = QFileInfo(url.toLocalFile()).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    return name.trimmed();
}

QString preferredExtension(const QString& type)
{
    return UniformTypeRegistry::shared().preferredExtension(type);
}

// Statistics are counted after the read or save that asked for them has finished.
void countLater(std::function<void(HVAnalytics&)> count)
{
    RunLoop::postToMainThread([count = std::move(count)] { count(HVAppServices::shared().analytics()); });
}

// The property keys come from the one table the properties sheet owns.
QStringList keysOf(const QVariantMap& nullDictionary)
{
    return nullDictionary.keys();
}

const QStringList& metadataKeys()
{
    static const QStringList kKeys =
        keysOf(OVDocumentPropertiesWindowController::nullMetadataInfoDictionary());
    return kKeys;
}

const QStringList& extendedMetadataKeys()
{
    static const QStringList kKeys =
        keysOf(OVDocumentPropertiesWindowController::nullExtendedMetadataInfoDictionary());
    return kKeys;
}

const QStringList& unusedMetadataAttributes()
{
    return OVDocumentPropertiesWindowController::unusedMetadataAttributes();
}

bool isListProperty(const QString& key)
{
    return OVDocumentPropertiesWindowController::isListPropertyKey(key);
}

// Extended properties are held as the other document properties are, strings as QString and lists
// as QStringList, so that what is set, saved and read back compares equal.
QVariant propertyFromPlist(const PlistValue& value)
{
    if (value.isString())
        return value.string();
    if (!value.isArray())
        return {};
    QStringList list;
    for (const PlistValue& item : value.array()) {
        if (!item.isString())
            return {};
        list.append(item.string());
    }
    return list;
}

std::optional<PlistValue> plistFromProperty(const QString& key, const QVariant& given)
{
    const QVariant value = given.metaType() == QMetaType::fromType<PlistValue>()
                               ? propertyFromPlist(given.value<PlistValue>())
                               : given;
    if (!isListProperty(key)) {
        if (value.metaType() != QMetaType::fromType<QString>())
            return std::nullopt;
        return PlistValue(value.toString());
    }
    if (value.metaType() != QMetaType::fromType<QStringList>() &&
        value.metaType() != QMetaType::fromType<QVariantList>())
        return std::nullopt;
    QStringList strings;
    for (const QVariant& item : value.toList()) {
        if (item.metaType() != QMetaType::fromType<QString>())
            return std::nullopt;
        strings.append(item.toString());
    }
    PlistArray items;
    items.reserve(strings.size());
    for (const QString& string : strings)
        items.push_back(string);
    return PlistValue(std::move(items));
}

PlistDictionary extendedForWriting(const QVariantMap& info)
{
    PlistDictionary out;
    for (const QString& key : extendedMetadataKeys()) {
        const QVariant value = info.value(key);
        if (!value.isValid() || value.isNull())
            continue;
        if (const auto plist = plistFromProperty(key, value))
            out.insert(key, *plist);
        else
            log(QStringLiteral("Document property `%1` is not saved: its value is of the wrong type")
                    .arg(key));
    }
    return out;
}

} // namespace

PlistDictionary OVDocument::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(QStringLiteral("openNormalizeParagraphIndents"), true);
    return defaults;
}

OVDocument::OVDocument()
    : m_metadataInfo(nullMetadataInfoDictionary()),
      m_extendedMetadataInfo(nullExtendedMetadataInfoDictionary())
{
}

OVDocument::~OVDocument() = default;

void OVDocument::registerDocumentTypes(DocumentController& controller)
{
    UniformTypeRegistry& registry = UniformTypeRegistry::shared();
    registry.declareType({OVDocumentUTI,
                          {QStringLiteral("com.apple.package"), QStringLiteral("public.composite-content")},
                          {QStringLiteral("ovdocument")},
                          QStringLiteral("Orvane Document")});
    registry.declareType({OVPrompterDocumentUTI,
                          {QStringLiteral("public.data")},
                          {QStringLiteral("prompterdocument")},
                          QStringLiteral("Prompter Document")});
    controller.registerDocumentClass(QStringLiteral("OVDocument"),
                                     [] { return std::make_unique<OVDocument>(); });
    DocumentController::DocumentType native;
    native.identifier = OVDocumentUTI;
    native.name = QStringLiteral("Orvane Document");
    native.extensions = {QStringLiteral("ovdocument")};
    native.role = DocumentController::Role::Editor;
    native.className = QStringLiteral("OVDocument");
    native.isNative = true;
    native.isPackage = true;
    native.conformsTo = {QStringLiteral("com.apple.package")};
    controller.addDocumentType(native);
    DocumentController::DocumentType older;
    older.identifier = OVPrompterDocumentUTI;
    older.name = QStringLiteral("Prompter Document");
    older.extensions = {QStringLiteral("prompterdocument")};
    // Read, never written: saving such a document asks for a new, native file.
    older.role = DocumentController::Role::Viewer;
    older.className = QStringLiteral("OVDocument");
    older.conformsTo = {QStringLiteral("public.data")};
    controller.addDocumentType(older);
    // Foreign formats open as imported documents, titled by their file and saved in place never:
    // Save As and Export write them.
    struct Foreign {
        const char* identifier;
        const char* name;
        QStringList extensions;
        bool isPackage;
    };
    const Foreign foreign[] = {
        {"public.rtf", "Rich Text Format (RTF)", {QStringLiteral("rtf")}, false},
        {"com.apple.rtfd", "Rich Text Format with Attachments (RTFD)", {QStringLiteral("rtfd")}, true},
        {"public.html", "HTML Document", {QStringLiteral("html"), QStringLiteral("htm")}, false},
        {"public.plain-text", "Plain Text", {QStringLiteral("txt"), QStringLiteral("text")}, false},
        {"org.openxmlformats.wordprocessingml.document",
         "Word Document (docx)",
         {QStringLiteral("docx")},
         false},
        {"org.oasis-open.opendocument.text", "OpenDocument Text (odt)", {QStringLiteral("odt")}, false},
        {"com.apple.webarchive", "Web Archive", {QStringLiteral("webarchive")}, false},
        {"com.microsoft.word.doc", "Word 97 Document (doc)", {QStringLiteral("doc")}, false},
    };
    for (const Foreign& entry : foreign) {
        DocumentController::DocumentType type;
        type.identifier = QString::fromLatin1(entry.identifier);
        type.name = QString::fromLatin1(entry.name);
        type.extensions = entry.extensions;
        type.role = DocumentController::Role::Editor;
        // Word 97 goes through LibreOffice: without it, such files are still recognised, so that
        // opening one says which package is missing, but none is offered for export.
        if (type.identifier == u"com.microsoft.word.doc" && !LibreOffice::isAvailable())
            type.role = DocumentController::Role::Viewer;
        type.className = QStringLiteral("OVDocument");
        type.isPackage = entry.isPackage;
        controller.addDocumentType(type);
    }
}

void OVDocument::setWindowControllerFactory(WindowControllerFactory factory)
{
    windowControllerFactory() = std::move(factory);
}

void OVDocument::setInAppBundleTest(std::function<bool(const QUrl&)> test)
{
    inAppBundleTest() = std::move(test);
}

void OVDocument::setWindowFadeTimeOverrider(std::function<void(double seconds)> overrider)
{
    windowFadeTimeOverrider() = std::move(overrider);
}

void OVDocument::setPromptModeQuery(std::function<bool()> query)
{
    promptModeQuery() = std::move(query);
}

bool OVDocument::isPromptMode()
{
    return promptModeQuery() && promptModeQuery()();
}

void OVDocument::setModifierFlagsQuery(std::function<unsigned long()> query)
{
    modifierFlagsQuery() = std::move(query);
}

void OVDocument::setDidFinishRestoringWindows(bool flag)
{
    s_didFinishRestoringWindows = flag;
}

bool OVDocument::didFinishRestoringWindows()
{
    return s_didFinishRestoringWindows;
}

bool OVDocument::isInAppBundle(const QUrl& url)
{
    if (inAppBundleTest())
        return inAppBundleTest()(url);
    return OVDocumentPackageReader::isInAppBundle(url);
}

// Reading.

bool OVDocument::readFromURL(const QUrl& url, const QString& type, Error* error)
{
    if (isPromptMode()) {
        setError(error, Error::userCancelled());
        log(QStringLiteral("Attempted to open a document in Prompt mode."));
        QApplication::beep();
        return false;
    }
    if (url.isEmpty() || type.isEmpty()) {
        log(QStringLiteral("Error: URL or type is nil. URL = %1 type = %2")
                .arg(url.isEmpty() ? QStringLiteral("(null)") : url.toString(),
                     type.isEmpty() ? QStringLiteral("(null)") : type));
        setError(error, Error::cocoa(kFileReadUnknownError, url));
        return false;
    }
    const bool native = isNativeType(type);
    m_useDefaultStyle = false;
    m_appKitFileTypeAddsNewlineToEnd = true;

    OVDocumentPackageReader::Options options = OVDocumentPackageReader::Options::fromUserDefaults();
    options.isInAppBundle = [](const QUrl& location) { return isInAppBundle(location); };
    OVLoadedDocumentInfo info;
    bool read = false;
    if (isPackageType(type))
        read = OVDocumentPackageReader::readPackage(url, options, &info, error);
    else if (type == OVPrompterDocumentUTI)
        read = OVDocumentPackageReader::readPrompterDocument(url, type, options, &info, error);
    else
        read = OVDocumentImport::read(url, type, OVDocumentImport::Options::fromUserDefaults(), &info,
                                      &m_useDefaultStyle, error);
    // Nothing of a failed read reaches the document.
    if (!read)
        return false;
    m_internalDocument = isInAppBundle(url);
    // The readers of our own formats keep the text's final newline; only an importer that adds one
    // asks for it to be taken off again.
    m_appKitFileTypeAddsNewlineToEnd = info.appKitFileTypeAddsNewlineToEnd;

    if (!m_readDocument && !m_savedDocument && !isReopening() && !isReverting() && !_isDuplicating()) {
        const QString extension = preferredExtension(type);
        countLater([extension](HVAnalytics& analytics) {
            analytics.incrementDocumentOpenedForFileExtension(extension);
        });
    }
    if (!native || m_internalDocument) {
        m_importedFileURL = url;
        m_importedDisplayName = displayNameForURL(url);
    }
    m_leftOutOnRead = info.leftOut;
    m_keepsDamagedFileUntilSaved = !info.leftOut.isEmpty();
    m_loadedDocumentInfo = std::move(info);
    commitLoadedDocumentInfoIfNecessary();
    m_readDocument = true;
    return true;
}

// Writing.

bool OVDocument::writesTypeAsOneFileAtomically(const QString& type) const
{
    if (isPackageType(type))
        return false;
    const QString documentType = OVDocumentExport::documentTypeForWriting(type);
    return !documentType.isEmpty() && documentType != NSRTFDTextDocumentType;
}

bool OVDocument::writeToURL(const QUrl& url, const QString& type, SaveOperation operation,
                            const QUrl& originalContentsURL, Error* error)
{
    const bool autosaveRefused =
        (operation == SaveOperation::Autosave || operation == SaveOperation::AutosaveInPlace) &&
        !s_autosavingEnabled && autosavingIsImplicitlyCancellable();
    const bool foreignInPlace = !isNativeType(type) && (operation == SaveOperation::Save ||
                                                        operation == SaveOperation::AutosaveInPlace ||
                                                        operation == SaveOperation::AutosaveAs);
    if (autosaveRefused || foreignInPlace) {
        setError(error, Error::userCancelled());
        return false;
    }
    OVDocumentContentController* content = contentController();
    if (!content) {
        log(QStringLiteral("Error: primaryWindowController is nil"));
        setError(error, Error::cocoa(kFileWriteUnknownError, url));
        return false;
    }
    // An export may take the text in the simplified style, on its background.
    const bool simplified =
        operation == SaveOperation::SaveTo &&
        UserDefaults::shared().boolForKey(QStringLiteral("useSimplifiedStyleDocumentExport"));
    std::unique_ptr<MutableAttributedString> text =
        simplified ? content->exportableStyleSimplifiedStorage() : content->exportableTextStorage();
    if (!text) {
        log(QStringLiteral("Error: textStorage is nil"));
        setError(error, Error::cocoa(kFileWriteUnknownError, url));
        return false;
    }
    const std::optional<Color> background =
        simplified ? std::optional<Color>(content->styleSimplifiedBackgroundColor())
                   : content->backgroundColor();
    const bool package = isPackageType(type);
    OVDocumentPackageWriter::Input input;
    input.text = text.get();
    input.backgroundColor = background;
    input.selectedRanges = content->selectedRangesStringArray();
    input.scrollbarPosition = content->prompterPositionRatioNumber();
    input.scrollbarAnchor = content->prompterScrollbarAnchor();
    input.speed = content->prompterSpeedNumber();
    input.windowFrame = content->windowFrameString();
    input.metadataInfo = m_metadataInfo;
    input.extendedMetadataInfo = extendedForWriting(m_extendedMetadataInfo);
    input.unusedMetadataInfo = m_unusedMetadataInfo;
    if (package) {
        if (!OVDocumentPackageWriter::writeToURL(url, originalContentsURL, input, error))
            return false;
        m_importedFileURL.clear();
    } else {
        const PlistValue encoding =
            UserDefaults::shared().objectForKey(QStringLiteral("defaultEncodingValue"));
        std::optional<quint64> encodingValue;
        if (!encoding.isNull())
            encodingValue = quint64(std::max<qint64>(
                0, UserDefaults::shared().integerForKey(QStringLiteral("defaultEncodingValue"))));
        if (!OVDocumentExport::write(url, type, *text,
                                     OVDocumentPackageWriter::contentDocumentAttributes(input), encodingValue,
                                     error))
            return false;
    }
    // A shipped document the user saves to a folder of their own is theirs from now on: it is
    // autosaved like any other. (Saving into the shipped folder keeps it internal.)
    if (m_internalDocument && isUserSaveOperation(operation) && !isInAppBundle(url))
        m_internalDocument = false;
    content->breakUndoCoalescing();
    if (isUserSaveOperation(operation) && fileURL().isEmpty()) {
        const QString extension = preferredExtension(type);
        countLater([extension](HVAnalytics& analytics) {
            // Kept beside "documents.opened", the same way.
            QString key = extension.toLower();
            key.replace(u'.', u'_');
            analytics.incrementIntegerForKeyPath(QStringLiteral("documents.saved.") +
                                                 (key.isEmpty() ? QStringLiteral("none") : key));
        });
    }
    if (isUserSaveOperation(operation)) {
        m_savedDocument = true;
        if (package)
            m_importedDisplayName.clear();
        m_keepsDamagedFileUntilSaved = false;
    }
    return true;
}

bool OVDocument::prepareSavePanel(SavePanel& panel, SaveOperation operation)
{
    m_exportAccessory.reset();
    if (operation == SaveOperation::SaveTo) {
        panel.setTitle(QStringLiteral("Export"));
        m_exportAccessory = std::make_unique<OVDocumentExportAccessoryViewController>(panel, *this);
    }
    return true;
}

bool OVDocument::isImportableDocumentType(const QString& type) const
{
    return controller().readableTypesForClass(className()).contains(type) && !isNativeType(type);
}

// Windows and loading.

OVDocumentContentController* OVDocument::contentController() const
{
    return dynamic_cast<OVDocumentContentController*>(primaryWindowController());
}

void OVDocument::makeWindowControllers()
{
    if (windowControllerFactory())
        addWindowController(windowControllerFactory()(*this));
}

void OVDocument::windowControllerWillLoadNib(WindowController& windowController)
{
    Document::windowControllerWillLoadNib(windowController);
    if (!usesTransientDocumentReplacement() || !s_didFinishRestoringWindows || !m_readDocument ||
        _isDuplicating())
        return;
    for (Document* other : controller().orderedDocuments()) {
        auto* candidate = dynamic_cast<OVDocument*>(other);
        if (candidate == this || !candidate || candidate->className() != className() ||
            candidate->isClosing() || !isUntouched(*candidate))
            continue;
        closeOutOfSight(*candidate);
        m_restoreFading = true;
        return;
    }
}

void OVDocument::windowControllerDidLoadNib(WindowController& controller)
{
    if (&controller != primaryWindowController())
        return;
    commitLoadedDocumentInfoIfNecessary();
    tellWhatWasLeftOut();
    if (m_restoreFading) {
        showWindows();
        m_restoreFading = false;
        overrideWindowFadeTime(-1.0);
    }
    // An imported or shipped document gets a native copy of its own as soon as its window shows it,
    // so the user's edits never go back to the file it came from.
    if ((!m_importedFileURL.isEmpty() || m_internalDocument) && fileURL().isLocalFile()) {
        auxiliaryAutosave(this->controller().defaultType(), [this](const Error& error) {
            // A shipped file stays as shipped: the copy is what gets saved, and without one (the
            // data folder cannot be written) Save asks where, never writing over the shipped file.
            if (m_internalDocument && isInAppBundle(fileURL())) {
                setDisplayName(displayName());
                setFileURL({});
            }
            if (!error.isNull())
                return;
            m_internalDocument = false;
            m_importedFileURL.clear();
        });
    }
}

void OVDocument::tellWhatWasLeftOut()
{
    if (m_leftOutOnRead.isEmpty())
        return;
    const QStringList leftOut = std::exchange(m_leftOutOnRead, {});
    // What was read differs from the file: only a save makes them one again.
    updateChangeCount(ChangeType::Done);
    const QString list = leftOut.size() == 1 ? leftOut.front()
                                             : leftOut.mid(0, leftOut.size() - 1).join(QStringLiteral("; ")) +
                                                   QStringLiteral("; and ") + leftOut.back();
    const QString text =
        QStringLiteral("Its text was opened, but the file is damaged and this was left out: %1. "
                       "The file stays as it is until you save the script.")
            .arg(list);
    const QString title = QStringLiteral("“%1” was opened with parts left out").arg(displayName());
    qWarning("%s %s", qUtf8Printable(title), qUtf8Printable(text));
    // Once the window shows: the sheet belongs on it, and the open request is answered first.
    const std::weak_ptr<int> alive = m_lifetime;
    RunLoop::postToMainThread([this, alive, title, text] {
        if (alive.expired())
            return;
        auto alert = Alert::alertWithTitle(title, text, {QStringLiteral("OK")});
        WindowController* window = primaryWindowController();
        alert->beginSheetModalForWindow(window ? window->window() : nullptr, {});
    });
}

void OVDocument::commitLoadedDocumentInfoIfNecessary()
{
    OVDocumentContentController* content = contentController();
    if (!m_loadedDocumentInfo || !content || !primaryWindowController()->isWindowLoaded())
        return;
    const OVLoadedDocumentInfo& info = *m_loadedDocumentInfo;
    content->suspendUndo();
    // The frame goes first: the text is then laid out once, at the width it is shown at, and not
    // again when the window takes its saved size.
    if (!m_committedLoadedDocument) {
        primaryWindowController()->setShouldCascadeWindows(false);
        if (const auto frame = info.windowFrame())
            content->setWindowFrame(rectFromString(*frame));
    }
    // Holding Option while a file opens asks for the other choice, this once.
    const bool givesImportedDefaultStyle =
        !m_importedFileURL.isEmpty() && !m_internalDocument &&
        applyDefaultStyleToAllImportedDocuments() != bool(modifierFlags() & kOptionKeyMask);
    // Plain text is read in the default style's characters, light on the dark page they are made
    // for; left without that style, it has no page colour of its own and shows black on white.
    const bool plainTextWithoutDefaultStyle = m_useDefaultStyle && !givesImportedDefaultStyle;
    if (info.content && plainTextWithoutDefaultStyle) {
        MutableAttributedString text = *info.content;
        text.addAttribute(kForegroundColorAttributeName, AttributeValue(NSColorHVAdditions::RGBBlackColor()),
                          Range{0, text.length()});
        content->setAttributedString(text);
    } else if (info.content) {
        content->setAttributedString(*info.content);
    }
    if (info.values.contains(OVDocumentPrompterSelectedRangesKey))
        content->setSelectedRangesStringArray(info.selectedRanges());
    if (const auto speed = info.speed();
        speed && UserDefaults::shared().integerForKey(QStringLiteral("documentSpeedTypeTag")) == 0) {
        // A speed that is not a number would stop or run away with the prompter: the default holds.
        content->setPrompterSpeed(std::isfinite(*speed)
                                      ? *speed
                                      : UserDefaults::shared().doubleForKey(QStringLiteral("defaultSpeed")));
    }
    // The anchor puts the saved line at the top at once; without one (an older file, or one another
    // program changed since) the share is taken of the text's height, estimated where it is long.
    if (const auto anchor = info.scrollbarAnchor();
        !anchor || !content->setPrompterScrollbarAnchor(*anchor)) {
        if (const auto ratio = info.scrollbarPosition())
            content->restorePrompterPositionRatio(*ratio);
    }
    if (const auto color = info.backgroundColor())
        content->setBackgroundColor(*color);
    else if (plainTextWithoutDefaultStyle)
        content->setBackgroundColor(NSColorHVAdditions::RGBWhiteColor());

    const DocumentAttributes attributes = info.documentAttributes();
    QVariantMap metadata;
    const QStringList& pairs = OVDocumentPackageWriter::mappedMetadataKeyPairs();
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        if (attributes.contains(pairs[i]))
            metadata.insert(pairs[i + 1], attributes.value(pairs[i]));
    m_metadataInfo = metadata;
    DocumentAttributes unused;
    for (const QString& key : unusedMetadataAttributes())
        if (attributes.contains(key))
            unused.insert(key, attributes.value(key));
    m_unusedMetadataInfo = unused;
    if (info.values.contains(OVDocumentExtendedMetadataKey)) {
        QVariantMap extended;
        const PlistDictionary stored = info.extendedMetadata();
        for (const QString& key : extendedMetadataKeys())
            if (stored.contains(key))
                extended.insert(key, propertyFromPlist(stored.value(key)));
        m_extendedMetadataInfo = extended;
    }
    if (givesImportedDefaultStyle)
        content->applyDefaultStyleWithoutUndo();
    if (m_appKitFileTypeAddsNewlineToEnd)
        content->removeUnnecessaryNewlineAtEnd();
    content->documentLoadingFinished();
    content->restoreUndo();
    m_loadedDocumentInfo.reset();
    m_committedLoadedDocument = true;
}

bool OVDocument::isNewDocument() const
{
    return !m_loadedDocumentInfo && fileURL().isEmpty() && m_importedFileURL.isEmpty() &&
           !m_committedLoadedDocument && !m_readDocument;
}

bool OVDocument::isDocumentInPrompter() const
{
    const OVDocumentContentController* content = contentController();
    return content && content->isCoreController() && isPromptMode();
}

QString OVDocument::displayName() const
{
    return m_importedDisplayName.isEmpty() ? Document::displayName() : m_importedDisplayName;
}

// Autosaving and duplicating.

void OVDocument::setAutosavingEnabled(bool flag)
{
    s_autosavingEnabled = flag;
}

bool OVDocument::isAutosavingEnabled()
{
    return s_autosavingEnabled;
}

bool OVDocument::autosavesInPlace() const
{
    if (m_keepsDamagedFileUntilSaved)
        return false;
    const PlistValue value = UserDefaults::shared().objectForKey(QStringLiteral("useDocumentAutosave"));
    return value.isNull() ? true : UserDefaults::shared().boolForKey(QStringLiteral("useDocumentAutosave"));
}

QString OVDocument::autosavingFileType() const
{
    if (isDocumentInPrompter() || m_internalDocument)
        return {};
    return controller().defaultType();
}

bool OVDocument::hasUnautosavedChanges() const
{
    return !isDocumentInPrompter() && Document::hasUnautosavedChanges();
}

Document* OVDocument::duplicate(Error* error)
{
    ++s_duplicateCount;
    Document* copy = Document::duplicate(error);
    --s_duplicateCount;
    return copy;
}

bool OVDocument::_isDuplicating()
{
    return s_duplicateCount > 0;
}

// Document properties.

QVariantMap OVDocument::nullMetadataInfoDictionary()
{
    return OVDocumentPropertiesWindowController::nullMetadataInfoDictionary();
}

QVariantMap OVDocument::nullExtendedMetadataInfoDictionary()
{
    return OVDocumentPropertiesWindowController::nullExtendedMetadataInfoDictionary();
}

QVariantMap OVDocument::documentProperties() const
{
    QVariantMap properties = m_metadataInfo;
    for (auto it = m_extendedMetadataInfo.constBegin(); it != m_extendedMetadataInfo.constEnd(); ++it)
        properties.insert(it.key(), it.value());
    return properties;
}

void OVDocument::setDocumentProperties(const QVariantMap& properties)
{
    if (UndoManager* undo = undoManager()) {
        const QVariantMap previous = documentProperties();
        undo->registerUndo(this, [this, previous] { setDocumentProperties(previous); });
        undo->setActionName(QStringLiteral("Set Properties"));
    }
    QVariantMap metadata;
    QVariantMap extended;
    for (auto it = properties.constBegin(); it != properties.constEnd(); ++it) {
        if (metadataKeys().contains(it.key()))
            metadata.insert(it.key(), it.value());
        else if (extendedMetadataKeys().contains(it.key()))
            extended.insert(it.key(), it.value());
    }
    m_metadataInfo = metadata;
    m_extendedMetadataInfo = extended;
}
