#include "platform/FrameClock.h"
#include "players/Scenario.h"
#include "players/SimulatedPlayers.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

// Scenario files are read from disk and may be written by hand: every
// mistake must be refused with the file and the place named, and no file
// may make the reader take unbounded memory.
class TestScenario : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void refusals_data();
    void refusals();
    void oversizedFiles();
    void missingFile();
    void readsEveryField();
    void eventsRunInFrameOrder();
    void demoScenarioLoads();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

void TestScenario::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QImage cover(8, 8, QImage::Format_RGB32);
    cover.fill(Qt::red);
    QVERIFY(cover.save(m_dir.filePath(QStringLiteral("red.png"))));
}

QString TestScenario::write(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void TestScenario::refusals_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");

    QTest::newRow("not JSON") << QByteArray("{\"players\": [") << QStringLiteral("bad.json: not JSON");
    QTest::newRow("top level is a list") << QByteArray("[]")
                                         << QStringLiteral("bad.json: expected an object at the top level");
    QTest::newRow("unknown top-level key") << QByteArray(R"({"player": []})")
                                           << QStringLiteral("bad.json: player: unknown key");
    QTest::newRow("volume out of range") << QByteArray(R"({"volume": 150})")
                                         << QStringLiteral("bad.json: volume: must be between 0 and 100");
    QTest::newRow("volume not whole") << QByteArray(R"({"volume": 5.5})")
                                      << QStringLiteral("bad.json: volume: expected a whole number");
    QTest::newRow("process not text") << QByteArray(R"({"processes": ["Finder", 3]})")
                                      << QStringLiteral("bad.json: processes[1]: expected a string");
    QTest::newRow("unknown player")
        << QByteArray(R"({"players": [{"name": "Winamp"}]})")
        << QStringLiteral("bad.json: players[0].name: unknown player \"Winamp\"");
    QTest::newRow("player name in wrong case")
        << QByteArray(R"({"players": [{"name": "itunes"}]})")
        << QStringLiteral("bad.json: players[0].name: unknown player \"itunes\"");
    QTest::newRow("player listed twice")
        << QByteArray(R"({"players": [{"name": "Spotify"}, {"name": "Spotify"}]})")
        << QStringLiteral("bad.json: players[1].name: Spotify is listed twice");
    QTest::newRow("duration of the wrong type")
        << QByteArray(R"({"players": [{"name": "Spotify"},
                         {"name": "iTunes", "tracks": [{"name": "A", "duration": "245"}]}]})")
        << QStringLiteral("bad.json: players[1].tracks[0].duration: expected a number");
    QTest::newRow("negative duration")
        << QByteArray(R"({"players": [{"name": "iTunes", "tracks": [{"duration": -1}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].duration: must be between 0 and");
    QTest::newRow("field the player never answers")
        << QByteArray(R"({"players": [{"name": "Spotify", "tracks": [{"lyrics": "la"}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].lyrics: Spotify has no script that reads it");
    QTest::newRow("unknown track key")
        << QByteArray(R"({"players": [{"name": "iTunes", "tracks": [{"title": "A"}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].title: unknown key");
    QTest::newRow("missing image file")
        << QByteArray(R"({"players": [{"name": "iTunes", "tracks": [{"artwork": ["red.png", "gone.png"]}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].artwork[1]: no such file \"gone.png\"");
    QTest::newRow("artwork not a list")
        << QByteArray(R"({"players": [{"name": "iTunes", "tracks": [{"artwork": "red.png"}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].artwork: expected a list");
    QTest::newRow("more artworks than the player can ask for")
        << QByteArray(R"({"players": [{"name": "iTunes", "tracks": [{"artwork":
                         ["red.png", "red.png", "red.png", "red.png", "red.png", "red.png", "red.png"]}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].artwork: more than 6 items");
    QTest::newRow("artwork address off this machine")
        << QByteArray(R"({"players": [{"name": "Hermes", "tracks": [{"artworkUrl": "http://example.com/a.jpg"}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].artworkUrl: expected an http address on this machine");
    QTest::newRow("artwork address of another scheme")
        << QByteArray(R"({"players": [{"name": "Hermes", "tracks": [{"artworkUrl": "file:///etc/passwd"}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].artworkUrl: expected an http address");
    QTest::newRow("not a date")
        << QByteArray(R"({"players": [{"name": "iTunes", "tracks": [{"dateAdded": "last May"}]}]})")
        << QStringLiteral("bad.json: players[0].tracks[0].dateAdded: expected a date");
    QTest::newRow("unknown state")
        << QByteArray(R"({"players": [{"name": "iTunes", "state": "running"}]})")
        << QStringLiteral("bad.json: players[0].state: expected \"playing\", \"paused\" or \"stopped\"");
    QTest::newRow("playing without tracks")
        << QByteArray(R"({"players": [{"name": "iTunes", "state": "playing"}]})")
        << QStringLiteral("bad.json: players[0].state: a player without tracks can only be stopped");
    QTest::newRow("current track beyond the list")
        << QByteArray(R"({"players": [{"name": "iTunes", "track": 1, "tracks": [{}]}]})")
        << QStringLiteral("bad.json: players[0].track: must be between 0 and 0");
    QTest::newRow("status answer for an unknown state")
        << QByteArray(R"({"players": [{"name": "Spotify", "statusAnswers": {"busy": "x"}}]})")
        << QStringLiteral("bad.json: players[0].statusAnswers.busy: expected");
    QTest::newRow("status answer that is a list")
        << QByteArray(R"({"players": [{"name": "Spotify", "statusAnswers": {"playing": []}}]})")
        << QStringLiteral("bad.json: players[0].statusAnswers.playing: expected a text");
    QTest::newRow("library of a player without library script")
        << QByteArray(R"({"players": [{"name": "Spotify", "library": ["red.png"]}]})")
        << QStringLiteral("bad.json: players[0].library: Spotify has no library script");
    QTest::newRow("event for a player not in the scenario")
        << QByteArray(R"({"players": [{"name": "iTunes"}], "events": [{"frame": 5, "player": "Spotify", "action": "pause"}]})")
        << QStringLiteral("bad.json: events[0].player: no player \"Spotify\" in this scenario");
    QTest::newRow("unknown action")
        << QByteArray(R"({"players": [{"name": "iTunes"}], "events": [{"frame": 5, "player": "iTunes", "action": "explode"}]})")
        << QStringLiteral("bad.json: events[0].action: expected one of");
    QTest::newRow("seek without seconds")
        << QByteArray(R"({"players": [{"name": "iTunes"}], "events": [{"frame": 5, "player": "iTunes", "action": "seek"}]})")
        << QStringLiteral("bad.json: events[0].seconds: missing");
    QTest::newRow("key that does not belong to the action")
        << QByteArray(R"({"players": [{"name": "iTunes"}], "events": [{"frame": 5, "player": "iTunes", "action": "pause", "seconds": 3}]})")
        << QStringLiteral("bad.json: events[0].seconds: unknown key");
    QTest::newRow("negative frame")
        << QByteArray(R"({"players": [{"name": "iTunes"}], "events": [{"frame": -1, "player": "iTunes", "action": "pause"}]})")
        << QStringLiteral("bad.json: events[0].frame: must be between 0");
    // The second event (in the file) runs first and adds one track; index 1
    // only exists after the inline track of the third.
    QTest::newRow("track index that does not exist yet")
        << QByteArray(R"({"players": [{"name": "iTunes", "tracks": [{}]}], "events": [
                         {"frame": 9, "player": "iTunes", "action": "track", "track": {"name": "B"}},
                         {"frame": 5, "player": "iTunes", "action": "track", "track": 1}]})")
        << QStringLiteral("bad.json: events[1].track: no track 1: the player has 1 then");
    QTest::newRow("inline track with a field the player never answers")
        << QByteArray(R"({"players": [{"name": "Radium"}], "events": [
                         {"frame": 1, "player": "Radium", "action": "track", "track": {"artist": "A"}}]})")
        << QStringLiteral("bad.json: events[0].track.artist: Radium has no script that reads it");
}

