// The companion broadcaster as a process, and Coverlume following it: both
// on loopback addresses of their own, discovery fed by a fixture ARP table.

#include "broadcast-server/PlayerReport.h"
#include "broadcaster/BroadcastText.h"
#include "broadcaster/BroadcasterFetcher.h"
#include "support/AppProcess.h"
#include "support/NetworkStandIn.h"
#include "support/TestFiles.h"
#include "support/TimeFactor.h"

#include <QImage>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TestFiles;

namespace {

const QString kCompanion = QStringLiteral(COVERLUME_BINARY_DIR "/coverlume-broadcast");
const QString kBase = QStringLiteral("http://127.0.0.4:45055");

} // namespace

class TestBroadcastCompanion : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    std::unique_ptr<AppProcess> startCompanion(const QStringList &more = {})
    {
        auto companion = std::make_unique<AppProcess>(
            QStringList{"--listen", "127.0.0.4", "--players", path("broadcast.json")} + more,
            QProcessEnvironment::systemEnvironment(), kCompanion);
        [&] { QVERIFY2(companion->waitForLog("serving on", 1, 10000), companion->log.constData()); }();
        return companion;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(networkSafetyInstalled());
        QImage cover(8, 8, QImage::Format_RGB32);
        cover.fill(Qt::red);
        QVERIFY(cover.save(path("cover.png")));
        QVERIFY(writeBytes(path("broadcast.json"), R"({
          "players": [{"name": "Music", "state": "playing", "tracks": [
            {"name": "Live : Paris", "artist": "The Fixtures", "album": "Test Pressing", "duration": 200,
             "artwork": ["cover.png"], "bitRate": 320, "sampleRate": 44100, "rating": 80, "loved": true},
            {"name": "Second Wind", "artist": "The Fixtures", "duration": 180}]}]})"));
        QVERIFY(writeBytes(path("nothing.json"), R"({"processes": ["Finder"]})"));
    }

    void marksThePlayerDidNotTellAreLeftOut_data()
    {
        QTest::addColumn<bool>("known");
        QTest::addColumn<bool>("loved");
        QTest::newRow("not told") << false << false;
        QTest::newRow("told no") << true << false;
        QTest::newRow("told yes") << true << true;
    }
    void marksThePlayerDidNotTellAreLeftOut()
    {
        QFETCH(bool, known);
        QFETCH(bool, loved);
        PlayerSource::Track track;
        track.title = QStringLiteral("T");
        track.marksKnown = known;
        track.loved = loved;
        const QHash<QString, QString> fields = BroadcastText::parseBody(PlayerReport::nowPlayingBody(track));
        QCOMPARE(fields.contains("loved"), known);
        QCOMPARE(fields.contains("disliked"), known);
        if (known)
            QCOMPARE(fields.value("loved"), QString::fromLatin1(loved ? "YES" : "NO"));
    }

    void servesTheLocalPlayer()
    {
        const auto companion = startCompanion();
        BroadcasterFetcher fetcher;
        const std::optional<QByteArray> body = fetcher.fetch(kBase, 65536);
        QVERIFY(body);
        QHash<QString, QString> fields = BroadcastText::parseBody(*body);
        fields.remove("bookmark"); // moves with the clock
        QCOMPARE(fields, (QHash<QString, QString>{
                             {"track", "Live: Paris"}, {"artist", "The Fixtures"}, {"album", "Test Pressing"},
                             {"bitrate", "320 kbps"}, {"bitdepth", ""}, {"samplerate", "44100 Hz"},
                             {"kind", ""}, {"player", "music"}, {"duration", "200"},
                             {"rating", "80"}, {"loved", "YES"}, {"disliked", "NO"}}));

        const std::optional<QByteArray> artwork = fetcher.fetch(kBase + "/artwork", 1 << 20);
        QVERIFY(artwork);
        QCOMPARE(QImage::fromData(*artwork).pixelColor(4, 4), QColor(Qt::red));
        QVERIFY(!fetcher.fetch(kBase + "/next", 65536)); // read-only by default
        QVERIFY(companion->waitForLog("GET /next from 127.0.0.1: 403", 1, 10000));
        // The address is taken.
        QCOMPARE(AppProcess::run({"--listen", "127.0.0.4", "--players", path("broadcast.json")},
                                 QProcessEnvironment::systemEnvironment(), kCompanion).status, 1);
    }

    // Forty added at once, each by a process of its own: all forty stay.
    void addsBroadcastersByHand()
    {
        std::vector<std::unique_ptr<AppProcess>> adding;
        for (int i = 10; i < 50; ++i)
            adding.push_back(std::make_unique<AppProcess>(
                QStringList{"--add-broadcaster", QStringLiteral("127.0.0.%1").arg(i), "--config-dir", path("byhand")}));
        for (const auto &process : adding) {
            QVERIFY(process->process.waitForFinished(TimeFactor::ms(60000)));
            QCOMPARE(process->normalExitCode(), 0);
        }
        const QByteArray saved = readBytes(path("byhand/defaults.json"));
        for (int i = 10; i < 50; ++i)
            QVERIFY2(saved.contains(QStringLiteral("\"http://127.0.0.%1:45055\"").arg(i).toUtf8()), saved.constData());
    }

    void coverlumeFollowsTheCompanion()
    {
        const auto companion = startCompanion({"--allow-commands"});
        QVERIFY(writeBytes(path("arp"),
                          "IP address       HW type     Flags       HW address            Mask     Device\n"
                          "127.0.0.4        0x1         0x2         00:11:22:33:44:55     *        lo\n"));
        QVERIFY(writeBytes(path("config/defaults.json"), R"({"listenForBroadcaster": true})"));

        QProcessEnvironment environment = AppProcess::environmentWith("COVERLUME_ARP_FIXTURE", path("arp"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        AppProcess display({"--offscreen", "--players", path("nothing.json"), "--config-dir", path("config"),
                            "--state", path("state.json")}, environment);
        const QByteArray told = "CoverlumeView updateTrackInfoFromBroadcaster";
        QVERIFY2(display.waitForLog(told, 1, 10000), display.log.constData());

        // A track change on the broadcaster reaches the display within one
        // poll; the layout after it asks for the new track's artwork, which
        // it has none of.
        QVERIFY(BroadcasterFetcher().fetch(kBase + "/next", 65536));
        QVERIFY2(display.waitForLog(told, 2, 3000 + 1500), display.log.constData());
        const int nilsBefore = int(display.log.left(display.log.lastIndexOf(told)).count("data is nil"));
        QVERIFY2(display.waitForLog("data is nil", nilsBefore + 1, 10000), display.log.constData());
        QVERIFY(display.terminate(10000));
        QCOMPARE(display.normalExitCode(), 0);

        const QJsonObject state = readJsonObject(path("state.json"));
        QCOMPARE(state.value("currentPlayer").toInt(), 8);
        QCOMPARE(state.value("track").toString(), QStringLiteral("Second Wind"));
    }
};

QTEST_GUILESS_MAIN(TestBroadcastCompanion)
#include "tst_broadcastcompanion.moc"
