// The channel a later start hands its request over: what travels, what the running program
// refuses, and a whole exchange through a real local socket.
#include "app/OVInstanceBus.h"
#include "app/OVSingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

using Request = OVSingleInstance::Request;
using Command = OVSingleInstance::Command;

// A literal with its embedded NUL characters kept.
template <size_t N> QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

QByteArray framed(const QByteArray& body)
{
    QByteArray message(4, '\0');
    qToBigEndian(quint32(body.size()), message.data());
    return message + body;
}

TEST(SingleInstanceMessages, RequestsSurviveTheTrip)
{
    const Request open{Command::Open,
                       {QStringLiteral("/home/anna/Die Rede.ovdocument"), QStringLiteral("/tmp/ü.rtf")}};
    const std::optional<Request> read = OVSingleInstance::decode(OVSingleInstance::encode(open));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->command, Command::Open);
    EXPECT_EQ(read->paths, open.paths);
    for (const Command command : {Command::Activate, Command::NewDocument}) {
        const std::optional<Request> plain =
            OVSingleInstance::decode(OVSingleInstance::encode({command, {}}));
        ASSERT_TRUE(plain);
        EXPECT_EQ(plain->command, command);
        EXPECT_TRUE(plain->paths.isEmpty());
    }
}

TEST(SingleInstanceMessages, MalformedRequestsAreRefused)
{
    const QByteArray good = OVSingleInstance::encode({Command::Open, {QStringLiteral("/tmp/a.rtf")}});
    const QByteArray body = good.mid(4);
    const QByteArray cases[] = {
        {},
        good.left(3),
        good.chopped(1),                                       // shorter than it says
        good + 'x',                                            // longer than it says
        framed(bytes("ORVANE-REQUEST-2\nopen\n/tmp/a.rtf\0")), // another version
        framed("ORVANE-REQUEST-1\nprint\n"),                   // no such command
        framed("ORVANE-REQUEST-1\nopen"),                      // command never ends
        framed(bytes("ORVANE-REQUEST-1\nopen\nrelative.rtf\0")),
        framed(bytes("ORVANE-REQUEST-1\nopen\n/tmp/a\0\0")), // an empty path
        framed("ORVANE-REQUEST-1\nopen\n/tmp/unterminated"),
        framed(bytes("ORVANE-REQUEST-1\nopen\n/tmp/\xff\xfe\0")), // not UTF-8
        framed(bytes("ORVANE-REQUEST-1\nactivate\n/tmp/a\0")),    // paths only go with open
        framed(QByteArray("ORVANE-REQUEST-1\nopen\n/") + QByteArray(5000, 'a') + QByteArray(1, '\0')),
    };
    int index = 0;
    for (const QByteArray& message : cases)
        EXPECT_FALSE(OVSingleInstance::decode(message).has_value()) << "case " << index++;
    EXPECT_TRUE(OVSingleInstance::decode(framed(body)).has_value());

    QByteArray many = "ORVANE-REQUEST-1\nopen\n";
    for (int i = 0; i <= OVSingleInstance::kMaximumPaths; ++i)
        many += QByteArray("/tmp/f") + QByteArray::number(i) + '\0';
    EXPECT_FALSE(OVSingleInstance::decode(framed(many)).has_value());
    QByteArray huge(4, '\0');
    qToBigEndian(quint32(0xFFFFFFF0u), huge.data());
    EXPECT_FALSE(OVSingleInstance::decode(huge + "ORVANE").has_value());
}

