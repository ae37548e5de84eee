#include "broadcast-server/PlayerReport.h"
#include "broadcaster/BroadcastText.h"

#include <QtTest>

using Fields = QHash<QString, QString>;
using Command = PlayerSource::Command;

namespace {

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
};

QTEST_GUILESS_MAIN(TestBroadcastServer)
#include "tst_broadcastserver.moc"
