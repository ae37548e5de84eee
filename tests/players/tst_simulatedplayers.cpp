#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/SimulatedPlayers.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ScriptResult)

class TestSimulatedPlayers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void scripts_data();
    void scripts();
    void volume_data();
    void volume();
    void notRunningAndUnknown();
    void statusOverrides();
    void executionRecord();
    void positionAdvancesOnlyWhilePlaying();
    void trackEndMovesOnAndWraps();
    void lazyCatchUpMatchesFrameByFrame();
    void timedEvents();
    void commands();
    void randomArtwork();
    void serverAddress();
    void notifications();

private:
    std::unique_ptr<SimulatedPlayers> make(const QByteArray &json, const FrameClock &clock);
    QTemporaryDir m_dir;
    QByteArray m_a, m_b, m_c;
};

namespace {

QString show(const ScriptResult &r)
{
    if (r.isNone())
        return QStringLiteral("(none)");
    if (r.isList()) {
        QStringList items;
        for (int i = 1; i <= r.numberOfItems(); ++i)
            items << show(r.descriptorAtIndex(i));
        return u'{' + items.join(u',') + u'}';
    }
    if (!r.stringValue().isNull())
        return u'"' + r.stringValue() + u'"';
    return QStringLiteral("%1 bytes").arg(r.data().size());
}

QString ok() { return QString(); }

// The texts below are written out in full, character for character, as the
// display sends them; they must not be built from the stand-in's own table.
const QString kITunesTrack = QStringLiteral("tell app \"iTunes\"\rname of current track \r end tell");
const QString kITunesPlayPause = QStringLiteral("tell application \"iTunes\"\rplaypause\rend tell");
const QString kITunesNext = QStringLiteral("tell application \"iTunes\"\rnext track\rend tell");
const QString kITunesBack = QStringLiteral("tell application \"iTunes\"\rback track\rend tell");
const QString kITunesPosition = QStringLiteral("tell application \"iTunes\"\rplayer position\rend tell");
const QString kITunesStatus = QStringLiteral("tell app \"iTunes\"\rplayer state \r end tell");
const QString kProcesses = QStringLiteral("tell application \"System Events\"\rname of every process\rend tell");
const QString kVolumeUp = QStringLiteral(
    "set curVolume to output volume of (get volume settings)\rif curVolume < 90 then\rset newVolume to "
    "curVolume + 10\relse\rset newVolume to 100\rend if\rset volume output volume newVolume");
const QString kVolumeDown = QStringLiteral(
    "set curVolume to output volume of (get volume settings)\rif curVolume > 10 then\rset newVolume to "
    "curVolume - 10\relse\rset newVolume to 1\rend if\rset volume output volume newVolume");

// Eleven players, one of each, most of them playing.
const QByteArray kAllPlayers = R"({
  "volume": 50,
  "processes": ["Finder", "Dock"],
  "players": [
    {"name": "Spotify", "state": "playing", "position": 30, "tracks": [
      {"name": "Spot One", "artist": "Spot Artist", "album": "Spot Album", "duration": 215,
       "artwork": ["a.png"], "artworkUrl": "http://{server}/art/1.jpg", "popularity": 62,
       "url": "spotify:track:1", "playCount": 7}]},
    {"name": "iTunes", "processName": "itunes", "state": "playing", "position": 12.5, "tracks": [
      {"name": "Tune One", "artist": "Tune Artist", "album": "Tune Album", "duration": 245.5,
       "artwork": ["a.png", "b.png"], "rating": 60, "loved": true, "lyrics": "la la",
       "kind": "MPEG audio file", "bitRate": 256, "sampleRate": 44100, "year": 1999,
       "dateAdded": "2019-05-17T21:30:00Z", "playCount": 12},
      {"name": "Tune Two", "duration": 100}]},
    {"name": "Music", "state": "paused", "tracks": [
      {"name": "Stream", "streamTitle": "Some Artist - Some Album - Some Song"}]},
    {"name": "Snowtape", "state": "playing", "tracks": [
      {"name": "Snow Song", "artist": "Snow Artist", "album": "Radio Snow", "artwork": ["b.png"]}]},
    {"name": "Ecoute", "state": "playing", "tracks": [
      {"name": "Eco", "artist": "Eco Artist", "album": "Eco Album", "rating": 4, "duration": 180,
       "artwork": ["c.png"]}]},
    {"name": "Rdio", "state": "paused", "tracks": [
      {"name": "Rd", "artist": "Rd Artist", "album": "Rd Album", "duration": 200}]},
    {"name": "Radium", "state": "playing", "tracks": [
      {"name": "Radio Artist - Radio Song [live]", "album": "Station R"}]},
    {"name": "Swinsian", "state": "playing", "tracks": [
      {"name": "Swin", "artist": "Swin Artist", "album": "Swin Album", "duration": 321, "rating": 4,
       "bitRate": 320, "bitDepth": 24, "sampleRate": 96000, "kind": "FLAC", "year": 2004,
       "dateAdded": "2018-01-02T03:04:05Z", "playedDate": "2020-02-03T04:05:06Z", "playCount": 3,
       "artwork": ["c.png"]}]},
    {"name": "Hermes", "state": "playing", "tracks": [
      {"name": "Herm", "artist": "Herm Artist", "album": "Herm Album", "duration": 240, "rating": 1,
       "artworkUrl": "http://127.0.0.1:8080/h.jpg"}]},
    {"name": "Airfoil Satellite", "state": "playing", "tracks": [
      {"name": "Air", "artist": "Air Artist", "album": "Air Album", "artwork": ["a.png"]}]},
    {"name": "Audirvana", "state": "stopped", "tracks": [
      {"name": "Aud", "artist": "Aud Artist", "album": "Aud Album", "duration": 300}]}
  ]
})";

} // namespace


