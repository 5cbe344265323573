#include "text/OVEditBookmarkWindowController.h"

#include "platform/hvkit/HVHelp.h"
#include "text/OVBookmark.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

} // namespace

std::unique_ptr<OVEditBookmarkWindowController>
OVEditBookmarkWindowController::editBookmarkWindowControllerWithBookmark(std::shared_ptr<OVBookmark> bookmark)
{
    return std::make_unique<OVEditBookmarkWindowController>(std::move(bookmark));
}

OVEditBookmarkWindowController::OVEditBookmarkWindowController(std::shared_ptr<OVBookmark> bookmark)
    : m_bookmark(std::move(bookmark))
{
}

OVEditBookmarkWindowController::~OVEditBookmarkWindowController() = default;

bool OVEditBookmarkWindowController::isValidBookmarkName(const QString& name)
{
    if (name.startsWith(OVBookmarkIdentifierPrefixKey))
        return false;
    for (const QChar c : name) {
        if (c != u' ' && c.isSpace())
            return false;
    }
    for (const QString& reserved : kReservedNames) {
        if (name == reserved)
            return false;
    }
    return true;
}

QDialog* OVEditBookmarkWindowController::window()
{
    if (m_window)
        return m_window.get();
    m_window = std::make_unique<QDialog>();
    m_window->setWindowTitle(QCoreApplication::translate("OVEditBookmark", "Bookmark"));
    auto* layout = new QVBoxLayout(m_window.get());
    auto* form = new QFormLayout();
    m_nameField = new QLineEdit(m_window.get());
    m_nameField->setPlaceholderText(QCoreApplication::translate("OVEditBookmark", "Untitled"));
    form->addRow(QCoreApplication::translate("OVEditBookmark", "Name:"), m_nameField);
    layout->addLayout(form);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                                     m_window.get());
    layout->addWidget(m_buttons);
    if (m_bookmark)
        m_nameField->setText(m_bookmark->name().value_or(QString()));
    // Both when adding and when renaming: no way around the check, whatever the field starts with.
    QObject::connect(m_nameField, &QLineEdit::textChanged, m_window.get(),
                     [this] { controlTextDidChange(); });
    QObject::connect(m_buttons, &QDialogButtonBox::accepted, m_window.get(), [this] { okButtonPressed(); });
    QObject::connect(m_buttons, &QDialogButtonBox::rejected, m_window.get(),
                     [this] { cancelButtonPressed(); });
    // Esc and the title bar's close button reject the dialog itself: a cancel as well, so the sheet
    // ends and whoever runs it lets go of it.
    QObject::connect(m_window.get(), &QDialog::rejected, m_window.get(), [this] { cancelButtonPressed(); });
    QObject::connect(m_buttons, &QDialogButtonBox::helpRequested, m_window.get(),
                     [this] { helpButtonPressed(); });
    controlTextDidChange();
    return m_window.get();
}

QLineEdit* OVEditBookmarkWindowController::nameField()
{
    window();
    return m_nameField;
}

bool OVEditBookmarkWindowController::isOkEnabled()
{
    window();
    return m_buttons->button(QDialogButtonBox::Ok)->isEnabled();
}

void OVEditBookmarkWindowController::controlTextDidChange()
{
    if (m_buttons)
        m_buttons->button(QDialogButtonBox::Ok)->setEnabled(isValidBookmarkName(m_nameField->text()));
}

void OVEditBookmarkWindowController::beginSheet(QWidget* parent, std::function<void(int)> done)
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
    m_nameField->setFocus();
}

void OVEditBookmarkWindowController::okButtonPressed()
{
    window();
    // The field may have changed without a signal reaching the button (a paste into a closed
    // sheet, a programmatic edit): the name is checked once more before it is taken.
    const QString name = m_nameField->text();
    if (!isValidBookmarkName(name)) {
        controlTextDidChange();
        return;
    }
    m_replacementBookmark = OVBookmark::bookmarkWithName(name);
    m_didBookmarkChange = !m_bookmark || !m_replacementBookmark->isEqual(m_bookmark.get());
    endSheet(1);
}

void OVEditBookmarkWindowController::cancelButtonPressed()
{
    endSheet(0);
}

void OVEditBookmarkWindowController::helpButtonPressed()
{
    HVHelp::openLocalHelp(kHelpAnchor);
}

void OVEditBookmarkWindowController::endSheet(int returnCode)
{
    if (m_window) {
        m_window->setResult(returnCode == 1 ? QDialog::Accepted : QDialog::Rejected);
        m_window->hide();
    }
    if (auto done = std::move(m_done)) {
        m_done = nullptr;
        done(returnCode);
    }
}
