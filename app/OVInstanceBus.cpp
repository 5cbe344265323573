#include "app/OVInstanceBus.h"

#include "platform/foundation/UserDefaults.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVirtualObject>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

#include <unistd.h>

namespace {

const QString kConnectionName = QStringLiteral("orvane-instance");

// A connection of the program's own rather than the process's shared one, which Qt and the bus
// library keep for the life of the process, even when it failed: this one ends with the
// registration or the request, and is made from the address the environment names then, so a later
// start in the same process reaches the session bus it was given.
QDBusConnection instanceConnection()
{
    const QString address = QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    if (address.isEmpty())
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName);
    return QDBusConnection::connectToBus(address, kConnectionName);
}

void dropInstanceConnection()
{
    QDBusConnection::disconnectFromBus(kConnectionName);
}

QString logName(const char* operation)
{
    return QStringLiteral("-[OVInstanceBus %1]").arg(QLatin1String(operation));
}

QString usualSettingsFile()
{
    return QDir::homePath() + QStringLiteral("/.config/Orvane/Orvane.plist");
}

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

// Reads one URI to the absolute path it names, or says why it names none this program may open.
std::optional<QString> pathFromUri(const QString& uri, QString* why)
{
    const auto refuse = [why](const QString& reason) -> std::optional<QString> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (uri.size() > OVInstanceBus::kMaximumUriLength)
        return refuse(QStringLiteral("a URI of %1 characters is longer than any path we open").arg(uri.size()));
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid())
        return refuse(QStringLiteral("not a valid URI: %1").arg(url.errorString()));
    if (url.scheme() != QLatin1String("file"))
        return refuse(QStringLiteral("only file URIs are opened, not \"%1\"").arg(url.scheme().left(64)));
    // Another machine's file would be a network share the user never chose to open from here.
    if (!url.host().isEmpty() && url.host() != QLatin1String("localhost"))
        return refuse(QStringLiteral("the file is on another host"));
    if (url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty() || url.port() != -1)
        return refuse(QStringLiteral("a file URI with a query, fragment, user or port"));
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty() || !bytes.startsWith('/'))
        return refuse(QStringLiteral("the path is not absolute"));
    if (bytes.size() > OVSingleInstance::kMaximumPathBytes)
        return refuse(QStringLiteral("a path of %1 bytes is too long").arg(bytes.size()));
    if (bytes.contains('\0'))
        return refuse(QStringLiteral("the path holds a NUL character"));
    if (!isValidUtf8(bytes))
        return refuse(QStringLiteral("the path is not UTF-8"));
    return QDir::cleanPath(QString::fromUtf8(bytes));
}

// What the bus delivers to: every call on our object path comes in whole, whatever its
// signature, so a call with the wrong arguments is refused here rather than by a guess of Qt's.
class ExportedApplication final : public QDBusVirtualObject {
public:
    explicit ExportedApplication(OVInstanceBus& owner) : m_owner(owner) {}

    QString introspect(const QString& path) const override
    {
        Q_UNUSED(path);
        return QStringLiteral(
            "<interface name=\"org.freedesktop.Application\">"
            "<method name=\"Activate\"><arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
            "<method name=\"Open\"><arg type=\"as\" name=\"uris\" direction=\"in\"/>"
            "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
            "<method name=\"ActivateAction\"><arg type=\"s\" name=\"action_name\" direction=\"in\"/>"
            "<arg type=\"av\" name=\"parameter\" direction=\"in\"/>"
            "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        Q_UNUSED(connection);
        if (message.type() != QDBusMessage::MethodCallMessage ||
            message.interface() != QLatin1String(OVInstanceBus::kInterface))
            return false;
        m_owner.serve(message);
        return true;
    }

private:
    OVInstanceBus& m_owner;
};

} // namespace

