// End to end against a real player: mpv with its MPRIS plugin on the
// private bus, playing files the test makes. Coverlume itself (the binary,
// offscreen, no options but its outputs) must follow it as "Music"; the
// bridge in this process must read the same track and its cover, and hear
// a pause at once.
#include "FakeMprisPlayer.h"
#include "support/ScriptTexts.h"
#include "support/TestFiles.h"

#include "platform/DefaultsStore.h"
#include "platform/NotificationCenter.h"
#include "players/mpris/MprisBridge.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using Op = ScriptVocabulary::Operation;

namespace {

const QString kMpvBus = QStringLiteral("org.mpris.MediaPlayer2.mpv");
const QString kPlugin = QStringLiteral("/usr/lib/mpv-mpris/mpris.so");
const QString kMusicPosted = QStringLiteral("com.apple.Music.playerInfo");

// Tells mpv to Play, Pause or Next over the bus, as any controller would.
bool tellMpv(const char *method)
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(kMpvBus, QStringLiteral("/org/mpris/MediaPlayer2"),
                                       QStringLiteral("org.mpris.MediaPlayer2.Player"), QString::fromLatin1(method)),
        QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// mpv's own position in seconds; -1 when it cannot be read.
double mpvPosition()
{
    QDBusMessage get = QDBusMessage::createMethodCall(kMpvBus, QStringLiteral("/org/mpris/MediaPlayer2"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("Position");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return -1;
    return reply.arguments().first().value<QDBusVariant>().variant().toLongLong() / 1e6;
}

// Runs a process to its end, or stops it (by its own id) after timeoutMs.
bool finish(QProcess &process, int timeoutMs, bool terminate = false)
{
    if (terminate && process.state() != QProcess::NotRunning)
        process.terminate();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

class TestMprisMpv : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_cover;
    QProcess m_mpv;
    int m_runs = 0;

    bool makeTrack(const QString &file, const QString &title)
    {
        QProcess sox;
        sox.start(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "--comment", "TITLE=" + title, "--add-comment",
                                          "ARTIST=The Sine Waves", "--add-comment", "ALBUM=Test Tones",
                                          m_dir.filePath(file), "synth", "30", "sine", "440"});
        return finish(sox, 5000);
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
                  {QStringLiteral("--offscreen"), QStringLiteral("--state"), state, QStringLiteral("--config-dir"), config});
        if (!app.waitForStarted(5000))
            return {};
        QTest::qWait(leadMs);
        if (during)
            during();
        QTest::qWait(settleMs);
        return finish(app, 5000, true) ? TestFiles::readJsonObject(state) : QJsonObject();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!onPrivateBus())
            QSKIP("needs the private bus of tests/with-private-bus.sh");
        for (const char *tool : {"mpv", "sox"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh)").arg(tool)));
        }
        if (!QFileInfo(kPlugin).isFile())
            QSKIP("mpv-mpris is not installed (scripts/install-deps.sh)");
        QVERIFY(m_dir.isValid());
        QVERIFY(makeTrack(QStringLiteral("one.ogg"), QStringLiteral("First Light")));
        QVERIFY(makeTrack(QStringLiteral("two.ogg"), QStringLiteral("Second Wind")));

        // The plugin announces a cover file beside the audio as the art.
        QImage cover(96, 96, QImage::Format_RGB32);
        cover.fill(QColor(30, 190, 70));
        QVERIFY(cover.save(m_dir.filePath(QStringLiteral("cover.png")), "PNG"));
        m_cover = TestFiles::readBytes(m_dir.filePath(QStringLiteral("cover.png")));

        m_mpv.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_mpv.setStandardOutputFile(QProcess::nullDevice());
        m_mpv.start(QStringLiteral("mpv"), {"--no-config", "--script=" + kPlugin, "--ao=null", "--vo=null", "--idle=no",
                                            "--no-terminal", m_dir.filePath("one.ogg"), m_dir.filePath("two.ogg")});
        QVERIFY(m_mpv.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(kMpvBus).value(), 10000);
    }

    void cleanupTestCase() { finish(m_mpv, 3000, true); }

    void theBridgeReadsTheTrackAndHearsAPause()
    {
        QTemporaryDir settings;
        DefaultsStore defaults(settings.path());
        NotificationCenter center;
        QStringList posted;
        center.addObserver(this, QString(), [&posted](const Notification &n) { posted << n.name; });
        MprisBridge bridge(defaults, &center);
        const auto music = [&bridge](Op op, int argument = 0) {
            return bridge.execute(scriptText(QStringLiteral("Music"), op, argument));
        };

        QCOMPARE(bridge.standIn(QStringLiteral("Music")), kMpvBus);
        // mpv reports itself stopped until its first file has loaded.
        QTRY_COMPARE_WITH_TIMEOUT(music(Op::Status).stringValue(), QStringLiteral("kPSP"), 5000);
        // mpv names the file until it has read the tags, then sends them.
        QTRY_COMPARE_WITH_TIMEOUT(music(Op::Name).stringValue(), QStringLiteral("First Light"), 3000);
        QCOMPARE(music(Op::Duration).int32Value(), 30);
        QCOMPARE(music(Op::Artwork, 1).data(), m_cover);

        // A pause arrives as a signal with the status alone; it posts once.
        QVERIFY(busBarrier(kMpvBus) && allSettled(&bridge)); // the tags' own post is done
        posted.clear();
        QVERIFY(tellMpv("Pause"));
        QTRY_COMPARE_WITH_TIMEOUT(posted, QStringList{kMusicPosted}, 2000);
        QCOMPARE(music(Op::Status).stringValue(), QStringLiteral("kPSp"));
        QVERIFY(busBarrier(kMpvBus) && allSettled(&bridge));
        QCOMPARE(posted.size(), 1);

        QVERIFY(tellMpv("Play"));
        QTRY_COMPARE_WITH_TIMEOUT(music(Op::Status).stringValue(), QStringLiteral("kPSP"), 2000);
        center.removeObserver(this);
    }

    void coverlumeFollowsMpvAsMusic()
    {
        // Playing: the track record shows the tags and the progress runs.
        QVERIFY(tellMpv("Play"));
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
                 qPrintable(QStringLiteral("from %1: %2").arg(before).arg(progress.value(QStringLiteral("value")).toInt())));

        // Paused mid-run: the display hears it and shows the paused text.
        const QJsonObject paused = runCoverlume(1500, [] { QVERIFY(tellMpv("Pause")); }, 2500);
        QCOMPARE(paused.value(QStringLiteral("currentPlayer")).toInt(), 0);
        QCOMPARE(paused.value(QStringLiteral("preferredPlayer")).toInt(), 12);
        QCOMPARE(paused.value(QStringLiteral("track")).toString(), QStringLiteral("Music Paused"));
        QVERIFY(tellMpv("Play"));

        // The next file, picked up mid-run.
        const QJsonObject next = runCoverlume(1500, [] { QVERIFY(tellMpv("Next")); }, 2500);
        QCOMPARE(next.value(QStringLiteral("currentPlayer")).toInt(), 12);
        QCOMPARE(next.value(QStringLiteral("track")).toString(), QStringLiteral("Second Wind"));

        // mpv quits mid-run: nothing plays any more.
        const QJsonObject gone = runCoverlume(1500, [this] { finish(m_mpv, 3000, true); }, 2500);
        QCOMPARE(gone.value(QStringLiteral("currentPlayer")).toInt(), 0);
        QCOMPARE(gone.value(QStringLiteral("noPlayer")).toBool(), true);
    }
};

QTEST_GUILESS_MAIN(TestMprisMpv)
#include "tst_mprismpv.moc"
