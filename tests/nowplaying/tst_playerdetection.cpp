// Which source the display follows: the process list, the players' status
// answers, the visiting order and the preferred player, checked through the
// simulated players and their execution record.
#include "support/EngineHarness.h"

#include <QtTest>

QByteArray scenario(const char *name);

class TestPlayerDetection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosesThePlayingPlayer_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<int>("preferredSetting");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("preferred");
        QTest::newRow("Spotify plays, iTunes paused") << scenario("spotifyPlaysItunesPaused") << 2 << 1 << 1;
        QTest::newRow("both paused: iTunes") << scenario("spotifyAndItunesPaused") << 2 << 0 << 2;
        QTest::newRow("both paused, Spotify preferred") << scenario("spotifyAndItunesPaused") << 1 << 0 << 1;
        QTest::newRow("the setting does not pick Music over iTunes")
            << scenario("itunesAndMusicPaused") << 12 << 0 << 2;
        QTest::newRow("Swinsian beats Music") << scenario("swinsianAndMusicPlay") << 2 << 7 << 7;
        QTest::newRow("Spotify answering 'playing'") << scenario("spotifySaysPlaying") << 2 << 1 << 1;
        QTest::newRow("Airfoil plays while it has a title") << scenario("airfoilPlays") << 2 << 10 << 10;
        QTest::newRow("lower-case itunes process") << scenario("lowerCaseItunes") << 2 << 2 << 2;
        QTest::newRow("a player that is not running") << scenario("nothingRuns") << 2 << 0 << 0;
    }
    void choosesThePlayingPlayer()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(int, preferredSetting);
        QFETCH(int, current);
        QFETCH(int, preferred);
        EngineHarness h(scenario, {{QStringLiteral("preferredPlayer"), preferredSetting}});
        h.makeView();
        QCOMPARE(h.state().currentPlayer, current);
        QCOMPARE(h.state().preferredPlayer, preferred);
        QCOMPARE(h.engine().scripts().scriptsSetUpFor, current);
    }

    void detectionCostsOneProcessListAndOneStatusPerPlayer()
    {
        EngineHarness h(scenario("threePaused"));
        h.makeView();
        h.players->clearExecutions();
        h.engine().determinePlayer();
        QCOMPARE(h.executed(), (QStringList{ScriptText::processList(), ScriptText::status("Swinsian"),
                                            ScriptText::status("Spotify"), ScriptText::status("iTunes")}));

        // Spotify answering "playing" is read from one run.
        EngineHarness spotify(scenario("spotifySaysPlaying"));
        spotify.makeView();
        spotify.players->clearExecutions();
        spotify.engine().determinePlayer();
        QCOMPARE(spotify.executedCount(ScriptText::status("Spotify")), 1);
        spotify.players->clearExecutions();
        QVERIFY(!spotify.engine().playerHasChanged(1));
        QCOMPARE(spotify.executed(), (QStringList{ScriptText::processList(), ScriptText::status("Spotify")}));
    }

    void noPlayerAndTheBroadcaster()
    {
        EngineHarness quiet(scenario("nothingRuns"));
        quiet.makeView();
        QVERIFY(quiet.state().noPlayer);
        QCOMPARE(quiet.broadcaster.starts, 0);

        EngineHarness listening(scenario("nothingRuns"), {{QStringLiteral("listenForBroadcaster"), true}});
        listening.makeView();
        QVERIFY(!listening.state().noPlayer);
        QCOMPARE(listening.broadcaster.starts, 1);

        // Re-detection keeps a broadcaster source…
        listening.broadcaster.track = QStringLiteral("Far Away");
        QVERIFY(listening.engine().acceptBroadcasterReport());
        QVERIFY(!listening.engine().playerHasChanged(8));
        QCOMPARE(listening.state().currentPlayer, 8);
    }

    void aLocalPlayerTakesOverFromTheBroadcaster()
    {
        EngineHarness h(scenario("itunesStartsLater"), {{QStringLiteral("listenForBroadcaster"), true}});
        h.makeView();
        h.broadcaster.track = QStringLiteral("Far Away");
        QVERIFY(h.engine().acceptBroadcasterReport());
        h.clock.beginFrame(); // frame 1: iTunes starts playing
        QVERIFY(h.engine().playerHasChanged(8));
        QCOMPARE(h.state().currentPlayer, 2);
    }

    void playerHasChangedWhenThePlayerStopsOrQuits()
    {
        EngineHarness h(scenario("itunesPausesThenQuits"));
        h.makeView();
        QCOMPARE(h.state().currentPlayer, 2);
        QVERIFY(!h.engine().playerHasChanged(2));
        while (h.clock.frame() < 10)
            h.clock.beginFrame(); // paused at frame 10
        QVERIFY(h.engine().playerHasChanged(2));
        QCOMPARE(h.state().currentPlayer, 0);
        QCOMPARE(h.state().preferredPlayer, 2);
        while (h.clock.frame() < 20)
            h.clock.beginFrame(); // quit at frame 20
        QVERIFY(!h.engine().playerHasChanged(0)); // nothing was playing, nothing plays
        QCOMPARE(h.state().preferredPlayer, 0);
        QVERIFY(h.state().noPlayer);
    }

    void keysActOnTheFollowedPlayer()
    {
        // iTunes is preferred (visited first of the two), Music is visited last.
        EngineHarness h(scenario("itunesAndMusicPaused"));
        h.makeView();
        QCOMPARE(h.state().preferredPlayer, 2);
        QVERIFY(h.slots().PPScript);
        QCOMPARE(h.slots().PPScript->source(), QStringLiteral("tell application \"iTunes\"\rplaypause\rend tell"));
    }

    void randomArtworkScriptsGoWithTheirPlayer()
    {
        EngineHarness h(scenario("itunesPausesThenQuits"));
        h.makeView();
        QVERIFY(h.slots().iTunesRandomArtworkScript);
        while (h.clock.frame() < 20)
            h.clock.beginFrame(); // iTunes quits
        h.engine().determinePlayer();
        QVERIFY(!h.slots().iTunesRandomArtworkScript);
    }

    void runningProcessesAreTrimmed()
    {
        EngineHarness h(scenario("quotedProcess"));
        h.makeView();
        QCOMPARE(h.engine().detection().runningProcessesArray(),
                 (QStringList{QStringLiteral("Finder"), QStringLiteral("Swinsian")}));
        QVERIFY(h.engine().detection().isRunning(7));
        QVERIFY(!h.engine().detection().isRunning(2));
    }

    void pauseCheckCostsOneRunningTestAndOneStatus()
    {
        EngineHarness h(scenario("itunesPausesThenQuits"));
        h.makeView();
        h.players->clearExecutions();
        h.engine().pauseCheck();
        QCOMPARE(h.executed(), (QStringList{ScriptText::processList(), ScriptText::status("iTunes")}));
        QCOMPARE(h.state().currentPlayer, 2);
        while (h.clock.frame() < 10)
            h.clock.beginFrame();
        h.engine().pauseCheck();
        QCOMPARE(h.state().currentPlayer, 0);
        QCOMPARE(h.state().preferredPlayer, 2); // still followed, for the paused text
    }
};

