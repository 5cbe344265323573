#include "document/OVDocumentPropertiesWindowController.h"

#include "document/OVDocument.h"
#include "document/OVDocumentPackageConstants.h"
#include "platform/appkit/WindowCloseKeys.h"
#include "platform/hvkit/HVHelp.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/DocumentAttributes.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <typeinfo>

namespace {

constexpr int kKeyColumn = 0;
constexpr int kValueColumn = 1;
constexpr int kKeyRole = Qt::UserRole + 1;
// The table's horizontal gap between cells, which the key column's width makes room for.
constexpr int kIntercellSpacing = 3;

const QString kCommentsKey = QStringLiteral("comments");
const QString kKeywordsKey = QStringLiteral("keywords");
const QString kPerformersKey = QStringLiteral("performers");

bool hasValue(const QVariant& value)
{
    return value.isValid() && !value.isNull();
}

// Lists may come as QStringList or QVariantList (read from a property list): compared as strings.
QVariantMap withoutNulls(const QVariantMap& properties)
{
    QVariantMap out;
    for (auto it = properties.constBegin(); it != properties.constEnd(); ++it) {
        if (!hasValue(it.value()))
            continue;
        if (OVDocumentPropertiesWindowController::isListPropertyKey(it.key()))
            out.insert(it.key(), it.value().toStringList());
        else
            out.insert(it.key(), it.value());
    }
    return out;
}

QVariantMap nullDictionary(bool extended)
{
    QVariantMap map;
    for (const auto& entry : OVDocumentPropertiesWindowController::propertyKeys())
        if (entry.isExtended == extended)
            map.insert(entry.key, QVariant());
    return map;
}

} // namespace

