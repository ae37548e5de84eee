// The artwork steps on simulated players: the multiple-artwork rotation, the
// five-byte rule, random covers, the remembered Spotify addresses, artwork
// addresses fetched from a loopback stand-in, and the fallback settings.
#include "nowplaying/Capture.h"
#include "nowplaying/PlayerArtwork.h"
#include "nowplaying/Scenes.h"
#include "support/EngineHarness.h"
#include "support/NetworkStandIn.h"
#include "support/Pixels.h"
#include "support/ScriptTexts.h"

#include <QtTest>

using Scene::one;
using Scene::player;

namespace {

const QString kHost = QStringLiteral("127.0.0.62");
constexpr quint16 kPort = 45062;
const QString kServer = QStringLiteral("127.0.0.62:45062");

const QList<QColor> kColours = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};

QByteArray png(QColor colour, int side = 8)
{
    return Pixels::pngBytes(QSize(side, side), colour);
}

// 1-based number of the colour an image is filled with; 0 for none.
int colourNumber(const QImage &image)
{
    return image.isNull() ? 0 : int(kColours.indexOf(image.pixelColor(0, 0))) + 1;
}

// Image files in a folder of the test's own, named in a scenario as a JSON list.
class Files
{
public:
    QByteArray list(const QList<QByteArray> &contents)
    {
        QByteArray json;
        for (const QByteArray &bytes : contents) {
            const QString path = dir.filePath(QString::number(m_count++));
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
                qFatal("cannot write %s", qPrintable(path));
            json += (json.isEmpty() ? "\"" : ", \"") + path.toUtf8() + "\"";
        }
        return "[" + json + "]";
    }
    QByteArray colours(int count)
    {
        QList<QByteArray> images;
        for (int i = 0; i < count; ++i)
            images << png(kColours.at(i));
        return list(images);
    }
    QTemporaryDir dir;

private:
    int m_count = 0;
};

// The engine's parts, with an artwork image and the two view functions of
// the test's own.
struct Artwork
{
    Artwork(EngineHarness &h, float size = 0.f, ArtworkDownloader downloader = {}, PlayerArtwork::Random random = {})
        : steps({h.engine().scripts(), h.engine().detection(), h.state(), *h.defaults, h.broadcaster, image,
                 [this] { return imageSize; }, [this] { return defaultImage; }, [this] { ++arrivals; }},
                downloader, std::move(random))
        , imageSize(size)
    {
        defaultImage = QImage(12, 12, QImage::Format_RGB32);
        defaultImage.fill(Qt::gray);
        steps.worker().waitForSmallPictures(std::numeric_limits<qint64>::max());
    }
    QImage image;
    PlayerArtwork steps;
    float imageSize;
    QImage defaultImage;
    int arrivals = 0;
};

ArtworkDownloader quickDownloader()
{
    ArtworkDownloader::Options options;
    options.deadline = std::chrono::seconds(3);
    return ArtworkDownloader(options);
}

QString address(const char *path)
{
    return QStringLiteral("http://%1/%2").arg(kServer, QLatin1String(path));
}

} // namespace

