// End to end against real players on the private bus, playing tagged files
// the test makes with an embedded front cover: mpv with its MPRIS plugin
// (which reads covers beside the files only), MPD (null audio output,
// loopback port) through mpDris2, and VLC where it may run (it refuses to
// run as root). Coverlume itself must follow the player as "Music"; the
// bridge and a display on it must read the tags and the cover, hear a
// pause, lay a next track out once, and see the player quit.
#include "BridgedView.h"
#include "FakeMprisPlayer.h"
#include "core/FrameCycle.h"
#include "support/AppProcess.h"
#include "support/ScriptTexts.h"
#include "support/TestFiles.h"
#include "support/TimeFactor.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QImage>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QtTest>
#include <memory>
#include <unistd.h>

using Op = ScriptVocabulary::Operation;

namespace {

const QString kMpdAddress = QStringLiteral("127.0.0.82");
const QString kMpdPort = QStringLiteral("46682");
const QString kMusicPosted = QStringLiteral("com.apple.Music.playerInfo");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

bool tell(const QString &bus, const char *method)
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(bus, kPath, kPlayer, QString::fromLatin1(method)), QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// The tools' own Python, where mutagen is installed.
QString systemPython()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    return python.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("python3")) : python;
}

// Tags a FLAC file and embeds a picture of the given kind (3: front cover).
const char *kTagScript = R"(import sys
from mutagen.flac import FLAC, Picture
path, title, album, picture, kind = sys.argv[1:6]
audio = FLAC(path)
audio['title'], audio['artist'], audio['album'] = title, 'The Sine Waves', album
art = Picture()
art.type, art.mime, art.width, art.height, art.depth = int(kind), 'image/png', 64, 64, 24
art.data = open(picture, 'rb').read()
audio.add_picture(art)
audio.save()
)";

} // namespace

