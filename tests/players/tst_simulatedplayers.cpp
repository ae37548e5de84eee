#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/SimulatedPlayers.h"
#include "players/VolumeStep.h"
#include "support/Pixels.h"
#include "support/ScriptTexts.h"
#include "support/TestFiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ScriptResult)

using Op = ScriptVocabulary::Operation;

namespace {

// A player's state in one line: "B paused r80 loved".
QString describe(const std::optional<SimulatedPlayers::PlayerStatus> &s)
{
    if (!s)
        return QStringLiteral("(absent)");
    QString line = QStringLiteral("%1 %2 r%3").arg(s->trackName, PlayStates::word(s->state)).arg(s->rating);
    if (s->loved)
        line += QStringLiteral(" loved");
    if (s->disliked)
        line += QStringLiteral(" disliked");
    return s->running ? line : line + QStringLiteral(" not running");
}

const QDateTime kEpoch = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);

// One player of each answer form. (Addresses in JSON here write "\/\/" for
// "//", which moc would take for a comment.)
const QByteArray kAllPlayers = R"({
  "processes": ["Finder"],
  "players": [
    {"name": "Spotify", "state": "playing", "position": 30, "tracks": [
      {"name": "Spot One", "duration": 215, "artwork": ["a.png"], "artworkUrl": "http:\/\/{server}/art/1.jpg"}]},
    {"name": "iTunes", "processName": "itunes", "state": "playing", "statusAnswers": {"playing": "playing"}, "tracks": [
      {"name": "Tune One", "duration": 245.5, "artwork": ["a.png", "b.png"], "loved": true,
       "dateAdded": "2019-05-17T21:30:00Z"}]},
    {"name": "Music", "state": "paused", "tracks": [
      {"name": "Stream", "streamTitle": "Some Artist - Some Album - Some Song"}]},
    {"name": "Snowtape", "state": "playing", "tracks": [{"name": "Snow Song"}]},
    {"name": "Ecoute", "state": "playing", "tracks": [{"name": "Eco", "duration": 180}]},
    {"name": "Radium", "state": "playing", "statusAnswers": {"playing": null}, "tracks": [{"name": "Radio Artist - Radio Song [live]"}]},
    {"name": "Hermes", "state": "playing", "tracks": [{"name": "Herm", "duration": 240}]},
    {"name": "Airfoil Satellite", "state": "playing", "tracks": [{"name": "Air"}]},
    {"name": "Audirvana", "state": "stopped", "tracks": [{"name": "Aud", "duration": 300}]},
    {"name": "Rdio", "running": false, "state": "playing", "tracks": [{"name": "R"}]}
  ]
})";

} // namespace

