// Progress values per source with their range checks, and the extended
// details: which lines appear, how they read, and in what order.
#include "render/LabelDetails.h"
#include "nowplaying/Scenes.h"
#include "support/EngineHarness.h"

#include <QtTest>

using Scene::one;
using Scene::player;

QByteArray scenario(const char *name);

namespace {

QStringList detailLines(EngineHarness &h)
{
    AttributedString label(QStringLiteral("Title"));
    appendProStuffToAttrString(label, h.engine().details().detailLines(), {}, true, ThemeId::Classic, 20);
    return label.string().split(QChar(u'\r'));
}

} // namespace

class TestProgressDetails : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void progressPerSource_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("shown");
        QTest::newRow("Spotify counts milliseconds") << scenario("spotify") << 215.0 << 30.0 << true;
        QTest::newRow("iTunes in seconds") << scenario("itunes") << 245.0 << 12.0 << true;
        QTest::newRow("a day or longer is ignored, the bar stays") << scenario("itunesDayLong") << 0.0 << 0.0 << true;
        QTest::newRow("Snowtape has no bar") << scenario("snowtape") << 0.0 << 0.0 << false;
        QTest::newRow("nothing plays") << scenario("itunesPaused") << 0.0 << 0.0 << false;
    }
    void progressPerSource()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(double, maximum);
        QFETCH(double, value);
        QFETCH(bool, shown);
        EngineHarness h(scenario);
        h.makeView();
        h.engine().updateProgIndValues();
        QCOMPARE(h.state().progress.maximum, maximum);
        QCOMPARE(h.state().progress.value, value);
        QCOMPARE(!h.state().progress.hidden, shown);
    }

    void progressNeedsTheThemesBarAndNoStream()
    {
        EngineHarness h(scenario("itunes"), {{QStringLiteral("showProgress"), false}});
        h.makeView();
        h.engine().updateProgIndValues();
        QCOMPARE(h.state().progress.maximum, 0.0);

        EngineHarness stream(scenario("itunesStream"));
        stream.makeView();
        stream.state().progress = {100, 50, false, true};
        stream.engine().refresh(ThemeId::Classic);
        QVERIFY(stream.state().track.iTunesRadio);
        stream.engine().updateProgIndValues();
        QVERIFY(stream.state().progress.hidden); // no stale times beside a stream
        QCOMPARE(stream.state().progress.value, 50.0);
    }

    void broadcasterProgress_data()
    {
        QTest::addColumn<QString>("player");
        QTest::addColumn<bool>("set");
        QTest::newRow("itunes") << "itunes" << true;
        QTest::newRow("music, like itunes") << "music" << true;
        QTest::newRow("hermes") << "hermes" << true;
        QTest::newRow("radium: untouched") << "radium" << false;
    }
    void broadcasterProgress()
    {
        QFETCH(QString, player);
        QFETCH(bool, set);
        EngineHarness h(scenario("none"), {{QStringLiteral("listenForBroadcaster"), true}});
        h.makeView();
        h.broadcaster.track = QStringLiteral("Far");
        h.broadcaster.player = player;
        h.broadcaster.duration = 300;
        h.broadcaster.bookmark = 42;
        h.engine().acceptBroadcasterReport();
        h.engine().updateProgIndValues();
        QVERIFY(h.state().progress.hidden); // the first cycle shows no bar
        h.view->cycle().firstRun = false;
        h.engine().updateProgIndValues();
        QCOMPARE(h.state().progress.value, set ? 42.0 : 0.0);
        QCOMPARE(!h.state().progress.hidden, set);
    }

    void details_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QStringList>("lines");
        const QVariantMap all{{"theme", 0}, {"classicSettings", allSwitches()}};
        QTest::newRow("in their order") << scenario("itunesDetailed") << all
                                        << QStringList{"Title", "1999", "", "MPEG audio file", "256 kbps", "44100 Hz",
                                                       "Added: 17 May 2019", "Last played: 2 Dec 2026", "Play count: 7"};
        QTest::newRow("none under Random") << scenario("itunesDetailed")
                                           << QVariantMap{{"theme", 4}, {"currentRandomTheme", 0},
                                                          {"classicSettings", allSwitches()}}
                                           << QStringList{"Title"};
        QTest::newRow("none without switches") << scenario("itunesDetailed") << QVariantMap{{"theme", 0}}
                                               << QStringList{"Title"};
        // Year "0", bit rate 0, no dates: without a year the kind follows the label directly.
        QTest::newRow("missing values") << scenario("itunesSparse") << all
                                        << QStringList{"Title", "AAC audio file", "Play count: 0"};
        QTest::newRow("Swinsian's own slots") << scenario("swinsianNoYear") << all
                                              << QStringList{"Title", "", "24-bit", "Play count: 0"};
    }
    void details()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(QVariantMap, settings);
        QFETCH(QStringList, lines);
        EngineHarness h(scenario, settings);
        h.makeView();
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(detailLines(h), lines);
        if (QString(QTest::currentDataTag()) != "in their order")
            return;
        // Small and translucent.
        AttributedString label(QStringLiteral("Title"));
        appendProStuffToAttrString(label, h.engine().details().detailLines(), {}, true, ThemeId::Classic, 20);
        const AttributedStyle year = label.styleAt(label.string().indexOf(QStringLiteral("1999")));
        QCOMPARE(year.foregroundOrDefault(), AttributedStyle::white(1.0, 0.75));
        QCOMPARE(year.fontOrDefault().sizePoints(), 12.0);
        // Blur on a light background writes black.
        AttributedString blur(QStringLiteral("Title"));
        appendProStuffToAttrString(blur, h.engine().details().detailLines(), {}, false, ThemeId::Blur, 20);
        QCOMPARE(blur.styleAt(blur.length() - 1).foregroundOrDefault(), AttributedStyle::white(0.0, 0.75));
    }

    void detailsDoNotOutliveTheirSource()
    {
        EngineHarness h(scenario("itunesThenSpotify"), {{"theme", 0}, {"classicSettings", allSwitches()}});
        h.makeView();
        h.engine().refresh(ThemeId::Classic);
        QVERIFY(detailLines(h).contains(QStringLiteral("1999")));
        while (h.clock.frame() < 10)
            h.clock.beginFrame();
        h.engine().determinePlayer();
        QCOMPARE(h.state().currentPlayer, PlayerId::Spotify);
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(detailLines(h), QStringList{"Title"});

        // The broadcaster's own, with no library details.
        EngineHarness b(scenario("none"), {{"listenForBroadcaster", true}, {"theme", 0}, {"classicSettings", allSwitches()}});
        b.makeView();
        b.broadcaster.track = QStringLiteral("Far");
        b.broadcaster.bitrate = 320;
        b.broadcaster.bitdepth = 0;
        b.broadcaster.kind = QStringLiteral("FLAC");
        b.engine().acceptBroadcasterReport();
        b.engine().refresh(ThemeId::Classic);
        QCOMPARE(detailLines(b), (QStringList{"Title", "FLAC", "320"}));
    }