class TestMprisRealPlayers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_front;
    std::vector<std::unique_ptr<QProcess>> m_processes;

    QString music(const QString &file) const { return m_dir.filePath(QStringLiteral("music/") + file); }

    bool run(const QString &program, const QStringList &arguments)
    {
        const AppProcess::Outcome outcome = AppProcess::run(arguments, QProcessEnvironment::systemEnvironment(), program);
        if (outcome.status != 0)
            qWarning("%s: %s", qPrintable(program), qPrintable(outcome.err.left(2000)));
        return outcome.status == 0;
    }

    // A program that runs beside the test; stopped by its own id in cleanup().
    QProcess *launch(const QString &program, const QStringList &arguments)
    {
        auto process = std::make_unique<QProcess>();
        const QString log = m_dir.filePath(QFileInfo(program).fileName() + QStringLiteral(".log"));
        process->setStandardOutputFile(log, QIODevice::Append);
        process->setStandardErrorFile(log, QIODevice::Append);
        process->start(program, arguments);
        if (!process->waitForStarted(TimeFactor::ms(10000)))
            return nullptr;
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }

    // Each on an album of its own: players that keep covers by album
    // would otherwise show one for both.
    bool makeTrack(const QString &file, const QString &title, const QString &album, const QString &picture, int kind)
    {
        return run(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", music(file), "synth", "30", "sine", "440"})
            && run(systemPython(), {"-c", QString::fromLatin1(kTagScript), music(file), title, album, picture, QString::number(kind)});
    }

    QString mpc(const QStringList &arguments)
    {
        return run(QStringLiteral("mpc"), QStringList{"-q", "-h", kMpdAddress, "-p", kMpdPort} + arguments) ? QString() : arguments.join(u' ');
    }

    // MPD on its loopback port with a null output, the two tracks queued and
    // playing, and mpDris2 on the private bus.
    QString startMpd()
    {
        const QString config = m_dir.filePath(QStringLiteral("mpd.conf"));
        const QString text = QStringLiteral("music_directory \"%1\"\ndb_file \"%2\"\nbind_to_address \"%3\"\nport \"%4\"\n"
                                            "zeroconf_enabled \"no\"\naudio_output {\n type \"null\"\n name \"silence\"\n}\n")
                                 .arg(music(QString()), m_dir.filePath(QStringLiteral("mpd.db")), kMpdAddress, kMpdPort);
        if (!TestFiles::writeBytes(config, text.toUtf8()) || !launch(QStringLiteral("mpd"), {"--no-daemon", "--stderr", config}))
            return QStringLiteral("mpd did not start");
        QTcpSocket probe; // refused at once while it starts: asked again until it listens
        for (QDeadlineTimer deadline(15000); probe.state() != QAbstractSocket::ConnectedState && !deadline.hasExpired();) {
            probe.connectToHost(kMpdAddress, kMpdPort.toUShort());
            if (!probe.waitForConnected(TimeFactor::ms(1000)))
                probe.abort(), QTest::qWait(100);
        }
        for (const QStringList &command : {QStringList{"update", "--wait"}, {"add", "one.flac"}, {"add", "two.flac"}, {"play"}}) {
            if (const QString failed = mpc(command); !failed.isEmpty())
                return QStringLiteral("mpc %1 failed").arg(failed);
        }
        const QString bridgeConfig = m_dir.filePath(QStringLiteral("mpDris2.conf"));
        if (!TestFiles::writeBytes(bridgeConfig, "[Bling]\nnotify = False\nmmkeys = False\n")
            || !launch(systemPython(), {QStringLiteral("/usr/bin/mpDris2"), "--config=" + bridgeConfig, "--host=" + kMpdAddress,
                                         "--port=" + kMpdPort, "--music-dir=" + music(QString())}))
            return QStringLiteral("mpDris2 did not start");
        return QString();
    }

    QString startMpv()
    {
        const QString plugin = QStringLiteral("/usr/lib/mpv-mpris/mpris.so");
        if (!QFileInfo(plugin).isFile())
            return QStringLiteral("mpv-mpris is not installed");
        QFile::copy(m_dir.filePath(QStringLiteral("front.png")), music(QStringLiteral("cover.png")));
        const bool started = launch(QStringLiteral("mpv"), {"--no-config", "--script=" + plugin, "--ao=null", "--vo=null", "--idle=no",
                                                            music(QStringLiteral("one.flac")), music(QStringLiteral("two.flac"))});
        return started ? QString() : QStringLiteral("mpv did not start");
    }

    QString startVlc()
    {
        const bool started = launch(QStringLiteral("vlc"), {"--intf=dummy", "--control=dbus", "--aout=dummy", "--no-video",
                                                            music(QStringLiteral("one.flac")), music(QStringLiteral("two.flac"))});
        return started ? QString() : QStringLiteral("vlc did not start");
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!onPrivateBus())
            QSKIP("needs the private bus of tests/with-private-bus.sh");
        QVERIFY(m_dir.isValid() && QDir().mkpath(music(QString())));
        if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()
            || !run(systemPython(), {"-c", "import mutagen"}))
            QSKIP("sox and python3-mutagen are needed to make the tracks (scripts/install-deps.sh)");
        // The front cover, embedded only (no picture beside the files); the
        // second track's picture is of another kind.
        QImage cover(64, 64, QImage::Format_RGB32);
        cover.fill(QColor(210, 60, 40));
        QVERIFY(cover.save(m_dir.filePath(QStringLiteral("front.png")), "PNG"));
        cover.fill(QColor(40, 60, 210));
        QVERIFY(cover.save(m_dir.filePath(QStringLiteral("other.png")), "PNG"));
        m_front = TestFiles::readBytes(m_dir.filePath(QStringLiteral("front.png")));
        QVERIFY(makeTrack(QStringLiteral("one.flac"), QStringLiteral("First Light"), QStringLiteral("Test Tones"),
                          m_dir.filePath(QStringLiteral("front.png")), 3));
        QVERIFY(makeTrack(QStringLiteral("two.flac"), QStringLiteral("Second Wind"), QStringLiteral("More Tones"),
                          m_dir.filePath(QStringLiteral("other.png")), 0));
    }

    void cleanup()
    {
        QFile::remove(music(QStringLiteral("cover.png")));
        // Last started, first stopped: mpDris2 before its MPD.
        while (!m_processes.empty()) {
            QProcess &process = *m_processes.back();
            process.terminate();
            if (!process.waitForFinished(TimeFactor::ms(5000))) {
                process.kill();
                process.waitForFinished(TimeFactor::ms(2000));
            }
            m_processes.pop_back();
        }
    }

    void followsARealPlayer_data()
    {
        QTest::addColumn<QStringList>("tools");
        QTest::addColumn<bool>("onlyFrontCovers"); // a picture of another kind gives no cover
        QTest::addColumn<QString>("paused"); // what a pause shows: the player's own name
        QTest::newRow("mpv") << QStringList{"mpv"} << false << QStringLiteral("mpv Paused");
        QTest::newRow("MPD through mpDris2") << QStringList{"mpd", "mpc", "mpDris2"} << true
                                             << QStringLiteral("Music Player Daemon Paused");
        QTest::newRow("VLC") << QStringList{"vlc"} << false << QStringLiteral("VLC media player Paused");
    }
    void followsARealPlayer()
    {
        QFETCH(QStringList, tools);
        QFETCH(bool, onlyFrontCovers);
        QFETCH(QString, paused);
        const QString player = tools.constFirst();
        if (player == u"vlc" && geteuid() == 0)
            QSKIP("VLC refuses to run as root: run this test as an ordinary user to include VLC");
        for (const QString &tool : tools) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(tool + QStringLiteral(" is not installed")));
        }
        const QString bus = QStringLiteral("org.mpris.MediaPlayer2.") + player;
        const QString failed = player == u"mpv" ? startMpv() : player == u"mpd" ? startMpd() : startVlc();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(bus).value(), TimeFactor::ms(15000));

        // A display on the bridge in this process: the track (some players
        // name the file before its tags), its embedded front cover.
        BridgedView d;
        QStringList posted;
        d.distributed.addObserver(this, QString(), [&posted](const Notification &n) { posted << n.name; });
        const auto musicAnswer = [&d](Op op, int argument = 0) {
            return d.bridge.execute(scriptText(QStringLiteral("Music"), op, argument));
        };
        QTRY_COMPARE_WITH_TIMEOUT(musicAnswer(Op::Name).stringValue(), QStringLiteral("First Light"), TimeFactor::ms(10000));
        QTRY_COMPARE_WITH_TIMEOUT(musicAnswer(Op::Artwork, 1).data(), m_front, TimeFactor::ms(5000));
        QCOMPARE(d.bridge.standIn(QStringLiteral("Music")), bus);
        QCOMPARE(d.bridge.players().size(), 1);

        // Coverlume itself follows it as "Music": tags, length.
        QTemporaryDir runDir;
        const auto runCoverlume = [&runDir] {
            const QString state = runDir.filePath(QStringLiteral("state.json"));
            const auto outcome = AppProcess::run({"--offscreen", "--frames", "60", "--state", state, "--config-dir", runDir.path()});
            return outcome.status == 0 ? TestFiles::readJsonObject(state) : QJsonObject();
        };
        QJsonObject state = runCoverlume();
        const QJsonObject shown{{"currentPlayer", 12}, {"track", "First Light"}, {"artist", "The Sine Waves"}, {"album", "Test Tones"}};
        for (auto it = shown.begin(); it != shown.end(); ++it)
            QCOMPARE(state.value(it.key()), it.value());
        QCOMPARE(state.value(QStringLiteral("progress")).toObject().value(QStringLiteral("maximum")).toInt(), 30);

        // A pause posts once and shows.
        QVERIFY(busBarrier(bus) && allSettled(&d.bridge));
        posted.clear();
        QVERIFY(tell(bus, "Pause"));
        QTRY_COMPARE_WITH_TIMEOUT(posted, QStringList{kMusicPosted}, TimeFactor::ms(5000));
        QVERIFY(busBarrier(bus) && allSettled(&d.bridge));
        QCOMPARE(posted.size(), 1);
        QCOMPARE(musicAnswer(Op::Status).stringValue(), QStringLiteral("kPSp"));
        state = runCoverlume();
        QCOMPARE(state.value(QStringLiteral("track")).toString(), paused);
        QVERIFY(tell(bus, "Play"));
        QTRY_COMPARE_WITH_TIMEOUT(musicAnswer(Op::Status).stringValue(), QStringLiteral("kPSP"), TimeFactor::ms(5000));
        QVERIFY(busBarrier(bus) && allSettled(&d.bridge));

        // Next, the display running on meanwhile, from early in a cycle (so
        // that none ends on its own): the new track is laid out once, and
        // the cycle that began there runs on.
        d.stage->calls.clear();
        for (int frame = 0; d.layouts().isEmpty() && frame < 2 * FrameCycle().CYCLE; ++frame)
            d.frames(1);
        d.frames(FrameCycle::holdStart);
        d.stage->calls.clear();
        QVERIFY(tell(bus, "Next"));
        for (QDeadlineTimer deadline(10000); musicAnswer(Op::Name).stringValue() != u"Second Wind" && !deadline.hasExpired();) {
            d.frames(1);
            QTest::qWait(FrameClock::frameIntervalMs);
        }
        QVERIFY(busBarrier(bus) && allSettled(&d.bridge));
        d.runCycle();
        QVERIFY2(d.layouts().size() == 1, qPrintable(d.layouts().join(u',')));
        QVERIFY2(d.layouts().constFirst().endsWith(QLatin1String(" Second Wind")), qPrintable(d.layouts().join(u',')));
        QCOMPARE(d.state().value(QStringLiteral("framesCount")).toInt(), d.framesSinceLayout());
        if (onlyFrontCovers)
            QVERIFY(musicAnswer(Op::Artwork, 1).isNone());

        // The player quits: nothing plays any more.
        cleanup();
        QTRY_VERIFY_WITH_TIMEOUT(d.bridge.standIn(QStringLiteral("Music")).isEmpty(), TimeFactor::ms(10000));
        d.distributed.removeObserver(this);
        state = runCoverlume();
        QCOMPARE(state.value(QStringLiteral("noPlayer")).toBool(), true);
    }

    // A ".lrc" beside the file mpv plays (found through xesam:url): started
    // a second before three known lines, six seconds apart, the Lyrics theme
    // lights the line sung there brightest (a start-up of up to 4 s allowed).
    void syncedLinesBesideAnMpvTrack_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("sung");
        QTest::newRow("8 s") << 8 << "Eight";
        QTest::newRow("14 s") << 14 << "Fourteen";
        QTest::newRow("20 s") << 20 << "Twenty";
    }
    void syncedLinesBesideAnMpvTrack()
    {
        QFETCH(int, position);
        QFETCH(QString, sung);
        const QString plugin = QStringLiteral("/usr/lib/mpv-mpris/mpris.so");
        if (QStandardPaths::findExecutable(QStringLiteral("mpv")).isEmpty() || !QFileInfo(plugin).isFile())
            QSKIP("mpv and mpv-mpris are needed");
        TestFiles::written(music(QStringLiteral("one.lrc")),
                           "[ti:First Light]\n[00:02.00]Two\n[00:08.00]Eight\n[00:14.00]Fourteen\n[00:20.00]Twenty\n"
                           "[00:26.00]Twenty-six\n");
        QVERIFY(launch(QStringLiteral("mpv"), {"--no-config", "--script=" + plugin, "--ao=null", "--vo=null", "--idle=no",
                                               "--start=" + QString::number(position - 1),
                                               music(QStringLiteral("one.flac"))}));
        const QString bus = QStringLiteral("org.mpris.MediaPlayer2.mpv");
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(bus).value(), TimeFactor::ms(15000));
        BridgedView d;
        QTRY_COMPARE_WITH_TIMEOUT(d.bridge.playerFacts(QStringLiteral("Music")).location,
                                  QUrl::fromLocalFile(music(QStringLiteral("one.flac"))).toString(), TimeFactor::ms(10000));
        // mpv names its track before it has moved to the start asked for; a
        // display started then reads the track's beginning.
        QTRY_VERIFY_WITH_TIMEOUT(d.bridge.playerFacts(QStringLiteral("Music")).positionMs >= (position - 1) * 1000 - 500,
                                 TimeFactor::ms(10000));

        // Every address points at a closed loopback port: nothing may leave.
        QTemporaryDir runDir;
        QJsonObject defaults{{"theme", 6}, {"syncedLyricsBase", "http://127.0.0.1:9"}};
        for (const char *base : {"lyricsWikiBase", "bingBase", "azLyricsBase", "metroLyricsBase", "metalArchivesBase"})
            defaults.insert(QLatin1String(base), "http://127.0.0.1:9");
        TestFiles::written(runDir.filePath(QStringLiteral("defaults.json")), QJsonDocument(defaults).toJson());
        const QString statePath = runDir.filePath(QStringLiteral("state.json"));
        // The display asks its players at start within a budget of its own; on
        // a busy machine mpv may answer after it, and the first layout then
        // has no track yet (no line at all). That start is tried again: what
        // is checked here is which line is sung.
        QString brightest;
        QJsonArray lit;
        for (int attempt = 0; attempt < 3 && brightest.isEmpty(); ++attempt) {
            const auto outcome = AppProcess::run({"--offscreen", "--frames", "10", "--state", statePath, "--config-dir", runDir.path()});
            QCOMPARE(outcome.status, 0);
            lit = TestFiles::readJsonObject(statePath).value("lyrics").toObject().value("lit").toArray();
            double alpha = 0;
            for (const QJsonValue &slot : lit) {
                if (slot["alpha"].toDouble() > alpha) {
                    alpha = slot["alpha"].toDouble();
                    brightest = slot["text"].toString();
                }
            }
        }
        QVERIFY2(brightest == sung, qPrintable(QJsonDocument(lit).toJson()));
    }
};

QTEST_GUILESS_MAIN(TestMprisRealPlayers)
#include "tst_mprisrealplayers.moc"
