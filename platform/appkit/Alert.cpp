#include "platform/appkit/Alert.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/FloatingWindows.h"
#include "platform/appkit/GlobalCoordinates.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowFrames.h"
#include "platform/foundation/NotificationCenter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace {

std::vector<const Window*>& windowsWithSheets()
{
    static std::vector<const Window*> windows;
    return windows;
}

Alert::Presenter& presenter()
{
    static Alert::Presenter instance;
    return instance;
}

Alert::ModalOptionsProvider& modalOptionsProvider()
{
    static Alert::ModalOptionsProvider instance;
    return instance;
}

std::function<void()>& beeper()
{
    static std::function<void()> instance;
    return instance;
}

std::optional<Alert::ModalOptions> providedOptions(const Alert& alert)
{
    const Alert::ModalOptionsProvider provider = modalOptionsProvider();
    return provider ? provider(alert) : std::nullopt;
}

QMessageBox::Icon iconForStyle(Alert::Style style)
{
    switch (style) {
    case Alert::Style::Informational:
        return QMessageBox::Information;
    case Alert::Style::Critical:
        return QMessageBox::Critical;
    case Alert::Style::Warning:
        break;
    }
    return QMessageBox::Warning;
}

// The dialog standing for an alert, with its buttons in the alert's order.
struct AlertDialog {
    QMessageBox* box = nullptr;
    std::vector<QAbstractButton*> buttons;
    QCheckBox* suppression = nullptr;

    int codeFor(QAbstractButton* clicked) const
    {
        for (size_t i = 0; i < buttons.size(); ++i) {
            if (buttons[i] == clicked)
                return Alert::kFirstButtonReturn + int(i);
        }
        // Closed by the window manager or Escape without a Cancel button: the last button is the
        // least committal one.
        return Alert::kFirstButtonReturn + int(buttons.size()) - 1;
    }
};

void placeAccessory(QMessageBox& box, QWidget* accessory)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* buttonBox = box.findChild<QDialogButtonBox*>();
    if (!grid || !buttonBox) {
        box.layout()->addWidget(accessory);
        return;
    }
    // The accessory goes between the texts and the buttons.
    grid->removeWidget(buttonBox);
    const int row = grid->rowCount();
    grid->addWidget(accessory, row, 0, 1, grid->columnCount());
    grid->addWidget(buttonBox, row + 1, 0, 1, grid->columnCount());
}

} // namespace

Alert::Alert() : m_self(std::make_shared<Alert*>(this)) {}

Alert::~Alert()
{
    *m_self = nullptr;
    // A sheet may still show the accessory; deleting it takes it out of the dialog.
    m_accessoryView.reset();
}

std::unique_ptr<Alert> Alert::alertWithTitle(const QString& title, const QString& informativeText,
                                             const QStringList& buttons)
{
    auto alert = std::make_unique<Alert>();
    alert->setMessageText(title);
    alert->setInformativeText(informativeText);
    for (const QString& button : buttons)
        alert->addButtonWithTitle(button);
    return alert;
}

int Alert::addButtonWithTitle(const QString& title)
{
    m_buttons << title;
    return kFirstButtonReturn + int(m_buttons.size()) - 1;
}

int Alert::returnCodeForButtonTitle(const QString& title) const
{
    const qsizetype index = m_buttons.indexOf(title);
    return index < 0 ? 0 : kFirstButtonReturn + int(index);
}

QString Alert::suppressionButtonTitle() const
{
    return m_suppressionTitle.isEmpty() ? QStringLiteral("Do not show this message again")
                                        : m_suppressionTitle;
}

void Alert::setAccessoryView(std::unique_ptr<QWidget> view)
{
    m_accessoryView = std::move(view);
}

bool Alert::isShowingSheetOnWindow(const Window* window)
{
    const auto& sheets = windowsWithSheets();
    return window && std::find(sheets.begin(), sheets.end(), window) != sheets.end();
}

void Alert::setModalOptionsProvider(ModalOptionsProvider provider)
{
    modalOptionsProvider() = std::move(provider);
}

void Alert::setBeeper(std::function<void()> newBeeper)
{
    beeper() = std::move(newBeeper);
}

void Alert::setPresenter(Presenter newPresenter)
{
    presenter() = std::move(newPresenter);
}

bool Alert::hasPresenter()
{
    return bool(presenter());
}

int Alert::presentedCode()
{
    // A copy, so a presenter may replace itself.
    Presenter current = presenter();
    return current(*this);
}

namespace {

AlertDialog buildDialog(Alert& alert, QWidget* parent)
{
    AlertDialog dialog;
    dialog.box = new QMessageBox(parent);
    QMessageBox* box = dialog.box;
    box->setIcon(iconForStyle(alert.alertStyle()));
    box->setWindowTitle(QCoreApplication::applicationName());
    box->setText(alert.messageText());
    box->setInformativeText(alert.informativeText());
    QStringList titles = alert.buttonTitles();
    if (titles.isEmpty())
        titles << QStringLiteral("OK");
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const bool isCancel = titles[i] == QStringLiteral("Cancel");
        const QMessageBox::ButtonRole role = i == 0     ? QMessageBox::AcceptRole
                                             : isCancel ? QMessageBox::RejectRole
                                                        : QMessageBox::ActionRole;
        QPushButton* button = box->addButton(titles[i], role);
        dialog.buttons.push_back(button);
        if (i == 0)
            box->setDefaultButton(button);
        if (isCancel)
            box->setEscapeButton(button);
    }
    if (alert.showsSuppressionButton()) {
        dialog.suppression = new QCheckBox(alert.suppressionButtonTitle());
        dialog.suppression->setChecked(alert.suppressionButtonState());
        box->setCheckBox(dialog.suppression);
    }
    if (alert.accessoryView())
        placeAccessory(*box, alert.accessoryView());
    return dialog;
}

