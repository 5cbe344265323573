#pragma once

#include "platform/hvkit/HVAppUpdate.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// Tells of an update found: its version, date and notes, with a button that opens its page.
// It never downloads anything.
class UpdateAlert : public QDialog {
public:
    explicit UpdateAlert(std::function<void(const HVAppUpdate&)> openPage, QWidget* parent = nullptr);

    void setUpdate(const HVAppUpdate& update, const QString& runningVersion, const QString& notes);
    const HVAppUpdate& update() const { return m_update; }

    QLabel* messageLabel() const { return m_message; }
    QPlainTextEdit* notesView() const { return m_notes; }
    QPushButton* openPageButton() const { return m_openPage; }

    // Release notes are often HTML: shown as their text only, nothing fetched or run.
    static QString plainNotes(const QString& notes);

private:
    std::function<void(const HVAppUpdate&)> m_openPageAction;
    HVAppUpdate m_update;
    QLabel* m_title = nullptr;
    QLabel* m_message = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QPushButton* m_openPage = nullptr;
};