// Long comments wrap in a multi-line editor; every editor opens with its whole text selected, so
// typing replaces the value as a double-click into a cell leads one to expect.
class OVDocumentPropertiesWindowController::ValueDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = nullptr;
        if (index.siblingAtColumn(kKeyColumn).data(kKeyRole).toString() == kCommentsKey) {
            auto* text = new QPlainTextEdit(parent);
            text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            text->setTabChangesFocus(true);
            editor = text;
        } else {
            editor = QStyledItemDelegate::createEditor(parent, option, index);
        }
        m_openEditor = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* text = qobject_cast<QPlainTextEdit*>(editor)) {
            text->setPlainText(index.data(Qt::EditRole).toString());
            text->selectAll();
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->selectAll();
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* text = qobject_cast<QPlainTextEdit*>(editor)) {
            model->setData(index, text->toPlainText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        if (m_openEditor == editor)
            m_openEditor = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    // Hands the open editor's text to the model and closes it: a dialog that ends while a cell is
    // being edited would otherwise lose what was typed last.
    void commitOpenEditor()
    {
        QWidget* editor = m_openEditor;
        if (!editor)
            return;
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    }

private:
    mutable QPointer<QWidget> m_openEditor;
};

const std::vector<OVDocumentPropertiesWindowController::PropertyKey>&
OVDocumentPropertiesWindowController::propertyKeys()
{
    const auto entry = [](const char* key, const char* label, bool isList, bool isExtended) {
        const QString name = QString::fromLatin1(key);
        return PropertyKey{name, QStringLiteral("document-properties-label-") + name,
                           QString::fromLatin1(label), isList, isExtended};
    };
    static const std::vector<PropertyKey> kKeys{
        entry("author", "Author", false, false),
        entry("director", "Director", false, true),
        entry("producer", "Producer", false, true),
        entry("performers", "Performers", true, true),
        entry("organization", "Organization", false, false),
        entry("copyright", "Copyright", false, false),
        entry("subject", "Subject", false, false),
        entry("keywords", "Keywords", true, false),
        entry("comments", "Comments", false, false),
    };
    return kKeys;
}

QString OVDocumentPropertiesWindowController::localizedLabelForKey(const QString& key)
{
    for (const PropertyKey& entry : propertyKeys())
        if (entry.key == key)
            return HVLocalizedString::localizedString(entry.labelKey, entry.label);
    return key;
}

bool OVDocumentPropertiesWindowController::isListPropertyKey(const QString& key)
{
    return key == kKeywordsKey || key == kPerformersKey;
}

QVariantMap OVDocumentPropertiesWindowController::nullMetadataInfoDictionary()
{
    return nullDictionary(false);
}

QVariantMap OVDocumentPropertiesWindowController::nullExtendedMetadataInfoDictionary()
{
    return nullDictionary(true);
}

QVariantMap OVDocumentPropertiesWindowController::_fullNullMetadataDictionary()
{
    QVariantMap map = nullMetadataInfoDictionary();
    map.insert(nullExtendedMetadataInfoDictionary());
    return map;
}

const QStringList& OVDocumentPropertiesWindowController::mappedMetadataKeyPairs()
{
    static const QStringList kPairs{
        NSAuthorDocumentAttribute,      QStringLiteral("author"),     NSCompanyDocumentAttribute,
        QStringLiteral("organization"), NSCopyrightDocumentAttribute, QStringLiteral("copyright"),
        NSSubjectDocumentAttribute,     QStringLiteral("subject"),    NSKeywordsDocumentAttribute,
        QStringLiteral("keywords"),     NSCommentDocumentAttribute,   QStringLiteral("comments"),
    };
    return kPairs;
}

const QStringList& OVDocumentPropertiesWindowController::unusedMetadataAttributes()
{
    static const QStringList kKeys{NSTitleDocumentAttribute, NSEditorDocumentAttribute,
                                   NSCreationTimeDocumentAttribute, NSModificationTimeDocumentAttribute};
    return kKeys;
}

QString OVDocumentPropertiesWindowController::commaSeparateTooltip()
{
    return HVLocalizedString::localizedString(
        QStringLiteral("document-properties-tooltip-comma-separate-entries"),
        QStringLiteral("Comma-separate multiple entries."));
}

std::unique_ptr<OVDocumentPropertiesWindowController>
OVDocumentPropertiesWindowController::propertiesWindowControllerWithDocumentProperties(
    const QVariantMap& properties, bool editable)
{
    auto controller = std::make_unique<OVDocumentPropertiesWindowController>();
    controller->setDocumentProperties(properties);
    controller->setEditable(editable);
    return controller;
}

OVDocumentPropertiesWindowController::OVDocumentPropertiesWindowController() = default;

OVDocumentPropertiesWindowController::~OVDocumentPropertiesWindowController() = default;

QString OVDocumentPropertiesWindowController::_userStringFromObjectArray(const QStringList& entries)
{
    const QString joined = entries.join(QStringLiteral(", "));
    return joined.isEmpty() ? QString() : joined;
}

std::optional<QStringList> OVDocumentPropertiesWindowController::_arrayFromUserString(const QString& string)
{
    QStringList entries;
    for (const QString& piece : string.split(kTokenizingCharacter)) {
        const QString trimmed = piece.trimmed();
        if (!trimmed.isEmpty())
            entries.append(trimmed);
    }
    if (entries.isEmpty())
        return std::nullopt;
    return entries;
}

QDialog* OVDocumentPropertiesWindowController::window()
{
    if (!m_window)
        windowDidLoad();
    return m_window.get();
}

QTableView* OVDocumentPropertiesWindowController::tableView()
{
    window();
    return m_tableView;
}

QStandardItemModel* OVDocumentPropertiesWindowController::model()
{
    window();
    return m_model;
}

bool OVDocumentPropertiesWindowController::isOkEnabled()
{
    window();
    return m_buttons->button(QDialogButtonBox::Ok)->isEnabled();
}

void OVDocumentPropertiesWindowController::windowDidLoad()
{
    m_window = std::make_unique<QDialog>();
    m_window->setWindowTitle(HVLocalizedString::localizedString(QStringLiteral("document-properties-title"),
                                                                QStringLiteral("Properties")));
    auto* layout = new QVBoxLayout(m_window.get());
    m_tableView = new QTableView(m_window.get());
    m_model = new QStandardItemModel(0, 2, m_tableView);
    m_tableView->setModel(m_model);
    m_delegate = new ValueDelegate(m_tableView);
    m_tableView->setItemDelegateForColumn(kValueColumn, m_delegate);
    m_tableView->horizontalHeader()->hide();
    m_tableView->verticalHeader()->hide();
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableView->setWordWrap(true);
    m_tableView->setEditTriggers(m_editable
                                     ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                     : QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_tableView);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                                     m_window.get());
    layout->addWidget(m_buttons);
    QObject::connect(m_buttons, &QDialogButtonBox::accepted, m_window.get(), [this] { okButtonPressed(); });
    QObject::connect(m_buttons, &QDialogButtonBox::rejected, m_window.get(),
                     [this] { cancelButtonPressed(); });
    QObject::connect(m_window.get(), &QDialog::rejected, m_window.get(), [this] { cancelButtonPressed(); });
    QObject::connect(m_buttons, &QDialogButtonBox::helpRequested, m_window.get(),
                     [this] { helpButtonPressed(); });
    closeWithStandardKeys(*m_window);

    // The rows in table order, lists shown as their comma-separated user string.
    const QFontMetrics metrics(m_tableView->font());
    int widest = -1;
    for (const PropertyKey& entry : propertyKeys()) {
        const QString label = localizedLabelForKey(entry.key);
        widest = std::max(widest, metrics.horizontalAdvance(label));
        auto* keyItem = new QStandardItem(label);
        keyItem->setData(entry.key, kKeyRole);
        keyItem->setEditable(false);
        QString shown;
        const QVariant value = m_documentProperties.value(entry.key);
        if (hasValue(value))
            shown = entry.isList ? _userStringFromObjectArray(value.toStringList()) : value.toString();
        auto* valueItem = new QStandardItem(shown);
        valueItem->setEditable(m_editable);
        if (entry.isList)
            valueItem->setToolTip(commaSeparateTooltip());
        m_model->appendRow({keyItem, valueItem});
    }
    const int keyWidth = int(1.2 * (widest + kIntercellSpacing));
    m_tableView->setColumnWidth(kKeyColumn, keyWidth);
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    const int rowHeight = m_tableView->verticalHeader()->defaultSectionSize();
    const int comments = _rowNumberForKey(kCommentsKey);
    if (comments >= 0)
        m_tableView->setRowHeight(comments, 2 * rowHeight);
    m_tableView->setMinimumSize(keyWidth + 320, rowHeight * (int(propertyKeys().size()) + 1) + 4);
    if (!m_editable)
        m_buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
}

