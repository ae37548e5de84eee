#include "broadcaster/ArpSource.h"
#include "broadcaster/BroadcasterHelperDelegate.h"
#include "broadcaster/BroadcasterRequest.h"
#include "broadcaster/CoverlumeBroadcasterHelper.h"
#include "broadcaster/CoverlumeBroadcasterHelperURL.h"
#include "platform/DefaultsStore.h"
#include "platform/NotificationCenter.h"
#include "support/NetworkStandIn.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using Fields = QHash<QString, QString>;

namespace {

const QString kFirst = QStringLiteral("http://127.0.0.2:45055");
const QString kSecond = QStringLiteral("http://127.0.0.3:45055");

struct Recorder : BroadcasterHelperDelegate
{
    QList<Fields> received;
    QStringList receivedFrom;
    QStringList failed;
    void helperURLDidReceiveData(CoverlumeBroadcasterHelperURL *, const Fields &fields,
                                 const QString &from) override
    {
        received << fields;
        receivedFrom << from;
    }
    void helperURLReceivedNoData(CoverlumeBroadcasterHelperURL *, const QString &from) override
    {
        failed << from;
    }
};

class FixtureArp final : public ArpSource
{
public:
    explicit FixtureArp(QString text) : m_text(std::move(text)) {}
    QString readTable() override { return m_text; }

private:
    QString m_text;
};

QString arpLines(const QStringList &addresses)
{
    QString text;
    for (const QString &address : addresses)
        text += QStringLiteral("? (%1) at 0:1b:63:aa:bb:cc on lo [ethernet]\n").arg(address);
    return text;
}

} // namespace

class TestBroadcastClient : public QObject
{
    Q_OBJECT

    // Runs one exchange to its end and returns what the delegate heard.
    Recorder exchange(const QString &address)
    {
        Recorder recorder;
        QNetworkAccessManager manager;
        auto *exchange = new CoverlumeBroadcasterHelperURL(&recorder, manager);
        QSignalSpy ended(exchange, &CoverlumeBroadcasterHelperURL::ended);
        exchange->sendGetRequestTo(address);
        if (ended.isEmpty())
            ended.wait(8000);
        [&] { QCOMPARE(ended.size(), 1); }();
        QTest::qWait(10); // let the exchange delete itself
        return recorder;
    }

    struct Client
    {
        QTemporaryDir dir;
        DefaultsStore defaults{dir.path()};
        NotificationCenter center;
        qint64 nowMs = 1'000'000;
        int notifications = 0;
        std::unique_ptr<CoverlumeBroadcasterHelper> helper;

        explicit Client(const QStringList &neighbours = {}, int pollMs = 200)
        {
            CoverlumeBroadcasterHelper::Options options;
            options.pollIntervalMs = pollMs;
            options.monotonicMs = [this] { return nowMs; };
            options.center = &center;
            helper = std::make_unique<CoverlumeBroadcasterHelper>(options);
            helper->setArpSource(std::make_unique<FixtureArp>(arpLines(neighbours)));
            helper->setDefaults(&defaults);
            center.addObserver(this, CoverlumeBroadcasterHelper::playerInfoNotification,
                               [this](const Notification &) { ++notifications; });
        }
        void answer(const Fields &fields, const QString &from = kFirst)
        {
            helper->helperURLDidReceiveData(nullptr, fields, from);
        }
    };

private Q_SLOTS:
    void initTestCase() { QVERIFY(networkSafetyInstalled()); }

    // The exchange

    void exchangeParsesTheAnswer()
    {
        NetworkStandIn server([](const NetworkStandIn::Request &) {
            return NetworkStandIn::ok("track : Song\nartist : Band : Live\nalbum : X");
        });
        QVERIFY(server.listen("127.0.0.2"));
        const Recorder heard = exchange(kFirst);
        QCOMPARE(heard.received, (QList<Fields>{{{"track", "Song"}, {"album", "X"}}}));
        QCOMPARE(heard.receivedFrom, QStringList{kFirst});
        QVERIFY(heard.failed.isEmpty());

        const NetworkStandIn::Request request = server.requests().value(0);
        QCOMPARE(request.headers.value("host"), QByteArray("127.0.0.2:45055"));
        QCOMPARE(request.headers.value("user-agent"), QByteArray("Coverlume/Pro"));
        QVERIFY(!request.headers.contains("cookie"));
    }

