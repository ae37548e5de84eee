// Pause and track-change checks and the now-playing refresh, through the
// simulated players: what the track record holds after each source's refresh,
// the paused texts, the broadcaster placeholders and the notifications.
#include "nowplaying/Scenes.h"
#include "support/EngineHarness.h"
#include "support/Pixels.h"

#include <QtTest>

using Scene::at;
using Scene::one;
using Scene::player;

QByteArray scenario(const char *name);

namespace {

QString line(const std::optional<AttributedString> &text)
{
    return text ? text->string() : QStringLiteral("<none>");
}

QString labelOf(EngineHarness &h)
{
    const TrackRecord &t = h.state().track;
    return line(t.trackString) + u'|' + line(t.artistString) + u'|' + line(t.albumString);
}

void runTo(EngineHarness &h, qint64 frame)
{
    while (h.clock.frame() < frame)
        h.clock.beginFrame();
}

} // namespace

class TestTrackPolling : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refreshReadsEachSource_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("rating");
        const QByteArray itunes = one("iTunes", "playing", R"("name": "*Song~", "artist": "Band", "album": "Record", "duration": 100, "rating": 80)");
        const auto stream = [](const char *name, const char *title) {
            return one(name, "playing", QByteArray(R"("name": "Stream", "streamTitle": ")") + title + "\"");
        };
        QTest::newRow("Spotify trims stars and tildes")
            << one("Spotify", "playing", R"("name": " *Song~ ", "artist": "Band", "album": "Record", "duration": 100, "popularity": 64)")
            << 0 << "Song|Band|Record" << 64;
        QTest::newRow("Swinsian keeps tildes") << scenario("swinsian") << 0 << "Song~|Band|Record" << 4;
        QTest::newRow("Snowtape is not split")
            << one("Snowtape", "playing", R"("name": "Band - Song", "artist": "Band", "album": "Station")") << 0
            << "Band - Song|Band|Station" << 2;
        QTest::newRow("Radium splits artist and title")
            << one("Radium", "playing", R"("name": "Band - Song [Live]", "album": "Station")") << 0 << "Song|Band|Station" << 2;
        QTest::newRow("Radium with one piece") << one("Radium", "playing", R"("name": " Just a jingle ", "album": "Station")")
                                               << 0 << "|Just a jingle|Station" << 2;
        QTest::newRow("Hermes trims white space only")
            << one("Hermes", "playing", R"("name": "\n*Song* ", "artist": "Band", "album": "Record", "duration": 100, "rating": 1)")
            << 0 << "*Song*|Band|Record" << 1;
        QTest::newRow("Ecoute reads its rating")
            << one("Ecoute", "playing", R"("name": "~Song", "artist": "Band", "album": "Record", "rating": 3)") << 0
            << "Song|Band|Record" << 3;
        QTest::newRow("Audirvana trims nothing")
            << one("Audirvana", "playing", R"("name": "*Song~", "artist": "Band", "album": "Record")") << 0
            << "*Song~|Band|Record" << 2;
        QTest::newRow("iTunes in Classic keeps tildes") << itunes << 0 << "Song~|Band|Record" << 80;
        QTest::newRow("iTunes in Apple TV trims them") << itunes << 5 << "Song|Band|Record" << 80;
        QTest::newRow("stream of three parts") << stream("iTunes", "Artist - Album - ~Title") << 0 << "Title|Artist|Album" << 2;
        QTest::newRow("stream of two parts") << stream("iTunes", "Artist - Title") << 0 << "Title|Artist|" << 2;
        QTest::newRow("stream of one part") << stream("Music", "Radio Paradise") << 0 << "|Radio Paradise|" << 2;
        QTest::newRow("Airfoil has no rating")
            << one("Airfoil Satellite", "playing", R"("name": "Song", "artist": "Band", "album": "Record")") << 0
            << "Song|Band|Record" << 0;
    }
    void refreshReadsEachSource()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(int, layout);
        QFETCH(QString, label);
        QFETCH(int, rating);
        EngineHarness h(scenario);
        h.makeView();
        h.state().track.rating = 2; // what the previous source left
        h.engine().refresh(static_cast<ThemeId>(layout));
        QCOMPARE(labelOf(h), label);
        QCOMPARE(h.state().track.rating, rating);
    }

    void itunesMarksAndTheRadioFlag()
    {
        EngineHarness h(scenario("itunesThenStreamThenSpotify"));
        h.makeView();
        h.engine().refresh(ThemeId::Classic);
        QVERIFY(h.state().track.loved);
        QVERIFY(!h.state().track.iTunesRadio);
        runTo(h, 10); // a stream starts
        h.engine().refresh(ThemeId::Classic);
        QVERIFY(h.state().track.iTunesRadio);
        runTo(h, 20); // iTunes pauses, Spotify plays
        h.engine().determinePlayer();
        QCOMPARE(h.state().currentPlayer, PlayerId::Spotify);
        h.engine().refresh(ThemeId::Classic);
        QVERIFY(!h.state().track.iTunesRadio); // Spotify's bar, marks and change checks work again
    }

    void pausedTexts_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("keepsArtwork");
        const QByteArray itunes = scenario("itunesPaused");
        const QVariantMap keyboard{{"userPaused", true}, {"showPaused", 1}, {"actionWhenPaused", 2}};
        const QVariantMap itself{{"userPaused", false}, {"showPaused", 1}, {"actionWhenPaused", 2}};
        QTest::newRow("keyboard pause, showPaused 1") << itunes << keyboard << 0 << "iTunes Paused" << true;
        QTest::newRow("keyboard pause, showPaused 0")
            << itunes << QVariantMap{{"userPaused", true}, {"showPaused", 0}} << 0 << "<none>" << false;
        QTest::newRow("player paused itself") << itunes << itself << 0 << "iTunes Paused" << false;
        QTest::newRow("the text layout keeps the artwork") << itunes << itself << 1 << "iTunes Paused" << true;
        QTest::newRow("actionWhenPaused 3: no text")
            << itunes << QVariantMap{{"actionWhenPaused", 3}} << 0 << "<none>" << false;
        QTest::newRow("Rdio has no paused text")
            << one("Rdio", "paused", R"("name": "R")") << QVariantMap{{"preferredPlayer", 5}} << 0 << "<none>" << false;
        // The host clears firstRun on frame 1; here it is still set.
        QTest::newRow("a broadcaster listener's first cycle starts blank")
            << itunes << QVariantMap{{"listenForBroadcaster", true}} << 0 << "" << false;
    }
    void pausedTexts()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(QVariantMap, settings);
        QFETCH(int, layout);
        QFETCH(QString, title);
        QFETCH(bool, keepsArtwork);
        EngineHarness h(scenario, settings);
        h.makeView();
        QVERIFY(isLocalPlayer(h.state().preferredPlayer));
        h.view->setArtworkImage(Pixels::solid(Qt::red));
        h.engine().refresh(static_cast<ThemeId>(layout));
        QCOMPARE(line(h.state().track.trackString), title);
        QVERIFY(!h.state().track.artistString);
        QCOMPARE(!h.view->getArtworkImage().isNull(), keepsArtwork);
        h.view->cycle().firstRun = false;
        h.engine().refresh(static_cast<ThemeId>(layout));
        if (title.isEmpty())
            QCOMPARE(line(h.state().track.trackString), QStringLiteral("iTunes Paused"));
    }

    void broadcasterPlaceholders()
    {
        EngineHarness h(scenario("nothingRuns"), {{QStringLiteral("listenForBroadcaster"), true}});
        h.makeView();
        h.broadcaster.track = QStringLiteral("Far Away");
        h.broadcaster.artist = QStringLiteral("Elsewhere");
        h.broadcaster.rating = 60;
        h.broadcaster.loved = true;
        QVERIFY(h.engine().acceptBroadcasterReport());
        h.view->cycle().firstRun = false;
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(labelOf(h), QStringLiteral("Far Away|Elsewhere|"));
        QCOMPARE(h.state().track.rating, 60);
        QVERIFY(h.state().track.loved);

        // A title that is gone by the time it is read shows "Paused".
        h.broadcaster.trackAnswers = {QStringLiteral("Far Away"), QString()};
        h.broadcaster.trackCalls = 0;
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(line(h.state().track.trackString), QStringLiteral("Paused"));

        // A broadcaster that names no track is no source.
        h.broadcaster.trackAnswers.clear();
        h.broadcaster.track.clear();
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(h.state().currentPlayer, PlayerId::None);
    }

    void progressJumpingBackIsATrackChange()
    {
        EngineHarness h(scenario("itunesLongTrack"));
        h.makeView();
        auto poll = [&] {
            h.engine().updateProgIndValues();
            return h.engine().trackHasChanged();
        };
        QVERIFY(!poll());                         // 125 s
        runTo(h, 16);
        QVERIFY(!poll());                         // 125.8 s: forward
        runTo(h, 32);                             // seek forward to 200 s at 20
        QVERIFY(!poll());
        runTo(h, 48);                             // seek back to 197 s at 40
        QVERIFY(poll());
        runTo(h, 64);                             // next track at 50: 0 s
        QVERIFY(poll());
        runTo(h, 80);
        QVERIFY(!poll());
    }

    void aNewTrackIsSeenAtTheNextSixteenFrameCheck()
    {
        EngineHarness h(scenario("itunesNextAt500"));
        h.players->setNotificationCenter(nullptr); // no player notification: polling alone
        h.makeView();
        h.frames(499); // counter 498, in the hold
        QCOMPARE(h.view->cycle().framesCount, 498);
        h.frames(13);  // counter 511: the jump is polled at 500, not yet checked
        QCOMPARE(h.view->cycle().framesCount, 511);
        h.frames(1);   // counter 512: the check sees it and the fade-out begins
        QCOMPARE(h.view->cycle().framesCount, 574);
    }

    void radioTitles()
    {
        EngineHarness h(scenario("snowtapeTitles"));
        h.makeView();
        QVERIFY(!h.engine().trackHasChanged()); // "A": the first title is never a change
        runTo(h, 10);                           // "Bb"
        QVERIFY(!h.engine().trackHasChanged()); // the copy had one character
        QVERIFY(!h.engine().trackHasChanged()); // same title
        h.state().track.positionInLyricsForRadio = 12;
        runTo(h, 20);                           // "Cc"
        QVERIFY(h.engine().trackHasChanged());
        QCOMPARE(h.state().track.positionInLyricsForRadio, 0);
    }

    void playerNotificationsEndTheCycle()
    {
        EngineHarness h(scenario("itunesNextAt500"));
        h.makeView();
        QVERIFY(!h.view->cycle().triggerCycle);
        h.distributed.post(QStringLiteral("com.apple.iTunes.playerInfo"));
        QVERIFY(h.view->cycle().triggerCycle);
        h.view->cycle().triggerCycle = false;
        h.distributed.post(QStringLiteral("com.spotify.client.PlaybackStateChanged"));
        QVERIFY(!h.view->cycle().triggerCycle); // only the built set's notification is heard
    }
};

