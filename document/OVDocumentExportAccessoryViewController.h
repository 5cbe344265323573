#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/text/Color.h"
#include "platform/text/DocumentAttributes.h"

#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class AttributedString;
class OVDocument;
class OVDocumentExportPreviewWindowController;
class QCheckBox;
class QLabel;
class QWidget;
class SavePanel;

// The Export panel's accessory: the chosen type's icon, the switch for the simplified style and
// the compatibility report, which names what the chosen format cannot hold of this document. The
// panel's own type pop-up chooses the type; the last type chosen is offered first next time.
class OVDocumentExportAccessoryViewController {
public:
    // What a document holds and a format can hold, as bits.
    enum Attribute : unsigned {
        Text = 1,
        TextStyles = 2,
        BackgroundColor = 4,
        SpaceFormatting = 8,
        Bookmarks = 16,
        Images = 32,
        DocumentMetadata = 64,
        PrompterSpecificMetadata = 128,
    };

    static inline const QString kHelpAnchor = QStringLiteral("DocumentExportAnchor");

    static PlistDictionary initialDefaultsDictionary();

    // Computes what the document holds now, selects the recently used type in the panel and puts
    // the accessory's view into it.
    OVDocumentExportAccessoryViewController(SavePanel& panel, OVDocument& document);
    // Closes the preview.
    ~OVDocumentExportAccessoryViewController();

    // The preview: shown, or closed when it is open.
    void documentPreviewButtonPressed();
    static void helpButtonPressed();
    // Fills the open preview with the text as the chosen format gives it back.
    void updatePreviewContent();
    OVDocumentExportPreviewWindowController* exportPreviewWindowController() const { return m_preview.get(); }
    const QString& fileTypeUTI() const { return m_fileTypeUTI; }
    unsigned documentAttributes() const { return m_documentAttributes; }
    QString infoString() const;

    static QString recentlyUsedFileTypeUTI();
    static void setRecentlyUsedFileTypeUTI(const QString& type);
    // Exact identifiers, and everything for the program's own package; any other type holds nothing
    // and is logged.
    static unsigned attributesSupportedForType(const QString& type);
    static unsigned attributesPresentInDocument(OVDocument& document);
    static unsigned attributesPresent(const AttributedString& text, const std::optional<Color>& background,
                                      const QVariantMap& metadataInfo,
                                      const DocumentAttributes& unusedMetadataInfo,
                                      const QVariantMap& extendedMetadataInfo);
    // The report for a type holding supported, given what the document holds and whether the
    // simplified style is on.
    static QString infoStringForTypeAttributes(unsigned present, unsigned supported, bool simplifiedStyle,
                                               const QString& type);
    static int numberOfAttributesInDocumentAttributes(unsigned attributes);

private:
    void fileTypeChanged(const QString& type);
    void updateSavePanelCompatibilityDetails();

    OVDocument* m_document;
    std::unique_ptr<OVDocumentExportPreviewWindowController> m_preview;
    unsigned m_documentAttributes = 0;
    QString m_fileTypeUTI;
    QPointer<QWidget> m_view;
    QPointer<QLabel> m_iconView;
    QPointer<QLabel> m_infoTextField;
    QPointer<QCheckBox> m_simplifyCheckbox;
};
