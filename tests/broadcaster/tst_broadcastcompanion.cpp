// The companion broadcaster as a process, and Coverlume following it: both
// on loopback addresses of their own, discovery fed by a fixture ARP table.

#include "broadcaster/BroadcastText.h"
#include "broadcaster/BroadcasterFetcher.h"
#include "support/NetworkStandIn.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>

namespace {

const QString kCompanion = QStringLiteral(COVERLUME_BINARY_DIR "/coverlume-broadcast");
const QString kBase = QStringLiteral("http://127.0.0.4:45055");

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A process whose standard error is collected as it comes; killed, if
// still running, when it goes.
struct Running
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QByteArray log;
    // Waits, bounded, until the log from `from` on holds the text `count` times.
    bool waitForLog(const QByteArray &text, int count = 1, qsizetype from = 0, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (log.mid(from).count(text) < count && !deadline.hasExpired()
               && process->state() != QProcess::NotRunning) {
            process->waitForReadyRead(100);
            log += process->readAllStandardError();
        }
        log += process->readAllStandardError();
        return log.mid(from).count(text) >= count;
    }
    void stop()
    {
        ::kill(pid_t(process->processId()), SIGTERM);
        QVERIFY(process->waitForFinished(10000));
        log += process->readAllStandardError();
    }
};

} // namespace

class TestBroadcastCompanion : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void startCompanion(Running &companion, const QStringList &more = {})
    {
        companion.process->start(kCompanion, QStringList{"--listen", "127.0.0.4", "--players", path("broadcast.json")} + more);
        QVERIFY2(companion.waitForLog("serving on"), companion.log.constData());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(networkSafetyInstalled());
        QImage cover(8, 8, QImage::Format_RGB32);
        cover.fill(Qt::red);
        QVERIFY(cover.save(path("cover.png")));
        QVERIFY(writeFile(path("broadcast.json"), R"({
          "players": [{"name": "Music", "state": "playing", "tracks": [
            {"name": "Live : Paris", "artist": "The Fixtures", "album": "Test Pressing", "duration": 200,
             "artwork": ["cover.png"], "bitRate": 320, "sampleRate": 44100, "rating": 80, "loved": true},
            {"name": "Second Wind", "artist": "The Fixtures", "duration": 180}]}]})"));
        QVERIFY(writeFile(path("nothing.json"), R"({"processes": ["Finder"]})"));
    }

    void servesTheLocalPlayer()
    {
        Running companion;
        startCompanion(companion);
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
        QVERIFY(companion.waitForLog("GET /next from 127.0.0.1: 403"));

        QProcess second; // the address is taken
        second.start(kCompanion, {"--listen", "127.0.0.4", "--players", path("broadcast.json")});
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitCode(), 1);
    }

    void addsABroadcasterByHand()
    {
        QProcess add;
        add.start(QStringLiteral(COVERLUME_APP_BINARY), {"--add-broadcaster", "127.0.0.6", "--config-dir", path("byhand")});
        QVERIFY(add.waitForFinished(10000));
        QCOMPARE(add.exitCode(), 0);
        QFile settings(path("byhand/defaults.json"));
        QVERIFY(settings.open(QIODevice::ReadOnly) && settings.readAll().contains("\"http://127.0.0.6:45055\""));
    }

    void coverlumeFollowsTheCompanion()
    {
        Running companion;
        startCompanion(companion, {"--allow-commands"});
        QVERIFY(writeFile(path("arp"),
                          "IP address       HW type     Flags       HW address            Mask     Device\n"
                          "127.0.0.4        0x1         0x2         00:11:22:33:44:55     *        lo\n"));
        QDir().mkpath(path("config"));
        QVERIFY(writeFile(path("config/defaults.json"), R"({"listenForBroadcaster": true})"));

        Running display;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("COVERLUME_ARP_FIXTURE", path("arp"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        display.process->setProcessEnvironment(environment);
        display.process->start(QStringLiteral(COVERLUME_APP_BINARY),
                               {"--offscreen", "--players", path("nothing.json"), "--config-dir", path("config"),
                                "--state", path("state.json")});
        const QByteArray told = "CoverlumeView updateTrackInfoFromBroadcaster";
        QVERIFY2(display.waitForLog(told), display.log.constData());

        // A track change on the broadcaster reaches the display within one
        // poll; the layout after it asks for the new track's artwork, which
        // it has none of.
        QVERIFY(BroadcasterFetcher().fetch(kBase + "/next", 65536));
        QVERIFY2(display.waitForLog(told, 2, 0, 3000 + 1500), display.log.constData());
        QVERIFY2(display.waitForLog("data is nil", 1, display.log.lastIndexOf(told)), display.log.constData());
        display.stop();
        QCOMPARE(display.process->exitCode(), 0);

        QFile stateFile(path("state.json"));
        QVERIFY(stateFile.open(QIODevice::ReadOnly));
        const QJsonObject state = QJsonDocument::fromJson(stateFile.readAll()).object();
        QCOMPARE(state.value("currentPlayer").toInt(), 8);
        QCOMPARE(state.value("track").toString(), QStringLiteral("Second Wind"));
    }
};

QTEST_GUILESS_MAIN(TestBroadcastCompanion)
#include "tst_broadcastcompanion.moc"
