#include "platform/appkit/ScreenSaverInhibitor.h"

#include "platform/appkit/AppKitLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");
// A D-Bus call that hangs must not stall the switch into prompting for long.
constexpr int kCallTimeoutMs = 2000;

bool serviceAvailable(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return false;
    QDBusConnectionInterface* interface = bus.interface();
    return interface && interface->isServiceRegistered(kService).value();
}

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QString applicationName)
    : m_applicationName(std::move(applicationName))
{
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    uninhibit();
}

bool ScreenSaverInhibitor::inhibit(const QString& reason)
{
    if (m_inhibiting)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!serviceAvailable(bus)) {
        qCInfo(lcAppKit)
            << "ScreenSaverInhibitor: no session bus screensaver service; display sleep not inhibited";
        return false;
    }
    QDBusInterface screenSaver(kService, kPath, kInterface, bus);
    screenSaver.setTimeout(kCallTimeoutMs);
    const QDBusReply<quint32> reply = screenSaver.call(QStringLiteral("Inhibit"), m_applicationName, reason);
    if (!reply.isValid()) {
        qCWarning(lcAppKit) << "ScreenSaverInhibitor: Inhibit failed:" << reply.error().message();
        return false;
    }
    m_cookie = reply.value();
    m_inhibiting = true;
    return true;
}

void ScreenSaverInhibitor::uninhibit()
{
    if (!m_inhibiting)
        return;
    m_inhibiting = false;
    const quint32 cookie = m_cookie;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusInterface screenSaver(kService, kPath, kInterface, bus);
    screenSaver.setTimeout(kCallTimeoutMs);
    screenSaver.call(QDBus::NoBlock, QStringLiteral("UnInhibit"), cookie);
}