private:
    static QVariantMap allSwitches()
    {
        QVariantMap switches;
        for (const char *key : {"bitRate", "bitDepth", "sampleRate", "fileKind", "releaseYear", "dateAdded",
                                "lastPlayed", "playCount"})
            switches.insert(QLatin1String(key), true);
        return switches;
    }
};

QByteArray scenario(const char *name)
{
    static const QHash<QByteArray, QByteArray> scenarios = {
        {"none", R"({"processes": ["Finder"]})"},
        {"spotify", one("Spotify", "playing", R"("duration": 215)", R"("position": 30)")},
        {"itunes", one("iTunes", "playing", R"("duration": 245.3)", R"("position": 12.5)")},
        {"itunesDayLong", one("iTunes", "playing", R"("duration": 86400)", R"("position": 12)")},
        {"snowtape", one("Snowtape", "playing", R"("name": "S")")},
        {"itunesPaused", one("iTunes", "paused", R"("name": "I")")},
        {"itunesStream", one("iTunes", "playing", R"("name": "Stream", "streamTitle": "Artist - Title")")},
        {"itunesDetailed", one("iTunes", "playing", R"("duration": 200, "year": 1999, "kind": "MPEG audio file", "bitRate": 256,
            "sampleRate": 44100, "dateAdded": "2019-05-17T12:00:00", "playedDate": "2026-12-02T12:00:00", "playCount": 7)")},
        {"itunesSparse", one("iTunes", "playing", R"("duration": 200, "year": 0, "kind": "AAC audio file")")},
        {"swinsianNoYear", one("Swinsian", "playing", R"("duration": 200, "year": 0, "bitDepth": 24)")},
        {"itunesThenSpotify",
         Scene::of({player("iTunes", "playing", {R"("duration": 200, "year": 1999)"}),
                    player("Spotify", "paused", {R"("duration": 200)"})},
                   {Scene::at(10, "iTunes", "pause"), Scene::at(10, "Spotify", "resume")})},
    };
    return scenarios.value(name);
}

QTEST_GUILESS_MAIN(TestProgressDetails)
#include "tst_progressdetails.moc"