void TestScenario::refusals()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    const FrameClock clock{QDateTime::fromSecsSinceEpoch(0, Qt::UTC)};
    QString error;
    const auto players = SimulatedPlayers::fromJson(json, m_dir.filePath(QStringLiteral("bad.json")), clock, &error);
    QVERIFY(!players);
    QVERIFY2(error.startsWith(message), qPrintable(error));
    QVERIFY2(!error.contains(u'\n'), "a refusal is one line");

    // The same through a file on disk.
    const QString path = write(QStringLiteral("bad.json"), json);
    error.clear();
    QVERIFY(!SimulatedPlayers::load(path, clock, &error));
    QVERIFY2(error.startsWith(message), qPrintable(error));
}

void TestScenario::oversizedFiles()
{
    const FrameClock clock{QDateTime::fromSecsSinceEpoch(0, Qt::UTC)};
    QString error;

    // A scenario over 4 MiB, padded with white space so that it would parse.
    QByteArray big = "{\"players\": []" + QByteArray(int(Scenario::maxFileBytes), ' ') + "}";
    const QString bigPath = write(QStringLiteral("big.json"), big);
    QVERIFY(!SimulatedPlayers::load(bigPath, clock, &error));
    QCOMPARE(error, QStringLiteral("big.json: larger than 4 MiB"));
    QVERIFY(!SimulatedPlayers::fromJson(big, QStringLiteral("big.json"), clock, &error));
    QCOMPARE(error, QStringLiteral("big.json: larger than 4 MiB"));

    // An image one byte over 20 MiB (a sparse file costs no disk).
    QFile image(m_dir.filePath(QStringLiteral("huge.png")));
    QVERIFY(image.open(QIODevice::WriteOnly));
    QVERIFY(image.resize(Scenario::maxImageBytes + 1));
    image.close();
    QVERIFY(!SimulatedPlayers::fromJson(
        R"({"players": [{"name": "Swinsian", "tracks": [{"artwork": ["huge.png"]}]}]})",
        m_dir.filePath(QStringLiteral("img.json")), clock, &error));
    QCOMPARE(error, QStringLiteral("img.json: players[0].tracks[0].artwork[0]: \"huge.png\" is larger than 20 MiB"));

    // More tracks than the cap, spread over two players.
    QByteArray many = R"({"players": [{"name": "iTunes", "tracks": [)";
    for (int i = 0; i < 600; ++i)
        many += i ? ",{}" : "{}";
    many += R"(]}, {"name": "Music", "tracks": [)";
    for (int i = 0; i < 600; ++i)
        many += i ? ",{}" : "{}";
    many += "]}]}";
    QVERIFY(!SimulatedPlayers::fromJson(many, QStringLiteral("many.json"), clock, &error));
    QVERIFY2(error.startsWith(QStringLiteral("many.json: players[1].tracks[400]: more than 1000 tracks")),
             qPrintable(error));
}

