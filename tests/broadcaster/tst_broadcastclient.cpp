#include "broadcaster/ArpSource.h"
#include "broadcaster/BroadcasterHelperDelegate.h"
#include "broadcaster/BroadcasterRequest.h"
#include "broadcaster/CoverlumeBroadcasterHelper.h"
#include "broadcaster/CoverlumeBroadcasterHelperURL.h"
#include "platform/DefaultsStore.h"
#include "platform/NotificationCenter.h"
#include "support/NetworkStandIn.h"
#include "support/TimeFactor.h"

#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>

using Fields = QHash<QString, QString>;
using Report = BroadcasterReport;
Q_DECLARE_METATYPE(BroadcasterReport)

namespace {

const QString kFirst = QStringLiteral("http://127.0.0.2:45055");
const QString kSecond = QStringLiteral("http://127.0.0.3:45055");
const Fields kFull = {{"track", "A"}, {"artist", "B"}, {"spotifyid", "id1"}, {"bitrate", "320"}, {"player", "spotify"},
                      {"bookmark", "10"}, {"duration", "300"}, {"rating", "80"}, {"popularity", "50"}, {"loved", "YES"}};

struct Recorder : BroadcasterHelperDelegate
{
    QList<Fields> received;
    QStringList from, failed;
    void helperURLDidReceiveData(CoverlumeBroadcasterHelperURL *, const Fields &f, const QString &url) override
    {
        received << f;
        from << url;
    }
    void helperURLReceivedNoData(CoverlumeBroadcasterHelperURL *, const QString &url) override { failed << url; }
};

struct FixtureArp final : ArpSource
{
    QString text;
    QString readTable() override { return text; }
};

Recorder exchange(const QString &address)
{
    Recorder recorder;
    QNetworkAccessManager manager;
    QPointer<CoverlumeBroadcasterHelperURL> exchange = new CoverlumeBroadcasterHelperURL(&recorder, manager);
    QSignalSpy ended(exchange, &CoverlumeBroadcasterHelperURL::ended);
    exchange->sendGetRequestTo(address);
    [&] {
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, TimeFactor::ms(8000));
        QTRY_VERIFY(exchange.isNull()); // it deletes itself
    }();
    return recorder;
}

// A client on a fixture neighbour table, a scratch store, its own centre and a hand-moved clock.
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
        helper = std::make_unique<CoverlumeBroadcasterHelper>(
            CoverlumeBroadcasterHelper::Options{pollMs, [this] { return nowMs; }, &center});
        auto arp = std::make_unique<FixtureArp>();
        for (const QString &address : neighbours)
            arp->text += QStringLiteral("? (%1) at 0:1b:63:aa:bb:cc on lo [ethernet]\n").arg(address);
        helper->setArpSource(std::move(arp));
        helper->setDefaults(&defaults);
        center.addObserver(this, CoverlumeBroadcasterHelper::playerInfoNotification,
                           [this](const Notification &) { ++notifications; });
    }
    void answer(const Fields &fields, const QString &from = kFirst) { helper->helperURLDidReceiveData(nullptr, fields, from); }
};

void sendEverything(Client &client)
{
    QVERIFY(client.helper->getArtwork().isEmpty());
    for (auto send : {&CoverlumeBroadcasterHelper::sendPlayPause, &CoverlumeBroadcasterHelper::sendPrev,
                      &CoverlumeBroadcasterHelper::sendNext, &CoverlumeBroadcasterHelper::sendVolumeUp,
                      &CoverlumeBroadcasterHelper::sendVolumeDown})
        (client.helper.get()->*send)();
}

} // namespace

class TestBroadcastClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(networkSafetyInstalled()); }

    // An answer is parsed, a refused one tells the delegate nothing, an
    // oversized or missing one is a failure.
    void exchangeOutcomes_data()
    {
        QTest::addColumn<int>("status"); // 0: nothing listens
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<Fields>>("received");
        QTest::addColumn<int>("failures");
        QTest::newRow("answer") << 200 << QByteArray("track : S\nalbum : X")
                                << QList<Fields>{{{"track", "S"}, {"album", "X"}}} << 0;
        for (int status : {401, 404, 500})
            QTest::addRow("%d", status) << status << QByteArray() << QList<Fields>{} << 0;
        QTest::newRow("oversized") << 200 << QByteArray(BroadcasterRequest::maxTextBodyBytes + 1, 'x')
                                   << QList<Fields>{} << 1;
        QTest::newRow("nothing listens") << 0 << QByteArray() << QList<Fields>{} << 1;
    }
    void exchangeOutcomes()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        NetworkStandIn server([status, body](const NetworkStandIn::Request &) {
            return status == 200 ? NetworkStandIn::ok(body) : NetworkStandIn::status(status);
        });
        QVERIFY(status == 0 || server.listen("127.0.0.2"));
        const QString address = kFirst + "/a b";
        const Recorder heard = exchange(address);
        QTEST(heard.received, "received");
        QTEST(int(heard.failed.size()), "failures");
        for (const QString &url : heard.from + heard.failed)
            QCOMPARE(url, address); // as given, not as sent
        if (status == 0)
            return;
        const NetworkStandIn::Request request = server.requests().value(0);
        QCOMPARE(request.target, QByteArray("/a%20b"));
        QCOMPARE(request.headers.value("host"), QByteArray("127.0.0.2:45055"));
        QCOMPARE(request.headers.value("user-agent"), QByteArray("Coverlume/Pro"));
        QVERIFY(!request.headers.contains("cookie"));
        // Port 80 cannot be bound here: the request as built must do.
        QCOMPARE(BroadcasterRequest::makeRequest(QUrl("http://127.0.0.2/x")).rawHeader("Host"), QByteArray("127.0.0.2"));
    }

    void discoveryFollowsTheBroadcasterThatAnswers()
    {
        std::atomic<int> polls{0};
        NetworkStandIn server([&polls](const NetworkStandIn::Request &request) {
            if (request.target == "/artwork")
                return NetworkStandIn::ok("\x89PNG artwork", "image/png");
            // The bookmark counts the answers, so that the test can wait for them.
            return NetworkStandIn::ok("track : Song\nbitrate : 320 kbps\nbookmark : " + QByteArray::number(++polls));
        });
        QVERIFY(server.listen("127.0.0.2"));
        Client client({"127.0.0.2", "127.0.0.3"});
        client.defaults.set("knownBroadcasters", QVariantList{"http://10.0.0.1:80", kSecond});
        sendEverything(client); // nothing is sent while no broadcaster is known
        QCOMPARE(client.helper->syncRequestsSent(), 0);
        client.helper->start();
        QTRY_VERIFY_WITH_TIMEOUT(client.helper->hasKnownBroadcaster(), TimeFactor::ms(5000));
        QCOMPARE(client.helper->knownBroadcaster(), kFirst);
        QCOMPARE(client.helper->getBitrate(), QVariant(QStringLiteral("320 kbps")));
        QVERIFY(!client.helper->getBitdepth().isValid());
        // The bad saved entry is skipped and not written back.
        QCOMPARE(client.defaults.arrayValue("knownBroadcasters"), (QVariantList{kSecond, kFirst}));

        // Polls of the same track: one notification in all.
        QTRY_VERIFY_WITH_TIMEOUT(client.helper->bookmarkSeconds() >= 3, TimeFactor::ms(5000));
        QCOMPARE(client.notifications, 1);

        // Asked for when the track arrived, handed over once it has come.
        QTRY_COMPARE_WITH_TIMEOUT(client.helper->getArtwork(), QByteArray("\x89PNG artwork"), TimeFactor::ms(5000));
        client.helper->sendNext();
        client.helper->sendPlayPause();
        QStringList targets;
        for (const NetworkStandIn::Request &request : server.requests())
            targets << QString::fromLatin1(request.target);
        QVERIFY(targets.contains("/next") && targets.contains("/playpause"));

        // A second start keeps the one polling thread and forgets the track
        // without a word, so finding it again is a change.
        client.helper->start();
        QCOMPARE(client.helper->pollingThreadsStarted(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(client.helper->hasKnownBroadcaster(), TimeFactor::ms(5000));
        QCOMPARE(client.notifications, 2);

        server.close(); // the next poll loses it, and polling stops
        QTRY_VERIFY_WITH_TIMEOUT(!client.helper->hasKnownBroadcaster(), TimeFactor::ms(5000));
        QVERIFY(client.helper->getTrack().isEmpty());
        QCOMPARE(client.notifications, 3);
        const int sent = client.helper->probesSent() + client.helper->syncRequestsSent();
        const int cycles = client.helper->pollCycles();
        sendEverything(client);
        QTRY_VERIFY(client.helper->pollCycles() >= cycles + 2);
        QCOMPARE(client.helper->probesSent() + client.helper->syncRequestsSent(), sent);
    }

    // Every path that forgets a report keeps exactly its own fields. The
    // answers that follow come from a second machine, which an empty track
    // does not make the known one.
    void eachResetKeepsItsOwnFields_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Fields>("next"); // the answer that follows, if any
        QTest::addColumn<Report>("expected");
        QTest::addColumn<QString>("known");
        QTest::addColumn<int>("notifications");
        Report full;
        full.take(kFull, 1'000'000);
        QTest::newRow("start") << "start" << Fields{} << Report{} << "" << 1;
        QTest::newRow("answer without keys") << "answer" << Fields{{"x", "y"}}
                                             << Report{.spotifyID = "id1", .player = "spotify", .popularity = 50} << kFirst << 2;
        QTest::newRow("empty track") << "answer" << Fields{{"track", ""}, {"artist", "A"}}
                                     << Report{.artist = "A", .spotifyID = "id1", .player = "spotify", .popularity = 50}
                                     << kFirst << 2;
        QTest::newRow("lost") << kFirst << Fields{} << Report{.player = "spotify", .popularity = 50} << "" << 2;
        QTest::newRow("another machine lost") << kSecond << Fields{} << full << kFirst << 1;
    }
    void eachResetKeepsItsOwnFields()
    {
        QFETCH(QString, path);
        QFETCH(Fields, next);
        Client client;
        client.answer(kFull);
        if (path == "start")
            client.helper->start();
        else if (path == "answer")
            client.answer(next, kSecond);
        else
            client.helper->helperURLReceivedNoData(nullptr, path);
        QFETCH(Report, expected);
        QVERIFY(client.helper->report() == expected);
        QTEST(client.helper->knownBroadcaster(), "known");
        QTEST(client.notifications, "notifications");
    }

    void bookmarkIsEstimated_data()
    {
        QTest::addColumn<Fields>("answer");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<double>("estimate");
        const Fields playing{{"bookmark", "100"}, {"duration", "300"}};
        const QString huge = QString::number(std::numeric_limits<qint64>::max());
        QTest::newRow("20.4 s") << playing << qint64(20400) << 120.0;
        QTest::newRow("past the end") << playing << qint64(250000) << 100.0;
        QTest::newRow("clock gone back") << playing << qint64(-50000) << 100.0;
        QTest::newRow("held to the bar's range") << Fields{{"bookmark", huge}, {"duration", huge}} << qint64(5000)
                                                 << double(BroadcasterReport::maxSeconds);
        const QString lowest = QString::number(std::numeric_limits<qint64>::min());
        QTest::newRow("never negative") << Fields{{"bookmark", lowest}, {"duration", lowest}} << qint64(5000) << 0.0;
        // After an answer without a bookmark there is none to count on from.
        QTest::newRow("bookmark left out") << Fields{{"duration", "300"}} << qint64(20400) << 0.0;
    }
    void bookmarkIsEstimated()
    {
        QFETCH(Fields, answer);
        QFETCH(qint64, elapsedMs);
        Client client;
        client.answer({{"bookmark", "100"}, {"duration", "300"}});
        client.answer(answer);
        client.nowMs += elapsedMs;
        QTEST(client.helper->getBookmark(), "estimate");
    }

    void controlCharactersAreDropped()
    {
        Client client;
        client.answer({{"track", QStringLiteral("So\u0000ng\u0007\u009f")}, {"artist", QStringLiteral("\u0000")}});
        QCOMPARE(client.helper->getTrack(), QStringLiteral("Song"));
        QVERIFY(client.helper->getArtist().isEmpty());
    }

    // A broadcaster that takes the polls but never finishes its answers is
    // lost at the next poll, and the display hears of it.
    void aHangingPollLosesTheBroadcaster()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(QStringLiteral("127.0.0.2")), CoverlumeBroadcasterHelper::port));
        int answered = 0;
        QList<QTcpSocket *> held;
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                if (answered++ == 0)
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 12\r\nConnection: close\r\n\r\ntrack : Song");
                held << socket; // the later ones hear nothing back
            }
        });
        Client client({"127.0.0.2"});
        client.helper->start();
        QTRY_VERIFY_WITH_TIMEOUT(client.helper->hasKnownBroadcaster(), TimeFactor::ms(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!client.helper->hasKnownBroadcaster(), TimeFactor::ms(5000));
        QVERIFY(client.helper->getTrack().isEmpty());
        QCOMPARE(client.notifications, 2);
        client.helper->stop();
    }
};

QTEST_GUILESS_MAIN(TestBroadcastClient)
#include "tst_broadcastclient.moc"