    void hostHeaderWithoutPortIsTheBareHost()
    {
        // Port 80 cannot be bound here: the request as built must do.
        const QNetworkRequest request = BroadcasterRequest::makeRequest(QUrl("http://127.0.0.2/x"));
        QCOMPARE(request.rawHeader("Host"), QByteArray("127.0.0.2"));
        QCOMPARE(request.transferTimeout(), 10000);
    }

    void refusedAnswersTellNothing_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("404") << 404;
        QTest::newRow("401") << 401;
        QTest::newRow("500") << 500;
    }
    void refusedAnswersTellNothing()
    {
        QFETCH(int, status);
        NetworkStandIn server([status](const NetworkStandIn::Request &) {
            return NetworkStandIn::status(status);
        });
        QVERIFY(server.listen("127.0.0.2"));
        const Recorder heard = exchange(kFirst);
        QVERIFY(heard.received.isEmpty());
        QVERIFY(heard.failed.isEmpty());
        QCOMPARE(server.requestCount(), 1);
    }

    void spaceInPathIsEncodedAndEchoedAsGiven()
    {
        NetworkStandIn server([](const NetworkStandIn::Request &) { return NetworkStandIn::ok("track : S"); });
        QVERIFY(server.listen("127.0.0.2"));
        const QString address = kFirst + QStringLiteral("/a b");
        const Recorder heard = exchange(address);
        QCOMPARE(heard.receivedFrom, QStringList{address});
        QCOMPARE(server.requests().value(0).target, QByteArray("/a%20b"));
    }

    void oversizedOrMissingAnswersAreFailures()
    {
        NetworkStandIn server([](const NetworkStandIn::Request &) {
            return NetworkStandIn::ok(QByteArray(BroadcasterRequest::maxTextBodyBytes + 1, 'x'));
        });
        QVERIFY(server.listen("127.0.0.2"));
        QCOMPARE(exchange(kFirst).failed, QStringList{kFirst});
        // Nothing listens on the second address.
        QCOMPARE(exchange(kSecond).failed, QStringList{kSecond});
    }

    // The client

    void discoveryFollowsTheBroadcasterThatAnswers()
    {
        NetworkStandIn server([](const NetworkStandIn::Request &request) {
            if (request.target == "/artwork")
                return NetworkStandIn::ok("\x89PNG artwork", "image/png");
            return NetworkStandIn::ok("track : Song\nartist : Band\nplayer : spotify\nbitrate : 320 kbps\n");
        });
        QVERIFY(server.listen("127.0.0.2"));
        Client client({"127.0.0.2", "127.0.0.3"});
        client.defaults.set("knownBroadcasters", QVariantList{"http://10.0.0.1:80", kSecond});
        client.helper->start();
        QTRY_VERIFY_WITH_TIMEOUT(client.helper->hasKnownBroadcaster(), 5000);
        QCOMPARE(client.helper->knownBroadcaster(), kFirst);
        QCOMPARE(client.helper->getTrack(), QStringLiteral("Song"));
        QCOMPARE(client.helper->getBitrate(), QVariant(QStringLiteral("320 kbps")));
        QVERIFY(!client.helper->getBitdepth().isValid());
        // The bad saved entry is skipped and not written back.
        QCOMPARE(client.defaults.arrayValue("knownBroadcasters"), (QVariantList{kSecond, kFirst}));

        // Polls of the same track: one notification in all.
        const int before = server.requestCount();
        QTRY_VERIFY_WITH_TIMEOUT(server.requestCount() >= before + 2, 5000);
        QCOMPARE(client.notifications, 1);

        QCOMPARE(client.helper->getArtwork(), QByteArray("\x89PNG artwork"));
        client.helper->sendNext();
        client.helper->sendPlayPause();
        QStringList targets;
        for (const NetworkStandIn::Request &request : server.requests())
            targets << QString::fromLatin1(request.target);
        QVERIFY(targets.contains("/next"));
        QVERIFY(targets.contains("/playpause"));

        // A second start keeps the one polling thread; it forgets the track
        // without a word, so finding it again is a change.
        client.helper->start();
        QCOMPARE(client.helper->pollingThreadsStarted(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(client.helper->hasKnownBroadcaster(), 5000);
        QCOMPARE(client.notifications, 2);

        // The broadcaster goes away: the next poll loses it.
        server.close();
        QTRY_VERIFY_WITH_TIMEOUT(!client.helper->hasKnownBroadcaster(), 5000);
        QVERIFY(client.helper->getTrack().isEmpty());
        QVERIFY(client.helper->getPlayer() == QStringLiteral("spotify")); // kept, as on any failure
        QCOMPARE(client.notifications, 3);
    }

    void emptyTrackMakesNoBroadcasterKnown()
    {
        NetworkStandIn server([](const NetworkStandIn::Request &) { return NetworkStandIn::ok("track : \nartist : A"); });
        QVERIFY(server.listen("127.0.0.2"));
        Client client({"127.0.0.2"});
        client.helper->start();
        QTRY_COMPARE_WITH_TIMEOUT(client.helper->getArtist(), QStringLiteral("A"), 5000);
        QVERIFY(!client.helper->hasKnownBroadcaster());
        QVERIFY(client.helper->getTrack().isEmpty());
        QCOMPARE(client.notifications, 0);
    }

    void nothingIsRequestedWithoutABroadcaster()
    {
        NetworkStandIn server([](const NetworkStandIn::Request &) { return NetworkStandIn::ok("track : A"); });
        QVERIFY(server.listen("127.0.0.2"));
        Client client;
        QVERIFY(client.helper->getArtwork().isEmpty());
        client.helper->sendPlayPause();
        client.helper->sendPrev();
        client.helper->sendNext();
        client.helper->sendVolumeUp();
        client.helper->sendVolumeDown();
        client.helper->start(); // no neighbours, nothing saved: no probe, no poll
        QTest::qWait(500);
        QCOMPARE(client.helper->syncRequestsSent(), 0);
        QCOMPARE(server.requestCount(), 0);
    }

    void answersKeepOnlySomeFields()
    {
        Client client;
        client.answer({{"track", "A"}, {"artist", "B"}, {"player", "spotify"}, {"popularity", "50"},
                       {"spotifyid", "id1"}, {"loved", "YES"}, {"rating", "80"}});
        QCOMPARE(client.notifications, 1);
        client.answer({{"track", "A"}, {"loved", ""}});
        QCOMPARE(client.notifications, 1);
        QCOMPARE(client.helper->getPlayer(), QStringLiteral("spotify"));
        QCOMPARE(client.helper->getPopularity(), qint64(50));
        QCOMPARE(client.helper->getSpotifyID(), QStringLiteral("id1"));
        QVERIFY(client.helper->getArtist().isEmpty());
        QCOMPARE(client.helper->getRating(), 0);
        QVERIFY(!client.helper->getLoved());

        // An answer without keys clears the fields and tells the display.
        client.answer({{"unrelated", "x"}});
        QVERIFY(client.helper->getTrack().isEmpty());
        QCOMPARE(client.notifications, 2);
    }

    void failuresOfOtherMachinesChangeNothing()
    {
        Client client;
        client.answer({{"track", "A"}, {"artist", "B"}, {"spotifyid", "id"}});
        QVERIFY(client.helper->hasKnownBroadcaster());
        client.helper->helperURLReceivedNoData(nullptr, kSecond);
        QCOMPARE(client.helper->getTrack(), QStringLiteral("A"));
        QCOMPARE(client.helper->knownBroadcaster(), kFirst);
        QCOMPARE(client.notifications, 1);

        client.helper->helperURLReceivedNoData(nullptr, kFirst);
        QVERIFY(!client.helper->hasKnownBroadcaster());
        QVERIFY(client.helper->getSpotifyID().isEmpty());
        QVERIFY(client.helper->getArtist().isEmpty());
        QCOMPARE(client.notifications, 2);
    }

    void bookmarkIsEstimated_data()
    {
        QTest::addColumn<qint64>("bookmark");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<double>("estimate");
        QTest::newRow("20.4 s") << qint64(100) << qint64(300) << qint64(20400) << 120.0;
        QTest::newRow("past the end") << qint64(100) << qint64(300) << qint64(250000) << 100.0;
        QTest::newRow("clock gone back") << qint64(100) << qint64(300) << qint64(-50000) << 100.0;
        QTest::newRow("no overflow") << std::numeric_limits<qint64>::max()
                                     << std::numeric_limits<qint64>::max() << qint64(5000)
                                     << double(std::numeric_limits<qint64>::max());
    }
    void bookmarkIsEstimated()
    {
        QFETCH(qint64, bookmark);
        QFETCH(qint64, duration);
        QFETCH(qint64, elapsedMs);
        QFETCH(double, estimate);
        Client client;
        client.answer({{"track", "A"}, {"bookmark", QString::number(bookmark)},
                       {"duration", QString::number(duration)}});
        client.nowMs += elapsedMs;
        QCOMPARE(client.helper->getBookmark(), estimate);
    }
};

QTEST_GUILESS_MAIN(TestBroadcastClient)
#include "tst_broadcastclient.moc"
