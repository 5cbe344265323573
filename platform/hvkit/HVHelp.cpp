#include "platform/hvkit/HVHelp.h"

#include "platform/appkit/Alert.h"
#include "platform/hvkit/HVLocalizedString.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

HVHelp::Opener& installedOpener()
{
    static HVHelp::Opener opener;
    return opener;
}

QString& chosenFolder()
{
    static QString folder;
    return folder;
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromLatin1(english));
}

void tellHelpCouldNotBeOpened(const QString& description)
{
    const std::unique_ptr<Alert> alert =
        Alert::alertWithTitle(localized("preview-error-title-help", "Help could not be opened."), description,
                              {localized("preview-button-ok", "OK")});
    alert->runModal();
}

} // namespace

void HVHelp::setOpener(Opener opener)
{
    installedOpener() = std::move(opener);
}

void HVHelp::setFolder(const QString& folder)
{
    chosenFolder() = folder;
}

QString HVHelp::folder()
{
    if (!chosenFolder().isEmpty())
        return chosenFolder();
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/orvane/help"));
}

QString HVHelp::pagePath(const QString& anchor)
{
    return QDir(folder()).absoluteFilePath(anchor + QStringLiteral(".html"));
}

void HVHelp::openLocalHelp(const QString& anchor)
{
    if (installedOpener()) {
        installedOpener()(anchor);
        return;
    }
    const QString path = pagePath(anchor);
    if (!QFileInfo(path).isFile()) {
        qWarning().noquote() << QStringLiteral("Help could not be opened: there is no page %1").arg(path);
        tellHelpCouldNotBeOpened(
            localized("preview-description-help-missing", "The help pages are not installed in %1.")
                .arg(QDir::toNativeSeparators(folder())));
        return;
    }
    const QUrl url = QUrl::fromLocalFile(path);
    if (QDesktopServices::openUrl(url))
        return;
    qWarning().noquote()
        << QStringLiteral("Help could not be opened: no browser showed %1").arg(url.toString());
    tellHelpCouldNotBeOpened(
        localized("help-description-no-browser",
                  "No web browser could be started to show the page. It is %1; open it in a browser.")
            .arg(QDir::toNativeSeparators(path)));
}
