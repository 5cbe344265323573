#pragma once

#include "document/OVLoadedDocumentInfo.h"
#include "platform/appkit/Document.h"
#include "platform/foundation/PlistValue.h"
#include "platform/text/DocumentAttributes.h"

#include <QPageLayout>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class OVDocumentContentController;
class OVDocumentExportAccessoryViewController;

// The type identifiers of the native package and of the older single-file prompter document.
inline const QString OVDocumentUTI = QStringLiteral("com.orvane.orvane.document");
inline const QString OVPrompterDocumentUTI = QStringLiteral("com.orvane.orvane.prompterdocument");

// The script document. It holds no text of its own: reading fills the loaded document information,
// which goes into the window controller once its window has loaded, and saving takes the text and
// the prompter state back from it. Imported and internal (shipped) documents differ from saved
// native ones in their title, in how Save behaves and in autosaving.
class OVDocument : public Document {
public:
    using WindowControllerFactory = std::function<std::unique_ptr<WindowController>(OVDocument& document)>;

    OVDocument();
    ~OVDocument() override;

    // Puts the native package, the older prompter document and the foreign formats it imports into
    // the controller's type table and the class behind them; the application's window controller is installed
    // with the factory.
    static void registerDocumentTypes(DocumentController& controller);
    static void setWindowControllerFactory(WindowControllerFactory factory);

    QString className() const override { return QStringLiteral("OVDocument"); }
    static PlistDictionary initialDefaultsDictionary();

    // Reading and writing.
    bool readFromURL(const QUrl& url, const QString& type, Error* error) override;
    bool writeToURL(const QUrl& url, const QString& type, SaveOperation operation,
                    const QUrl& originalContentsURL, Error* error) override;
    // Every foreign type but RTFD (a folder) is converted in memory and written through a temporary.
    bool writesTypeAsOneFileAtomically(const QString& type) const override;
    static bool canConcurrentlyReadDocumentsOfType(const QString&) { return false; }
    bool isImportableDocumentType(const QString& type) const;
    // The Export panel carries the accessory with the compatibility report.
    bool prepareSavePanel(SavePanel& panel, SaveOperation operation) override;
    OVDocumentExportAccessoryViewController* exportAccessory() const { return m_exportAccessory.get(); }

    // Windows and loading.
    void makeWindowControllers() override;
    // A file opened over an untouched untitled window takes its place: that window closes unseen.
    void windowControllerWillLoadNib(WindowController& controller) override;
    void windowControllerDidLoadNib(WindowController& controller) override;
    void commitLoadedDocumentInfoIfNecessary();
    OVDocumentContentController* contentController() const;
    bool isNewDocument() const;
    bool isDocumentInPrompter() const;
    QString displayName() const override;

    // Autosaving and duplicating.
    static void setAutosavingEnabled(bool flag);
    static bool isAutosavingEnabled();
    bool autosavesInPlace() const override;
    QString autosavingFileType() const override;
    bool hasUnautosavedChanges() const override;
    Document* duplicate(Error* error) override;
    static bool _isDuplicating();
    static bool usesTransientDocumentReplacement() { return true; }

    // Document properties: metadataInfo then extendedMetadataInfo; setting them is undoable. Values
    // are QString, lists (keywords, performers) QStringList, and an invalid QVariant is "no value".
    QVariantMap documentProperties() const;
    void setDocumentProperties(const QVariantMap& properties);
    static QVariantMap nullMetadataInfoDictionary();
    static QVariantMap nullExtendedMetadataInfoDictionary();

    const std::optional<OVLoadedDocumentInfo>& loadedDocumentInfo() const { return m_loadedDocumentInfo; }
    const QVariantMap& metadataInfo() const { return m_metadataInfo; }
    void setMetadataInfo(const QVariantMap& info) { m_metadataInfo = info; }
    const QVariantMap& extendedMetadataInfo() const { return m_extendedMetadataInfo; }
    void setExtendedMetadataInfo(const QVariantMap& info) { m_extendedMetadataInfo = info; }
    const DocumentAttributes& unusedMetadataInfo() const { return m_unusedMetadataInfo; }
    const QUrl& importedFileURL() const { return m_importedFileURL; }
    void setImportedFileURL(const QUrl& url) { m_importedFileURL = url; }
    const QString& importedDisplayName() const { return m_importedDisplayName; }
    void setImportedDisplayName(const QString& name) { m_importedDisplayName = name; }
    bool useDefaultStyle() const { return m_useDefaultStyle; }
    bool committedLoadedDocument() const { return m_committedLoadedDocument; }
    bool isReadDocument() const { return m_readDocument; }
    bool isSavedDocument() const { return m_savedDocument; }
    bool isInternalDocument() const { return m_internalDocument; }
    void setInternalDocument(bool flag) { m_internalDocument = flag; }
    bool appKitFileTypeAddsNewlineToEnd() const { return m_appKitFileTypeAddsNewlineToEnd; }
    bool restoreFading() const { return m_restoreFading; }

    // The paper, orientation and margins, and the printer, chosen for this document in Page Setup
    // or its last print; none until then, when printing starts from the default printer's.
    struct PrintInfo {
        QPageLayout pageLayout;
        QString printerName;
    };
    const std::optional<PrintInfo>& printInfo() const { return m_printInfo; }
    void setPrintInfo(const PrintInfo& info) { m_printInfo = info; }

    // Where the shipped documents live; a document read from there is internal. The default is the
    // package reader's answer.
    static void setInAppBundleTest(std::function<bool(const QUrl&)> test);
    // Whether the application is in Prompt mode; the program installs it, without it never.
    static void setPromptModeQuery(std::function<bool()> query);
    // How windows fade out from now on (-1 for the usual time); the program installs it, and
    // without it windows fade as they always do.
    static void setWindowFadeTimeOverrider(std::function<void(double seconds)> overrider);
    static bool isPromptMode();
    static bool isInAppBundle(const QUrl& url);
    // The modifier keys held now, as event modifier flags; by default the window system's answer.
    static void setModifierFlagsQuery(std::function<unsigned long()> query);
    // Set by the program once its start has opened the first documents: the windows a launch opens
    // side by side never replace each other.
    static void setDidFinishRestoringWindows(bool flag);
    static bool didFinishRestoringWindows();
    // Whether this document was read from a damaged file it has not been saved over yet.
    bool keepsDamagedFileUntilSaved() const { return m_keepsDamagedFileUntilSaved; }

private:
    void tellWhatWasLeftOut();
    std::optional<OVLoadedDocumentInfo> m_loadedDocumentInfo;
    QVariantMap m_metadataInfo;
    QVariantMap m_extendedMetadataInfo;
    DocumentAttributes m_unusedMetadataInfo;
    QUrl m_importedFileURL;
    QString m_importedDisplayName;
    bool m_useDefaultStyle = true;
    bool m_committedLoadedDocument = false;
    bool m_readDocument = false;
    bool m_savedDocument = false;
    bool m_internalDocument = false;
    bool m_appKitFileTypeAddsNewlineToEnd = false;
    bool m_restoreFading = false;
    std::optional<PrintInfo> m_printInfo;
    // What the last read of a damaged file left out, until its window has told the user.
    QStringList m_leftOutOnRead;
    // Read from a damaged file: the file stays as it was until the user saves, so no autosave
    // writes over it in place.
    bool m_keepsDamagedFileUntilSaved = false;
    std::unique_ptr<OVDocumentExportAccessoryViewController> m_exportAccessory;
    // Ends with the document; work posted for later holds it weakly.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};
