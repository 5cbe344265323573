#pragma once

// A small HTTP server on 127.0.0.1 for tests of what the program fetches and sends: it records each
// request and answers every one with the response the test set. One request per connection; it
// takes a bounded number of requests and of bytes, and never listens beyond the loopback address.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace testsupport {

class LoopbackHttpServer {
public:
    static constexpr int kMaximumRequests = 64;
    static constexpr qsizetype kMaximumRequestBytes = 64 * 1024 * 1024;

    struct Request {
        QByteArray method;
        QByteArray path;
        QByteArray body;
    };

    LoopbackHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                auto* buffer = new QByteArray;
                QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, buffer] {
                    delete buffer;
                    socket->deleteLater();
                });
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket, buffer] { read(*socket, *buffer); });
            }
        });
    }

    bool isListening() const { return m_server.isListening(); }
    QUrl url(const QString& path = QStringLiteral("/")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }

    void respond(int status, QByteArray body)
    {
        m_status = status;
        m_body = std::move(body);
    }
    // Answers with a Content-Length of the whole body but sends only its first bytes, then closes.
    void respondTruncated(QByteArray body, qsizetype sent)
    {
        m_status = 200;
        m_body = std::move(body);
        m_truncateAt = sent;
    }

    const QList<Request>& requests() const { return m_requests; }
    int requestCount() const { return int(m_requests.size()); }
    QStringList paths() const
    {
        QStringList paths;
        for (const Request& request : m_requests)
            paths.append(QString::fromLatin1(request.path));
        return paths;
    }

private:
    void read(QTcpSocket& socket, QByteArray& buffer)
    {
        buffer += socket.readAll();
        if (buffer.size() > kMaximumRequestBytes || m_requests.size() >= kMaximumRequests) {
            socket.abort();
            return;
        }
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QByteArray head = buffer.left(headerEnd);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.trimmed().toLower().startsWith("content-length:"))
                length = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        if (buffer.size() < headerEnd + 4 + length)
            return;
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        m_requests.append({requestLine.value(0), requestLine.value(1), buffer.mid(headerEnd + 4, length)});
        buffer.clear();
        QByteArray answer = "HTTP/1.1 " + QByteArray::number(m_status) +
                            " Answer\r\nContent-Length: " + QByteArray::number(m_body.size()) +
                            "\r\nConnection: close\r\n\r\n";
        answer += m_truncateAt >= 0 ? m_body.left(m_truncateAt) : m_body;
        socket.write(answer);
        socket.flush();
        socket.disconnectFromHost();
    }

    QTcpServer m_server;
    QList<Request> m_requests;
    int m_status = 200;
    QByteArray m_body;
    qsizetype m_truncateAt = -1;
};

} // namespace testsupport
