// Two players over 1,500 frames: iTunes plays, changes track, pauses while
// Spotify starts, then Spotify quits. The view's track record and the
// scripts the players were asked must follow, frame by frame.
#include "support/EngineHarness.h"

#include <QtTest>

QByteArray twoPlayers();

namespace {

const QString kITunesTitle = QStringLiteral("tell app \"iTunes\"\rname of current track \r end tell");
const QString kSpotifyTitle = QStringLiteral("tell app \"Spotify\"\rname of current track \r end tell");

QString title(EngineHarness &h)
{
    const auto &track = h.state().track.trackString;
    return track ? track->string() : QStringLiteral("<none>");
}

// The frames at which a script text ran.
QList<qint64> framesOf(EngineHarness &h, const QString &script)
{
    QList<qint64> frames;
    for (const SimulatedPlayers::Execution &e : h.players->executions()) {
        if (e.script == script)
            frames << e.frame;
    }
    return frames;
}

} // namespace

class TestEngineScenario : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsPlayersFrameByFrame()
    {
        EngineHarness h(twoPlayers(), {{QStringLiteral("theme"), 0}});
        h.makeView();
        QCOMPARE(h.state().currentPlayer, PlayerId::ITunes); // iTunes plays; Spotify is paused
        // Detection at creation: the process list, then the status scripts in
        // the visiting order, at frame 0.
        const QList<SimulatedPlayers::Execution> &record = h.players->executions();
        QVERIFY(record.size() >= 3);
        QCOMPARE(record.at(0).frame, 0);
        QCOMPARE(record.at(0).script, ScriptText::processList());
        QCOMPARE(record.at(1).script, ScriptText::status("Spotify"));
        QCOMPARE(record.at(2).script, ScriptText::status("iTunes"));

        struct Checkpoint
        {
            qint64 frame;
            int counter;
            int player;
            QString track;
        };
        const QList<Checkpoint> checkpoints = {
            {1, 0, 2, "<none>"},          // the first frame ends the cycle set up at creation
            {2, 1, 2, "Alpha"},           // the layout frame reads the player
            {300, 299, 2, "Alpha"},       // iTunes moves on at 300 …
            {301, 300, 2, "Alpha"},       // … the first script after it hears of it: notification
            {302, 575, 2, "Alpha"},       // the trigger starts the fade-out
            {328, 0, 2, "Alpha"},         // the cycle ends
            {329, 1, 2, "Beta"},          // and the next one shows the new track
            {1001, 72, 2, "Beta"},        // iTunes pauses and Spotify plays (frame 1000)
            {1002, 575, 0, "Beta"},       // the pause check finds iTunes paused: fade out
            {1004, 0, 1, "Beta"},         // the player check finds Spotify: the cycle ends at once
            {1005, 1, 1, "Gamma"},
            {1020, 16, 1, "Gamma"},       // no false track change from the old player's position
            {1501, 575, 1, "Gamma"},      // Spotify quits at 1500: its notification ends the cycle
            {1503, 0, 0, "Gamma"},        // the player check finds it gone
            {1504, 1, 0, "iTunes Paused"},
        };
        for (const Checkpoint &point : checkpoints) {
            h.frames(int(point.frame - h.clock.frame()));
            const QByteArray where = "at frame " + QByteArray::number(point.frame);
            QVERIFY2(h.view->cycle().framesCount == point.counter,
                     where + ": counter " + QByteArray::number(h.view->cycle().framesCount));
            QVERIFY2(int(h.state().currentPlayer) == point.player,
                     where + ": player " + QByteArray::number(int(h.state().currentPlayer)));
            QVERIFY2(title(h) == point.track, where + ": track " + title(h).toUtf8());
        }

        // The title scripts ran at the layouts only (and iTunes' never for radio checks).
        QCOMPARE(framesOf(h, kITunesTitle), (QList<qint64>{2, 329, 930}));
        QCOMPARE(framesOf(h, kSpotifyTitle), (QList<qint64>{1005}));
        QCOMPARE(h.state().preferredPlayer, PlayerId::ITunes);
        QVERIFY(!h.state().track.artistString); // a paused text has no artist line
    }
};

QByteArray twoPlayers()
{
    return R"({"players": [
        {"name": "iTunes", "state": "playing", "tracks": [
            {"name": "Alpha", "artist": "Band A", "album": "Album A", "duration": 600},
            {"name": "Beta", "artist": "Band B", "album": "Album B", "duration": 600}]},
        {"name": "Spotify", "state": "paused", "tracks": [
            {"name": "Gamma", "artist": "Band C", "album": "Album C", "duration": 300}]}],
        "events": [
            {"frame": 300, "player": "iTunes", "action": "next"},
            {"frame": 1000, "player": "iTunes", "action": "pause"},
            {"frame": 1000, "player": "Spotify", "action": "resume"},
            {"frame": 1500, "player": "Spotify", "action": "quit"}]})";
}

QTEST_GUILESS_MAIN(TestEngineScenario)
#include "tst_enginescenario.moc"
