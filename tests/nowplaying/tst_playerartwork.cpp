// The artwork steps on simulated players: the multiple-artwork rotation, the
// five-byte rule, random covers, the remembered Spotify addresses, artwork
// addresses fetched from a loopback stand-in, and the fallback settings.
#include "support/Pixels.h"
#include "nowplaying/PlayerArtwork.h"
#include "support/EngineHarness.h"
#include "support/NetworkStandIn.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

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
    if (image.isNull())
        return 0;
    return int(kColours.indexOf(image.pixelColor(0, 0))) + 1;
}

// Captures the log lines written while it lives.
class LogCapture
{
public:
    LogCapture() { s_lines.clear(); m_previous = qInstallMessageHandler(handler); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    static bool has(const QString &line) { return s_lines.contains(line); }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message) { s_lines << message; }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

// Image files and scenarios in a folder of the test's own.
class Fixture
{
public:
    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // The first `count` colour images.
    QJsonArray colourFiles(int count)
    {
        QJsonArray files;
        for (int i = 0; i < count; ++i)
            files.append(file(QStringLiteral("c%1.png").arg(i + 1), png(kColours.at(i))));
        return files;
    }
    QTemporaryDir dir;
};

QByteArray document(const QJsonArray &players)
{
    return QJsonDocument(QJsonObject{{"players", players}}).toJson();
}

QJsonObject player(const QString &name, const QString &state, const QJsonObject &track)
{
    return {{"name", name}, {"state", state}, {"tracks", QJsonArray{track}}};
}

// The engine's parts, with an artwork image and the two view functions of
// the test's own.
struct Artwork
{
    Artwork(EngineHarness &h, float size = 0.f, ArtworkDownloader downloader = {},
            PlayerArtwork::Random random = {})
        : steps({h.engine().scripts(), h.engine().detection(), h.state(), *h.defaults, h.broadcaster,
                 image, [this] { return imageSize; }, [this] { return defaultImage; }},
                downloader, std::move(random))
        , imageSize(size)
    {
        defaultImage = QImage(12, 12, QImage::Format_RGB32);
        defaultImage.fill(Qt::gray);
    }
    QImage image;
    PlayerArtwork steps;
    float imageSize;
    QImage defaultImage;
};

ArtworkDownloader quickDownloader()
{
    ArtworkDownloader::Options options;
    options.deadline = std::chrono::seconds(3);
    return ArtworkDownloader(options);
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
        QTest::newRow("one image") << 1 << QList<int>{1, 1, 1, 1};
        QTest::newRow("three images") << 3 << QList<int>{1, 2, 3, 1, 2};
        QTest::newRow("six images, then the first") << 6 << QList<int>{1, 2, 3, 4, 5, 6, 1};
    }
    void multipleArtworkRotation()
    {
        QFETCH(int, images);
        QFETCH(QList<int>, shown);
        Fixture f;
        EngineHarness h(document({player("iTunes", "playing",
                                         {{"name", "A"}, {"duration", 300}, {"artwork", f.colourFiles(images)}})}),
                        {{"multipleArtwork", true}});
        h.makeView();
        QCOMPARE(h.state().currentPlayer, 2);
        QCOMPARE(h.engine().scripts().artworkNumber, quint64(1));
        Artwork a(h);
        QList<int> seen;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            a.steps.perSourceArtworkStep();
            seen << colourNumber(a.image);
        }
        QCOMPARE(seen, shown);
    }

    void noArtworkMakesSevenRuns()
    {
        EngineHarness h(document({player("iTunes", "playing", {{"name", "A"}, {"duration", 300}})}),
                        {{"multipleArtwork", true}});
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
        Fixture f;
        for (const bool multiple : {false, true}) {
            EngineHarness h(document({player("iTunes", "playing",
                                             {{"name", "A"}, {"artwork", QJsonArray{f.file("short", bytes)}}})}),
                            {{"multipleArtwork", multiple}});
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
        Fixture f;
        const QJsonArray big{f.file("big.png", png(Qt::red, 64))};
        EngineHarness h(document({player("Swinsian", "playing", {{"name", "A"}, {"artwork", big}})}));
        h.makeView();
        QCOMPARE(h.state().currentPlayer, 7);
        Artwork a(h, 20.f);
        a.steps.perSourceArtworkStep();
        QCOMPARE(a.image.size(), QSize(20, 20));
        a.imageSize = 0.f; // not laid out yet: natural size
        a.steps.perSourceArtworkStep();
        QCOMPARE(a.image.size(), QSize(64, 64));
    }

    void randomCoverPrefersITunes()
    {
        Fixture f;
        NetworkStandIn server([](const NetworkStandIn::Request &request) {
            if (request.target.startsWith("/cover"))
                return NetworkStandIn::ok(png(kColours.at(request.target.mid(6).toInt() - 1)), "image/png");
            return NetworkStandIn::status(404);
        });
        QVERIFY(server.listen(kHost, kPort));
        const QJsonObject spotify = player("Spotify", "playing", {{"name", "S"}, {"duration", 300}});
        QJsonObject itunes = player("iTunes", "paused", {{"name", "A"}});
        itunes.insert("library", QJsonArray{f.colourFiles(2).at(1)});
        const QVariantList recent{"http://" + kServer + "/cover3", "http://" + kServer + "/cover4",
                                  "http://" + kServer + "/cover5"};

        {
            EngineHarness h(document({spotify, itunes}), {{"recentSpotifyArtworks", recent}});
            h.makeView();
            QCOMPARE(h.state().currentPlayer, 1);
            Artwork a(h, 0.f, quickDownloader());
            // Without iTunes' random script there is no random cover, not
            // even from Spotify's addresses.
            LogCapture log;
            QVERIFY(a.steps.getRandomCover().isNull());
            QVERIFY(log.has(QStringLiteral("but random script is nil!")));
            h.engine().scripts().setUpSomePlayerSpecificScriptsForPlayer(2);
            QCOMPARE(colourNumber(a.steps.getRandomCover()), 2);
            QCOMPARE(server.requestCount(), 0);
        }
        {
            // Spotify alone picks from the remembered addresses; the top of
            // the random range takes the last one.
            EngineHarness h(document({spotify}), {{"recentSpotifyArtworks", recent}});
            h.makeView();
            Artwork top(h, 0.f, quickDownloader(), [] { return quint32(2147483647); });
            QCOMPARE(colourNumber(top.steps.getRandomCover()), 5);
            Artwork bottom(h, 0.f, quickDownloader(), [] { return quint32(0); });
            QCOMPARE(colourNumber(bottom.steps.getRandomCover()), 3);
            Artwork middle(h, 0.f, quickDownloader(), [] { return quint32(1073741824); });
            QCOMPARE(colourNumber(middle.steps.getRandomCover()), 4);
            QCOMPARE(server.requestCount(), 3);
        }
        {
            EngineHarness h(document({spotify}));
            h.makeView();
            Artwork a(h, 0.f, quickDownloader());
            QVERIFY(a.steps.getRandomCover().isNull());
            QCOMPARE(server.requestCount(), 3);
        }
    }

    void recentSpotifyArtworksKeepOrder()
    {
        const QString current = QStringLiteral("http://127.0.0.1/current");
        EngineHarness h(document({player("Spotify", "playing", {{"name", "S"}, {"artworkUrl", current}})}));
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
        QCOMPARE(a.steps.recentSpotifyArtworks(),
                 (QStringList{"http://127.0.0.1/a", "http://127.0.0.1/b", current}));

        h.defaults->remove(key);
        a.steps.logSpotifyTrackArtwork();
        QCOMPARE(a.steps.recentSpotifyArtworks(), QStringList{current});
    }

    void artworkAddressesFromTheStandIn()
    {
        NetworkStandIn server([](const NetworkStandIn::Request &request) {
            if (request.target == "/spotify.png")
                return NetworkStandIn::ok(png(Qt::blue, 64), "image/png");
            if (request.target == "/hermes.png")
                return NetworkStandIn::ok(png(Qt::green, 64), "image/png");
            return NetworkStandIn::status(404);
        });
        QVERIFY(server.listen(kHost, kPort));
        {
            EngineHarness h(document({player("Spotify", "playing",
                                             {{"name", "S"}, {"artworkUrl", "http://{server}/spotify.png"}})}));
            QVERIFY(h.players->setServerAddress(kServer));
            h.makeView();
            QCOMPARE(h.state().currentPlayer, 1);
            Artwork a(h, 16.f, quickDownloader());
            a.steps.perSourceArtworkStep();
            QCOMPARE(colourNumber(a.image), 3);
            QCOMPARE(a.image.size(), QSize(64, 64)); // this path sets no size
            QCOMPARE(server.requestCount(), 1);
        }
        {
            EngineHarness h(document({player("Hermes", "playing",
                                             {{"name", "H"}, {"artworkUrl", "http://{server}/hermes.png"}})}));
            QVERIFY(h.players->setServerAddress(kServer));
            h.makeView();
            QCOMPARE(h.state().currentPlayer, 9);
            Artwork a(h, 16.f, quickDownloader());
            a.steps.perSourceArtworkStep();
            QCOMPARE(colourNumber(a.image), 2);
            QCOMPARE(a.image.size(), QSize(16, 16));
        }
        {
            EngineHarness h(document({player("Spotify", "playing",
                                             {{"name", "S"}, {"artworkUrl", "http://{server}/gone.png"}})}));
            QVERIFY(h.players->setServerAddress(kServer));
            h.makeView();
            Artwork a(h, 16.f, quickDownloader());
            LogCapture log;
            a.steps.perSourceArtworkStep();
            QVERIFY(a.image.isNull());
            QVERIFY(log.has(QStringLiteral(
                "attempted to set artwork image from url provided by Spotify (http://127.0.0.62:45062/gone.png) but failed")));
        }
    }

    void broadcasterBytes()
    {
        EngineHarness h(document({}));
        h.makeView();
        h.state().currentPlayer = 8;
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
        const QVariantMap none{{"defaultArtwork", 0}, {"actionWhenPaused", 0}};
        QTest::newRow("defaultArtwork 1") << true << false << QVariantMap{{"defaultArtwork", 1}} << -1;
        QTest::newRow("defaultArtwork 2 names no image") << true << false << QVariantMap{{"defaultArtwork", 2}} << 0;
        QTest::newRow("defaultArtwork 1 while userPaused")
            << true << false << QVariantMap{{"defaultArtwork", 1}, {"userPaused", true}} << 0;
        QTest::newRow("paused, actionWhenPaused 1") << false << false << QVariantMap{{"actionWhenPaused", 1}} << -1;
        QTest::newRow("paused, random cover") << false << true << QVariantMap{{"actionWhenPaused", 2}} << 1;
        QTest::newRow("paused, no random cover to be had")
            << false << false << QVariantMap{{"actionWhenPaused", 2}} << 0;
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
        Fixture f;
        QJsonObject itunes = player("iTunes", playing ? "playing" : "paused", {{"name", "A"}, {"duration", 300}});
        if (library)
            itunes.insert("library", f.colourFiles(1));
        EngineHarness h(document({itunes}), settings);
        h.makeView();
        QCOMPARE(h.state().currentPlayer, playing ? 2 : 0);
        Artwork a(h);
        a.steps.perSourceArtworkStep();
        QVERIFY(a.image.isNull());
        a.steps.fallbackArtworkStep();
        if (shown == -1)
            QCOMPARE(a.image, a.defaultImage);
        else
            QCOMPARE(colourNumber(a.image), shown);
    }

    void theViewsEngineShowsArtwork()
    {
        Fixture f;
        EngineHarness h(document({player("iTunes", "playing",
                                         {{"name", "A"}, {"duration", 300}, {"artwork", f.colourFiles(3)}})}),
                        {{"multipleArtwork", true}});
        h.makeView();
        h.engine().refresh(ThemeId::Classic);
        QCOMPARE(colourNumber(h.view->getArtworkImage()), 1);
        h.engine().refresh(ThemeId::AppleTV);
        QCOMPARE(colourNumber(h.view->getArtworkImage()), 2);
    }
};

QTEST_GUILESS_MAIN(TestPlayerArtwork)
#include "tst_playerartwork.moc"
