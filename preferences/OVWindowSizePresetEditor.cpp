#include "preferences/OVWindowSizePresetEditor.h"

#include "platform/appkit/Alert.h"
#include "platform/appkit/WindowCloseKeys.h"
#include "platform/hvkit/HVLocalizedString.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

// What a field holds as an integer: 0 for anything that is not one.
long fieldValue(const QLineEdit& field)
{
    bool ok = false;
    const long value = field.text().trimmed().toLong(&ok);
    return ok ? value : 0;
}

bool isWithin(long value, unsigned long minimum, unsigned long maximum)
{
    return value >= long(minimum) && value <= long(maximum);
}

long clamped(long value, unsigned long minimum, unsigned long maximum)
{
    return std::clamp(value, long(minimum), long(maximum));
}

} // namespace

OVWindowSizePresetEditor::OVWindowSizePresetEditor(std::function<void()> rebuildPresetMenus, QWidget* parent)
    : QWidget(parent, Qt::Window), m_rebuildPresetMenus(std::move(rebuildPresetMenus))
{
    setObjectName(QStringLiteral("windowSizePresetEditor"));
    closeWithStandardKeys(*this);
    setWindowTitle(localized("window-resize-editor-title", "Window Sizes"));
    m_resolutionStrings = OVResolutionString::defaultResolutionStrings();

    m_tableView = new OVItemTableView(this);
    m_tableView->setObjectName(QStringLiteral("presetTable"));
    m_tableView->setColumnCount(1);
    m_tableView->horizontalHeader()->hide();
    m_tableView->verticalHeader()->hide();
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the fields, as in any dialog.
    m_tableView->setTabKeyNavigation(false);
    m_tableView->setItemDelegate(this);

    m_widthField = new QLineEdit(this);
    m_widthField->setObjectName(QStringLiteral("widthField"));
    m_heightField = new QLineEdit(this);
    m_heightField->setObjectName(QStringLiteral("heightField"));
    for (QLineEdit* field : {m_widthField, m_heightField}) {
        field->setValidator(new QIntValidator(-99999, 99999, field));
        field->setAlignment(Qt::AlignRight);
        field->setMaximumWidth(80);
        connect(field, &QLineEdit::returnPressed, this, [this] { addPreset(); });
    }
    m_xLabel = new QLabel(QStringLiteral("×"), this);
    m_xLabel->setObjectName(QStringLiteral("xLabelField"));

    auto* segments = new QButtonGroup(this);
    const std::pair<Segment, QString> titles[] = {
        {kAddSegment, QStringLiteral("+")},
        {kRemoveSegment, QStringLiteral("−")},
        {kResetSegment, localized("window-resize-editor-reset", "Reset")},
    };
    for (const auto& [segment, title] : titles) {
        auto* button = new QToolButton(this);
        button->setText(title);
        button->setObjectName(QStringLiteral("segment%1").arg(int(segment)));
        segments->addButton(button, segment);
        m_segments.push_back(button);
    }
    connect(segments, &QButtonGroup::idClicked, this, [this](int id) { segmentedControlAction(id); });

    auto* fields = new QHBoxLayout;
    fields->addWidget(m_widthField);
    fields->addWidget(m_xLabel);
    fields->addWidget(m_heightField);
    fields->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(0);
    for (QToolButton* button : m_segments)
        buttons->addWidget(button);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tableView, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(280, 360);

    connect(m_tableView, &QTableWidget::itemSelectionChanged, this,
            [this] { updateForRowSelectionChange(); });
    reloadTable();
    updateForRowSelectionChange();
}

OVWindowSizePresetEditor::~OVWindowSizePresetEditor()
{
    m_tableView->setItemDelegate(nullptr);
}

QToolButton* OVWindowSizePresetEditor::segmentButton(int segment) const
{
    return segment >= 0 && size_t(segment) < m_segments.size() ? m_segments[size_t(segment)] : nullptr;
}

void OVWindowSizePresetEditor::reloadTable()
{
    const QSignalBlocker blocker(m_tableView);
    m_tableView->clearContents();
    m_tableView->setRowCount(int(m_resolutionStrings.size()));
    for (size_t row = 0; row < m_resolutionStrings.size(); ++row)
        m_tableView->setItem(int(row), 0, new QTableWidgetItem(m_resolutionStrings[row].stringValue()));
}

int OVWindowSizePresetEditor::selectedRow() const
{
    const QList<QTableWidgetItem*> selected = m_tableView->selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->row();
}

void OVWindowSizePresetEditor::selectRow(int row)
{
    if (row < 0)
        m_tableView->clearSelection();
    else
        m_tableView->selectRow(row);
    updateForRowSelectionChange();
}

void OVWindowSizePresetEditor::updateForRowSelectionChange()
{
    const int row = selectedRow();
    const bool within = row >= 0 && size_t(row) < m_resolutionStrings.size();
    m_segments[kRemoveSegment]->setEnabled(within);
    if (within) {
        m_widthField->setText(QString::number(m_resolutionStrings[size_t(row)].width()));
        m_heightField->setText(QString::number(m_resolutionStrings[size_t(row)].height()));
    }
}

