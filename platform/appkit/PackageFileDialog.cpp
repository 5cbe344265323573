#include "platform/appkit/PackageFileDialog.h"

#include "platform/appkit/SavePanel.h"

#include <QDir>
#include <QFileInfo>

PackageFileDialog::PackageFileDialog(QWidget* parent) : QFileDialog(parent)
{
    setOption(QFileDialog::DontUseNativeDialog);
    // The panels ask about replacing themselves, packages included.
    setOption(QFileDialog::DontConfirmOverwrite);
    connect(this, &QFileDialog::directoryEntered, this,
            [this](const QString& directory) { directoryWasEntered(directory); });
}

void PackageFileDialog::accept()
{
    const QStringList selected = selectedFiles();
    if (selected.isEmpty())
        return;
    const QString first = QDir::cleanPath(selected.first());
    const QFileInfo info(first);
    if (info.isDir() && !SavePanel::isPackagePath(first)) {
        // A plain folder: the user goes into it, as with any file dialog.
        if (fileMode() == QFileDialog::Directory) {
            finish({first});
            return;
        }
        setDirectory(first);
        return;
    }
    QStringList paths;
    for (const QString& path : selected)
        paths << QDir::cleanPath(path);
    finish(paths);
}

void PackageFileDialog::directoryWasEntered(const QString& directory)
{
    if (m_finishing || !SavePanel::isPackagePath(directory))
        return;
    // Double-clicking a package opened it as a folder; step back out and choose it.
    const QFileInfo info(QDir::cleanPath(directory));
    setDirectory(info.absolutePath());
    selectFile(info.fileName());
    finish({info.absoluteFilePath()});
}

bool PackageFileDialog::finish(const QStringList& paths)
{
    if (m_check && !m_check(paths))
        return false;
    m_chosen = paths;
    m_finishing = true;
    QDialog::accept();
    m_finishing = false;
    return true;
}
