#include "services/OVRequestAddress.h"

#include <QHostAddress>

bool OVIsPermittedRequestAddress(const QUrl& address)
{
    if (!address.isValid() || address.host().isEmpty())
        return false;
    const QString scheme = address.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("http"))
        return false;
    if (address.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress host(address.host());
    return !host.isNull() && host.isLoopback();
}
