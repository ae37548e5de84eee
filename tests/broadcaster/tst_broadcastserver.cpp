#include "broadcast-server/PlayerReport.h"
#include "broadcaster/BroadcastText.h"

#include <QTcpSocket>
#include <QtTest>

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
};

QTEST_GUILESS_MAIN(TestBroadcastServer)
#include "tst_broadcastserver.moc"
