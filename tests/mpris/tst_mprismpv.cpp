// End to end against a real player: mpv with its MPRIS plugin on the
// private bus, playing files the test makes. Coverlume itself (the binary,
// offscreen, no options but its outputs) must follow it as "Music"; the
// bridge in this process must read the same track and its cover, and hear
// a pause at once.
#include "platform/DefaultsStore.h"
#include "platform/NotificationCenter.h"
#include "players/mpris/MprisBridge.h"
#include "players/mpris/MprisPlayer.h"
#include "FakeMprisPlayer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QString kMpvBus = QStringLiteral("org.mpris.MediaPlayer2.mpv");
const QString kPlugin = QStringLiteral("/usr/lib/mpv-mpris/mpris.so");
const QString kMusicPosted = QStringLiteral("com.apple.Music.playerInfo");

QString script(const char16_t *text)
{
    return QString::fromUtf16(text);
}

// Runs a short tool to its end; false when it fails or outlasts the limit.
bool runTool(const QString &program, const QStringList &arguments, int timeoutMs = 5000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool playerctl(const QString &command)
{
    return runTool(QStringLiteral("playerctl"), {QStringLiteral("--player=mpv"), command});
}

// mpv's position in seconds as playerctl reads it; -1 when it cannot.
double mpvPosition()
{
    QProcess process;
    process.start(QStringLiteral("playerctl"), {QStringLiteral("--player=mpv"), QStringLiteral("position")});
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    bool ok = false;
    const double seconds = QString::fromLatin1(process.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

// Only the bus tests/with-private-bus.sh made for this run: its socket sits
// beside the run's own runtime folder.
bool onPrivateBus()
{
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!address.startsWith(QLatin1String("unix:path=")) || runtime.isEmpty())
        return false;
    const QFileInfo socket(address.mid(10).section(QLatin1Char(','), 0, 0));
    return socket.absolutePath() == QFileInfo(runtime).absolutePath();
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

} // namespace

class TestMprisMpv : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_cover;
    QProcess m_mpv;
    int m_runs = 0;

    bool makeTrack(const QString &file, const QString &title, int hertz)
    {
        return runTool(QStringLiteral("sox"),
                       {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                        QStringLiteral("-c"), QStringLiteral("2"),
                        QStringLiteral("--comment"), QStringLiteral("TITLE=") + title,
                        QStringLiteral("--add-comment"), QStringLiteral("ARTIST=The Sine Waves"),
                        QStringLiteral("--add-comment"), QStringLiteral("ALBUM=Test Tones"),
                        m_dir.filePath(file), QStringLiteral("synth"), QStringLiteral("30"),
                        QStringLiteral("sine"), QString::number(hertz)});
    }

    bool mpvOnBus() const
    {
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        return bus && bus->isServiceRegistered(kMpvBus).value();
    }

    // Runs coverlume without a window while `during` acts on the player,
    // lets it run on for settleMs, then stops it with SIGTERM, which writes
    // the state. Every wait is bounded.
    QJsonObject runCoverlume(int leadMs, const std::function<void()> &during, int settleMs)
    {
        const QString state = m_dir.filePath(QStringLiteral("state%1.json").arg(++m_runs));
        const QString config = m_dir.filePath(QStringLiteral("config%1").arg(m_runs));
        QDir().mkpath(config);
        QProcess app;
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start(QStringLiteral(COVERLUME_APP_BINARY),
                  {QStringLiteral("--offscreen"), QStringLiteral("--state"), state,
                   QStringLiteral("--config-dir"), config});
        if (!app.waitForStarted(5000))
            return {};
        QTest::qWait(leadMs);
        if (during)
            during();
        QTest::qWait(settleMs);
        app.terminate();
        if (!app.waitForFinished(5000)) {
            app.kill();
            app.waitForFinished(1000);
            return {};
        }
        QFile file(state);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!onPrivateBus())
            QSKIP("needs the private bus of tests/with-private-bus.sh");
        for (const char *tool : {"mpv", "playerctl", "sox"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh)").arg(tool)));
        }
        if (!QFileInfo(kPlugin).isFile())
            QSKIP("mpv-mpris is not installed (scripts/install-deps.sh)");
        QVERIFY(m_dir.isValid());
        QVERIFY(makeTrack(QStringLiteral("one.ogg"), QStringLiteral("First Light"), 440));
        QVERIFY(makeTrack(QStringLiteral("two.ogg"), QStringLiteral("Second Wind"), 660));

        // The plugin announces a cover file beside the audio as the art.
        QImage cover(96, 96, QImage::Format_RGB32);
        cover.fill(QColor(30, 190, 70));
        QVERIFY(cover.save(m_dir.filePath(QStringLiteral("cover.png")), "PNG"));
        QFile coverFile(m_dir.filePath(QStringLiteral("cover.png")));
        QVERIFY(coverFile.open(QIODevice::ReadOnly));
        m_cover = coverFile.readAll();

        m_mpv.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_mpv.setStandardOutputFile(QProcess::nullDevice());
        m_mpv.start(QStringLiteral("mpv"),
                    {QStringLiteral("--no-config"), QStringLiteral("--script=") + kPlugin,
                     QStringLiteral("--ao=null"), QStringLiteral("--vo=null"), QStringLiteral("--idle=no"),
                     QStringLiteral("--no-terminal"),
                     m_dir.filePath(QStringLiteral("one.ogg")), m_dir.filePath(QStringLiteral("two.ogg"))});
        QVERIFY(m_mpv.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(mpvOnBus(), 10000);
    }

    void cleanupTestCase()
    {
        stop(m_mpv);
    }

    void theBridgeReadsTheTrackAndHearsAPause()
    {
        QTemporaryDir settings;
        DefaultsStore defaults(settings.path());
        NotificationCenter center;
        QStringList posted;
        center.addObserver(this, QString(), [&posted](const Notification &n) { posted << n.name; });
        MprisBridge bridge(defaults, &center);

        QCOMPARE(bridge.standIn(QStringLiteral("Music")), kMpvBus);
        const QString state = script(u"tell app \"Music\"\rplayer state \r end tell");
        QCOMPARE(bridge.execute(state).stringValue(), QStringLiteral("kPSP"));
        // mpv names the file until it has read the tags, then sends them.
        QTRY_COMPARE_WITH_TIMEOUT(
            bridge.execute(script(u"tell app \"Music\"\rname of current track \r end tell")).stringValue(),
            QStringLiteral("First Light"), 3000);
        QCOMPARE(bridge.execute(script(u"tell app \"Music\"\rartist of current track \r end tell")).stringValue(),
                 QStringLiteral("The Sine Waves"));
        QCOMPARE(bridge.execute(script(u"tell app \"Music\"\ralbum of current track \r end tell")).stringValue(),
                 QStringLiteral("Test Tones"));
        QCOMPARE(bridge.execute(script(u"tell application \"Music\"\rduration of current track\rend tell"))
                     .int32Value(), 30);
        QCOMPARE(bridge.execute(script(u"tell app \"Music\"\rdata of front artwork of current track \r end tell"))
                     .data(), m_cover);

        // A pause arrives as a signal with the status alone; it posts once.
        QVERIFY(busBarrier(kMpvBus) && allSettled(&bridge)); // the tags' own post is done
        posted.clear();
        QVERIFY(playerctl(QStringLiteral("pause")));
        QTRY_COMPARE_WITH_TIMEOUT(posted, QStringList{kMusicPosted}, 2000);
        QCOMPARE(bridge.execute(state).stringValue(), QStringLiteral("kPSp"));
        QVERIFY(busBarrier(kMpvBus) && allSettled(&bridge));
        QCOMPARE(posted.size(), 1);

        QVERIFY(playerctl(QStringLiteral("play")));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.execute(state).stringValue(), QStringLiteral("kPSP"), 2000);
        center.removeObserver(this);
    }

    void coverlumeFollowsMpvAsMusic()
    {
        // Playing: the track record shows the tags and the progress runs.
        QVERIFY(playerctl(QStringLiteral("play")));
        const double before = mpvPosition();
        QVERIFY(before >= 0);
        const QJsonObject playing = runCoverlume(3000, nullptr, 0);
        QVERIFY2(!playing.isEmpty(), "coverlume wrote no state");
        QCOMPARE(playing.value(QStringLiteral("currentPlayer")).toInt(), 12);
        QCOMPARE(playing.value(QStringLiteral("track")).toString(), QStringLiteral("First Light"));
        QCOMPARE(playing.value(QStringLiteral("artist")).toString(), QStringLiteral("The Sine Waves"));
        QCOMPARE(playing.value(QStringLiteral("album")).toString(), QStringLiteral("Test Tones"));
        const QJsonObject progress = playing.value(QStringLiteral("progress")).toObject();
        QCOMPARE(progress.value(QStringLiteral("maximum")).toInt(), 30);
        // Three seconds on from where mpv was when the run began.
        QVERIFY2(progress.value(QStringLiteral("value")).toInt() >= int(before) + 2,
                 qPrintable(QStringLiteral("from %1: ").arg(before)
                            + QString::fromUtf8(QJsonDocument(progress).toJson(QJsonDocument::Compact))));

        // Paused mid-run: the display hears it and shows the paused text.
        const QJsonObject paused = runCoverlume(1500, [] { QVERIFY(playerctl(QStringLiteral("pause"))); }, 2500);
        QCOMPARE(paused.value(QStringLiteral("currentPlayer")).toInt(), 0);
        QCOMPARE(paused.value(QStringLiteral("preferredPlayer")).toInt(), 12);
        QCOMPARE(paused.value(QStringLiteral("track")).toString(), QStringLiteral("Music Paused"));
        QVERIFY(playerctl(QStringLiteral("play")));

        // The next file, picked up mid-run.
        const QJsonObject next = runCoverlume(1500, [] { QVERIFY(playerctl(QStringLiteral("next"))); }, 2500);
        QCOMPARE(next.value(QStringLiteral("currentPlayer")).toInt(), 12);
        QCOMPARE(next.value(QStringLiteral("track")).toString(), QStringLiteral("Second Wind"));

        // mpv quits mid-run: nothing plays any more.
        const QJsonObject gone = runCoverlume(1500, [this] { stop(m_mpv); }, 2500);
        QCOMPARE(gone.value(QStringLiteral("currentPlayer")).toInt(), 0);
        QVERIFY(gone.value(QStringLiteral("track")).toString() != QStringLiteral("Second Wind"));
        QCOMPARE(gone.value(QStringLiteral("noPlayer")).toBool(), true);
    }
};

QTEST_GUILESS_MAIN(TestMprisMpv)
#include "tst_mprismpv.moc"