class TestSimulatedPlayers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_a, m_b, m_c;

    std::unique_ptr<SimulatedPlayers> make(const QByteArray &json, const FrameClock &clock)
    {
        QString error;
        auto players = SimulatedPlayers::fromJson(json, m_dir.filePath(QStringLiteral("test.json")), clock, &error);
        if (!players)
            qWarning("%s", qPrintable(error));
        return players;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const struct { const char *name; Qt::GlobalColor color; QByteArray *bytes; } covers[] = {
            {"a.png", Qt::red, &m_a}, {"b.png", Qt::green, &m_b}, {"c.png", Qt::blue, &m_c}};
        for (const auto &cover : covers) {
            *cover.bytes = Pixels::pngBytes(QSize(4, 4), cover.color);
            QVERIFY(TestFiles::writeBytes(m_dir.filePath(QString::fromLatin1(cover.name)), *cover.bytes));
        }
    }

    // One row per answer form and per status code.
    void answers_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<ScriptResult>("expected");
        QTest::addColumn<QString>("error");
        const auto text = [](const char *t) { return ScriptResult::text(QString::fromUtf8(t)); };
        const auto row = [](const char *name, const QString &script, const ScriptResult &expected,
                            const char *error = "") {
            QTest::newRow(name) << script << expected << QString::fromUtf8(error);
        };
        const auto s = [](const char *player, Op op, int argument = 0) {
            return scriptText(QString::fromUtf8(player), op, argument);
        };

        row("process list", s("System Events", Op::ProcessList),
            ScriptResult::list({text("Finder"), text("Spotify"), text("itunes"), text("Music"), text("Snowtape"),
                                text("Ecoute"), text("Radium"), text("Hermes"), text("Airfoil Satellite"),
                                text("Audirvana")}));
        row("code playing", s("Spotify", Op::Status), text("kPSP"));
        row("code paused", s("Music", Op::Status), text("kPSp"));
        row("code stopped", s("Audirvana", Op::Status), text("kPSS"));
        row("Ecoute's code", s("Ecoute", Op::Status), text("PSTl"));
        row("Hermes' word", s("Hermes", Op::Status), text("play"));
        row("status as a boolean", s("Snowtape", Op::Status), ScriptResult::boolean(true));
        row("the file's own status answer", s("iTunes", Op::Status), text("playing"));
        row("no status answer", s("Radium", Op::Status), ScriptResult(), "Radium gives no status");
        row("not running", s("Rdio", Op::Status), ScriptResult(), "Rdio is not running");
        row("not in the scenario", s("Swinsian", Op::Status), ScriptResult(), "Swinsian is not running");
        row("duration in ms", s("Spotify", Op::Duration), ScriptResult::integer(215000));
        row("duration in seconds", s("iTunes", Op::Duration), ScriptResult::real(245.5));
        row("a stream lasts 0", s("Music", Op::Duration), ScriptResult::real(0));
        row("position", s("Spotify", Op::Position), ScriptResult::real(30));
        row("artwork address with the server", s("Spotify", Op::ArtworkUrl), text("http://127.0.0.1/art/1.jpg"));
        row("front artwork", s("Spotify", Op::Artwork, 1), ScriptResult::bytes(m_a));
        row("second artwork", s("iTunes", Op::Artwork, 2), ScriptResult::bytes(m_b));
        row("missing artwork", s("iTunes", Op::Artwork, 3), ScriptResult(),
            "iTunes: the current track has no artwork 3");
        row("boolean", s("iTunes", Op::Loved), ScriptResult::boolean(true));
        row("date", s("iTunes", Op::DateAdded),
            ScriptResult::date(QDateTime(QDate(2019, 5, 17), QTime(21, 30), Qt::UTC)));
        row("missing date", s("iTunes", Op::PlayedDate), ScriptResult());
        row("not a stream", s("iTunes", Op::StreamTitle), ScriptResult());
        row("stream title", s("Music", Op::StreamTitle), text("Some Artist - Some Album - Some Song"));
        row("station's one line", s("Radium", Op::Name), text("Radio Artist - Radio Song [live]"));
        row("Airfoil's title", s("Airfoil Satellite", Op::TrackTitle), text("Air"));
        row("stopped has no track", s("Audirvana", Op::Name), ScriptResult(), "Audirvana has no current track");
        // Near misses: what the real receivers would refuse.
        const QString name = s("iTunes", Op::Name);
        row("missing trailing space", QString(name).replace(QStringLiteral(" \r end"), QStringLiteral("\r end")),
            ScriptResult(), "unknown script");
        row("line feeds for returns", QString(name).replace(u'\r', u'\n'), ScriptResult(), "unknown script");
        row("returns in the random-artwork script", QString(s("iTunes", Op::RandomArtwork)).replace(u'\n', u'\r'),
            ScriptResult(), "unknown script");
        row("Ecoute has no next", QStringLiteral("tell application \"Ecoute\"\rnext track\rend tell"), ScriptResult(),
            "unknown script");
        row("empty", QString(), ScriptResult(), "empty script");
    }

    void answers()
    {
        QFETCH(QString, script);
        QFETCH(ScriptResult, expected);
        QFETCH(QString, error);
        FrameClock clock(kEpoch);
        const auto players = make(kAllPlayers, clock);
        QVERIFY(players);
        QString message = QStringLiteral("stale");
        const ScriptResult result = players->execute(script, &message);
        QVERIFY2(result == expected, qPrintable(result.stringValue() + QStringLiteral(" (%1 bytes)").arg(result.data().size())));
        QCOMPARE(message, error);
        QCOMPARE(players->executions().size(), 1);
        QCOMPARE(players->executions().first().answered, error.isEmpty());
        QCOMPARE(players->compile(script), error != QLatin1String("unknown script") && !script.isEmpty());
    }

    void volumeRule_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("expected");
        QTest::newRow("up") << 50 << true << 60;
        QTest::newRow("up at 90 stops at 100") << 90 << true << 100;
        QTest::newRow("down at 11 stops at 1") << 11 << false << 1;
        QTest::newRow("down at 10") << 10 << false << 1;
        QTest::newRow("down at 0") << 0 << false << 1;
    }

    // The rule, and the volume scripts of the stand-in that follow it.
    void volumeRule()
    {
        QFETCH(int, current);
        QFETCH(bool, up);
        QFETCH(int, expected);
        QCOMPARE(steppedVolume(current, up), expected);
        FrameClock clock(kEpoch);
        const auto players = make(QStringLiteral("{\"volume\": %1}").arg(current).toUtf8(), clock);
        QString error = QStringLiteral("stale");
        QVERIFY(players->execute(scriptText(QString(), up ? Op::VolumeUp : Op::VolumeDown), &error).isNone());
        QVERIFY(error.isEmpty());
        QCOMPARE(players->volume(), expected);
    }

    // Each row starts afresh from the same players and runs its commands in
    // turn; the last command's error and the player's state are compared.
    void commands()
    {
        const QByteArray json = R"({"players": [
            {"name": "Music", "state": "playing", "position": 30, "tracks": [
              {"name": "A", "duration": 100, "loved": true}, {"name": "B", "duration": 100}, {"name": "C", "duration": 100}]},
            {"name": "Hermes", "state": "playing", "tracks": [{"name": "H1"}, {"name": "H2"}]},
            {"name": "Snowtape", "state": "paused", "tracks": [{"name": "S"}]},
            {"name": "Rdio", "tracks": [{"name": "R"}]},
            {"name": "iTunes", "running": false, "state": "playing", "tracks": [{"name": "T"}]}]})";
        struct Step { const char *player; Op op; int argument; };
        const struct {
            const char *what;
            std::vector<Step> steps;
            const char *error;
            const char *after;
        } cases[] = {
            {"back wraps", {{"Music", Op::Previous, 0}}, "", "C playing r0"},
            {"next", {{"Music", Op::Next, 0}}, "", "B playing r0"},
            {"next wraps", {{"Music", Op::Previous, 0}, {"Music", Op::Next, 0}}, "", "A playing r0 loved"},
            {"rating", {{"Music", Op::SetRating, 80}}, "", "A playing r80 loved"},
            {"marks stay with their track",
             {{"Music", Op::SetRating, 80}, {"Music", Op::Next, 0}, {"Music", Op::Previous, 0}}, "", "A playing r80 loved"},
            {"disliked excludes loved", {{"Music", Op::SetDisliked, 1}}, "", "A playing r0 disliked"},
            {"loved excludes disliked", {{"Music", Op::SetDisliked, 1}, {"Music", Op::SetLoved, 1}}, "", "A playing r0 loved"},
            {"unloved", {{"Music", Op::SetLoved, 0}}, "", "A playing r0"},
            {"playpause pauses", {{"Music", Op::PlayPause, 0}}, "", "A paused r0 loved"},
            {"playpause plays", {{"Music", Op::PlayPause, 0}, {"Music", Op::PlayPause, 0}}, "", "A playing r0 loved"},
            {"thumbs up", {{"Hermes", Op::ThumbsDown, 0}, {"Hermes", Op::ThumbsUp, 0}}, "", "H1 playing r1"},
            {"thumbs down", {{"Hermes", Op::ThumbsUp, 0}, {"Hermes", Op::ThumbsDown, 0}}, "", "H1 playing r0 disliked"},
            {"tired of song", {{"Hermes", Op::Next, 0}}, "", "H2 playing r0"},
            {"pause", {{"Hermes", Op::Pause, 0}}, "", "H1 paused r0"},
            {"play only plays", {{"Snowtape", Op::Play, 0}, {"Snowtape", Op::Play, 0}}, "", "S playing r0"},
            {"pause only pauses", {{"Snowtape", Op::Pause, 0}}, "", "S paused r0"},
            {"stopped has no track to change", {{"Rdio", Op::Next, 0}}, "Rdio has no current track", "R stopped r0"},
            {"stopped stays stopped on pause", {{"Rdio", Op::Pause, 0}}, "", "R stopped r0"},
            {"stopped plays on playpause", {{"Rdio", Op::PlayPause, 0}}, "", "R playing r0"},
            {"not running", {{"iTunes", Op::PlayPause, 0}}, "iTunes is not running", "T playing r0 not running"},
        };
        for (const auto &c : cases) {
            FrameClock clock(kEpoch);
            const auto players = make(json, clock);
            QVERIFY(players);
            QString error;
            for (const Step &step : c.steps)
                players->execute(scriptText(QString::fromUtf8(step.player), step.op, step.argument), &error);
            const QString player = QString::fromUtf8(c.steps.back().player);
            QVERIFY2(error == QString::fromUtf8(c.error), qPrintable(QStringLiteral("%1: %2").arg(c.what, error)));
            QVERIFY2(describe(players->player(player)) == QString::fromUtf8(c.after),
                     qPrintable(QStringLiteral("%1: %2").arg(c.what, describe(players->player(player)))));
        }
    }

    void executionLog()
    {
        FrameClock clock(kEpoch);
        const auto players = make(R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [{"name": "T"}]}]})", clock);
        const QString name = scriptText(QStringLiteral("iTunes"), Op::Name);
        players->execute(name);
        clock.beginFrame();
        clock.beginFrame();
        players->execute(QStringLiteral("say \"hello\"\\"));
        const QString path = m_dir.filePath(QStringLiteral("log.jsonl"));
        QString error;
        QVERIFY2(players->writeExecutionLog(path, &error), qPrintable(error));
        const QList<QByteArray> lines = TestFiles::readBytes(path).split('\n');
        QCOMPARE(lines.size(), 3); // two lines and the empty rest after the last newline
        QCOMPARE(lines.at(0), QByteArray("{\"frame\":0,\"script\":\"tell app \\\"iTunes\\\"\\rname of current track \\r end tell\","
                                          "\"answered\":true}"));
        const QJsonObject last = QJsonDocument::fromJson(lines.at(1)).object();
        QCOMPARE(last.value(u"frame").toInteger(), 2);
        QCOMPARE(last.value(u"script").toString(), QStringLiteral("say \"hello\"\\"));
        QCOMPARE(last.value(u"answered").toBool(true), false);
        QVERIFY(!players->writeExecutionLog(m_dir.filePath(QStringLiteral("no/such/dir/log.jsonl")), &error));
        QVERIFY(!error.isEmpty());
        players->clearExecutions();
        QVERIFY(players->executions().isEmpty());
    }

    // 20 frames a second: positions move only while playing, a track that
    // ends gives way to the next and the last to the first, a stream never ends.
    void timeline()
    {
        FrameClock clock(kEpoch);
        const auto players = make(R"({"players": [
            {"name": "iTunes", "state": "playing", "position": 9, "tracks": [{"name": "One", "duration": 10}, {"name": "Two", "duration": 2}]},
            {"name": "Radium", "state": "playing", "tracks": [{"name": "R"}]}]})", clock);
        const auto at = [&](qint64 frame, const char *player = "iTunes") {
            while (clock.frame() < frame)
                clock.beginFrame();
            return *players->player(QString::fromLatin1(player));
        };
        QCOMPARE(at(10).positionSeconds, 9.5);
        players->execute(scriptText(QStringLiteral("iTunes"), Op::PlayPause));
        QCOMPARE(at(100).positionSeconds, 9.5);
        players->execute(scriptText(QStringLiteral("iTunes"), Op::PlayPause));
        QCOMPARE(at(109).trackName, QStringLiteral("One")); // at 9.95 s
        QCOMPARE(at(110).trackIndex, 1);
        QCOMPARE(at(110).positionSeconds, 0.0);
        QCOMPARE(at(150).trackIndex, 0); // Two lasts 40 frames
        QCOMPARE(at(1000, "Radium").positionSeconds, 50.0);
    }

    // Reading the state rarely must give what reading it every frame gives,
    // also across many laps of the track list.
    void lazyCatchUpMatchesFrameByFrame()
    {
        const QByteArray json = R"({"players": [{"name": "Swinsian", "state": "playing", "position": 1.3,
            "tracks": [{"name": "A", "duration": 3.33}, {"name": "B", "duration": 0.07}, {"name": "C", "duration": 5}]}],
            "events": [{"frame": 700, "player": "Swinsian", "action": "seek", "seconds": 2.2},
                       {"frame": 1500, "player": "Swinsian", "action": "pause"}]})";
        FrameClock everyFrame(kEpoch);
        FrameClock rarely(kEpoch);
        const auto stepped = make(json, everyFrame);
        const auto lazy = make(json, rarely);
        const QString name = QStringLiteral("Swinsian");
        for (qint64 frame = 1; frame <= 2000; ++frame) {
            everyFrame.beginFrame();
            rarely.beginFrame();
            const auto expected = stepped->player(name);
            if (frame % 487 == 0 || frame == 699 || frame == 700 || frame == 2000) {
                const auto actual = lazy->player(name);
                QCOMPARE(actual->trackIndex, expected->trackIndex);
                QCOMPARE(actual->positionSeconds, expected->positionSeconds);
                QCOMPARE(actual->state, expected->state);
            }
        }
        // Ten million frames are 500,000 s: 3,333,333 laps of 150 ms and
        // 50 ms more, the whole first track.
        FrameClock far(kEpoch);
        const auto longRun = make(R"({"players": [{"name": "Swinsian", "state": "playing",
            "tracks": [{"duration": 0.05}, {"duration": 0.1}]}]})", far);
        for (int i = 0; i < 10000000; ++i)
            far.beginFrame();
        QCOMPARE(longRun->player(name)->positionSeconds, 0.0);
        QCOMPARE(longRun->player(name)->trackIndex, 1);
    }

    void timedEvents()
    {
        FrameClock clock(kEpoch);
        const auto players = make(R"({"players": [
            {"name": "iTunes", "state": "paused", "tracks": [{"name": "One", "duration": 100}, {"name": "Two", "duration": 100}]},
            {"name": "Spotify", "running": false, "tracks": [{"name": "S", "duration": 60}]}],
          "events": [
            {"frame": 0, "player": "iTunes", "action": "resume"},
            {"frame": 10, "player": "iTunes", "action": "pause"},
            {"frame": 20, "player": "iTunes", "action": "next"},
            {"frame": 20, "player": "iTunes", "action": "resume"},
            {"frame": 30, "player": "iTunes", "action": "seek", "seconds": 50},
            {"frame": 40, "player": "iTunes", "action": "track", "track": {"name": "Three", "duration": 30}, "position": 5},
            {"frame": 50, "player": "Spotify", "action": "launch", "state": "playing"},
            {"frame": 60, "player": "iTunes", "action": "quit"},
            {"frame": 70, "player": "iTunes", "action": "pause"},
            {"frame": 80, "player": "iTunes", "action": "launch"}]})", clock);
        const auto at = [&](qint64 frame, const char *player = "iTunes") {
            while (clock.frame() < frame)
                clock.beginFrame();
            const auto s = players->player(QString::fromLatin1(player));
            return QStringLiteral("%1 @%2").arg(describe(s)).arg(s->positionSeconds);
        };
        QCOMPARE(at(0), QStringLiteral("One playing r0 @0")); // frame-0 events apply at the first look
        QCOMPARE(at(10), QStringLiteral("One paused r0 @0.5"));
        QCOMPARE(at(25), QStringLiteral("Two playing r0 @0.25"));
        QCOMPARE(at(31), QStringLiteral("Two playing r0 @50.05"));
        QCOMPARE(at(40), QStringLiteral("Three playing r0 @5"));
        QCOMPARE(at(49, "Spotify"), QStringLiteral("S stopped r0 not running @0"));
        QCOMPARE(at(50, "Spotify"), QStringLiteral("S playing r0 @0"));
        QCOMPARE(at(60), QStringLiteral("Three stopped r0 not running @6"));
        QCOMPARE(players->processNames(), QStringList{QStringLiteral("Spotify")});
        // The pause at 70 found it not running; launched stopped at 80, without a track.
        at(80);
        QCOMPARE(describe(players->player(QStringLiteral("iTunes"))), QStringLiteral("Three stopped r0"));
        QString error;
        QVERIFY(players->execute(scriptText(QStringLiteral("iTunes"), Op::Name), &error).isNone());
        QCOMPARE(error, QStringLiteral("iTunes has no current track"));
    }

    void randomArtwork()
    {
        FrameClock clock(kEpoch);
        const auto players = make(R"({"players": [
            {"name": "iTunes", "library": ["c.png", "b.png"]},
            {"name": "Music", "tracks": [{"artwork": ["a.png", "b.png"]}, {}, {"artwork": ["c.png"]}]}]})", clock);
        const auto next = [&](const char *player) {
            QString error;
            const ScriptResult r = players->execute(scriptText(QString::fromLatin1(player), Op::RandomArtwork), &error);
            return r.isNone() ? error : r.data() == m_a ? QStringLiteral("a") : r.data() == m_b ? QStringLiteral("b")
                                                      : r.data() == m_c ? QStringLiteral("c") : QStringLiteral("?");
        };
        // Round robin over the library covers; a stopped player still has its library.
        QStringList seen;
        for (int i = 0; i < 3; ++i)
            seen << next("iTunes");
        // Without a library, the front artworks of the player's own tracks.
        for (int i = 0; i < 4; ++i)
            seen << next("Music");
        QCOMPARE(seen, (QStringList{"c", "b", "c", "a", "Music: the chosen track has no artwork", "c", "a"}));
    }

    void serverAddress()
    {
        FrameClock clock(kEpoch);
        const auto players = make(R"({"players": [{"name": "Hermes", "state": "paused",
            "tracks": [{"artworkUrl": "http:\/\/{server}/covers/1.jpg"}]}]})", clock);
        const QString art = scriptText(QStringLiteral("Hermes"), Op::ArtworkUrl);
        QVERIFY(players->setServerAddress(QStringLiteral("127.0.0.1:45123")));
        QCOMPARE(players->execute(art).stringValue(), QStringLiteral("http://127.0.0.1:45123/covers/1.jpg"));
        QVERIFY(players->setServerAddress(QStringLiteral("localhost:8080")));
        QVERIFY(players->setServerAddress(QStringLiteral("[::1]:8080")));
        for (const char *refused : {"192.168.1.2:80", "example.com", "127.0.0.1/evil"})
            QVERIFY2(!players->setServerAddress(QString::fromLatin1(refused)), refused);
        QCOMPARE(players->execute(art).stringValue(), QStringLiteral("http://[::1]:8080/covers/1.jpg"));
    }

    void notifications()
    {
        FrameClock clock(kEpoch);
        const auto players = make(R"({"players": [
            {"name": "iTunes", "state": "playing", "tracks": [{"name": "One", "artist": "A", "duration": 1},
                                                             {"name": "Two", "duration": 100}]},
            {"name": "Swinsian", "state": "playing", "tracks": [{"name": "S", "duration": 1}, {"name": "S2"}]},
            {"name": "Spotify", "state": "paused", "tracks": [{"name": "Sp", "url": "spotify:track:9"}]}],
          "events": [{"frame": 5, "player": "Spotify", "action": "resume"}]})", clock);
        const QString playPause = scriptText(QStringLiteral("iTunes"), Op::PlayPause);
        const QString next = scriptText(QStringLiteral("iTunes"), Op::Next);
        players->execute(playPause); // without a centre nothing is posted and nothing breaks
        players->execute(playPause);

        NotificationCenter center;
        QStringList seen;
        const auto field = [](const Notification &n, const char *key) {
            return n.userInfo.value(QString::fromLatin1(key)).toString();
        };
        center.addObserver(this, QString(), [&](const Notification &n) {
            QStringList parts{n.name, field(n, "Player State"), field(n, "Name"), field(n, "Artist"), field(n, "Track ID")};
            parts.removeAll(QString());
            seen << parts.join(u' ');
        });
        players->setNotificationCenter(&center);
        players->execute(playPause);
        // A rating change is no news.
        players->execute(scriptText(QStringLiteral("iTunes"), Op::SetRating, 40));
        players->execute(playPause);
        // Frame 20: iTunes' one-second track ends, Swinsian's too (it posts
        // nothing); Spotify resumed at frame 5. Each changed player posts once.
        for (int i = 0; i < 20; ++i)
            clock.beginFrame();
        players->processNames();
        QCOMPARE(seen, (QStringList{QStringLiteral("com.apple.iTunes.playerInfo Paused One A"),
                                    QStringLiteral("com.apple.iTunes.playerInfo Playing One A"),
                                    QStringLiteral("com.apple.iTunes.playerInfo Playing Two"),
                                    QStringLiteral("com.spotify.client.PlaybackStateChanged Playing Sp spotify:track:9")}));

        // An observer that runs a command while being told: its change is
        // posted too, after the first delivery has finished.
        seen.clear();
        center.removeObserver(this);
        bool reacted = false;
        center.addObserver(this, QStringLiteral("com.apple.iTunes.playerInfo"), [&](const Notification &n) {
            seen << field(n, "Name");
            if (!std::exchange(reacted, true))
                players->execute(next);
        });
        players->execute(next);
        QCOMPARE(seen, (QStringList{QStringLiteral("One"), QStringLiteral("Two")}));
        players->setNotificationCenter(nullptr);
        center.removeObserver(this);
    }
};

QTEST_GUILESS_MAIN(TestSimulatedPlayers)
#include "tst_simulatedplayers.moc"