void OVWindowSizePresetEditor::segmentedControlAction(int tag)
{
    switch (tag) {
    case kAddSegment:
        addPreset();
        break;
    case kRemoveSegment:
        removeSelectedPreset();
        break;
    case kResetSegment:
        resetPresets();
        break;
    default:
        break;
    }
}

bool OVWindowSizePresetEditor::addPreset()
{
    const long width = fieldValue(*m_widthField);
    const long height = fieldValue(*m_heightField);
    const bool widthValid = isWithin(width, kMinimumWidth, kMaximumSide);
    const bool heightValid = isWithin(height, kMinimumHeight, kMaximumSide);
    if (!widthValid || !heightValid) {
        beep();
        if (!widthValid) {
            shake(*m_widthField);
            m_widthField->setText(QString::number(clamped(width, kMinimumWidth, kMaximumSide)));
        }
        if (!heightValid) {
            m_heightField->setText(QString::number(clamped(height, kMinimumHeight, kMaximumSide)));
            shake(*m_heightField);
        }
        return false;
    }
    const std::optional<OVResolutionString> preset =
        OVResolutionString::resolutionWithWidth((unsigned long)width, (unsigned long)height);
    if (!preset)
        return false;
    const auto existing = std::find(m_resolutionStrings.begin(), m_resolutionStrings.end(), *preset);
    if (existing != m_resolutionStrings.end()) {
        beep();
        shake(*m_widthField);
        shake(*m_heightField);
        shake(*m_xLabel);
        selectRow(int(existing - m_resolutionStrings.begin()));
        return false;
    }
    OVResolutionString::addResolutionStringToDefaults(*preset);
    changePresetMaintainance();
    const auto added = std::find(m_resolutionStrings.begin(), m_resolutionStrings.end(), *preset);
    selectRow(added == m_resolutionStrings.end() ? -1 : int(added - m_resolutionStrings.begin()));
    return true;
}

bool OVWindowSizePresetEditor::removeSelectedPreset()
{
    const int row = selectedRow();
    if (row < 0 || size_t(row) >= m_resolutionStrings.size())
        return false;
    OVResolutionString::removeResolutionStringFromDefaults(m_resolutionStrings[size_t(row)]);
    changePresetMaintainance();
    return true;
}

bool OVWindowSizePresetEditor::resetPresets()
{
    const std::unique_ptr<Alert> alert = Alert::alertWithTitle(
        localized("window-resize-reset-sizes-to-default-title", "Reset preset sizes to defaults?"),
        localized("window-resize-reset-sizes-to-default-description", "You will lose any values you added."),
        {localized("window-resize-reset-sizes-to-default-reset", "Reset"),
         localized("alert-button-cancel", "Cancel")});
    if (Alert::hasPresenter() || !isVisible()) {
        if (alert->runModal() != Alert::kFirstButtonReturn)
            return false;
        applyReset();
        return true;
    }
    // Asked on this window alone: the scripts stay usable while the question is open.
    auto* box = new QMessageBox(QMessageBox::Warning, alert->messageText(), alert->messageText(),
                                QMessageBox::NoButton, this);
    box->setInformativeText(alert->informativeText());
    QPushButton* reset = box->addButton(alert->buttonTitles().at(0), QMessageBox::AcceptRole);
    box->addButton(alert->buttonTitles().at(1), QMessageBox::RejectRole);
    box->setDefaultButton(reset);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<OVWindowSizePresetEditor> self(this);
    connect(box, &QMessageBox::finished, this, [self, box, reset] {
        if (!self)
            return;
        if (box->clickedButton() == reset)
            self->applyReset();
        // The editor the question belonged to stays the window in front, with the keyboard: after
        // whatever the alert's closing hands the keyboard to in the same pass.
        QTimer::singleShot(0, self, [self] {
            self->raise();
            self->activateWindow();
        });
    });
    box->open();
    return false;
}

void OVWindowSizePresetEditor::applyReset()
{
    OVResolutionString::setDefaultResolutionStrings({});
    m_resolutionStrings = OVResolutionString::defaultResolutionStrings();
    changePresetMaintainance();
    selectRow(-1);
}

void OVWindowSizePresetEditor::changePresetMaintainance()
{
    m_resolutionStrings = OVResolutionString::defaultResolutionStrings();
    if (m_rebuildPresetMenus)
        m_rebuildPresetMenus();
    reloadTable();
    updateForRowSelectionChange();
}

void OVWindowSizePresetEditor::deleteActionForItemTableView(OVItemTableView&)
{
    removeSelectedPreset();
}

void OVWindowSizePresetEditor::insertActionForItemTableView(OVItemTableView&)
{
    addPreset();
}

void OVWindowSizePresetEditor::beep()
{
    if (m_beeper)
        m_beeper();
    else
        QApplication::beep();
}

void OVWindowSizePresetEditor::shake(QWidget& widget)
{
    if (m_shaker) {
        m_shaker(widget);
        return;
    }
    // A short side-to-side shake that ends where it began.
    const QPoint origin = widget.pos();
    auto* animation = new QPropertyAnimation(&widget, "pos", &widget);
    animation->setDuration(300);
    for (int step = 1; step < 6; ++step)
        animation->setKeyValueAt(step / 6.0, origin + QPoint(step % 2 ? 6 : -6, 0));
    animation->setStartValue(origin);
    animation->setEndValue(origin);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