int OVDocumentPropertiesWindowController::_rowNumberForKey(const QString& key) const
{
    if (!m_model)
        return -1;
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (m_model->item(row, kKeyColumn)->data(kKeyRole).toString() == key)
            return row;
    return -1;
}

void OVDocumentPropertiesWindowController::beginSheet(QWidget* parent, std::function<void(int)> done)
{
    QDialog* dialog = window();
    m_done = std::move(done);
    if (parent) {
        dialog->setParent(parent, dialog->windowFlags() | Qt::Dialog);
        dialog->setWindowModality(Qt::WindowModal);
    } else {
        dialog->setWindowModality(Qt::ApplicationModal);
    }
    dialog->open();
    m_tableView->setFocus();
    m_tableView->setCurrentIndex(m_model->index(0, kValueColumn));
}

void OVDocumentPropertiesWindowController::commitOpenEditor()
{
    if (m_delegate)
        m_delegate->commitOpenEditor();
}

QVariantMap OVDocumentPropertiesWindowController::editedValues() const
{
    QVariantMap values;
    for (int row = 0; row < m_model->rowCount(); ++row)
        values.insert(m_model->item(row, kKeyColumn)->data(kKeyRole).toString(),
                      m_model->item(row, kValueColumn)->text());
    return values;
}

void OVDocumentPropertiesWindowController::okButtonPressed()
{
    window();
    if (!m_editable)
        return;
    commitOpenEditor();
    _windowActionForResponse(1);
}

void OVDocumentPropertiesWindowController::cancelButtonPressed()
{
    _windowActionForResponse(0);
}

void OVDocumentPropertiesWindowController::helpButtonPressed()
{
    HVHelp::openLocalHelp(kHelpAnchor);
}

void OVDocumentPropertiesWindowController::_windowActionForResponse(int response)
{
    if (response == 1 && m_model) {
        // An emptied field is "no value", held as the null object like every property without one,
        // so an empty string is never written into the script's metadata.
        QVariantMap replacement = m_documentProperties;
        const QVariantMap edited = editedValues();
        for (auto it = edited.constBegin(); it != edited.constEnd(); ++it) {
            const QString text = it.value().toString();
            if (isListPropertyKey(it.key())) {
                const std::optional<QStringList> list = _arrayFromUserString(text);
                replacement.insert(it.key(), list ? QVariant(*list) : QVariant());
            } else {
                replacement.insert(it.key(), text.isEmpty() ? QVariant() : QVariant(text));
            }
        }
        m_replacement = replacement;
        m_didDocumentPropertiesChange = withoutNulls(m_documentProperties) != withoutNulls(replacement);
    }
    if (m_window) {
        m_window->setResult(response == 1 ? QDialog::Accepted : QDialog::Rejected);
        m_window->hide();
    }
    if (auto done = std::move(m_done)) {
        m_done = nullptr;
        done(response);
    }
}

namespace NSStringOVDocumentPropertiesAdditions {

int compareDocumentPropertyKeys(const QString& key, const QString& other)
{
    const auto& keys = OVDocumentPropertiesWindowController::propertyKeys();
    const auto position = [&keys](const QString& name) {
        const auto found =
            std::find_if(keys.begin(), keys.end(), [&name](const auto& entry) { return entry.key == name; });
        return found == keys.end() ? keys.size() : size_t(found - keys.begin());
    };
    const size_t a = position(key);
    const size_t b = position(other);
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace NSStringOVDocumentPropertiesAdditions

namespace NSDocumentOVAdditions {

bool isPrompterDocument(const Document& document)
{
    return typeid(document) == typeid(OVDocument);
}

} // namespace NSDocumentOVAdditions