void TestSimulatedPlayers::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const struct { const char *name; Qt::GlobalColor color; QByteArray *bytes; } covers[] = {
        {"a.png", Qt::red, &m_a}, {"b.png", Qt::green, &m_b}, {"c.png", Qt::blue, &m_c}};
    for (const auto &cover : covers) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(cover.color);
        const QString path = m_dir.filePath(QString::fromLatin1(cover.name));
        QVERIFY(image.save(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        *cover.bytes = file.readAll();
    }
}

std::unique_ptr<SimulatedPlayers> TestSimulatedPlayers::make(const QByteArray &json, const FrameClock &clock)
{
    QString error;
    auto players = SimulatedPlayers::fromJson(json, m_dir.filePath(QStringLiteral("test.json")), clock, &error);
    if (!players)
        qWarning("%s", qPrintable(error));
    return players;
}

void TestSimulatedPlayers::scripts_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<ScriptResult>("expected");
    QTest::addColumn<QString>("error");

    const auto text = [](const char *t) { return ScriptResult::text(QString::fromUtf8(t)); };
    const auto utc = [](int y, int mo, int d, int h, int mi, int s) {
        return ScriptResult::date(QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC));
    };
    const auto row = [](const char *name, const char *script, const ScriptResult &expected, const QString &error) {
        QTest::newRow(name) << QString::fromUtf8(script) << expected << error;
    };

    QTest::newRow("process list")
        << kProcesses
        << ScriptResult::list({text("Finder"), text("Dock"), text("Spotify"), text("itunes"), text("Music"),
                               text("Snowtape"), text("Ecoute"), text("Rdio"), text("Radium"), text("Swinsian"),
                               text("Hermes"), text("Airfoil Satellite"), text("Audirvana")})
        << ok();

    row("Spotify status", "tell app \"Spotify\"\rplayer state \r end tell", text("kPSP"), ok());
    row("Spotify duration in ms", "tell application \"Spotify\"\rduration of current track\rend tell",
        ScriptResult::integer(215000), ok());
    row("Spotify position", "tell application \"Spotify\"\rplayer position\rend tell", ScriptResult::real(30), ok());
    row("Spotify artwork url", "tell application \"Spotify\"\rartwork url of current track\rend tell",
        text("http://127.0.0.1/art/1.jpg"), ok());
    row("Spotify artwork", "tell app \"Spotify\"\rartwork of current track \r end tell", ScriptResult::bytes(m_a), ok());

    row("iTunes status", "tell app \"iTunes\"\rplayer state \r end tell", text("kPSP"), ok());
    row("iTunes duration is real", "tell application \"iTunes\"\rduration of current track\rend tell",
        ScriptResult::real(245.5), ok());
    row("iTunes loved", "tell application \"iTunes\"\rloved of current track\rend tell", ScriptResult::boolean(true), ok());
    row("iTunes disliked", "tell application \"iTunes\"\rdisliked of current track\rend tell",
        ScriptResult::boolean(false), ok());
    row("iTunes date added", "tell application \"iTunes\"\rdate added of current track\rend tell",
        utc(2019, 5, 17, 21, 30, 0), ok());
    row("iTunes never played", "tell application \"iTunes\"\rplayed date of current track\rend tell",
        ScriptResult(), ok());
    row("iTunes front artwork", "tell app \"iTunes\"\rdata of front artwork of current track \r end tell",
        ScriptResult::bytes(m_a), ok());
    row("iTunes artwork 2", "tell app \"iTunes\"\rdata of artwork 2 of current track \r end tell",
        ScriptResult::bytes(m_b), ok());
    row("iTunes artwork 3 missing", "tell app \"iTunes\"\rdata of artwork 3 of current track \r end tell",
        ScriptResult(), QStringLiteral("iTunes: the current track has no artwork 3"));
    row("iTunes not a stream", "tell application \"iTunes\"\rcurrent stream title\rend tell", ScriptResult(), ok());

    row("Music paused", "tell app \"Music\"\rplayer state \r end tell", text("kPSp"), ok());
    row("Music stream title", "tell application \"Music\"\rcurrent stream title\rend tell",
        text("Some Artist - Some Album - Some Song"), ok());
    row("Music stream duration", "tell application \"Music\"\rduration of current track\rend tell",
        ScriptResult::real(0), ok());

    row("Snowtape playing", "tell app \"Snowtape\"\rplaying \r end tell", ScriptResult::boolean(true), ok());
    row("Snowtape artwork", "tell app \"Snowtape\"\rcurrent song artwork \r end tell", ScriptResult::bytes(m_b), ok());

    row("Ecoute status", "tell app \"Ecoute\"\rplayer state\r end tell", text("PSTl"), ok());

    row("Rdio paused", "tell app \"Rdio\"\rplayer state\r end tell", text("kPSp"), ok());

    row("Radium playing", "tell app \"Radium\"\rplaying \r end tell", ScriptResult::boolean(true), ok());
    row("Radium track name", "tell app \"Radium\"\rtrack name \r end tell", text("Radio Artist - Radio Song [live]"), ok());

    row("Swinsian status", "tell app \"Swinsian\"\rplayer state \r end tell", text("kPSP"), ok());
    row("Swinsian last played", "tell application \"Swinsian\"\rlast played of current track\rend tell",
        utc(2020, 2, 3, 4, 5, 6), ok());

    row("Hermes status", "tell app \"Hermes\"\rplayback state \r end tell", text("play"), ok());
    row("Hermes artwork address", "tell application \"Hermes\"\rartwork URL of current song\r end tell",
        text("http://127.0.0.1:8080/h.jpg"), ok());
    row("Hermes duration", "tell application \"Hermes\"\rcurrent song duration\rend tell", ScriptResult::real(240), ok());

    row("Airfoil title is its status", "tell application \"Airfoil Satellite\"\rtrack title\r end tell", text("Air"), ok());
    row("Airfoil artwork", "tell application \"Airfoil Satellite\"\rartwork\r end tell", ScriptResult::bytes(m_a), ok());

    row("Audirvana stopped", "tell application \"Audirvana\"\rplayer state\r end tell", text("kPSS"), ok());
    row("Audirvana stopped has no track", "tell application \"Audirvana\"\rplaying track title\r end tell",
        ScriptResult(), QStringLiteral("Audirvana has no current track"));

    // Near misses: what the real receivers would refuse.
    row("missing trailing space", "tell app \"iTunes\"\rname of current track\r end tell", ScriptResult(),
        QStringLiteral("unknown script"));
    row("tell application for tell app", "tell application \"iTunes\"\rname of current track \r end tell",
        ScriptResult(), QStringLiteral("unknown script"));
    row("line feeds for returns", "tell app \"iTunes\"\nname of current track \n end tell", ScriptResult(),
        QStringLiteral("unknown script"));
    row("returns in the random-artwork script",
        "tell application \"iTunes\"\rset someTrack to some track of user playlist \"Music\"\r"
        "return data of front artwork of someTrack\rend tell",
        ScriptResult(), QStringLiteral("unknown script"));
    row("Ecoute has no next", "tell application \"Ecoute\"\rnext track\rend tell", ScriptResult(),
        QStringLiteral("unknown script"));
    row("empty", "", ScriptResult(), QStringLiteral("empty script"));
}

