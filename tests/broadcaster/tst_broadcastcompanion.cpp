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

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Waits, bounded, until the process's standard error holds the text.
bool waitForLog(QProcess &process, QByteArray &log, const QByteArray &text, int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (log.count(text) < count && !deadline.hasExpired()) {
        process.waitForReadyRead(100);
        log += process.readAllStandardError();
        if (process.state() == QProcess::NotRunning) {
            log += process.readAllStandardError();
            break;
        }
    }
    return log.count(text) >= count;
}

struct Running
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QByteArray log;
    ~Running()
    {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
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

    void startCompanion(Running &companion, const QString &address, bool allowCommands)
    {
        QStringList arguments{"--listen", address, "--players", path("broadcast.json")};
        if (allowCommands)
            arguments << "--allow-commands";
        companion.process->setProcessChannelMode(QProcess::SeparateChannels);
        companion.process->start(kCompanion, arguments);
        QVERIFY(companion.process->waitForStarted(5000));
        QVERIFY2(waitForLog(*companion.process, companion.log, "serving on", 1, 5000), companion.log.constData());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(networkSafetyInstalled());
        QVERIFY(m_dir.isValid());
        QImage cover(8, 8, QImage::Format_RGB32);
        cover.fill(Qt::red);
        QVERIFY(cover.save(path("cover.png")));
        const QJsonObject scenario = QJsonDocument::fromJson(R"({
          "players": [{"name": "Music", "state": "playing", "tracks": [
            {"name": "Live : Paris", "artist": "The Fixtures", "album": "Test Pressing", "duration": 200,
             "artwork": ["cover.png"], "bitRate": 320, "sampleRate": 44100, "rating": 80, "loved": true},
            {"name": "Second Wind", "artist": "The Fixtures", "duration": 180}]}]})").object();
        QVERIFY(!scenario.isEmpty());
        QVERIFY(writeFile(path("broadcast.json"), QJsonDocument(scenario).toJson()));
        QVERIFY(writeFile(path("nothing.json"), R"({"processes": ["Finder"]})"));
    }

    void servesTheLocalPlayer()
    {
        Running companion;
        startCompanion(companion, "127.0.0.4", false);
        BroadcasterFetcher fetcher;
        const std::optional<QByteArray> body = fetcher.fetch("http://127.0.0.4:45055", 65536);
        QVERIFY(body);
        const QHash<QString, QString> fields = BroadcastText::parseBody(*body);
        QCOMPARE(fields.value("track"), QStringLiteral("Live: Paris"));
        QCOMPARE(fields.value("player"), QStringLiteral("music"));
        QCOMPARE(fields.value("bitrate"), QStringLiteral("320 kbps"));
        QCOMPARE(fields.value("samplerate"), QStringLiteral("44100 Hz"));
        QCOMPARE(fields.value("duration"), QStringLiteral("200"));
        QCOMPARE(fields.value("rating"), QStringLiteral("80"));
        QCOMPARE(fields.value("loved"), QStringLiteral("YES"));
        QCOMPARE(fields.value("disliked"), QStringLiteral("NO"));

        const std::optional<QByteArray> artwork = fetcher.fetch("http://127.0.0.4:45055/artwork", 1 << 20);
        QVERIFY(artwork);
        QCOMPARE(QImage::fromData(*artwork).pixelColor(4, 4), QColor(Qt::red));

        // Read-only by default; unknown paths are not found.
        QVERIFY(!fetcher.fetch("http://127.0.0.4:45055/next", 65536));
        QVERIFY(!fetcher.fetch("http://127.0.0.4:45055/nothing", 65536));
        QVERIFY(waitForLog(*companion.process, companion.log, "GET /nothing from 127.0.0.1: 404", 1, 2000));
        QVERIFY(companion.log.contains("GET /next from 127.0.0.1: 403"));
        QCOMPARE(BroadcastText::parseBody(*fetcher.fetch("http://127.0.0.4:45055", 65536)).value("track"),
                 QStringLiteral("Live: Paris"));
    }

    void refusesASecondServerOnTheSameAddress()
    {
        Running first;
        startCompanion(first, "127.0.0.4", false);
        QProcess second;
        second.start(kCompanion, {"--listen", "127.0.0.4", "--players", path("broadcast.json")});
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitCode(), 1);
    }

    void addsABroadcasterByHand()
    {
        QDir().mkpath(path("byhand"));
        QProcess add;
        add.start(QStringLiteral(COVERLUME_APP_BINARY),
                  {"--add-broadcaster", "127.0.0.6", "--config-dir", path("byhand")});
        QVERIFY(add.waitForFinished(10000));
        QCOMPARE(add.exitCode(), 0);
        QFile settings(path("byhand/defaults.json"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QVERIFY(settings.readAll().contains("http://127.0.0.6:45055"));

        add.start(QStringLiteral(COVERLUME_APP_BINARY),
                  {"--add-broadcaster", "nowhere.example", "--config-dir", path("byhand")});
        QVERIFY(add.waitForFinished(10000));
        QCOMPARE(add.exitCode(), 2);
    }

    void coverlumeFollowsTheCompanion()
    {
        Running companion;
        startCompanion(companion, "127.0.0.4", true);

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
                               {"--offscreen", "--players", path("nothing.json"), "--config-dir",
                                path("config"), "--state", path("state.json"), "--snapshot",
                                path("shown.png")});
        QVERIFY(display.process->waitForStarted(5000));
        const QByteArray told = "CoverlumeView updateTrackInfoFromBroadcaster";
        QVERIFY2(waitForLog(*display.process, display.log, told, 1, 10000), display.log.constData());

        // A track change on the broadcaster reaches the display within one poll.
        BroadcasterFetcher fetcher;
        QVERIFY(fetcher.fetch("http://127.0.0.4:45055/next", 65536));
        QVERIFY2(waitForLog(*display.process, display.log, told, 2, 3000 + 1500), display.log.constData());
        QTest::qWait(2500); // the display fades over to the new track
        display.stop();
        QCOMPARE(display.process->exitCode(), 0);

        QFile stateFile(path("state.json"));
        QVERIFY(stateFile.open(QIODevice::ReadOnly));
        const QJsonObject state = QJsonDocument::fromJson(stateFile.readAll()).object();
        QCOMPARE(state.value("currentPlayer").toInt(), 8);
        QCOMPARE(state.value("track").toString(), QStringLiteral("Second Wind"));
        QCOMPARE(state.value("artist").toString(), QStringLiteral("The Fixtures"));
        QVERIFY(!QImage(path("shown.png")).isNull());

        // What discovery found is kept for the next start.
        QFile settings(path("config/defaults.json"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QVERIFY(settings.readAll().contains("http://127.0.0.4:45055"));
    }
};

QTEST_GUILESS_MAIN(TestBroadcastCompanion)
#include "tst_broadcastcompanion.moc"
