#include "platform/appkit/Alert.h"
#include "platform/appkit/Window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

// Clicks the button titled title in the message box that is showing, once the event loop runs.
void clickWhenShown(const QString& title, bool tickSuppression = false)
{
    QTimer::singleShot(0, [title, tickSuppression] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible())
                continue;
            if (tickSuppression && box->checkBox())
                box->checkBox()->setChecked(true);
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == title)
                    button->click();
            }
        }
    });
}

} // namespace

TEST(Alerts, ButtonsAnswerInTheOrderTheyWereAdded)
{
    Alert alert;
    EXPECT_EQ(alert.addButtonWithTitle("Save"), Alert::kFirstButtonReturn);
    EXPECT_EQ(alert.addButtonWithTitle("Cancel"), 1001);
    EXPECT_EQ(alert.addButtonWithTitle("Don’t Save"), 1002);
    EXPECT_EQ(alert.returnCodeForButtonTitle("Don’t Save"), Alert::kThirdButtonReturn);
    EXPECT_EQ(alert.returnCodeForButtonTitle("Other"), 0);
}

TEST(Alerts, TheRealDialogAnswersTheCodeOfTheButtonClicked)
{
    auto alert = Alert::alertWithTitle("Replace?", "It will be gone.", {"Replace", "Cancel", "Keep Both"});
    clickWhenShown("Keep Both");
    EXPECT_EQ(alert->runModal(), Alert::kThirdButtonReturn);
    clickWhenShown("Replace");
    EXPECT_EQ(alert->runModal(), Alert::kFirstButtonReturn);
}

TEST(Alerts, TheSuppressionBoxIsReadAfterTheAnswer)
{
    auto alert = Alert::alertWithTitle("Unmark all?", {}, {"Unmark", "Cancel"});
    alert->setShowsSuppressionButton(true);
    clickWhenShown("Unmark", true);
    EXPECT_EQ(alert->runModal(), Alert::kFirstButtonReturn);
    EXPECT_TRUE(alert->suppressionButtonState());
}

TEST(Alerts, ASheetCallsItsCompletionWithTheCode)
{
    Window window(Rect(0, 0, 400, 300));
    window.orderFront();
    auto alert = Alert::alertWithTitle("Resize?", {}, {"Resize", "Cancel"});
    alert->setAccessoryView(std::make_unique<QLabel>("extra"));
    int answered = 0;
    alert->beginSheetModalForWindow(&window, [&](int code) { answered = code; });
    auto* box = window.hostWidget()->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_NE(box->findChild<QLabel*>(), nullptr);
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == "Cancel")
            button->click();
    }
    EXPECT_EQ(answered, Alert::kSecondButtonReturn);
    // The accessory is the alert's again, not the closed dialog's.
    EXPECT_EQ(alert->accessoryView()->parent(), nullptr);
}

TEST(Alerts, AWindowClosedWithItsSheetUpLeavesNoSheetBehind)
{
    auto window = std::make_unique<Window>(Rect(0, 0, 400, 300));
    window->orderFront();
    auto alert = Alert::alertWithTitle("Save changes?", {}, {"Save", "Cancel"});
    alert->beginSheetModalForWindow(window.get(), {});
    const Window* gone = window.get();
    ASSERT_TRUE(Alert::isShowingSheetOnWindow(gone));
    // A window made later at the same address would otherwise count as one with a sheet.
    window.reset();
    EXPECT_FALSE(Alert::isShowingSheetOnWindow(gone));
}

TEST(Alerts, APresenterAnswersWithoutADialog)
{
    QString seen;
    AlertPresenterScope scope([&](Alert& alert) {
        seen = alert.messageText();
        alert.setSuppressionButtonState(true);
        return Alert::kSecondButtonReturn;
    });
    auto alert = Alert::alertWithTitle("Question", {}, {"Yes", "No"});
    int answered = 0;
    alert->beginSheetModalForWindow(nullptr, [&](int code) { answered = code; });
    EXPECT_EQ(answered, Alert::kSecondButtonReturn);
    EXPECT_EQ(seen, "Question");
    EXPECT_TRUE(alert->suppressionButtonState());
}