void TestSimulatedPlayers::scripts()
{
    QFETCH(QString, script);
    QFETCH(ScriptResult, expected);
    QFETCH(QString, error);

    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(kAllPlayers, clock);
    QVERIFY(players);
    QString message = QStringLiteral("stale");
    const ScriptResult result = players->execute(script, &message);
    QVERIFY2(result == expected, qPrintable(show(result) + QStringLiteral(" instead of ") + show(expected)));
    QCOMPARE(message, error);
    QCOMPARE(players->executions().size(), 1);
    QCOMPARE(players->executions().first().answered, error.isEmpty());
    QCOMPARE(players->compile(script), error != QLatin1String("unknown script") && !script.isEmpty());
}

void TestSimulatedPlayers::volume_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("expected");
    QTest::newRow("up from 50") << 50 << true << 60;
    QTest::newRow("up from 90 stops at 100") << 90 << true << 100;
    QTest::newRow("up from 100") << 100 << true << 100;
    QTest::newRow("down from 50") << 50 << false << 40;
    QTest::newRow("down from 10 stops at 1") << 10 << false << 1;
    QTest::newRow("down from 0") << 0 << false << 1;
}

void TestSimulatedPlayers::volume()
{
    QFETCH(int, start);
    QFETCH(bool, up);
    QFETCH(int, expected);
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(QStringLiteral("{\"volume\": %1}").arg(start).toUtf8(), clock);
    QVERIFY(players);
    QCOMPARE(players->volume(), start);
    QString error = QStringLiteral("stale");
    QVERIFY(players->execute(up ? kVolumeUp : kVolumeDown, &error).isNone());
    QVERIFY(error.isEmpty());
    QCOMPARE(players->volume(), expected);
    QVERIFY(players->executions().first().answered);

    const auto defaults = make("{}", clock);
    QCOMPARE(defaults->volume(), 50);
}

