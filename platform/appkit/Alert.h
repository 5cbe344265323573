#pragma once

#include "platform/foundation/Rect.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QWidget;
class Window;

// A message with up to three (or more) buttons, shown modally or as a sheet on a window. Buttons answer
// 1000, 1001, 1002... in the order they were added; the first is the default button, one titled
// "Cancel" answers the Escape key. Tests answer alerts through a presenter instead of a dialog.
class Alert {
public:
    enum class Style { Warning, Informational, Critical };

    static constexpr int kFirstButtonReturn = 1000;
    static constexpr int kSecondButtonReturn = 1001;
    static constexpr int kThirdButtonReturn = 1002;

    // Decides an alert instead of showing it: answers the button code and may tick the suppression
    // box through setSuppressionButtonState. Installed by tests and by code that must not block.
    using Presenter = std::function<int(Alert& alert)>;

    // How a dialog runs: above every window of the program (Linux has no numbered levels above
    // the desktop: stays-on-top is the highest there is), after a beep, centred in a global area.
    struct ModalOptions {
        bool aboveAllWindows = false;
        bool beep = false;
        std::optional<Rect> centerWithin;
    };
    // Chooses the options of alerts run without any (the program's Prompt mode asks for all of them);
    // empty for a plain dialog.
    using ModalOptionsProvider = std::function<std::optional<ModalOptions>(const Alert& alert)>;

    Alert();
    ~Alert();
    Alert(const Alert&) = delete;
    Alert& operator=(const Alert&) = delete;

    // The helper the application's code uses: a warning with a title, a text and buttons in order.
    static std::unique_ptr<Alert> alertWithTitle(const QString& title, const QString& informativeText,
                                                 const QStringList& buttons);

    const QString& messageText() const { return m_messageText; }
    void setMessageText(const QString& text) { m_messageText = text; }
    const QString& informativeText() const { return m_informativeText; }
    void setInformativeText(const QString& text) { m_informativeText = text; }
    Style alertStyle() const { return m_style; }
    void setAlertStyle(Style style) { m_style = style; }

    // Answers the code the new button returns.
    int addButtonWithTitle(const QString& title);
    const QStringList& buttonTitles() const { return m_buttons; }
    // The code a button title answers, or 0 when no button has that title.
    int returnCodeForButtonTitle(const QString& title) const;

    bool showsSuppressionButton() const { return m_showsSuppressionButton; }
    void setShowsSuppressionButton(bool flag) { m_showsSuppressionButton = flag; }
    // "Do not show this message again" unless set.
    QString suppressionButtonTitle() const;
    void setSuppressionButtonTitle(const QString& title) { m_suppressionTitle = title; }
    // Whether the suppression box was ticked when the alert was answered.
    bool suppressionButtonState() const { return m_suppressionState; }
    void setSuppressionButtonState(bool ticked) { m_suppressionState = ticked; }

    // A widget shown below the informative text; the alert takes it over.
    void setAccessoryView(std::unique_ptr<QWidget> view);
    QWidget* accessoryView() const { return m_accessoryView.get(); }

    // Runs the alert in its own event loop; answers the code of the button pressed.
    int runModal();
    int runModal(const ModalOptions& options);
    // Runs the alert in its own event loop attached to a window that is no document window (the
    // settings window): it stands over that window, which stays where it is; without one, as
    // runModal.
    int runModalForWidget(QWidget* window);
    // Shows the alert attached to window without blocking; completion gets the button code. Without
    // a window the alert runs modally and then calls completion.
    void beginSheetModalForWindow(Window* window, std::function<void(int returnCode)> completion);

    // Whether an alert is showing as a sheet on window (a document does not ask twice, and an untouched
    // window with a question on it is not replaced).
    static bool isShowingSheetOnWindow(const Window* window);

    // The presenter that answers every alert instead of a dialog; empty to show real dialogs again.
    static void setPresenter(Presenter presenter);
    static bool hasPresenter();
    static void setModalOptionsProvider(ModalOptionsProvider provider);
    // The beep of an alert that asks for one; QApplication::beep unless a test counts them.
    static void setBeeper(std::function<void()> beeper);

private:
    int presentedCode();

    QString m_messageText;
    QString m_informativeText;
    Style m_style = Style::Warning;
    QStringList m_buttons;
    bool m_showsSuppressionButton = false;
    QString m_suppressionTitle;
    bool m_suppressionState = false;
    std::unique_ptr<QWidget> m_accessoryView;
    // Cleared on destruction, so a sheet still showing knows the alert is gone.
    std::shared_ptr<Alert*> m_self;
};

// Installs a presenter for the life of a scope and restores the previous one after it.
class AlertPresenterScope {
public:
    explicit AlertPresenterScope(Alert::Presenter presenter);
    ~AlertPresenterScope();
    AlertPresenterScope(const AlertPresenterScope&) = delete;
    AlertPresenterScope& operator=(const AlertPresenterScope&) = delete;

private:
    Alert::Presenter m_previous;
};
