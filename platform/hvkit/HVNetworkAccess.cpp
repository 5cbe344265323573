#include "platform/hvkit/HVNetworkAccess.h"

#include <QDesktopServices>
#include <QDir>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QStandardPaths>

namespace {

HVNetworkAccess::URLOpener& urlOpener()
{
    static HVNetworkAccess::URLOpener opener;
    return opener;
}

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

QNetworkAccessManager& HVNetworkAccess::sharedAccessManager()
{
    static QNetworkAccessManager* manager = [] {
        auto* made = new QNetworkAccessManager;
        // Redirects are followed only where they keep https; a feed never moves to plain http.
        made->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (!folder.isEmpty()) {
            auto* cache = new QNetworkDiskCache(made);
            cache->setCacheDirectory(QDir(folder).filePath(QStringLiteral("network")));
            made->setCache(cache);
        }
        return made;
    }();
    return *manager;
}

bool HVNetworkAccess::isPermittedFetchAddress(const QUrl& url)
{
    if (url.isEmpty() || !url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    return scheme == QLatin1String("http") && isLoopbackHost(url.host());
}

bool HVNetworkAccess::isPermittedPageAddress(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty() && url.scheme().toLower() == QLatin1String("https");
}

void HVNetworkAccess::removeAllCachedResponses()
{
    QNetworkAccessManager& manager = sharedAccessManager();
    if (QAbstractNetworkCache* cache = manager.cache())
        cache->clear();
    manager.clearAccessCache();
}

bool HVNetworkAccess::openURL(const QUrl& url)
{
    if (const URLOpener& opener = urlOpener())
        return opener(url);
    return QDesktopServices::openUrl(url);
}

void HVNetworkAccess::setURLOpener(URLOpener opener)
{
    urlOpener() = std::move(opener);
}
