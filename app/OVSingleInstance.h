#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

// One running program per user and settings folder: a later start hands its request (open these
// files, or come forward) to the running one over a local socket and ends. The socket lives in the
// user's runtime folder and answers only processes of the same user; what arrives is checked and
// bounded before anything acts on it.
class OVSingleInstance : public QObject {
public:
    enum class Command { Open, Activate, NewDocument };
    struct Request {
        Command command = Command::Activate;
        // Absolute paths, for Open.
        QStringList paths;
    };
    // What the running program answers a request with: 0 handled, 2 failed.
    using Handler = std::function<int(const Request& request)>;

    static constexpr int kMaximumPaths = 1024;
    static constexpr int kMaximumPathBytes = 4096;
    static constexpr int kMaximumMessageBytes = 1 << 20;

    // The socket of the settings folder the program uses now.
    static QString serverName();

    // Answered for a request delivered but not answered in time: the running program hangs.
    static constexpr int kReplyPending = -1;
    // How long a later start waits for the answer. The running program answers as soon as it has
    // decided the request (a long script takes a while to open), before it shows what went wrong.
    static constexpr int kAnswerTimeoutMilliseconds = 120000;

    // Hands request to the running program and answers its reply; empty when no program runs there
    // or the request could not be delivered within timeoutMilliseconds.
    static std::optional<int>
    sendToRunningInstance(const Request& request, const QString& name = serverName(),
                          int timeoutMilliseconds = 2000,
                          int answerTimeoutMilliseconds = kAnswerTimeoutMilliseconds);

    // The message a request travels as, and its reading; reading refuses anything malformed.
    static QByteArray encode(const Request& request);
    static std::optional<Request> decode(const QByteArray& message);

    explicit OVSingleInstance(Handler handler);
    ~OVSingleInstance() override;

    // Starts answering on name; false when another program already answers there.
    bool listen(const QString& name = serverName());
    bool isListening() const;
    QString fullServerName() const;

private:
    void acceptConnection();
    void readFrom(QLocalSocket* socket);

    Handler m_handler;
    std::unique_ptr<QLocalServer> m_server;
};
