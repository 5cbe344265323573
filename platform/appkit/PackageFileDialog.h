#pragma once

#include <QFileDialog>

#include <functional>

// Qt's own (non-native) file dialog taught that a package directory is one file: accepting or
// double-clicking "Script.ovdocument" chooses it instead of opening the folder. The panels show it;
// tests drive it directly.
class PackageFileDialog : public QFileDialog {
public:
    // Asked before a choice is accepted; answering false keeps the dialog open.
    using ChoiceCheck = std::function<bool(const QStringList& paths)>;

    explicit PackageFileDialog(QWidget* parent = nullptr);

    void setChoiceCheck(ChoiceCheck check) { m_check = std::move(check); }
    // The files chosen, set when the dialog is accepted.
    const QStringList& chosenPaths() const { return m_chosen; }

    void accept() override;

private:
    void directoryWasEntered(const QString& directory);
    bool finish(const QStringList& paths);

    ChoiceCheck m_check;
    QStringList m_chosen;
    bool m_finishing = false;
};
