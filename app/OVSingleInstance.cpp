#include "app/OVSingleInstance.h"

#include "platform/foundation/UserDefaults.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

const QByteArray kMagic = QByteArrayLiteral("ORVANE-REQUEST-1");
// A client that has not sent its whole request by then is dropped, so none can hold the server.
constexpr int kClientTimeoutMilliseconds = 5000;

QByteArray commandName(OVSingleInstance::Command command)
{
    switch (command) {
    case OVSingleInstance::Command::Open:
        return QByteArrayLiteral("open");
    case OVSingleInstance::Command::Activate:
        return QByteArrayLiteral("activate");
    case OVSingleInstance::Command::NewDocument:
        return QByteArrayLiteral("new");
    }
    return {};
}

bool peerIsThisUser(const QLocalSocket& socket)
{
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == getuid();
}

} // namespace

QString OVSingleInstance::serverName()
{
    // One program per settings folder: runs on a folder of their own (tests, a second profile)
    // never hand their files to the user's everyday program.
    const QByteArray folder = QFileInfo(UserDefaults::defaultFilePath()).absoluteFilePath().toUtf8();
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().left(16));
    const QString name = QStringLiteral("orvane-%1-%2").arg(getuid()).arg(digest);
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    return name;
}

QByteArray OVSingleInstance::encode(const Request& request)
{
    QByteArray body = kMagic + '\n' + commandName(request.command) + '\n';
    for (const QString& path : request.paths)
        body += path.toUtf8() + '\0';
    QByteArray message(4, '\0');
    qToBigEndian(quint32(body.size()), message.data());
    return message + body;
}

std::optional<OVSingleInstance::Request> OVSingleInstance::decode(const QByteArray& message)
{
    if (message.size() < 4 || message.size() > kMaximumMessageBytes + 4)
        return std::nullopt;
    const quint32 length = qFromBigEndian<quint32>(message.constData());
    if (length != quint32(message.size() - 4))
        return std::nullopt;
    const QByteArray body = message.mid(4);
    const qsizetype magicEnd = body.indexOf('\n');
    if (magicEnd < 0 || body.left(magicEnd) != kMagic)
        return std::nullopt;
    const qsizetype commandEnd = body.indexOf('\n', magicEnd + 1);
    if (commandEnd < 0)
        return std::nullopt;
    const QByteArray command = body.mid(magicEnd + 1, commandEnd - magicEnd - 1);
    Request request;
    if (command == commandName(Command::Open))
        request.command = Command::Open;
    else if (command == commandName(Command::Activate))
        request.command = Command::Activate;
    else if (command == commandName(Command::NewDocument))
        request.command = Command::NewDocument;
    else
        return std::nullopt;
    const QByteArray list = body.mid(commandEnd + 1);
    if (!list.isEmpty() && !list.endsWith('\0'))
        return std::nullopt;
    const QList<QByteArray> paths = list.isEmpty() ? QList<QByteArray>() : list.chopped(1).split('\0');
    if (paths.size() > kMaximumPaths)
        return std::nullopt;
    for (const QByteArray& bytes : paths) {
        if (bytes.isEmpty() || bytes.size() > kMaximumPathBytes)
            return std::nullopt;
        const QString path = QString::fromUtf8(bytes);
        // Text that is not UTF-8 does not survive the round trip; such a path names no file we know.
        if (path.toUtf8() != bytes || !QDir::isAbsolutePath(path))
            return std::nullopt;
        request.paths << QDir::cleanPath(path);
    }
    if (request.command != Command::Open && !request.paths.isEmpty())
        return std::nullopt;
    return request;
}

std::optional<int> OVSingleInstance::sendToRunningInstance(const Request& request, const QString& name,
                                                           int timeoutMilliseconds,
                                                           int answerTimeoutMilliseconds)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMilliseconds))
        return std::nullopt;
    const QByteArray message = encode(request);
    if (message.size() > kMaximumMessageBytes + 4)
        return std::nullopt;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMilliseconds))
        return std::nullopt;
    // The running program answers once the request is decided, before any alert about it.
    if (!socket.waitForReadyRead(answerTimeoutMilliseconds) || socket.bytesAvailable() < 1)
        return kReplyPending;
    char reply = 0;
    socket.read(&reply, 1);
    return int(reply);
}

OVSingleInstance::OVSingleInstance(Handler handler) : m_handler(std::move(handler)) {}

OVSingleInstance::~OVSingleInstance() = default;

bool OVSingleInstance::listen(const QString& name)
{
    // Asked first: Qt puts a socket with access options in place by renaming it over whatever is
    // there, which would take the name from a program that still answers on it.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500))
        return false;
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        // Left behind by a program that ended without cleaning up.
        QLocalServer::removeServer(name);
        if (!m_server->listen(name)) {
            m_server.reset();
            return false;
        }
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] { acceptConnection(); });
    return true;
}

bool OVSingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

QString OVSingleInstance::fullServerName() const
{
    return m_server ? m_server->fullServerName() : QString();
}

void OVSingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsThisUser(*socket)) {
            socket->abort();
            continue;
        }
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
        idle->start(kClientTimeoutMilliseconds);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void OVSingleInstance::readFrom(QLocalSocket* socket)
{
    if (socket->property("answered").toBool())
        return;
    // The request stays in the socket's own buffer until it is whole; its declared length is
    // checked first, so a client cannot make it grow past the bound.
    if (socket->bytesAvailable() < 4)
        return;
    char prefix[4];
    socket->peek(prefix, 4);
    const quint32 length = qFromBigEndian<quint32>(prefix);
    if (length > quint32(kMaximumMessageBytes) || socket->bytesAvailable() > qint64(length) + 4) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(length) + 4)
        return;
    const std::optional<Request> request = decode(socket->readAll());
    socket->setProperty("answered", true);
    // Whole: the client now waits for the answer, however long opening takes.
    if (auto* idle = socket->findChild<QTimer*>())
        idle->stop();
    if (!request) {
        socket->abort();
        return;
    }
    const QPointer<QLocalSocket> guard(socket);
    const int reply = m_handler ? m_handler(*request) : 2;
    // The handler may have run an alert's loop, during which the client can have given up.
    if (guard && socket->state() == QLocalSocket::ConnectedState) {
        const char byte = char(reply);
        socket->write(&byte, 1);
        // Out now: an alert the handler left for later runs a loop of its own.
        socket->flush();
        socket->disconnectFromServer();
    }
}
