#pragma once

// A tiny HTTP server on 127.0.0.1 for tests of what the program fetches: it answers every GET with
// one fixed answer, counts the requests and keeps their paths. It takes a bounded number of
// requests and of header bytes, and never listens beyond the loopback address.
#include <QByteArray>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

class LoopbackHttpServer {
public:
    static constexpr int kMaximumRequests = 32;
    static constexpr qsizetype kMaximumHeaderBytes = 16 * 1024;

    LoopbackHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }

    bool isListening() const { return m_server.isListening(); }
    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    void setAnswer(int status, const QByteArray& body)
    {
        m_status = status;
        m_body = body;
    }
    int requestCount() const { return int(m_paths.size()); }
    const QStringList& paths() const { return m_paths; }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket* socket)
    {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        if (pending.size() > kMaximumHeaderBytes || m_paths.size() >= kMaximumRequests) {
            socket->abort();
            return;
        }
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
        m_paths.append(requestLine.size() > 1 ? QString::fromLatin1(requestLine[1]) : QString());
        m_pending.remove(socket);
        const QByteArray reason = m_status == 200 ? "OK" : "Error";
        socket->write("HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reason +
                      "\r\nContent-Type: application/xml\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
    int m_status = 200;
    QByteArray m_body;
    QStringList m_paths;
};