void TestSimulatedPlayers::notRunningAndUnknown()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [{"name": "iTunes", "running": false, "state": "playing",
                                  "tracks": [{"name": "T"}]}]})", clock);
    QVERIFY(players);
    QString error;
    QVERIFY(players->execute(kITunesStatus, &error).isNone());
    QCOMPARE(error, QStringLiteral("iTunes is not running"));
    QVERIFY(players->execute(kITunesPlayPause, &error).isNone());
    QCOMPARE(error, QStringLiteral("iTunes is not running"));
    QCOMPARE(players->player(QStringLiteral("iTunes"))->state, PlayState::Playing); // untouched
    // A player the scenario does not list at all.
    QVERIFY(players->execute(QStringLiteral("tell app \"Rdio\"\rplayer state\r end tell"), &error).isNone());
    QCOMPARE(error, QStringLiteral("Rdio is not running"));
    QVERIFY(!players->player(QStringLiteral("Rdio")));
    // Neither shows in the process list.
    const ScriptResult processes = players->execute(kProcesses, &error);
    QVERIFY(error.isEmpty());
    QCOMPARE(processes.numberOfItems(), 0);
    QVERIFY(processes.isList());
    for (const SimulatedPlayers::Execution &e : players->executions().mid(0, 3))
        QVERIFY(!e.answered);
}

void TestSimulatedPlayers::statusOverrides()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [{"name": "Spotify", "state": "playing",
        "statusAnswers": {"playing": "playing", "paused": null}, "tracks": [{"name": "S"}]}]})", clock);
    QVERIFY(players);
    const QString status = QStringLiteral("tell app \"Spotify\"\rplayer state \r end tell");
    QString error;
    QCOMPARE(players->execute(status, &error), ScriptResult::text(QStringLiteral("playing")));
    players->execute(QStringLiteral("tell application \"Spotify\"\rplaypause\rend tell"));
    QVERIFY(players->execute(status, &error).isNone()); // paused: the status script fails
    QCOMPARE(error, QStringLiteral("Spotify gives no status"));
    players->execute(QStringLiteral("tell application \"Spotify\"\rplaypause\rend tell"));
    QCOMPARE(players->execute(status, &error), ScriptResult::text(QStringLiteral("playing")));
}