void TestScenario::missingFile()
{
    const FrameClock clock{QDateTime::fromSecsSinceEpoch(0, Qt::UTC)};
    QString error;
    QVERIFY(!SimulatedPlayers::load(m_dir.filePath(QStringLiteral("absent.json")), clock, &error));
    QVERIFY2(error.startsWith(QStringLiteral("absent.json: cannot read")), qPrintable(error));
    QVERIFY(!SimulatedPlayers::load(m_dir.path(), clock, &error)); // a directory is no scenario
}

void TestScenario::readsEveryField()
{
    const QByteArray json = R"({
        "description": "every field once",
        "volume": 30,
        "processes": ["Finder"],
        "players": [{
            "name": "iTunes", "processName": "itunes", "running": false, "state": "paused",
            "statusAnswers": {"paused": "paused", "playing": true, "stopped": null},
            "track": 1, "position": 12.345,
            "library": ["red.png"],
            "tracks": [{}, {
                "name": "N", "artist": "A", "album": "B", "duration": 245.5, "artwork": ["red.png"],
                "rating": 80, "loved": true, "disliked": false, "streamTitle": "S", "lyrics": "L",
                "kind": "K", "bitRate": 256, "sampleRate": 44100, "year": 1999,
                "dateAdded": "2019-05-17T21:30:00Z", "playedDate": "2020-01-01T00:00:00+01:00",
                "playCount": 12
            }]
        }, {
            "name": "Spotify", "tracks": [{"popularity": 40, "url": "spotify:track:x",
                                           "artworkUrl": "http://{server}/a.jpg"}]
        }]
    })";
    QString error;
    const std::optional<Scenario> s = Scenario::parse(json, m_dir.filePath(QStringLiteral("all.json")), &error);
    QVERIFY2(s, qPrintable(error));
    QCOMPARE(s->volume, 30);
    QCOMPARE(s->processes, QStringList{QStringLiteral("Finder")});
    QCOMPARE(s->players.size(), 2);
    const Scenario::Player &p = s->players.at(0);
    QCOMPARE(p.processName, QStringLiteral("itunes"));
    QVERIFY(!p.running);
    QCOMPARE(p.state, PlayState::Paused);
    QCOMPARE(p.track, 1);
    QCOMPARE(p.positionMs, qint64(12345));
    QCOMPARE(p.statusAnswers.value(PlayState::Paused), ScriptResult::text(QStringLiteral("paused")));
    QCOMPARE(p.statusAnswers.value(PlayState::Playing), ScriptResult::boolean(true));
    QVERIFY(p.statusAnswers.contains(PlayState::Stopped));
    QVERIFY(p.statusAnswers.value(PlayState::Stopped).isNone());
    QVERIFY(p.library && p.library->size() == 1 && p.library->first().startsWith("\x89PNG"));
    const Scenario::Track &t = p.tracks.at(1);
    QCOMPARE(t.durationMs, qint64(245500));
    QCOMPARE(t.artworks.size(), 1);
    QCOMPARE(t.artworks.first(), p.library->first()); // one file, one copy
    QCOMPARE(t.rating, qint64(80));
    QVERIFY(t.loved && !t.disliked);
    QCOMPARE(t.streamTitle, std::optional<QString>(QStringLiteral("S")));
    QCOMPARE(t.dateAdded, QDateTime(QDate(2019, 5, 17), QTime(21, 30), Qt::UTC));
    QCOMPARE(t.playedDate.toUTC(), QDateTime(QDate(2019, 12, 31), QTime(23, 0), Qt::UTC));
    QCOMPARE(t.playCount, qint64(12));
    QVERIFY(!p.tracks.at(0).streamTitle);     // absent: not a stream
    QVERIFY(!p.tracks.at(0).dateAdded.isValid());
    QCOMPARE(s->players.at(1).processName, QStringLiteral("Spotify")); // defaults to the catalogue name
    QVERIFY(s->players.at(1).running);
    QCOMPARE(s->players.at(1).state, PlayState::Stopped);
}

