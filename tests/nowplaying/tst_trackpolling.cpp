// Pause and track-change checks and the now-playing refresh, through the
// simulated players: what the track record holds after each source's refresh,
// the paused texts, the broadcaster placeholders and the notifications.
#include "support/EngineHarness.h"

#include <QtTest>

QByteArray scenario(const char *name);

namespace {

QString line(const std::optional<AttributedString> &text)
{
    return text ? text->string() : QStringLiteral("<none>");
}

// Title, artist and album as one comparable line.
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

QImage someArtwork()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
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
        QTest::newRow("Spotify trims stars and tildes") << scenario("spotify") << 0 << "Song|Band|Record" << 64;
        QTest::newRow("Swinsian keeps tildes") << scenario("swinsian") << 0 << "Song~|Band|Record" << 4;
        QTest::newRow("Snowtape is not split") << scenario("snowtape") << 0 << "Band - Song|Band|Station" << 0;
        QTest::newRow("Radium splits artist and title")
            << scenario("radium") << 0 << "Song|Band|Station" << 0;
        QTest::newRow("Radium with one piece") << scenario("radiumOnePiece") << 0 << "|Just a jingle|Station" << 0;
        QTest::newRow("Hermes trims white space only") << scenario("hermes") << 0 << "*Song*|Band|Record" << 1;
        QTest::newRow("iTunes in Classic keeps tildes") << scenario("itunes") << 0 << "Song~|Band|Record" << 80;
        QTest::newRow("iTunes in Apple TV trims them") << scenario("itunes") << 5 << "Song|Band|Record" << 80;
        QTest::newRow("stream of three parts") << scenario("streamThree") << 0 << "Title|Artist|Album" << 0;
        QTest::newRow("stream of two parts") << scenario("streamTwo") << 0 << "Title|Artist|" << 0;
        QTest::newRow("stream of one part") << scenario("streamOne") << 0 << "|Radio Paradise|" << 0;
        QTest::newRow("Airfoil has no rating") << scenario("airfoil") << 0 << "Song|Band|Record" << 0;
    }
    void refreshReadsEachSource()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(int, layout);
        QFETCH(QString, label);
        QFETCH(int, rating);
        EngineHarness h(scenario);
        h.makeView();
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
        QCOMPARE(h.state().currentPlayer, 1);
        h.engine().refresh(ThemeId::Classic);
        QVERIFY(!h.state().track.iTunesRadio); // Spotify's bar, marks and change checks work again
    }

    void pausedTexts_data()
    {
        QTest::addColumn<bool>("userPaused");
        QTest::addColumn<int>("showPaused");
        QTest::addColumn<int>("actionWhenPaused");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("keepsArtwork");
        QTest::newRow("keyboard pause, showPaused 1") << true << 1 << 2 << "iTunes Paused" << true;
        QTest::newRow("keyboard pause, showPaused 0") << true << 0 << 2 << "<none>" << false;
        QTest::newRow("player paused itself") << false << 1 << 2 << "iTunes Paused" << false;
        QTest::newRow("actionWhenPaused 3: no text") << false << 1 << 3 << "<none>" << false;
    }
    void pausedTexts()
    {
        QFETCH(bool, userPaused);
        QFETCH(int, showPaused);
        QFETCH(int, actionWhenPaused);
        QFETCH(QString, title);
        QFETCH(bool, keepsArtwork);
        EngineHarness h(scenario("itunesPaused"), {{QStringLiteral("userPaused"), userPaused},
                                                   {QStringLiteral("showPaused"), showPaused},
                                                   {QStringLiteral("actionWhenPaused"), actionWhenPaused}});
        h.makeView();
        h.view->setArtworkImage(someArtwork());
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(line(h.state().track.trackString), title);
        QVERIFY(!h.state().track.artistString);
        QCOMPARE(!h.view->getArtworkImage().isNull(), keepsArtwork);
    }

    void rdioHasNoPausedText()
    {
        EngineHarness h(scenario("rdioPaused"), {{QStringLiteral("preferredPlayer"), 5}});
        h.makeView();
        QCOMPARE(h.state().preferredPlayer, 5);
        h.engine().refresh(ThemeId::Classic);
        QVERIFY(!h.state().track.trackString);
    }

    void textLayoutLeavesTheArtworkAlone()
    {
        EngineHarness h(scenario("itunesPaused"));
        h.makeView();
        h.view->setArtworkImage(someArtwork());
        h.engine().refresh(ThemeId::Text);
        QVERIFY(!h.view->getArtworkImage().isNull());
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
        QCOMPARE(h.state().currentPlayer, 0);
    }

    void broadcasterListenerStartsBlank()
    {
        EngineHarness h(scenario("itunesPaused"), {{QStringLiteral("listenForBroadcaster"), true}});
        h.makeView();
        h.view->setArtworkImage(someArtwork());
        QVERIFY(h.view->cycle().firstRun); // the host clears it on frame 1; set it directly
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(line(h.state().track.trackString), QString());
        QVERIFY(h.view->getArtworkImage().isNull());

        h.view->cycle().firstRun = false;
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(line(h.state().track.trackString), QStringLiteral("iTunes Paused"));
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
    static const QHash<QByteArray, QByteArray> scenarios = {
        {"spotify", R"({"players": [{"name": "Spotify", "state": "playing", "tracks": [
            {"name": " *Song~ ", "artist": "Band", "album": "Record", "duration": 100, "popularity": 64}]}]})"},
        {"swinsian", R"({"players": [{"name": "Swinsian", "state": "playing", "tracks": [
            {"name": "'Song~*", "artist": "Band", "album": "Record", "duration": 100, "rating": 4}]}]})"},
        {"snowtape", R"({"players": [{"name": "Snowtape", "state": "playing", "tracks": [
            {"name": "Band - Song", "artist": "Band", "album": "Station"}]}]})"},
        {"radium", R"({"players": [{"name": "Radium", "state": "playing", "tracks": [
            {"name": "Band - Song [Live]", "album": "Station"}]}]})"},
        {"radiumOnePiece", R"({"players": [{"name": "Radium", "state": "playing", "tracks": [
            {"name": " Just a jingle ", "album": "Station"}]}]})"},
        {"hermes", R"({"players": [{"name": "Hermes", "state": "playing", "tracks": [
            {"name": "\n*Song* ", "artist": "Band", "album": "Record", "duration": 100, "rating": 1}]}]})"},
        {"itunes", R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
            {"name": "*Song~", "artist": "Band", "album": "Record", "duration": 100, "rating": 80}]}]})"},
        {"streamThree", R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
            {"name": "Stream", "streamTitle": "Artist - Album - ~Title"}]}]})"},
        {"streamTwo", R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
            {"name": "Stream", "streamTitle": "Artist - Title"}]}]})"},
        {"streamOne", R"({"players": [{"name": "Music", "state": "playing", "tracks": [
            {"name": "Stream", "streamTitle": "Radio Paradise"}]}]})"},
        {"airfoil", R"({"players": [{"name": "Airfoil Satellite", "state": "playing", "tracks": [
            {"name": "Song", "artist": "Band", "album": "Record"}]}]})"},
        {"itunesThenStreamThenSpotify", R"({"players": [
            {"name": "iTunes", "state": "playing", "tracks": [
                {"name": "Loved one", "duration": 300, "loved": true},
                {"name": "Stream", "streamTitle": "Artist - Title"}]},
            {"name": "Spotify", "state": "paused", "tracks": [{"name": "Next", "duration": 200}]}],
            "events": [{"frame": 10, "player": "iTunes", "action": "next"},
                       {"frame": 20, "player": "iTunes", "action": "pause"},
                       {"frame": 20, "player": "Spotify", "action": "resume"}]})"},
        {"itunesPaused", R"({"players": [{"name": "iTunes", "state": "paused", "tracks": [
            {"name": "Quiet", "artist": "Band", "duration": 100}]}]})"},
        {"rdioPaused", R"({"players": [{"name": "Rdio", "state": "paused", "tracks": [{"name": "R"}]}]})"},
        {"nothingRuns", R"({"processes": ["Finder"]})"},
        {"itunesLongTrack", R"({"players": [{"name": "iTunes", "state": "playing", "position": 125,
            "tracks": [{"name": "Long", "duration": 400}, {"name": "Next", "duration": 400}]}],
            "events": [{"frame": 20, "player": "iTunes", "action": "seek", "seconds": 200},
                       {"frame": 40, "player": "iTunes", "action": "seek", "seconds": 197},
                       {"frame": 50, "player": "iTunes", "action": "next"}]})"},
        {"itunesNextAt500", R"({"players": [{"name": "iTunes", "state": "playing", "position": 100,
            "tracks": [{"name": "First", "duration": 400}, {"name": "Second", "duration": 400}]}],
            "events": [{"frame": 500, "player": "iTunes", "action": "next"}]})"},
        {"snowtapeTitles", R"({"players": [{"name": "Snowtape", "state": "playing",
            "tracks": [{"name": "A"}, {"name": "Bb"}, {"name": "Cc"}]}],
            "events": [{"frame": 10, "player": "Snowtape", "action": "next"},
                       {"frame": 20, "player": "Snowtape", "action": "next"}]})"},
    };
    return scenarios.value(name);
}

QTEST_GUILESS_MAIN(TestTrackPolling)
#include "tst_trackpolling.moc"