void TestSimulatedPlayers::executionRecord()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [{"name": "T"}]}]})", clock);
    QVERIFY(players);
    players->execute(kITunesTrack);
    clock.beginFrame();
    clock.beginFrame();
    players->execute(QStringLiteral("tell app \"iTunes\"\rname of current track\r end tell"));
    players->execute(QStringLiteral("say \"hello\"\\"));

    const QList<SimulatedPlayers::Execution> &record = players->executions();
    QCOMPARE(record.size(), 3);
    QCOMPARE(record.at(0).frame, qint64(0));
    QCOMPARE(record.at(0).script, kITunesTrack);
    QVERIFY(record.at(0).answered);
    QCOMPARE(record.at(1).frame, qint64(2));
    QVERIFY(!record.at(1).answered);

    const QString path = m_dir.filePath(QStringLiteral("log.jsonl"));
    QString error;
    QVERIFY2(players->writeExecutionLog(path, &error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // three lines and the empty rest after the last newline
    QVERIFY(lines.at(3).isEmpty());
    QCOMPARE(lines.at(0), QByteArray(R"({"frame":0,"script":"tell app \"iTunes\"\rname of current track \r end tell","answered":true})"));
    const QJsonObject last = QJsonDocument::fromJson(lines.at(2)).object();
    QCOMPARE(last.value(u"frame").toInteger(), 2);
    QCOMPARE(last.value(u"script").toString(), QStringLiteral("say \"hello\"\\"));
    QCOMPARE(last.value(u"answered").toBool(true), false);

    QVERIFY(!players->writeExecutionLog(m_dir.filePath(QStringLiteral("no/such/dir/log.jsonl")), &error));
    QVERIFY(!error.isEmpty());

    players->clearExecutions();
    QVERIFY(players->executions().isEmpty());
}

void TestSimulatedPlayers::positionAdvancesOnlyWhilePlaying()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [{"name": "iTunes", "state": "playing", "position": 10,
        "tracks": [{"name": "T", "duration": 300}]}]})", clock);
    QVERIFY(players);
    for (int i = 0; i < 20; ++i)
        clock.beginFrame();
    QCOMPARE(players->execute(kITunesPosition).stringValue(), QStringLiteral("11")); // 20 frames: one second
    clock.beginFrame();
    QCOMPARE(players->execute(kITunesPosition), ScriptResult::real(11.05));

    players->execute(kITunesPlayPause); // paused at frame 21
    for (int i = 0; i < 100; ++i)
        clock.beginFrame();
    QCOMPARE(players->player(QStringLiteral("iTunes"))->positionSeconds, 11.05);
    players->execute(kITunesPlayPause); // playing again at frame 121
    for (int i = 0; i < 10; ++i)
        clock.beginFrame();
    QCOMPARE(players->player(QStringLiteral("iTunes"))->positionSeconds, 11.55);
}

void TestSimulatedPlayers::trackEndMovesOnAndWraps()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [{"name": "iTunes", "state": "playing", "position": 9,
        "tracks": [{"name": "One", "duration": 10}, {"name": "Two", "duration": 2}]}]})", clock);
    QVERIFY(players);
    for (int i = 0; i < 19; ++i)
        clock.beginFrame();
    QCOMPARE(players->player(QStringLiteral("iTunes"))->trackName, QStringLiteral("One")); // at 9.95 s
    clock.beginFrame(); // frame 20: One reaches its end
    auto status = players->player(QStringLiteral("iTunes"));
    QCOMPARE(status->trackIndex, 1);
    QCOMPARE(status->positionSeconds, 0.0);
    QCOMPARE(players->execute(kITunesTrack).stringValue(), QStringLiteral("Two"));
    for (int i = 0; i < 40; ++i) // Two lasts 40 frames, then back to the first track
        clock.beginFrame();
    status = players->player(QStringLiteral("iTunes"));
    QCOMPARE(status->trackIndex, 0);
    QCOMPARE(status->positionSeconds, 0.0);

    // A stream never ends.
    FrameClock radioClock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto radio = make(R"({"players": [{"name": "Radium", "state": "playing", "tracks": [{"name": "R"}]}]})", radioClock);
    for (int i = 0; i < 1000; ++i)
        radioClock.beginFrame();
    QCOMPARE(radio->player(QStringLiteral("Radium"))->trackIndex, 0);
    QCOMPARE(radio->player(QStringLiteral("Radium"))->positionSeconds, 50.0);
}

// Reading the state rarely must give what reading it every frame gives,
// also across many laps of the track list.
void TestSimulatedPlayers::lazyCatchUpMatchesFrameByFrame()
{
    const QByteArray json = R"({"players": [{"name": "Swinsian", "state": "playing", "position": 1.3,
        "tracks": [{"name": "A", "duration": 3.33}, {"name": "B", "duration": 0.07}, {"name": "C", "duration": 5}]}],
        "events": [{"frame": 700, "player": "Swinsian", "action": "seek", "seconds": 2.2},
                   {"frame": 1500, "player": "Swinsian", "action": "pause"}]})";
    FrameClock everyFrame(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    FrameClock rarely(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto stepped = make(json, everyFrame);
    const auto lazy = make(json, rarely);
    QVERIFY(stepped && lazy);
    for (qint64 frame = 1; frame <= 2000; ++frame) {
        everyFrame.beginFrame();
        rarely.beginFrame();
        const auto expected = stepped->player(QStringLiteral("Swinsian"));
        if (frame % 487 == 0 || frame == 699 || frame == 700 || frame == 2000) {
            const auto actual = lazy->player(QStringLiteral("Swinsian"));
            QCOMPARE(actual->trackIndex, expected->trackIndex);
            QCOMPARE(actual->positionSeconds, expected->positionSeconds);
            QCOMPARE(actual->state, expected->state);
        }
    }

    // A long gap between two looks: ten million frames are 500,000 s, which
    // is 3,333,333 laps of 150 ms and 50 ms more, the whole first track.
    FrameClock far(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto longRun = make(R"({"players": [{"name": "Swinsian", "state": "playing",
        "tracks": [{"duration": 0.05}, {"duration": 0.1}]}]})", far);
    QVERIFY(longRun);
    for (int i = 0; i < 10000000; ++i)
        far.beginFrame();
    QCOMPARE(longRun->player(QStringLiteral("Swinsian"))->positionSeconds, 0.0);
    QCOMPARE(longRun->player(QStringLiteral("Swinsian"))->trackIndex, 1);
}