void TestScenario::eventsRunInFrameOrder()
{
    const QByteArray json = R"({"players": [{"name": "iTunes", "tracks": [{}, {}]}], "events": [
        {"frame": 20, "player": "iTunes", "action": "pause"},
        {"frame": 10, "player": "iTunes", "action": "resume"},
        {"frame": 20, "player": "iTunes", "action": "seek", "seconds": 4},
        {"frame": 10, "player": "iTunes", "action": "track", "track": 1, "position": 2},
        {"frame": 30, "player": "iTunes", "action": "launch", "state": "playing"}]})";
    QString error;
    const std::optional<Scenario> s = Scenario::parse(json, QStringLiteral("order.json"), &error);
    QVERIFY2(s, qPrintable(error));
    QList<Scenario::Action> actions;
    QList<qint64> frames;
    for (const Scenario::Event &e : s->events) {
        actions << e.action;
        frames << e.frame;
    }
    using A = Scenario::Action;
    QCOMPARE(frames, (QList<qint64>{10, 10, 20, 20, 30}));
    QCOMPARE(actions, (QList<A>{A::Resume, A::Track, A::Pause, A::Seek, A::Launch}));
    QCOMPARE(s->events.at(1).trackIndex, 1);
    QCOMPARE(s->events.at(1).positionMs, qint64(2000));
    QCOMPARE(s->events.at(3).positionMs, qint64(4000));
    QCOMPARE(s->events.at(4).launchState, PlayState::Playing);
}

void TestScenario::demoScenarioLoads()
{
    const FrameClock clock{QDateTime::fromSecsSinceEpoch(0, Qt::UTC)};
    QString error;
    const auto players = SimulatedPlayers::load(QStringLiteral(COVERLUME_SOURCE_DIR "/scenarios/demo.json"), clock, &error);
    QVERIFY2(players, qPrintable(error));
    QVERIFY(players->processNames().size() >= 2);
}

QTEST_GUILESS_MAIN(TestScenario)
#include "tst_scenario.moc"
