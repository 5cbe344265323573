#include "platform/appkit/OpenPanel.h"

#include "platform/appkit/FloatingWindows.h"
#include "platform/appkit/PackageFileDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>

void OpenPanel::setAllowedExtensions(const QStringList& extensions)
{
    m_allowedExtensions.clear();
    for (const QString& extension : extensions)
        m_allowedExtensions << extension.toLower();
}

bool OpenPanel::isAcceptable(const QString& path) const
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    const bool isPackage = isPackagePath(path);
    if (info.isDir() && !isPackage)
        return m_canChooseDirectories;
    if (!m_canChooseFiles)
        return false;
    return m_allowedExtensions.isEmpty() || m_allowedExtensions.contains(info.suffix().toLower());
}

bool OpenPanel::chooseURLs(const QList<QUrl>& urls)
{
    if (urls.isEmpty() || (urls.size() > 1 && !m_allowsMultipleSelection))
        return false;
    QList<QUrl> chosen;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            return false;
        const QString path = QDir::cleanPath(url.toLocalFile());
        if (!isAcceptable(path))
            return false;
        chosen << QUrl::fromLocalFile(path);
    }
    m_urls = chosen;
    setURL(chosen.first());
    return true;
}

int OpenPanel::runDialog(QWidget* parent)
{
    PackageFileDialog dialog(parent);
    if (parent)
        dialog.setWindowModality(Qt::WindowModal);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const bool onlyFolders = m_canChooseDirectories && !m_canChooseFiles;
    dialog.setFileMode(onlyFolders                 ? QFileDialog::Directory
                       : m_allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                   : QFileDialog::ExistingFile);
    if (!title().isEmpty())
        dialog.setWindowTitle(title());
    if (!prompt().isEmpty())
        dialog.setLabelText(QFileDialog::Accept, prompt());
    if (directoryURL().isLocalFile())
        dialog.setDirectory(directoryURL().toLocalFile());
    if (!m_allowedExtensions.isEmpty()) {
        QStringList patterns;
        for (const QString& extension : m_allowedExtensions)
            patterns << QStringLiteral("*.") + extension;
        dialog.setNameFilter(QStringLiteral("Documents (%1)").arg(patterns.join(u' ')));
    }
    if (accessoryView()) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(accessoryView(), grid->rowCount(), 0, 1, grid->columnCount());
    }
    dialog.setChoiceCheck([this](const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        return chooseURLs(urls);
    });
    FloatingWindows::openAbove(dialog);
    const int result = dialog.exec();
    if (accessoryView())
        accessoryView()->setParent(nullptr);
    return result == QDialog::Accepted ? kModalResponseOK : kModalResponseCancel;
}