void TestSimulatedPlayers::timedEvents()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
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
    QVERIFY(players);
    const auto at = [&](qint64 frame) {
        while (clock.frame() < frame)
            clock.beginFrame();
        return *players->player(QStringLiteral("iTunes"));
    };
    QCOMPARE(at(0).state, PlayState::Playing); // frame-0 events apply at the first look
    QCOMPARE(at(9).state, PlayState::Playing);
    auto s = at(10);
    QCOMPARE(s.state, PlayState::Paused);
    QCOMPARE(s.positionSeconds, 0.5);
    s = at(25);
    QCOMPARE(s.trackName, QStringLiteral("Two"));
    QCOMPARE(s.positionSeconds, 0.25);
    s = at(31);
    QCOMPARE(s.positionSeconds, 50.05);
    s = at(40);
    QCOMPARE(s.trackIndex, 2);
    QCOMPARE(s.trackName, QStringLiteral("Three"));
    QCOMPARE(s.positionSeconds, 5.0);

    QString error;
    const QString spotifyStatus = QStringLiteral("tell app \"Spotify\"\rplayer state \r end tell");
    at(49);
    QVERIFY(players->execute(spotifyStatus, &error).isNone());
    QCOMPARE(error, QStringLiteral("Spotify is not running"));
    at(50);
    QCOMPARE(players->execute(spotifyStatus, &error).stringValue(), QStringLiteral("kPSP"));
    QCOMPARE(players->processNames(), (QStringList{QStringLiteral("iTunes"), QStringLiteral("Spotify")}));

    s = at(60);
    QVERIFY(!s.running);
    QCOMPARE(players->processNames(), QStringList{QStringLiteral("Spotify")});
    QVERIFY(players->execute(kITunesStatus, &error).isNone());
    QCOMPARE(error, QStringLiteral("iTunes is not running"));
    s = at(80); // the pause at 70 found it not running; launched stopped at 80
    QVERIFY(s.running);
    QCOMPARE(s.state, PlayState::Stopped);
    QCOMPARE(players->execute(kITunesStatus).stringValue(), QStringLiteral("kPSS"));
    QVERIFY(players->execute(kITunesTrack, &error).isNone());
    QCOMPARE(error, QStringLiteral("iTunes has no current track"));
}

