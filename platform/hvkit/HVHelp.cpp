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

} // namespace

void HVHelp::setOpener(Opener opener)
{
    installedOpener() = std::move(opener);
}

void HVHelp::openLocalHelp(const QString& anchor)
{
    if (installedOpener()) {
        installedOpener()(anchor);
        return;
    }
    const QString path = QDir(QCoreApplication::applicationDirPath())
                             .absoluteFilePath(QStringLiteral("../share/orvane/help/index.html"));
    QUrl url = QUrl::fromLocalFile(path);
    url.setFragment(anchor);
    if (QFileInfo::exists(path) && QDesktopServices::openUrl(url))
        return;
    qWarning().noquote() << QStringLiteral("Help could not be opened at %1").arg(url.toString());
    const std::unique_ptr<Alert> alert = Alert::alertWithTitle(
        HVLocalizedString::localizedString(QStringLiteral("preview-error-title-help"),
                                           QStringLiteral("Help could not be opened.")),
        HVLocalizedString::localizedString(QStringLiteral("preview-description-help-missing"),
                                           QStringLiteral("The help pages are not installed in %1."))
            .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath())),
        {HVLocalizedString::localizedString(QStringLiteral("preview-button-ok"), QStringLiteral("OK"))});
    alert->runModal();
}