class TestPlayerArtwork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(networkSafetyInstalled()); }

    void multipleArtworkRotation_data()
    {
        QTest::addColumn<int>("images");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("three images") << 3 << QList<int>{1, 2, 3, 1, 2};
        QTest::newRow("six images, then the first") << 6 << QList<int>{1, 2, 3, 4, 5, 6, 1};
    }
    void multipleArtworkRotation()
    {
        QFETCH(int, images);
        QFETCH(QList<int>, shown);
        Files f;
        EngineHarness h(one("Music", "playing", R"("duration": 300, "artwork": )" + f.colours(images)),
                        {{"multipleArtwork", true}});
        h.makeView();
        QCOMPARE(h.engine().scripts().artworkNumber, quint64(1));
        Artwork a(h);
        QList<int> seen;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            a.steps.perSourceArtworkStep();
            seen << colourNumber(a.image);
        }
        QCOMPARE(seen, shown);
        // The view's own engine steps on at each refresh, but not for the text layout.
        h.engine().scripts().artworkNumber = 1;
        h.engine().refresh(ThemeId::Classic);
        h.engine().refresh(ThemeId::Text);
        QCOMPARE(colourNumber(h.view->getArtworkImage()), 1);
        h.engine().refresh(ThemeId::AppleTV);
        QCOMPARE(colourNumber(h.view->getArtworkImage()), std::min(images, 2));
    }

    void noArtworkMakesSevenRuns()
    {
        EngineHarness h(one("iTunes", "playing", R"("duration": 300)"), {{"multipleArtwork", true}});
        h.makeView();
        h.engine().scripts().artworkNumber = 3;
        Artwork a(h);
        a.image = QImage(4, 4, QImage::Format_RGB32);
        h.players->clearExecutions();
        a.steps.getiTunesArtwork();
        const QStringList runs = h.executed().filter(QStringLiteral("artwork"));
        QCOMPARE(runs.size(), 7);
        QVERIFY(runs.first().contains(QStringLiteral("artwork 3")));
        QCOMPARE(runs.filter(QStringLiteral("front artwork")).size(), 6);
        QVERIFY(a.image.isNull());
        QCOMPARE(h.engine().scripts().artworkNumber, quint64(1));
    }

    void fourBytesAreNoArtwork_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("decoded");
        QTest::newRow("4 bytes") << QByteArray("GIF8") << false;
        QTest::newRow("5 bytes") << QByteArray("GIF89") << true;
    }
    void fourBytesAreNoArtwork()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, decoded);
        Files f;
        for (const bool multiple : {false, true}) {
            EngineHarness h(one("iTunes", "playing", R"("artwork": )" + f.list({bytes})), {{"multipleArtwork", multiple}});
            h.makeView();
            Artwork a(h);
            LogCapture log;
            a.steps.getiTunesArtwork();
            QVERIFY(a.image.isNull());
            // Only data long enough is handed to the decoder, which fails on it.
            QCOMPARE(log.has(QStringLiteral("unable to make NSImage from image data")), decoded);
        }
    }

    void sizedToTheLayout()
    {
        Files f;
        EngineHarness h(one("Swinsian", "playing", R"("artwork": )" + f.list({png(Qt::red, 64)})));
        h.makeView();
        Artwork a(h, 20.f);
        a.steps.perSourceArtworkStep();
        QCOMPARE(a.image.size(), QSize(20, 20));
        a.imageSize = 0.f; // not laid out yet: natural size
        a.steps.perSourceArtworkStep();
        QCOMPARE(a.image.size(), QSize(64, 64));
    }

    // Live, nothing waits: the step goes on without the picture, the
    // arrival is told, and the next step has it; a random cover picked
    // then is the one shown next, not replaced by another pick.
    void aLatePictureShowsAtTheNextStep()
    {
        Files f;
        EngineHarness h(one("Swinsian", "playing", R"("artwork": )" + f.list({png(Qt::red, 64)})));
        h.makeView();
        Artwork a(h, 20.f);
        a.steps.worker().waitForSmallPictures(0);
        a.steps.perSourceArtworkStep();
        QVERIFY(a.image.isNull());
        QTRY_COMPARE(a.arrivals, 1);
        a.steps.perSourceArtworkStep();
        QCOMPARE(a.image.size(), QSize(20, 20));
        QCOMPARE(colourNumber(a.image), 1);

        EngineHarness library(Scene::of({player("iTunes", "paused", {}, R"("library": )" + f.colours(3))}));
        library.makeView();
        library.engine().scripts().setUpSomePlayerSpecificScriptsForPlayer(PlayerId::ITunes);
        Artwork r(library, 8.f);
        r.steps.worker().waitForSmallPictures(0);
        const QString pick = scriptText(QStringLiteral("iTunes"), ScriptVocabulary::Operation::RandomArtwork);
        const int picksBefore = library.executedCount(pick);
        QVERIFY(r.steps.getRandomCover().isNull());
        QTRY_COMPARE(r.arrivals, 1);
        QVERIFY(colourNumber(r.steps.getRandomCover()) > 0);
        QCOMPARE(library.executedCount(pick), picksBefore + 1); // the one pick, shown
    }

    void randomCoverPrefersITunes()
    {
        Files f;
        NetworkStandIn server([](const NetworkStandIn::Request &request) {
            if (request.target.startsWith("/cover"))
                return NetworkStandIn::ok(png(kColours.at(request.target.mid(6).toInt() - 1)), "image/png");
            return NetworkStandIn::status(404);
        });
        QVERIFY(server.listen(kHost, kPort));
        const QByteArray spotify = player("Spotify", "playing", {R"("duration": 300)"});
        const QByteArray itunes = player("iTunes", "paused", {}, R"("library": )" + f.list({png(kColours.at(1))}));
        const QVariantList recent{address("cover3"), address("cover4"), address("cover5")};
        {
            EngineHarness h(Scene::of({spotify, itunes}), {{"recentSpotifyArtworks", recent}});
            h.makeView();
            QCOMPARE(h.state().currentPlayer, PlayerId::Spotify);
            Artwork a(h, 0.f, quickDownloader());
            // Without iTunes' random script there is no random cover, not
            // even from Spotify's addresses.
            LogCapture log;
            QVERIFY(a.steps.getRandomCover().isNull());
            QVERIFY(log.has(QStringLiteral("but random script is nil!")));
            h.engine().scripts().setUpSomePlayerSpecificScriptsForPlayer(PlayerId::ITunes);
            QCOMPARE(colourNumber(a.steps.getRandomCover()), 2);
            QCOMPARE(server.requestCount(), 0);
        }
        {
            // Spotify alone picks from the remembered addresses; the top of
            // the random range takes the last one.
            EngineHarness h(Scene::of({spotify}), {{"recentSpotifyArtworks", recent}});
            h.makeView();
            const std::pair<quint32, int> picks[] = {{2147483647u, 5}, {0u, 3}, {1073741824u, 4}};
            for (const auto &[random, colour] : picks) {
                Artwork a(h, 0.f, quickDownloader(), [random = random] { return random; });
                QCOMPARE(colourNumber(a.steps.getRandomCover()), colour);
            }
            QCOMPARE(server.requestCount(), 3);
            h.defaults->remove(QStringLiteral("recentSpotifyArtworks"));
            QVERIFY(Artwork(h, 0.f, quickDownloader()).steps.getRandomCover().isNull());
            QCOMPARE(server.requestCount(), 3);
        }
    }

    void recentSpotifyArtworksKeepOrder()
    {
        const QString current = QStringLiteral("http://127.0.0.1/current");
        EngineHarness h(one("Spotify", "playing", "\"artworkUrl\": \"" + current.toUtf8() + "\""));
        h.makeView();
        Artwork a(h);
        const QString key = QStringLiteral("recentSpotifyArtworks");

        QVariantList full;
        for (int i = 0; i < 100; ++i)
            full << QStringLiteral("http://127.0.0.1/old%1").arg(i);
        h.defaults->set(key, full);
        a.steps.logSpotifyTrackArtwork();
        QStringList stored = a.steps.recentSpotifyArtworks();
        QCOMPARE(stored.size(), 100);
        QCOMPARE(stored.first(), QStringLiteral("http://127.0.0.1/old1"));
        QCOMPARE(stored.at(98), QStringLiteral("http://127.0.0.1/old99"));
        QCOMPARE(stored.last(), current);

        // The same address again changes nothing.
        const QVariantList before = h.defaults->arrayValue(key);
        a.steps.logSpotifyTrackArtwork();
        QCOMPARE(h.defaults->arrayValue(key), before);

        // Duplicates and entries that are no text are dropped.
        h.defaults->set(key, QVariantList{"http://127.0.0.1/a", 7, "http://127.0.0.1/b", "http://127.0.0.1/a"});
        a.steps.logSpotifyTrackArtwork();
        QCOMPARE(a.steps.recentSpotifyArtworks(), (QStringList{"http://127.0.0.1/a", "http://127.0.0.1/b", current}));
    }

    void artworkAddressesFromTheStandIn_data()
    {
        QTest::addColumn<QString>("player");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("colour");
        QTest::addColumn<QSize>("size");
        QTest::newRow("Spotify's, at its natural size") << "Spotify" << "blue.png" << 3 << QSize(64, 64);
        QTest::newRow("Hermes', sized") << "Hermes" << "green.png" << 2 << QSize(16, 16);
        QTest::newRow("Spotify's, gone") << "Spotify" << "gone.png" << 0 << QSize(0, 0);
    }
    void artworkAddressesFromTheStandIn()
    {
        QFETCH(QString, player);
        QFETCH(QString, path);
        QFETCH(int, colour);
        QFETCH(QSize, size);
        NetworkStandIn server([](const NetworkStandIn::Request &request) {
            if (request.target == "/blue.png" || request.target == "/green.png")
                return NetworkStandIn::ok(png(request.target == "/blue.png" ? Qt::blue : Qt::green, 64), "image/png");
            return NetworkStandIn::status(404);
        });
        QVERIFY(server.listen(kHost, kPort));
        EngineHarness h(one(qPrintable(player), "playing", "\"artworkUrl\": \"http://{server}/" + path.toUtf8() + "\""));
        QVERIFY(h.players->setServerAddress(kServer));
        h.makeView();
        Artwork a(h, 16.f, quickDownloader());
        LogCapture log;
        a.steps.perSourceArtworkStep();
        QCOMPARE(colourNumber(a.image), colour);
        QCOMPARE(a.image.size(), size);
        QCOMPARE(server.requestCount(), 1);
        QCOMPARE(log.has(QStringLiteral("attempted to set artwork image from url provided by Spotify (%1) but failed")
                             .arg(address(qPrintable(path)))),
                 colour == 0);
    }

    void broadcasterBytes()
    {
        EngineHarness h(R"({"processes": ["Finder"]})");
        h.makeView();
        h.state().currentPlayer = PlayerId::Broadcaster;
        Artwork a(h, 4.f);
        h.broadcaster.artwork = png(Qt::yellow, 10);
        a.steps.perSourceArtworkStep();
        QCOMPARE(colourNumber(a.image), 4);
        QCOMPARE(a.image.size(), QSize(10, 10));
        h.broadcaster.artwork.clear();
        a.steps.perSourceArtworkStep();
        QVERIFY(a.image.isNull());
    }

    void fallback_data()
    {
        QTest::addColumn<bool>("playing");
        QTest::addColumn<bool>("library");
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<int>("shown"); // -1 default image, 0 none, n colour n
        QTest::newRow("defaultArtwork 1") << true << false << QVariantMap{{"defaultArtwork", 1}} << -1;
        QTest::newRow("defaultArtwork 2 names no image") << true << false << QVariantMap{{"defaultArtwork", 2}} << 0;
        QTest::newRow("defaultArtwork 1 while userPaused")
            << true << false << QVariantMap{{"defaultArtwork", 1}, {"userPaused", true}} << 0;
        QTest::newRow("paused, actionWhenPaused 1") << false << false << QVariantMap{{"actionWhenPaused", 1}} << -1;
        QTest::newRow("paused, random cover") << false << true << QVariantMap{{"actionWhenPaused", 2}} << 1;
        QTest::newRow("paused, no random cover to be had") << false << false << QVariantMap{{"actionWhenPaused", 2}} << 0;
        QTest::newRow("paused, random cover while userPaused")
            << false << true << QVariantMap{{"actionWhenPaused", 2}, {"userPaused", true}} << 0;
        QTest::newRow("paused, defaultArtwork does not apply")
            << false << false << QVariantMap{{"actionWhenPaused", 0}, {"defaultArtwork", 1}} << 0;
    }
    void fallback()
    {
        QFETCH(bool, playing);
        QFETCH(bool, library);
        QFETCH(QVariantMap, settings);
        QFETCH(int, shown);
        Files f;
        EngineHarness h(Scene::of({player("iTunes", playing ? "playing" : "paused", {R"("duration": 300)"},
                                          library ? R"("library": )" + f.colours(1) : QByteArray())}),
                        settings);
        h.makeView();
        QCOMPARE(h.state().currentPlayer, playing ? PlayerId::ITunes : PlayerId::None);
        Artwork a(h);
        a.steps.perSourceArtworkStep();
        QVERIFY(a.image.isNull());
        a.steps.fallbackArtworkStep();
        if (shown == -1)
            QCOMPARE(a.image, a.defaultImage);
        else
            QCOMPARE(colourNumber(a.image), shown);
    }
};

QTEST_GUILESS_MAIN(TestPlayerArtwork)
#include "tst_playerartwork.moc"