QByteArray scenario(const char *name)
{
    static const QHash<QByteArray, QByteArray> scenarios = {
        {"spotifyPlaysItunesPaused", R"({"players": [
            {"name": "iTunes", "state": "paused", "tracks": [{"name": "Slow"}]},
            {"name": "Spotify", "state": "playing", "tracks": [{"name": "Fast", "duration": 200}]}]})"},
        {"spotifyAndItunesPaused", R"({"players": [
            {"name": "iTunes", "state": "paused", "tracks": [{"name": "Slow"}]},
            {"name": "Spotify", "state": "paused", "tracks": [{"name": "Fast"}]}]})"},
        {"itunesAndMusicPaused", R"({"players": [
            {"name": "iTunes", "state": "paused", "tracks": [{"name": "Slow"}]},
            {"name": "Music", "state": "paused", "tracks": [{"name": "Fast"}]}]})"},
        {"swinsianAndMusicPlay", R"({"players": [
            {"name": "Music", "state": "playing", "tracks": [{"name": "M", "duration": 100}]},
            {"name": "Swinsian", "state": "playing", "tracks": [{"name": "S", "duration": 100}]}]})"},
        {"spotifySaysPlaying", R"({"players": [
            {"name": "Spotify", "state": "playing", "statusAnswers": {"playing": "playing"},
             "tracks": [{"name": "Fast", "duration": 200}]}]})"},
        {"airfoilPlays", R"({"players": [
            {"name": "Airfoil Satellite", "state": "playing", "tracks": [{"name": "Over the air"}]}]})"},
        {"lowerCaseItunes", R"({"players": [
            {"name": "iTunes", "processName": "itunes", "state": "playing",
             "tracks": [{"name": "Quiet", "duration": 100}]}]})"},
        {"nothingRuns", R"({"processes": ["Finder"], "players": [
            {"name": "iTunes", "running": false, "tracks": [{"name": "Slow"}]}]})"},
        {"threePaused", R"({"processes": ["Finder", "Dock"], "players": [
            {"name": "iTunes", "state": "paused", "tracks": [{"name": "A"}]},
            {"name": "Spotify", "state": "paused", "tracks": [{"name": "B"}]},
            {"name": "Swinsian", "state": "paused", "tracks": [{"name": "C"}]}]})"},
        {"itunesStartsLater", R"({"players": [
            {"name": "iTunes", "state": "paused", "tracks": [{"name": "Later", "duration": 300}]}],
            "events": [{"frame": 1, "player": "iTunes", "action": "resume"}]})"},
        {"itunesPausesThenQuits", R"({"players": [
            {"name": "iTunes", "state": "playing", "tracks": [{"name": "Short", "duration": 300}]}],
            "events": [{"frame": 10, "player": "iTunes", "action": "pause"},
                       {"frame": 20, "player": "iTunes", "action": "quit"}]})"},
        {"quotedProcess", R"({"processes": ["\"Finder' "], "players": [
            {"name": "Swinsian", "processName": " 'Swinsian\"", "state": "paused", "tracks": [{"name": "Q"}]}]})"},
    };
    return scenarios.value(name);
}

QTEST_GUILESS_MAIN(TestPlayerDetection)
#include "tst_playerdetection.moc"