void TestSimulatedPlayers::commands()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [
        {"name": "Music", "state": "playing", "position": 30,
         "tracks": [{"name": "A", "duration": 100}, {"name": "B", "duration": 100}, {"name": "C", "duration": 100}]},
        {"name": "Hermes", "state": "playing", "tracks": [{"name": "H1", "rating": 0}, {"name": "H2"}]},
        {"name": "Snowtape", "state": "paused", "tracks": [{"name": "S"}]},
        {"name": "Rdio", "tracks": [{"name": "R"}]}]})", clock);
    QVERIFY(players);
    const auto music = [&] { return *players->player(QStringLiteral("Music")); };
    const auto run = [&](const QString &script) {
        QString error;
        players->execute(script, &error);
        return error;
    };

    QCOMPARE(run(QStringLiteral("tell application \"Music\"\rback track\rend tell")), QString());
    QCOMPARE(music().trackName, QStringLiteral("C")); // wraps backwards
    QCOMPARE(music().positionSeconds, 0.0);
    run(QStringLiteral("tell application \"Music\"\rnext track\rend tell"));
    QCOMPARE(music().trackName, QStringLiteral("A")); // and forwards

    run(QStringLiteral("tell application \"Music\"\rset rating of current track to 80\rend tell"));
    QCOMPARE(music().rating, qint64(80));
    QCOMPARE(players->execute(QStringLiteral("tell application \"Music\"\rrating of current track\rend tell")),
             ScriptResult::integer(80));
    run(QStringLiteral("tell application \"Music\"\rset loved of current track to true\rend tell"));
    QVERIFY(music().loved);
    run(QStringLiteral("tell application \"Music\"\rset disliked of current track to true\rend tell"));
    QVERIFY(music().disliked);
    QVERIFY(!music().loved); // one excludes the other
    run(QStringLiteral("tell application \"Music\"\rset disliked of current track to false\rend tell"));
    QVERIFY(!music().disliked);
    // Marks stay with their track.
    run(QStringLiteral("tell application \"Music\"\rnext track\rend tell"));
    QCOMPARE(music().rating, qint64(0));
    run(QStringLiteral("tell application \"Music\"\rback track\rend tell"));
    QCOMPARE(music().rating, qint64(80));

    run(QStringLiteral("tell application \"Music\"\rplaypause\rend tell"));
    QCOMPARE(music().state, PlayState::Paused);
    run(QStringLiteral("tell application \"Music\"\rplaypause\rend tell"));
    QCOMPARE(music().state, PlayState::Playing);

    const QString hermesRating = QStringLiteral("tell app \"Hermes\"\rrating of current song\r end tell");
    run(QStringLiteral("tell app \"Hermes\"\rthumbs up\r end tell"));
    QCOMPARE(players->execute(hermesRating), ScriptResult::integer(1));
    run(QStringLiteral("tell app \"Hermes\"\rthumbs down\r end tell"));
    QCOMPARE(players->execute(hermesRating), ScriptResult::integer(0));
    QVERIFY(players->player(QStringLiteral("Hermes"))->disliked);
    run(QStringLiteral("tell application \"Hermes\"\rtired of song\rend tell"));
    QCOMPARE(players->player(QStringLiteral("Hermes"))->trackName, QStringLiteral("H2"));
    run(QStringLiteral("tell application \"Hermes\"\rpause\rend tell"));
    QCOMPARE(players->execute(QStringLiteral("tell app \"Hermes\"\rplayback state \r end tell")).stringValue(),
             QStringLiteral("pause"));

    // Snowtape's play only plays; its pause only pauses.
    const QString snowtapeStatus = QStringLiteral("tell app \"Snowtape\"\rplaying \r end tell");
    run(QStringLiteral("tell application \"Snowtape\"\rplay\rend tell"));
    QCOMPARE(players->execute(snowtapeStatus), ScriptResult::boolean(true));
    run(QStringLiteral("tell application \"Snowtape\"\rplay\rend tell"));
    QCOMPARE(players->execute(snowtapeStatus), ScriptResult::boolean(true));
    run(QStringLiteral("tell application \"Snowtape\"\rpause\rend tell"));
    QCOMPARE(players->execute(snowtapeStatus), ScriptResult::boolean(false));

    // A stopped player has no track to change.
    QCOMPARE(run(QStringLiteral("tell application \"Rdio\"\rnext track\rend tell")),
             QStringLiteral("Rdio has no current track"));
    QCOMPARE(run(QStringLiteral("tell application \"Rdio\"\rpause\rend tell")), QString());
    QCOMPARE(players->player(QStringLiteral("Rdio"))->state, PlayState::Stopped);
    QCOMPARE(run(QStringLiteral("tell application \"Rdio\"\rplaypause\rend tell")), QString());
    QCOMPARE(players->player(QStringLiteral("Rdio"))->state, PlayState::Playing);
}

void TestSimulatedPlayers::randomArtwork()
{
    const QString iTunesRandom = QStringLiteral(
        "tell application \"iTunes\"\nset someTrack to some track of user playlist \"Music\"\n"
        "return data of front artwork of someTrack\nend tell");
    const QString musicRandom = QStringLiteral(
        "tell application \"Music\"\nset someTrack to some track of user playlist \"Music\"\n"
        "return data of front artwork of someTrack\nend tell");
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [
        {"name": "iTunes", "library": ["c.png", "b.png"]},
        {"name": "Music", "tracks": [{"artwork": ["a.png", "b.png"]}, {}, {"artwork": ["c.png"]}]}]})", clock);
    QVERIFY(players);
    QString error;
    // Round robin over the library covers; a stopped player still has its library.
    QCOMPARE(players->execute(iTunesRandom, &error).data(), m_c);
    QCOMPARE(players->execute(iTunesRandom, &error).data(), m_b);
    QCOMPARE(players->execute(iTunesRandom, &error).data(), m_c);
    // Without a library, the player's own tracks' front artworks; one without any fails.
    QCOMPARE(players->execute(musicRandom, &error).data(), m_a);
    QVERIFY(players->execute(musicRandom, &error).isNone());
    QCOMPARE(error, QStringLiteral("Music: the chosen track has no artwork"));
    QCOMPARE(players->execute(musicRandom, &error).data(), m_c);
    QCOMPARE(players->execute(musicRandom, &error).data(), m_a);
}

