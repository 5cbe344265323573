#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Document;
class QDialog;
class QDialogButtonBox;
class QStandardItemModel;
class QTableView;
class QWidget;

// The sheet that edits a script's nine document properties as a key and value table (keywords and
// performers as comma-separated lists), and the one table of those keys for the whole program: their
// order, labels, value kinds and where each is stored. A property without a value is an invalid
// QVariant, never a missing key, in the dictionaries the sheet and the document exchange.
class OVDocumentPropertiesWindowController {
public:
    struct PropertyKey {
        QString key;
        QString labelKey;
        QString label;
        // Keywords and performers: a list of strings, edited as one comma-separated line.
        bool isList = false;
        // Stored in the package's extended metadata rather than as a document attribute.
        bool isExtended = false;
    };
    // The nine keys in display order.
    static const std::vector<PropertyKey>& propertyKeys();
    static QString localizedLabelForKey(const QString& key);
    static bool isListPropertyKey(const QString& key);

    static QVariantMap nullMetadataInfoDictionary();
    static QVariantMap nullExtendedMetadataInfoDictionary();
    static QVariantMap _fullNullMetadataDictionary();
    // Document attribute and property key, alternating: the six properties that travel with the text.
    static const QStringList& mappedMetadataKeyPairs();
    // Document attributes a script keeps but the sheet does not edit.
    static const QStringList& unusedMetadataAttributes();

    static inline const QString kHelpAnchor = QStringLiteral("DocumentPropertiesAnchor");
    // The one character that separates the entries of a list property; Qt has no token field, so
    // the separator cannot differ by language.
    static inline const QChar kTokenizingCharacter = QLatin1Char(',');
    static QString commaSeparateTooltip();

    static std::unique_ptr<OVDocumentPropertiesWindowController>
    propertiesWindowControllerWithDocumentProperties(const QVariantMap& properties, bool editable);
    OVDocumentPropertiesWindowController();
    ~OVDocumentPropertiesWindowController();
    OVDocumentPropertiesWindowController(const OVDocumentPropertiesWindowController&) = delete;
    OVDocumentPropertiesWindowController& operator=(const OVDocumentPropertiesWindowController&) = delete;

    const QVariantMap& documentProperties() const { return m_documentProperties; }
    void setDocumentProperties(const QVariantMap& properties) { m_documentProperties = properties; }
    bool isEditable() const { return m_editable; }
    void setEditable(bool flag) { m_editable = flag; }
    // Meaningful after OK only.
    const std::optional<QVariantMap>& replacementDocumentProperties() const { return m_replacement; }
    bool didDocumentPropertiesChange() const { return m_didDocumentPropertiesChange; }


    // The dialog, built and filled on first use.
    QDialog* window();
    QTableView* tableView();
    QStandardItemModel* model();
    bool isOkEnabled();
    // Shows the sheet window-modal over parent and calls done with its return code (1 OK, 0 Cancel).
    void beginSheet(QWidget* parent, std::function<void(int returnCode)> done);

    void okButtonPressed();
    void cancelButtonPressed();
    void helpButtonPressed();

    int _rowNumberForKey(const QString& key) const;
    // The entries joined by ", "; a null string when that is empty.
    static QString _userStringFromObjectArray(const QStringList& entries);
    // The trimmed, non-empty entries between commas, in order; nothing when none remains.
    static std::optional<QStringList> _arrayFromUserString(const QString& string);

private:
    void windowDidLoad();
    void commitOpenEditor();
    void _windowActionForResponse(int response);
    QVariantMap editedValues() const;

    QVariantMap m_documentProperties = _fullNullMetadataDictionary();
    std::optional<QVariantMap> m_replacement;
    bool m_editable = true;
    bool m_didDocumentPropertiesChange = false;
    std::unique_ptr<QDialog> m_window;
    QTableView* m_tableView = nullptr;
    QStandardItemModel* m_model = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    class ValueDelegate;
    ValueDelegate* m_delegate = nullptr;
    std::function<void(int)> m_done;
};

// Orders property keys as the table does; a key outside it sorts after all of them. Answers <0, 0, >0.
namespace NSStringOVDocumentPropertiesAdditions {
int compareDocumentPropertyKeys(const QString& key, const QString& other);
}

// Whether a document is a prompter script itself, not some other kind of document the program holds.
namespace NSDocumentOVAdditions {
bool isPrompterDocument(const Document& document);
}
