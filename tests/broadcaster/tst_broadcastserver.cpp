#include "broadcast-server/PlayerReport.h"
#include "broadcaster/BroadcastText.h"

#include <QTcpSocket>
#include <QtTest>
#include <memory>
#include <vector>

using Fields = QHash<QString, QString>;
using Command = PlayerSource::Command;

namespace {

// One raw request to the in-process server on loopback, and everything it
// answered until it closed the connection.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    QByteArray answer;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    socket.connectToHost(QHostAddress::LocalHost, port);
    loop.exec();
    return answer + socket.readAll();
}

// A player source with one player, which may be there or not.
struct FakePlayers final : PlayerSource
{
    bool there = true;
    QList<Command> performed;
    std::optional<Track> playing() override { return std::nullopt; }
    QByteArray artwork() override { return there ? QByteArray("\x89PNG...") : QByteArray(); }
    bool perform(Command command) override { return performed << command, there; }
};

// A client on a loopback address of its own, and what it was answered.
struct Client
{
    QTcpSocket socket;
    QByteArray answer;
    bool closed = false;

    Client(const QString &from, quint16 port, const QByteArray &request)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { answer += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] {
            answer += socket.readAll();
            closed = true;
        });
        socket.bind(QHostAddress(from));
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(5000) && !request.isEmpty())
            socket.write(request);
    }

    int status() const { return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0; }
    // The whole answer arrived: a reset would cut it short.
    bool whole() const
    {
        const qsizetype end = answer.indexOf("\r\n\r\n");
        const qsizetype at = answer.indexOf("Content-Length: ");
        return closed && end > 0 && at > 0 && answer.size() - end - 4 == answer.mid(at + 16, 12).split('\r').first().toLongLong();
    }
};

BroadcastServer::Handler answersOk()
{
    return [](const QString &path) {
        BroadcastServer::Response response;
        response.body = path == "/big" ? QByteArray(32 << 20, 'x') : QByteArray("ok\n");
        return response;
    };
}

} // namespace

class TestBroadcastServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The text itself is checked against the companion's players; here what
    // only some players have is written only for them.
    void writesOnlyWhatThePlayerHas()
    {
        QCOMPARE(PlayerReport::nowPlayingBody(std::nullopt), QByteArray("track : \n"));
        PlayerSource::Track track;
        const QByteArray plain = PlayerReport::nowPlayingBody(track);
        QVERIFY(!plain.contains("spotifyid") && !plain.contains("popularity"));
        track.spotifyID = "spotify:track:1";
        track.popularity = 0;
        const Fields fields = BroadcastText::parseBody(PlayerReport::nowPlayingBody(track));
        QCOMPARE(fields.value("spotifyid"), QStringLiteral("spotify:track:1"));
        QCOMPARE(fields.value("popularity"), QStringLiteral("0"));
    }

    void answersEachPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("allowCommands");
        QTest::addColumn<bool>("there");
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<Command>>("performed");
        QTest::newRow("artwork") << "/artwork" << false << true << 200 << QList<Command>{};
        QTest::newRow("no artwork") << "/artwork" << false << false << 404 << QList<Command>{};
        QTest::newRow("unknown") << "/nothing" << true << true << 404 << QList<Command>{};
        QTest::newRow("commands off") << "/next" << false << true << 403 << QList<Command>{};
        QTest::newRow("play/pause") << "/playpause" << true << true << 200 << QList<Command>{Command::PlayPause};
        QTest::newRow("volume down") << "/volumedown" << true << true << 200 << QList<Command>{Command::VolumeDown};
        QTest::newRow("no player") << "/prev" << true << false << 503 << QList<Command>{Command::Previous};
    }
    void answersEachPath()
    {
        QFETCH(QString, path);
        QFETCH(bool, allowCommands);
        FakePlayers players;
        QFETCH(bool, there);
        players.there = there;
        const BroadcastServer::Response response = PlayerReport(players, allowCommands).respond(path);
        QTEST(response.status, "status");
        QTEST(players.performed, "performed");
        if (response.status == 200 && path == "/artwork")
            QCOMPARE(response.contentType, QByteArray("image/png"));
    }

    // HEAD answers the GET's head, Content-Length included, and no body.
    void headAnswersWithoutTheBody()
    {
        FakePlayers players;
        PlayerReport report(players, false);
        BroadcastServer server([&report](const QString &path) { return report.respond(path); });
        QString error;
        QVERIFY2(server.listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
        const QByteArray get = exchange(server.port(), "GET / HTTP/1.1\r\n\r\n");
        const qsizetype end = get.indexOf("\r\n\r\n") + 4;
        QVERIFY(end > 4 && get.size() > end);
        QVERIFY(get.contains("\r\nContent-Length: " + QByteArray::number(get.size() - end) + "\r\n"));
        QCOMPARE(exchange(server.port(), "HEAD / HTTP/1.1\r\n\r\n"), get.left(end));
    }

    void refusesBadHeads_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::newRow("get") << QByteArray("GET /x?y HTTP/1.0\n\n") << 200;
        QTest::newRow("post") << QByteArray("POST / HTTP/1.1\r\n\r\n") << 405;
        QTest::newRow("no request line") << QByteArray("hello\r\n\r\n") << 400;
        QTest::newRow("bad target") << QByteArray("GET /%zz HTTP/1.1\r\n\r\n") << 400;
        QTest::newRow("huge head") << "GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n" << 431;
    }
    void refusesBadHeads()
    {
        QFETCH(QByteArray, request);
        BroadcastServer server(answersOk());
        QVERIFY(server.listen(QHostAddress::LocalHost, 0, nullptr));
        Client client("127.0.0.1", server.port(), request);
        QTRY_VERIFY(client.closed);
        QTEST(client.status(), "status");
        QVERIFY(client.whole());
    }

    // Clients over the limits wait and are answered in turn; idle ones are
    // closed first when a waiting request needs their slot.
    void overTheLimitsClientsWait_data()
    {
        QTest::addColumn<int>("slots");
        QTest::addColumn<int>("perAddress");
        QTest::addColumn<QStringList>("idle");     // address@connected ms; silent or sending half a head
        QTest::addColumn<QStringList>("requests"); // addresses
        QTest::addColumn<int>("waiting");          // after they all arrived, -1: any
        QTest::addColumn<qint64>("clock");         // then
        QTest::addColumn<QList<bool>>("closed");   // of the idle ones
        QTest::newRow("one address over its limit") << 8 << 2 << QStringList{"127.0.0.3@0", "127.0.0.3@0"}
            << QStringList{"127.0.0.3", "127.0.0.3", "127.0.0.3", "127.0.0.2"} << 3 << qint64(2001)
            << QList<bool>{true, true};
        QTest::newRow("all slots taken, the oldest idle goes") << 2 << 2
            << QStringList{"127.0.0.3@0", "127.0.0.4@100"} << QStringList{"127.0.0.2"} << 1 << qint64(400)
            << QList<bool>{true, false};
        QTest::newRow("many from one address") << 4 << 4 << QStringList{}
            << QStringList(40, "127.0.0.5") << -1 << qint64(0) << QList<bool>{};
    }
    void overTheLimitsClientsWait()
    {
        QFETCH(int, slots);
        QFETCH(int, perAddress);
        QFETCH(QStringList, idle);
        QFETCH(QStringList, requests);
        QFETCH(QList<bool>, closed);
        qint64 now = 0;
        BroadcastServer::Limits limits;
        limits.connections = slots;
        limits.perAddress = perAddress;
        BroadcastServer server(answersOk(), limits, [&now] { return now; });
        QVERIFY(server.listen(QHostAddress::LocalHost, 0, nullptr));
        std::vector<std::unique_ptr<Client>> idlers;
        for (const QString &one : idle) {
            now = one.section('@', 1).toLongLong();
            const QByteArray half = idlers.size() % 2 ? "GET / HT" : "";
            idlers.push_back(std::make_unique<Client>(one.section('@', 0, 0), server.port(), half));
            QTRY_COMPARE(server.servedConnections(), int(idlers.size()));
        }
        // The requests come shortly before the clock moves on, so that their
        // own head deadline is still ahead however slowly the heads are read.
        QFETCH(qint64, clock);
        now = std::max<qint64>(now, clock - 1800);
        std::vector<std::unique_ptr<Client>> clients;
        for (const QString &from : requests)
            clients.push_back(std::make_unique<Client>(from, server.port(), "GET / HTTP/1.1\r\n\r\n"));
        QFETCH(int, waiting);
        if (waiting >= 0)
            QTRY_COMPARE(server.waitingConnections(), waiting);
        now = clock;
        server.checkDeadlines();
        for (const auto &client : clients) {
            QTRY_VERIFY(client->closed);
            QCOMPARE(client->status(), 200);
            QVERIFY(client->whole());
        }
        for (size_t i = 0; i < idlers.size(); ++i) {
            QCOMPARE(idlers[i]->closed, closed.at(i));
            QCOMPARE(idlers[i]->status(), closed.at(i) ? 408 : 0);
        }
    }

    // Nothing is closed at its deadline, everything just after.
    void deadlines_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<qint64>("deadline");
        QTest::addColumn<int>("status");
        QTest::newRow("silent") << QByteArray() << qint64(2000) << 408;
        QTest::newRow("half a head") << QByteArray("GET / HTTP/1.1\r\nX-a: ") << qint64(2000) << 408;
        QTest::newRow("answer not taken") << QByteArray("GET /big HTTP/1.1\r\n\r\n") << qint64(20'000) << 0;
    }
    void deadlines()
    {
        QFETCH(QByteArray, request);
        QFETCH(qint64, deadline);
        qint64 now = 0;
        bool asked = false;
        BroadcastServer server([&asked](const QString &path) { return asked = true, answersOk()(path); },
                               {}, [&now] { return now; });
        QVERIFY(server.listen(QHostAddress::LocalHost, 0, nullptr));
        Client client("127.0.0.2", server.port(), request);
        client.socket.setReadBufferSize(1);
        QTRY_COMPARE(server.servedConnections(), 1);
        if (request.contains("big"))
            QTRY_VERIFY(asked);
        now = deadline;
        server.checkDeadlines();
        QCOMPARE(server.servedConnections(), 1);
        now = deadline + 1;
        server.checkDeadlines();
        QCOMPARE(server.servedConnections(), 0);
        client.socket.setReadBufferSize(0);
        QTRY_VERIFY(client.closed);
        QTEST(client.status(), "status");
    }
};

QTEST_GUILESS_MAIN(TestBroadcastServer)
#include "tst_broadcastserver.moc"