// What an Open call on the bus may carry: anyone on the session bus can send one.
TEST(SingleInstanceBusRequests, OnlyFileUrisOfAbsoluteLocalPathsAreRead)
{
    const QStringList paths{QStringLiteral("/home/anna/Die Rede.ovdocument"), QStringLiteral("/tmp/ü #1%.rtf")};
    const std::optional<Request> read = OVInstanceBus::requestFromUris(OVInstanceBus::urisFromPaths(paths));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->command, Command::Open);
    EXPECT_EQ(read->paths, paths);
    const std::optional<Request> local =
        OVInstanceBus::requestFromUris({QStringLiteral("file://localhost/tmp/a/../b.rtf")});
    ASSERT_TRUE(local);
    EXPECT_EQ(local->paths, QStringList{QStringLiteral("/tmp/b.rtf")});

    const QString refused[] = {
        QStringLiteral("https://example.org/a.rtf"),
        QStringLiteral("relative.rtf"),
        QStringLiteral("/tmp/a.rtf"), // a path is not a URI
        QStringLiteral("file:relative.rtf"),
        QStringLiteral("file://otherhost/tmp/a.rtf"),
        QStringLiteral("file:///tmp/a.rtf?x=1"),
        QStringLiteral("file:///tmp/a.rtf#top"),
        QStringLiteral("file:///tmp/%FF%FE.rtf"), // not UTF-8 once unescaped
        QStringLiteral("file:///tmp/a%00b.rtf"),
        QStringLiteral("file:///tmp/") + QString(5000, u'a'),
        QStringLiteral("file:///tmp/") + QString(OVInstanceBus::kMaximumUriLength, u'a'),
        QStringLiteral("file:///tmp/") + QString(OVSingleInstance::kMaximumPathBytes / 2 + 1, u'%').replace(
                                             QStringLiteral("%"), QStringLiteral("%C3%BC")),
        QString(),
        QStringLiteral("file:///tmp/a b"), // strict reading: spaces come escaped
    };
    int index = 0;
    for (const QString& uri : refused) {
        QString why;
        EXPECT_FALSE(OVInstanceBus::requestFromUris({QStringLiteral("file:///tmp/good.rtf"), uri}, &why))
            << "case " << index;
        EXPECT_FALSE(why.isEmpty()) << "case " << index++;
    }
    EXPECT_FALSE(OVInstanceBus::requestFromUris({}));
    QStringList many;
    for (int i = 0; i <= OVSingleInstance::kMaximumPaths; ++i)
        many << QStringLiteral("file:///tmp/f%1").arg(i);
    EXPECT_FALSE(OVInstanceBus::requestFromUris(many));
    many.removeLast();
    EXPECT_TRUE(OVInstanceBus::requestFromUris(many));
}

// Runs on settings of their own never reach the user's everyday program on the bus.
TEST(SingleInstanceBusRequests, TheBusNameFollowsTheSettingsFolder)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir one;
    QTemporaryDir two;
    qputenv("XDG_CONFIG_HOME", one.path().toUtf8());
    const QString first = OVInstanceBus::serviceName();
    qputenv("XDG_CONFIG_HOME", two.path().toUtf8());
    const QString second = OVInstanceBus::serviceName();
    qunsetenv("XDG_CONFIG_HOME");
    const QString usual = OVInstanceBus::serviceName();
    qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(usual, QLatin1String(OVInstanceBus::kApplicationId));
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.startsWith(usual + QStringLiteral(".s"))) << first.toStdString();
    EXPECT_EQ(first.size(), usual.size() + 2 + 16);
}

class SingleInstanceServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        name = folder.filePath(QStringLiteral("orvane-test"));
        ASSERT_TRUE(server.listen(name));
    }
    // Runs the event loop until done says so, for at most two seconds of waiting on the socket.
    void pumpUntil(const std::function<bool()>& done)
    {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    QTemporaryDir folder;
    QString name;
    std::vector<Request> received;
    OVSingleInstance server{[this](const Request& request) {
        received.push_back(request);
        return request.paths.isEmpty() ? 2 : 0;
    }};
};

TEST_F(SingleInstanceServer, AnswersAWholeRequestSentInPieces)
{
    QLocalSocket client;
    client.connectToServer(name);
    const QByteArray message =
        OVSingleInstance::encode({Command::Open, {QStringLiteral("/tmp/x.ovdocument")}});
    client.write(message.left(7));
    client.flush();
    pumpUntil([] { return false; });
    EXPECT_TRUE(received.empty());
    client.write(message.mid(7));
    pumpUntil([&] { return client.bytesAvailable() > 0; });
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received.front().paths, QStringList{QStringLiteral("/tmp/x.ovdocument")});
    EXPECT_EQ(client.read(1), QByteArray(1, '\0'));
}

TEST_F(SingleInstanceServer, DropsAClientThatAnnouncesTooMuch)
{
    QLocalSocket client;
    client.connectToServer(name);
    QByteArray prefix(4, '\0');
    qToBigEndian(quint32(OVSingleInstance::kMaximumMessageBytes + 1), prefix.data());
    client.write(prefix + "ORVANE");
    pumpUntil([&] { return client.state() == QLocalSocket::UnconnectedState; });
    EXPECT_EQ(client.state(), QLocalSocket::UnconnectedState);
    EXPECT_TRUE(received.empty());
}

TEST_F(SingleInstanceServer, ASecondServerOnTheSameNameIsRefused)
{
    OVSingleInstance second([](const Request&) { return 0; });
    EXPECT_FALSE(second.listen(name));
    // Nobody answers on a name that was never served.
    EXPECT_FALSE(OVSingleInstance::sendToRunningInstance({}, folder.filePath(QStringLiteral("none")), 200));
}

} // namespace
