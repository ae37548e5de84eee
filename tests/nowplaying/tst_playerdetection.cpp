// Which source the display follows: the process list, the players' status
// answers, the visiting order and the preferred player, checked through the
// simulated players and their execution record.
#include "nowplaying/Scenes.h"
#include "support/EngineHarness.h"

#include <QtTest>

using Scene::at;
using Scene::one;
using Scene::player;

namespace {

const QByteArray kNothingRuns = Scene::of({player("iTunes", "paused", {R"("name": "Slow")"}, R"("running": false)")},
                                          {}, R"(["Finder"])");
const QByteArray kItunesPausesThenQuits = Scene::of({player("iTunes", "playing", {R"("name": "S", "duration": 300)"})},
                                                    {at(10, "iTunes", "pause"), at(20, "iTunes", "quit")});

QByteArray paused(std::initializer_list<const char *> names, const char *processes = nullptr)
{
    QByteArray players;
    for (const char *name : names)
        players += (players.isEmpty() ? "" : ", ") + player(name, "paused", {R"("name": "A")"});
    return Scene::of({players}, {}, processes);
}

} // namespace

QByteArray quotedProcesses();

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
        const QByteArray spotifyPlays = player("Spotify", "playing", {R"("name": "Fast", "duration": 200)"});
        QTest::newRow("Spotify plays, iTunes paused") << Scene::of({player("iTunes", "paused", {}), spotifyPlays})
                                                      << 2 << 1 << 1;
        QTest::newRow("both paused: iTunes") << paused({"iTunes", "Spotify"}) << 2 << 0 << 2;
        QTest::newRow("both paused, Spotify preferred") << paused({"iTunes", "Spotify"}) << 1 << 0 << 1;
        QTest::newRow("a stored number that is no player") << paused({"Spotify"}) << 42 << 0 << 1;
        QTest::newRow("the setting does not pick Music over iTunes") << paused({"iTunes", "Music"}) << 12 << 0 << 2;
        QTest::newRow("Swinsian beats Music")
            << Scene::of({player("Music", "playing", {R"("duration": 100)"}),
                          player("Swinsian", "playing", {R"("duration": 100)"})})
            << 2 << 7 << 7;
        QTest::newRow("Spotify answering 'playing'")
            << one("Spotify", "playing", R"("duration": 200)", R"("statusAnswers": {"playing": "playing"})") << 2 << 1
            << 1;
        QTest::newRow("Airfoil plays while it has a title") << one("Airfoil Satellite", "playing", R"("name": "Air")")
                                                            << 2 << 10 << 10;
        QTest::newRow("Hermes says play") << one("Hermes", "playing", R"("name": "H")") << 2 << 9 << 9;
        QTest::newRow("Ecoute's codes") << one("Ecoute", "playing", R"("name": "E")") << 2 << 4 << 4;
        QTest::newRow("Radium's boolean") << one("Radium", "playing", R"("name": "R")") << 2 << 6 << 6;
        QTest::newRow("lower-case itunes process")
            << one("iTunes", "playing", R"("duration": 100)", R"("processName": "itunes")") << 2 << 2 << 2;
        QTest::newRow("a player that is not running") << kNothingRuns << 2 << 0 << 0;
    }
    void choosesThePlayingPlayer()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(int, preferredSetting);
        QFETCH(int, current);
        QFETCH(int, preferred);
        EngineHarness h(scenario, {{QStringLiteral("preferredPlayer"), preferredSetting}});
        h.makeView();
        QCOMPARE(int(h.state().currentPlayer), current);
        QCOMPARE(int(h.state().preferredPlayer), preferred);
        QCOMPARE(int(h.engine().scripts().scriptsSetUpFor), current);
        if (current == 0 && preferred == int(PlayerId::ITunes)) // the keys act on the followed player
            QCOMPARE(h.slots().PPScript ? h.slots().PPScript->source() : QString(),
                     QStringLiteral("tell application \"iTunes\"\rplaypause\rend tell"));
    }

    void detectionCostsOneProcessListAndOneStatusPerPlayer()
    {
        EngineHarness h(paused({"iTunes", "Spotify", "Swinsian"}, R"(["Finder", "Dock"])"));
        h.makeView();
        h.players->clearExecutions();
        h.engine().determinePlayer();
        QCOMPARE(h.executed(), (QStringList{ScriptText::processList(), ScriptText::status("Swinsian"),
                                            ScriptText::status("Spotify"), ScriptText::status("iTunes")}));

        // Spotify answering "playing" is read from one run.
        EngineHarness spotify(one("Spotify", "playing", R"("duration": 200)", R"("statusAnswers": {"playing": "playing"})"));
        spotify.makeView();
        spotify.players->clearExecutions();
        spotify.engine().determinePlayer();
        QCOMPARE(spotify.executedCount(ScriptText::status("Spotify")), 1);
        spotify.players->clearExecutions();
        QVERIFY(!spotify.engine().playerHasChanged(PlayerId::Spotify));
        QCOMPARE(spotify.executed(), (QStringList{ScriptText::processList(), ScriptText::status("Spotify")}));
    }

    void noPlayerAndTheBroadcaster()
    {
        EngineHarness quiet(kNothingRuns);
        quiet.makeView();
        QVERIFY(quiet.state().noPlayer);
        QCOMPARE(quiet.broadcaster.starts, 0);

        EngineHarness listening(kNothingRuns, {{QStringLiteral("listenForBroadcaster"), true}});
        listening.makeView();
        QVERIFY(!listening.state().noPlayer);
        QCOMPARE(listening.broadcaster.starts, 1);

        // Re-detection keeps a broadcaster source…
        listening.broadcaster.track = QStringLiteral("Far Away");
        QVERIFY(listening.engine().acceptBroadcasterReport());
        QVERIFY(!listening.engine().playerHasChanged(PlayerId::Broadcaster));
        QCOMPARE(listening.state().currentPlayer, PlayerId::Broadcaster);

        // … and a local player that starts takes over from it.
        EngineHarness h(Scene::of({player("iTunes", "paused", {R"("duration": 300)"})}, {at(1, "iTunes", "resume")}),
                        {{QStringLiteral("listenForBroadcaster"), true}});
        h.makeView();
        h.broadcaster.track = QStringLiteral("Far Away");
        QVERIFY(h.engine().acceptBroadcasterReport());
        h.clock.beginFrame();
        QVERIFY(h.engine().playerHasChanged(PlayerId::Broadcaster));
        QCOMPARE(h.state().currentPlayer, PlayerId::ITunes);
    }

    void playerHasChangedWhenThePlayerStopsOrQuits()
    {
        EngineHarness h(kItunesPausesThenQuits);
        h.makeView();
        QCOMPARE(h.state().currentPlayer, PlayerId::ITunes);
        QVERIFY(h.slots().iTunesRandomArtworkScript);
        h.players->clearExecutions();
        h.engine().pauseCheck(); // costs one running test and one status
        QCOMPARE(h.executed(), (QStringList{ScriptText::processList(), ScriptText::status("iTunes")}));
        QVERIFY(!h.engine().playerHasChanged(PlayerId::ITunes));
        while (h.clock.frame() < 10)
            h.clock.beginFrame(); // paused at frame 10
        QVERIFY(h.engine().playerHasChanged(PlayerId::ITunes));
        QCOMPARE(h.state().currentPlayer, PlayerId::None);
        QCOMPARE(h.state().preferredPlayer, PlayerId::ITunes);
        while (h.clock.frame() < 20)
            h.clock.beginFrame(); // quit at frame 20
        QVERIFY(!h.engine().playerHasChanged(PlayerId::None)); // nothing was playing, nothing plays
        QCOMPARE(h.state().preferredPlayer, PlayerId::None);
        QVERIFY(h.state().noPlayer);
        // The random artwork script goes with its player.
        QVERIFY(!h.slots().iTunesRandomArtworkScript);
    }

    void musicIsCheckedThroughAPreferredITunes()
    {
        EngineHarness h(Scene::of({player("iTunes", "paused", {}), player("Music", "playing", {R"("duration": 90)"})}));
        h.makeView();
        QCOMPARE(h.state().currentPlayer, PlayerId::Music);
        h.state().preferredPlayer = PlayerId::ITunes;
        h.players->clearExecutions();
        QVERIFY(!h.engine().playerHasChanged(PlayerId::Music)); // iTunes is asked, then all again
        QCOMPARE(h.executed().mid(0, 2), (QStringList{ScriptText::processList(), ScriptText::status("iTunes")}));
        QCOMPARE(h.state().currentPlayer, PlayerId::Music);
    }

    void runningProcessesAreTrimmed()
    {
        EngineHarness h(quotedProcesses());
        h.makeView();
        QCOMPARE(h.engine().detection().runningProcessesArray(),
                 (QStringList{QStringLiteral("Finder"), QStringLiteral("Swinsian")}));
        QVERIFY(h.engine().detection().isRunning(PlayerId::Swinsian));
        QVERIFY(!h.engine().detection().isRunning(PlayerId::ITunes));
    }
};

// Quotes, apostrophes and spaces around process names (kept apart: the
// meta-object compiler misreads them inside the class).
QByteArray quotedProcesses()
{
    return Scene::of({player("Swinsian", "paused", {}, R"("processName": " 'Swinsian\"")")}, {}, R"(["\"Finder' "])");
}

QTEST_GUILESS_MAIN(TestPlayerDetection)
#include "tst_playerdetection.moc"