QString OVInstanceBus::serviceName()
{
    const QString settings = QFileInfo(UserDefaults::defaultFilePath()).absoluteFilePath();
    if (settings == QFileInfo(usualSettingsFile()).absoluteFilePath())
        return QString::fromLatin1(kApplicationId);
    // A name element may not start with a digit, hence the letter before the digest.
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(settings.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
    return QStringLiteral("%1.s%2").arg(QLatin1String(kApplicationId), digest);
}

std::optional<OVInstanceBus::Request> OVInstanceBus::requestFromUris(const QStringList& uris, QString* why)
{
    if (uris.isEmpty()) {
        if (why)
            *why = QStringLiteral("an open request without files");
        return std::nullopt;
    }
    if (uris.size() > OVSingleInstance::kMaximumPaths) {
        if (why)
            *why = QStringLiteral("%1 files in one request, more than %2")
                       .arg(uris.size())
                       .arg(OVSingleInstance::kMaximumPaths);
        return std::nullopt;
    }
    Request request;
    request.command = OVSingleInstance::Command::Open;
    for (qsizetype i = 0; i < uris.size(); ++i) {
        QString reason;
        const std::optional<QString> path = pathFromUri(uris[i], &reason);
        if (!path) {
            if (why)
                *why = QStringLiteral("URI %1: %2").arg(i).arg(reason);
            return std::nullopt;
        }
        request.paths << *path;
    }
    return request;
}

QStringList OVInstanceBus::urisFromPaths(const QStringList& paths)
{
    QStringList uris;
    for (const QString& path : paths)
        uris << QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
    return uris;
}

std::optional<int> OVInstanceBus::sendToRunningInstance(const Request& request, const QString& service,
                                                        int timeoutMilliseconds)
{
    QDBusConnection bus = instanceConnection();
    const std::unique_ptr<void, void (*)(void*)> drop(&bus, [](void*) { dropInstanceConnection(); });
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call;
    const QString path = QString::fromLatin1(kObjectPath);
    const QString interface = QString::fromLatin1(kInterface);
    switch (request.command) {
    case OVSingleInstance::Command::Open:
        call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Open"));
        call << urisFromPaths(request.paths) << QVariantMap();
        break;
    case OVSingleInstance::Command::Activate:
        call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Activate"));
        call << QVariantMap();
        break;
    case OVSingleInstance::Command::NewDocument:
        call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("ActivateAction"));
        call << QString::fromLatin1(kNewDocumentAction) << QVariantList() << QVariantMap();
        break;
    }
    // Nobody to start on our behalf: a name nobody owns means no program runs on these settings.
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMilliseconds);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return 0;
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
        error == QLatin1String("org.freedesktop.DBus.Error.Disconnected"))
        return std::nullopt;
    // The running program answers once the request is decided; no answer in time means it hangs.
    if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        error == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return OVSingleInstance::kReplyPending;
    return 2;
}

OVInstanceBus::OVInstanceBus(Handler handler) : m_handler(std::move(handler)) {}

OVInstanceBus::~OVInstanceBus()
{
    if (m_service.isEmpty())
        return;
    QDBusConnection bus = instanceConnection();
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
    bus.unregisterService(m_service);
    dropInstanceConnection();
}

OVInstanceBus::Registration OVInstanceBus::registerOnBus(const QString& service)
{
    QDBusConnection bus = instanceConnection();
    if (!bus.isConnected()) {
        dropInstanceConnection();
        return Registration::NoBus;
    }
    // The object first, so no call that finds the name finds nothing behind it.
    auto exported = std::make_unique<ExportedApplication>(*this);
    if (!bus.registerVirtualObject(QString::fromLatin1(kObjectPath), exported.get())) {
        dropInstanceConnection();
        return Registration::NameTaken;
    }
    if (!bus.registerService(service)) {
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        dropInstanceConnection();
        return Registration::NameTaken;
    }
    m_exported = std::move(exported);
    m_service = service;
    return Registration::Registered;
}

void OVInstanceBus::serve(const QDBusMessage& call)
{
    QDBusConnection bus = instanceConnection();
    const auto refuse = [&](const QString& reason) {
        qWarning().noquote() << logName("serve") << "refused" << call.member() << "from" << call.service() << ":"
                             << reason;
        bus.send(call.createErrorReply(QString::fromLatin1(kRefusedError), reason));
    };
    // A session bus is the user's own, but one can be configured to let others in.
    if (QDBusConnectionInterface* daemon = bus.interface()) {
        const QDBusReply<uint> uid = daemon->serviceUid(call.service());
        if (!uid.isValid() || uid.value() != getuid()) {
            refuse(QStringLiteral("the caller is not this user"));
            return;
        }
    }
    const QString member = call.member();
    const QString signature = call.signature();
    std::optional<Request> request;
    if (member == QLatin1String("Open")) {
        if (signature != QLatin1String("asa{sv}")) {
            refuse(QStringLiteral("Open takes (as, a{sv}), not (%1)").arg(signature.left(64)));
            return;
        }
        QString why;
        request = requestFromUris(call.arguments().at(0).toStringList(), &why);
        if (!request) {
            refuse(why);
            return;
        }
    } else if (member == QLatin1String("Activate")) {
        if (signature != QLatin1String("a{sv}")) {
            refuse(QStringLiteral("Activate takes (a{sv}), not (%1)").arg(signature.left(64)));
            return;
        }
        request = Request{OVSingleInstance::Command::Activate, {}};
    } else if (member == QLatin1String("ActivateAction")) {
        if (signature != QLatin1String("sava{sv}") ||
            call.arguments().at(0).toString() != QLatin1String(kNewDocumentAction)) {
            refuse(QStringLiteral("no such action"));
            return;
        }
        request = Request{OVSingleInstance::Command::NewDocument, {}};
    } else {
        bus.send(call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                       QStringLiteral("no method %1").arg(member.left(64))));
        return;
    }
    const int reply = m_handler ? m_handler(*request) : 2;
    if (reply == 0)
        bus.send(call.createReply());
    else
        bus.send(call.createErrorReply(QString::fromLatin1(kOpenFailedError),
                                       QStringLiteral("the request was not carried out")));
}