void TestSimulatedPlayers::serverAddress()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [{"name": "Hermes", "state": "paused",
        "tracks": [{"artworkUrl": "http://{server}/covers/1.jpg"}]}]})", clock);
    QVERIFY(players);
    const QString art = QStringLiteral("tell application \"Hermes\"\rartwork URL of current song\r end tell");
    QCOMPARE(players->execute(art).stringValue(), QStringLiteral("http://127.0.0.1/covers/1.jpg"));
    QVERIFY(players->setServerAddress(QStringLiteral("127.0.0.1:45123")));
    QCOMPARE(players->execute(art).stringValue(), QStringLiteral("http://127.0.0.1:45123/covers/1.jpg"));
    QVERIFY(players->setServerAddress(QStringLiteral("localhost:8080")));
    QVERIFY(players->setServerAddress(QStringLiteral("[::1]:8080")));
    QVERIFY(!players->setServerAddress(QStringLiteral("192.168.1.2:80")));
    QVERIFY(!players->setServerAddress(QStringLiteral("example.com")));
    QVERIFY(!players->setServerAddress(QStringLiteral("127.0.0.1/evil")));
    QCOMPARE(players->execute(art).stringValue(), QStringLiteral("http://[::1]:8080/covers/1.jpg"));
}

void TestSimulatedPlayers::notifications()
{
    FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const auto players = make(R"({"players": [
        {"name": "iTunes", "state": "playing", "tracks": [{"name": "One", "artist": "A", "album": "B", "duration": 1},
                                                         {"name": "Two", "duration": 100}]},
        {"name": "Swinsian", "state": "playing", "tracks": [{"name": "S", "duration": 1}, {"name": "S2"}]},
        {"name": "Spotify", "state": "paused", "tracks": [{"name": "Sp", "url": "spotify:track:9"}]}],
      "events": [{"frame": 5, "player": "Spotify", "action": "resume"}]})", clock);
    QVERIFY(players);
    // Without a centre nothing is posted and nothing breaks.
    players->execute(kITunesPlayPause);
    players->execute(kITunesPlayPause);

    NotificationCenter center;
    QList<Notification> seen;
    center.addObserver(this, QString(), [&](const Notification &n) { seen << n; });
    players->setNotificationCenter(&center);

    players->execute(kITunesPlayPause);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).name, QStringLiteral("com.apple.iTunes.playerInfo"));
    QCOMPARE(seen.at(0).userInfo.value(QStringLiteral("Player State")).toString(), QStringLiteral("Paused"));
    QCOMPARE(seen.at(0).userInfo.value(QStringLiteral("Name")).toString(), QStringLiteral("One"));
    QCOMPARE(seen.at(0).userInfo.value(QStringLiteral("Artist")).toString(), QStringLiteral("A"));

    // Rating and position changes are no news.
    players->execute(QStringLiteral("tell application \"iTunes\"\rset rating of current track to 40\rend tell"));
    QCOMPARE(seen.size(), 1);

    players->execute(kITunesPlayPause);
    seen.clear();
    // Frame 20: iTunes' one-second track ends, Swinsian's too (it posts nothing);
    // Spotify resumed at frame 5. Each changed player posts once.
    for (int i = 0; i < 20; ++i)
        clock.beginFrame();
    players->execute(kProcesses);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0).name, QStringLiteral("com.apple.iTunes.playerInfo"));
    QCOMPARE(seen.at(0).userInfo.value(QStringLiteral("Name")).toString(), QStringLiteral("Two"));
    QCOMPARE(seen.at(1).name, QStringLiteral("com.spotify.client.PlaybackStateChanged"));
    QCOMPARE(seen.at(1).userInfo.value(QStringLiteral("Player State")).toString(), QStringLiteral("Playing"));
    QCOMPARE(seen.at(1).userInfo.value(QStringLiteral("Track ID")).toString(), QStringLiteral("spotify:track:9"));

    // An observer that runs a command while being told: its change is posted
    // too, after the first delivery has finished.
    seen.clear();
    center.removeObserver(this);
    bool reacted = false;
    center.addObserver(this, QStringLiteral("com.apple.iTunes.playerInfo"), [&](const Notification &n) {
        seen << n;
        if (!reacted) {
            reacted = true;
            players->execute(kITunesNext);
        }
    });
    players->execute(kITunesNext);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0).userInfo.value(QStringLiteral("Name")).toString(), QStringLiteral("One"));
    QCOMPARE(seen.at(1).userInfo.value(QStringLiteral("Name")).toString(), QStringLiteral("Two"));

    players->setNotificationCenter(nullptr);
    center.removeObserver(this);
}

QTEST_GUILESS_MAIN(TestSimulatedPlayers)
#include "tst_simulatedplayers.moc"