void beep()
{
    if (const std::function<void()> custom = beeper())
        custom();
    else
        QApplication::beep();
}

// Puts a dialog above the program's windows and where it was asked to be, before it shows.
void applyOptions(QMessageBox& box, const Alert::ModalOptions& options)
{
    if (options.aboveAllWindows)
        box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    if (options.centerWithin) {
        box.adjustSize();
        const Rect area = *options.centerWithin;
        const Rect frame{{0, 0}, {double(box.width()), double(box.height())}};
        const Rect placed = centerFrame(frame, area).offsetBy(area.origin.x, area.origin.y);
        box.move(qtRectFromGlobal(placed).topLeft().toPoint());
    }
}

// Without a window manager nothing keeps a window on top: a dialog shown last is raised once its
// window exists, which is all any stacking can do then.
void raiseWhenShown(QMessageBox& box, const Alert::ModalOptions& options)
{
    if (!options.aboveAllWindows)
        return;
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
}

} // namespace

int Alert::runModal()
{
    if (presenter())
        return presentedCode();
    return runModal(providedOptions(*this).value_or(ModalOptions()));
}

int Alert::runModal(const ModalOptions& options)
{
    if (presenter()) {
        if (options.beep)
            beep();
        return presentedCode();
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return kFirstButtonReturn;
    AlertDialog dialog = buildDialog(*this, nullptr);
    std::unique_ptr<QMessageBox> owner(dialog.box);
    if (options.beep)
        beep();
    applyOptions(*owner, options);
    FloatingWindows::openAbove(*owner);
    raiseWhenShown(*owner, options);
    owner->exec();
    const int code = dialog.codeFor(owner->clickedButton());
    if (dialog.suppression)
        m_suppressionState = dialog.suppression->isChecked();
    if (m_accessoryView)
        m_accessoryView->setParent(nullptr);
    return code;
}

int Alert::runModalForWidget(QWidget* window)
{
    if (presenter() || !window)
        return runModal();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return kFirstButtonReturn;
    AlertDialog dialog = buildDialog(*this, window);
    std::unique_ptr<QMessageBox> owner(dialog.box);
    owner->setWindowModality(Qt::WindowModal);
    owner->exec();
    const int code = dialog.codeFor(owner->clickedButton());
    if (dialog.suppression)
        m_suppressionState = dialog.suppression->isChecked();
    if (m_accessoryView)
        m_accessoryView->setParent(nullptr);
    return code;
}

void Alert::beginSheetModalForWindow(Window* window, std::function<void(int)> completion)
{
    // As for any sheet, observers may first move the window where the user will see the alert.
    if (window)
        NotificationCenter::shared().postNotification(kWindowWillBeginSheetNotification, window);
    if (presenter() || !window || !window->hostWidget()) {
        const int code = runModal();
        if (completion)
            completion(code);
        return;
    }
    AlertDialog dialog = buildDialog(*this, window->hostWidget());
    dialog.box->setWindowModality(Qt::WindowModal);
    if (const std::optional<ModalOptions> options = providedOptions(*this)) {
        if (options->beep)
            beep();
        applyOptions(*dialog.box, *options);
        raiseWhenShown(*dialog.box, *options);
    }
    dialog.box->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> accessory = m_accessoryView.get();
    windowsWithSheets().push_back(window);
    // The sheet leaves the list once, as it ends or as it goes with its window: a window closed with
    // its sheet still up must not leave its address behind for the next window made there.
    const auto unlisted = std::make_shared<bool>(false);
    const auto unlist = [unlisted, window] {
        if (std::exchange(*unlisted, true))
            return;
        auto& sheets = windowsWithSheets();
        if (auto it = std::find(sheets.begin(), sheets.end(), window); it != sheets.end())
            sheets.erase(it);
    };
    QObject::connect(dialog.box, &QObject::destroyed, unlist);
    // The alert may be gone by the time the sheet ends; only a live alert hears the box's state.
    std::shared_ptr<Alert*> self = m_self;
    QObject::connect(dialog.box, &QMessageBox::finished, dialog.box,
                     [dialog, accessory, self, unlist, completion = std::move(completion)](int) {
                         unlist();
                         const int code = dialog.codeFor(dialog.box->clickedButton());
                         if (accessory)
                             accessory->setParent(nullptr);
                         if (*self && dialog.suppression)
                             (*self)->m_suppressionState = dialog.suppression->isChecked();
                         if (completion)
                             completion(code);
                     });
    dialog.box->open();
}

AlertPresenterScope::AlertPresenterScope(Alert::Presenter newPresenter) : m_previous(presenter())
{
    Alert::setPresenter(std::move(newPresenter));
}

AlertPresenterScope::~AlertPresenterScope()
{
    Alert::setPresenter(std::move(m_previous));
}