QByteArray scenario(const char *name)
{
    const QByteArray itunesTwo = R"("name": "First", "duration": 400}, {"name": "Second", "duration": 400)";
    static const QHash<QByteArray, QByteArray> scenarios = {
        {"swinsian", one("Swinsian", "playing", R"("name": "'Song~*", "artist": "Band", "album": "Record", "duration": 100, "rating": 4)")},
        {"itunesThenStreamThenSpotify",
         Scene::of({player("iTunes", "playing", {R"("name": "Loved one", "duration": 300, "loved": true)",
                                                 R"("name": "Stream", "streamTitle": "Artist - Title")"}),
                    player("Spotify", "paused", {R"("name": "Next", "duration": 200)"})},
                   {at(10, "iTunes", "next"), at(20, "iTunes", "pause"), at(20, "Spotify", "resume")})},
        {"itunesPaused", one("iTunes", "paused", R"("name": "Quiet", "artist": "Band", "duration": 100)")},
        {"nothingRuns", R"({"processes": ["Finder"]})"},
        {"itunesLongTrack",
         Scene::of({player("iTunes", "playing", {R"("name": "Long", "duration": 400)", R"("name": "Next", "duration": 400)"},
                           R"("position": 125)")},
                   {at(20, "iTunes", "seek", R"("seconds": 200)"), at(40, "iTunes", "seek", R"("seconds": 197)"),
                    at(50, "iTunes", "next")})},
        {"itunesNextAt500", Scene::of({player("iTunes", "playing", {itunesTwo}, R"("position": 100)")},
                                      {at(500, "iTunes", "next")})},
        {"snowtapeTitles", Scene::of({player("Snowtape", "playing", {R"("name": "A")", R"("name": "Bb")", R"("name": "Cc")"})},
                                     {at(10, "Snowtape", "next"), at(20, "Snowtape", "next")})},
    };
    return scenarios.value(name);
}

QTEST_GUILESS_MAIN(TestTrackPolling)
#include "tst_trackpolling.moc"
