#include "platform/FrameClock.h"
#include "players/Scenario.h"
#include "players/SimulatedPlayers.h"
#include "support/Pixels.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

// Every field once (defined below the class: moc reads "//" in it as a comment).
extern const QByteArray kEveryField;

// Scenario files are read from disk and may be written by hand: every
// mistake must be refused with the file and the place named, and no file
// may make the reader take unbounded memory.
class TestScenario : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const FrameClock m_clock{QDateTime::fromSecsSinceEpoch(0, Qt::UTC)};

    // The refusal of a file, from memory and from disk alike.
    QString refusal(const QByteArray &json, const QString &name = QStringLiteral("bad.json"))
    {
        QString error, fromDisk;
        const QString path = m_dir.filePath(name);
        if (SimulatedPlayers::fromJson(json, path, m_clock, &error) || !TestFiles::writeBytes(path, json)
            || SimulatedPlayers::load(path, m_clock, &fromDisk) || fromDisk != error)
            return QStringLiteral("accepted, or refused differently from disk: ") + fromDisk;
        return error;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(TestFiles::writeBytes(m_dir.filePath(QStringLiteral("red.png")), Pixels::pngBytes(QSize(8, 8), Qt::red)));
    }

    void refusals()
    {
        const struct { const char *json; const char *message; } cases[] = {
            {"{\"players\": [", "not JSON"},
            {"[]", "expected an object at the top level"},
            {R"({"player": []})", "player: unknown key"},
            {R"({"volume": 150})", "volume: must be between 0 and 100"},
            {R"({"volume": 5.5})", "volume: expected a whole number"},
            {R"({"processes": ["Finder", 3]})", "processes[1]: expected a string"},
            {R"({"players": [{"name": "itunes"}]})", "players[0].name: unknown player \"itunes\""},
            {R"({"players": [{"name": "Spotify"}, {"name": "Spotify"}]})",
             "players[1].name: Spotify is listed twice"},
            {R"({"players": [{"name": "Spotify"}, {"name": "iTunes", "tracks": [{"name": "A", "duration": "245"}]}]})",
             "players[1].tracks[0].duration: expected a number"},
            {R"({"players": [{"name": "iTunes", "tracks": [{"duration": -1}]}]})",
             "players[0].tracks[0].duration: must be between 0 and"},
            {R"({"players": [{"name": "Spotify", "tracks": [{"lyrics": "la"}]}]})",
             "players[0].tracks[0].lyrics: Spotify has no script that reads it"},
            {R"({"players": [{"name": "iTunes", "tracks": [{"title": "A"}]}]})",
             "players[0].tracks[0].title: unknown key"},
            {R"({"players": [{"name": "iTunes", "tracks": [{"artwork": ["red.png", "gone.png"]}]}]})",
             "players[0].tracks[0].artwork[1]: no such file \"gone.png\""},
            {R"({"players": [{"name": "iTunes", "tracks": [{"artwork": "red.png"}]}]})",
             "players[0].tracks[0].artwork: expected a list"},
            {R"({"players": [{"name": "iTunes", "tracks": [{"artwork": ["red.png", "red.png", "red.png", "red.png", "red.png", "red.png", "red.png"]}]}]})",
             "players[0].tracks[0].artwork: more than 6 items"},
            {R"({"players": [{"name": "Hermes", "tracks": [{"artworkUrl": "http://example.com/a.jpg"}]}]})",
             "players[0].tracks[0].artworkUrl: expected an http address on this machine"},
            {R"({"players": [{"name": "Hermes", "tracks": [{"artworkUrl": "file:///etc/passwd"}]}]})",
             "players[0].tracks[0].artworkUrl: expected an http address"},
            {R"({"players": [{"name": "iTunes", "tracks": [{"dateAdded": "last May"}]}]})",
             "players[0].tracks[0].dateAdded: expected a date"},
            {R"({"players": [{"name": "iTunes", "state": "running"}]})",
             "players[0].state: expected \"playing\", \"paused\" or \"stopped\""},
            {R"({"players": [{"name": "iTunes", "state": "playing"}]})",
             "players[0].state: a player without tracks can only be stopped"},
            {R"({"players": [{"name": "iTunes", "track": 1, "tracks": [{}]}]})",
             "players[0].track: must be between 0 and 0"},
            {R"({"players": [{"name": "Spotify", "statusAnswers": {"busy": "x"}}]})",
             "players[0].statusAnswers.busy: expected"},
            {R"({"players": [{"name": "Spotify", "statusAnswers": {"playing": []}}]})",
             "players[0].statusAnswers.playing: expected a text"},
            {R"({"players": [{"name": "Spotify", "library": ["red.png"]}]})",
             "players[0].library: Spotify has no library script"},
            {R"({"players": [{"name": "iTunes"}], "events": [{"frame": 5, "player": "Spotify", "action": "pause"}]})",
             "events[0].player: no player \"Spotify\" in this scenario"},
            {R"({"players": [{"name": "iTunes"}], "events": [{"frame": 5, "player": "iTunes", "action": "explode"}]})",
             "events[0].action: expected one of"},
            {R"({"players": [{"name": "iTunes"}], "events": [{"frame": 5, "player": "iTunes", "action": "seek"}]})",
             "events[0].seconds: missing"},
            {R"({"players": [{"name": "iTunes"}], "events": [{"frame": 5, "player": "iTunes", "action": "pause", "seconds": 3}]})",
             "events[0].seconds: unknown key"},
            // The second event (in the file) runs first and adds one track; index 1
            // only exists after the inline track of the third.
            {R"({"players": [{"name": "iTunes", "tracks": [{}]}], "events": [ {"frame": 9, "player": "iTunes", "action": "track", "track": {"name": "B"}}, {"frame": 5, "player": "iTunes", "action": "track", "track": 1}]})",
             "events[1].track: no track 1: the player has 1 then"},
            {R"({"players": [{"name": "Radium"}], "events": [ {"frame": 1, "player": "Radium", "action": "track", "track": {"artist": "A"}}]})",
             "events[0].track.artist: Radium has no script that reads it"},
            // Events at the display: one key chord, or an idle reading, never both.
            {R"({"events": [{"frame": 1, "key": "Alt+"}]})", "events[0].key: expected one key"},
            {R"({"events": [{"frame": 1, "key": "Ctrl+A, B"}]})", "events[0].key: expected one key"},
            {R"({"events": [{"frame": 1, "key": "x", "idle": 3}]})", "events[0]: expected either"},
            {R"({"events": [{"frame": 1, "idle": -1}]})", "events[0].idle: "},
            {R"({"events": [{"frame": 1, "key": "x", "action": "pause"}]})", "events[0].action: unknown key"},
        };
        for (const auto &c : cases) {
            const QString error = refusal(c.json);
            QVERIFY2(error.startsWith(QStringLiteral("bad.json: ") + QString::fromUtf8(c.message)), qPrintable(error));
            QVERIFY2(!error.contains(u'\n'), "a refusal is one line");
        }
    }

    void oversizedAndMissingFiles()
    {
        // A scenario over 4 MiB, padded with white space so that it would parse.
        QCOMPARE(refusal("{\"players\": []" + QByteArray(int(Scenario::maxFileBytes), ' ') + "}", QStringLiteral("big.json")),
                 QStringLiteral("big.json: larger than 4 MiB"));
        // An image one byte over 20 MiB (a sparse file costs no disk).
        QFile image(m_dir.filePath(QStringLiteral("huge.png")));
        QVERIFY(image.open(QIODevice::WriteOnly) && image.resize(Scenario::maxImageBytes + 1));
        QCOMPARE(refusal(R"({"players": [{"name": "Swinsian", "tracks": [{"artwork": ["huge.png"]}]}]})", QStringLiteral("img.json")),
                 QStringLiteral("img.json: players[0].tracks[0].artwork[0]: \"huge.png\" is larger than 20 MiB"));
        // More tracks than the cap, spread over two players.
        const QByteArray tracks = "{}" + QByteArray(",{}").repeated(599);
        const QString many = refusal(R"({"players": [{"name": "iTunes", "tracks": [)" + tracks
                                     + R"(]}, {"name": "Music", "tracks": [)" + tracks + "]}]}", QStringLiteral("many.json"));
        QVERIFY2(many.startsWith(QStringLiteral("many.json: players[1].tracks[400]: more than 1000 tracks")), qPrintable(many));

        QString error;
        QVERIFY(!SimulatedPlayers::load(m_dir.filePath(QStringLiteral("absent.json")), m_clock, &error));
        QVERIFY2(error.startsWith(QStringLiteral("absent.json: cannot read")), qPrintable(error));
        QVERIFY(!SimulatedPlayers::load(m_dir.path(), m_clock, &error)); // a directory is no scenario
    }

    void readsEveryField()
    {
        QString error;
        const std::optional<Scenario> s = Scenario::parse(kEveryField, m_dir.filePath(QStringLiteral("all.json")), &error);
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

    // Free texts are cut at 64 Ki characters, as a real player's titles are.
    void longTextsAreCut()
    {
        const QString longName(100000, u'n');
        const QByteArray json = QStringLiteral(R"({"players": [{"name": "iTunes", "tracks": [{"name": "%1", "artist": "a"}]}]})")
                                    .arg(longName).toUtf8();
        QString error;
        const std::optional<Scenario> s = Scenario::parse(json, m_dir.filePath(QStringLiteral("long.json")), &error);
        QVERIFY2(s, qPrintable(error));
        QCOMPARE(s->players.at(0).tracks.at(0).name, longName.left(Scenario::maxTextLength));
        QCOMPARE(s->players.at(0).tracks.at(0).artist, QStringLiteral("a"));
    }

    void eventsRunInFrameOrder()
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
        using A = Scenario::Action;
        QList<std::pair<qint64, A>> order;
        for (const Scenario::Event &e : s->events)
            order << std::pair(e.frame, e.action);
        QCOMPARE(order, (QList<std::pair<qint64, A>>{{10, A::Resume}, {10, A::Track}, {20, A::Pause}, {20, A::Seek}, {30, A::Launch}}));
        QCOMPARE(s->events.at(1).trackIndex, 1);
        QCOMPARE(s->events.at(1).positionMs, qint64(2000));
        QCOMPARE(s->events.at(3).positionMs, qint64(4000));
        QCOMPARE(s->events.at(4).launchState, PlayState::Playing);
    }

    void demoScenarioLoads()
    {
        QString error;
        const auto players = SimulatedPlayers::load(QStringLiteral(COVERLUME_SOURCE_DIR "/scenarios/demo.json"), m_clock, &error);
        QVERIFY2(players, qPrintable(error));
        QVERIFY(players->processNames().size() >= 2);
    }
};

const QByteArray kEveryField = R"({
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

QTEST_GUILESS_MAIN(TestScenario)
#include "tst_scenario.moc"
