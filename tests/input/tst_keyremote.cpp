// The display as a remote control: keys against the simulated players'
// execution record, the screenshot, pointer moves after full screen, and a
// broadcaster that keeps its answer waiting.

#include "broadcaster/BroadcasterClient.h"
#include "input/BroadcasterCourier.h"
#include "input/KeyRemote.h"
#include "input/KeyTable.h"
#include "support/AppProcess.h"
#include "support/EngineHarness.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QSemaphore>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QByteArray kPlaying = R"({"players": [{"name": "%1", "state": "playing",
    "tracks": [{"name": "One", "artist": "A", "album": "B", "duration": 200}]}]})";
// Both paused: the engine follows the preferred player, but the transport
// scripts of its own slots belong to the last running player it visited.
const QByteArray kBothPaused = R"({"players": [
    {"name": "iTunes", "state": "paused", "tracks": [{"name": "One", "artist": "A", "album": "B", "duration": 200}]},
    {"name": "Spotify", "state": "paused", "tracks": [{"name": "Two", "artist": "C", "album": "D", "duration": 200}]}]})";

QByteArray scenario(const QString &player)
{
    return player == u"both paused" ? kBothPaused : QString::fromLatin1(kPlaying).arg(player).toUtf8();
}

// Keeps its answer until the test lets it go, as a broadcaster that hangs.
class WaitingBroadcaster final : public FakeBroadcaster
{
public:
    QSemaphore answer;
    QAtomicInt sent;
    void sendPlayPause() override
    {
        sent.fetchAndAddOrdered(1);
        answer.acquire();
    }
};

// A view on the real engine and simulated players, taking its keys through
// a KeyRemote; its power control records what the keys ask of it.
struct Remote
{
    EngineHarness h;
    KeyRemote *remote = nullptr;
    RecordingPower *power = nullptr;

    Remote(const QByteArray &players, const QVariantMap &settings, BroadcasterClient *broadcaster = nullptr)
        : h(players, settings)
    {
        ViewParts parts;
        auto recording = std::make_unique<RecordingPower>();
        power = recording.get();
        parts.power = std::move(recording);
        parts.makeInput = [this](CoverlumeView &view) {
            auto made = std::make_unique<KeyRemote>(view);
            remote = made.get();
            return made;
        };
        h.view = std::make_unique<CoverlumeView>(
            QSizeF(320, 200),
            ViewServices{*h.defaults, *h.players, h.local, h.distributed, h.clock, h.host,
                         broadcaster ? broadcaster : &h.broadcaster},
            std::move(parts));
        h.view->startAnimation();
        h.view->setArtworkImage(QImage());
        h.frames(3);
        h.players->clearExecutions();
        power->calls.clear();
    }

    // The chord pressed and released; the main key with the given scan code.
    void press(const QString &chord, quint32 scanCode = 0)
    {
        const QKeyCombination combination = QKeySequence::fromString(chord, QKeySequence::PortableText)[0];
        for (const std::unique_ptr<QKeyEvent> &e : strokesFor(combination)) {
            const QKeyEvent event(e->type(), e->key(), e->modifiers(), e->key() == int(combination.key()) ? scanCode : 0,
                                  0, 0);
            if (event.type() == QEvent::KeyPress)
                remote->keyPressed(event);
            else
                remote->keyReleased(event);
        }
    }

    // The commands the players were sent, leaving out the questions.
    QStringList commands() const
    {
        static const QRegularExpression command(QStringLiteral("\\b(set |playpause|pause$|play$|back track|"
                                                               "previous track|next track|thumbs|volume)"));
        QStringList found;
        for (const QString &script : h.executed()) {
            for (const QString &line : script.split(u'\r')) {
                if (command.match(line).hasMatch()) {
                    found << line;
                    break;
                }
            }
        }
        return found;
    }
};

} // namespace

class TestKeyRemote : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keysCommandThePlayers_data()
    {
        QTest::addColumn<QString>("player");
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QString>("chord");
        QTest::addColumn<int>("scanCode");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<bool>("jumps");
        QTest::addColumn<bool>("activity");

        const QVariantMap hearts{{"modifier", 2}, {"showLoved", 1}};
        const QVariantMap stars{{"modifier", 2}, {"showLoved", 0}};
        const QStringList loved{"set disliked of current track to false", "set loved of current track to true"};
        QTest::newRow("Alt+4, hearts") << "Music" << hearts << "Alt+4" << 13 << loved << true << false;
        QTest::newRow("4 alone") << "Music" << hearts << "4" << 13 << QStringList() << false << true;
        QTest::newRow("AZERTY row, by position") << "Music" << hearts << "Alt+'" << 13 << loved << true << false;
        QTest::newRow("keypad 4, Num Lock off") << "Music" << hearts << "Alt+Num+Left" << 0 << loved << true << false;
        QTest::newRow("Alt+slash, hearts") << "Music" << hearts << "Alt+/" << 0
                                           << QStringList{"set loved of current track to false",
                                                          "set disliked of current track to true"}
                                           << true << false;
        QTest::newRow("Alt+0 clears marks") << "iTunes" << hearts << "Alt+0" << 19
                                            << QStringList{"set loved of current track to false",
                                                           "set disliked of current track to false"}
                                            << true << false;
        QTest::newRow("Alt+3, stars") << "Music" << stars << "Alt+3" << 12
                                      << QStringList{"set rating of current track to 60"} << true << false;
        QTest::newRow("row 9 is no rating key") << "Music" << stars << "Alt+9" << 18 << QStringList() << false << true;
        QTest::newRow("Hermes 5, no modifier") << "Hermes" << QVariantMap{{"modifier", 0}} << "5" << 14
                                               << QStringList{"thumbs up"} << true << false;
        QTest::newRow("Hermes slash") << "Hermes" << QVariantMap{{"modifier", 0}} << "Num+/" << 0
                                      << QStringList{"thumbs down"} << true << false;
        QTest::newRow("rating key, Spotify") << "Spotify" << QVariantMap{{"modifier", 0}} << "4" << 13
                                             << QStringList() << false << true;
        QTest::newRow("space") << "Music" << hearts << "Space" << 0 << QStringList{"playpause"} << true << false;
        QTest::newRow("space: the preferred player's own script") << "both paused"
                                                                  << QVariantMap{{"preferredPlayer", 1}} << "Space" << 0
                                                                  << QStringList{"playpause"} << true << false;
        // Snowtape pauses when it plays, else plays; it has no previous track.
        QTest::newRow("space, Snowtape playing") << "Snowtape" << QVariantMap{{"preferredPlayer", 3}} << "Space" << 0
                                                 << QStringList{"pause"} << true << false;
        QTest::newRow("left, Snowtape") << "Snowtape" << QVariantMap{{"preferredPlayer", 3}} << "Left" << 0
                                        << QStringList() << true << false;
        QTest::newRow("left") << "Music" << hearts << "Left" << 0 << QStringList{"back track"} << true << false;
        QTest::newRow("right") << "Spotify" << hearts << "Right" << 0 << QStringList{"next track"} << true << false;
        QTest::newRow("up keeps the cycle") << "Music" << hearts << "Up" << 0
                                            << QStringList{"set curVolume to output volume of (get volume settings)"}
                                            << false << false;
    }

    void keysCommandThePlayers()
    {
        QFETCH(QString, player);
        QFETCH(QVariantMap, settings);
        QFETCH(QString, chord);
        QFETCH(int, scanCode);
        QFETCH(QStringList, commands);
        QFETCH(bool, jumps);
        QFETCH(bool, activity);

        Remote r(scenario(player), settings);
        FrameCycle &cycle = r.h.view->cycle();
        cycle.framesCount = 5;
        r.press(chord, quint32(scanCode));

        QCOMPARE(r.commands(), commands);
        QCOMPARE(cycle.framesCount, jumps ? cycle.CYCLE - 26 : 5);
        QCOMPARE(r.power->calls.contains("systemActivity"), activity);
        if (player == u"both paused")
            QVERIFY2(r.h.executed().filter("playpause").first().contains("Spotify"), qPrintable(r.h.executed().join('\n')));
    }

    // Modifiers only change the flags: never activity, never a command.
    void modifierKeysAreNoActivity()
    {
        Remote r(scenario("Music"), {{"modifier", 2}});
        for (Qt::Key key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_AltGr, Qt::Key_CapsLock,
                            Qt::Key_Super_L, Qt::Key_Meta}) {
            r.remote->keyPressed(QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
            QCOMPARE(r.remote->modifierDown(), key == Qt::Key_Alt); // the press carries its own flag
            r.remote->keyReleased(QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
            QVERIFY(!r.remote->modifierDown());
        }
        QVERIFY(r.power->calls.isEmpty());
        QVERIFY(r.commands().isEmpty());
    }

    void spaceRecordsWhetherTheUserPaused()
    {
        for (const QString &player : {QStringLiteral("Music"), QStringLiteral("both paused")}) {
            Remote r(scenario(player), {{"preferredPlayer", 2}});
            r.press("Space");
            QCOMPARE(r.h.defaults->boolValue("userPaused"), player == u"Music");
        }
    }

    void theJumpNeverMovesTheCycleBack()
    {
        Remote r(scenario("Music"), {});
        FrameCycle &cycle = r.h.view->cycle();
        cycle.framesCount = cycle.CYCLE - 3;
        r.press("Right");
        QCOMPARE(cycle.framesCount, cycle.CYCLE - 3);
    }

    // Only a configured modifier, seen pressed, arms the screenshot key;
    // releasing it disarms it.
    void screenshotNeedsTheModifier()
    {
        QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)));
        const QDir desktop(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
        for (const QString &name : desktop.entryList(QDir::Files))
            QVERIFY(QFile::remove(desktop.filePath(name)));
        {
            LogCapture log;
            Remote r(scenario("Music"), {{"modifier", 0}});
            r.press("Ctrl+S");
            QVERIFY(log.has("modifier not down"));
            QVERIFY(r.power->calls.contains("systemActivity"));
            QVERIFY(desktop.entryList(QDir::Files).isEmpty());
        }
        LogCapture log;
        Remote r(scenario("Music"), {{"modifier", 1}});
        r.remote->flagsChanged(KeyFlag::control);
        r.remote->keyDown(KeyCode::s, KeyFlag::control);
        r.remote->keyDown(KeyCode::s, KeyFlag::control); // the same second: a second file
        r.remote->keyUp(KeyCode::control);
        r.remote->keyDown(KeyCode::s, 0);
        QCOMPARE(log.lines().count("making shot"), 2);
        QVERIFY(!r.remote->modifierDown());

        const QString stem = r.h.clock.now().toLocalTime().toString("yyyyMMdd-HHmmss");
        QCOMPARE(desktop.entryList(QDir::Files), (QStringList{stem + "-2.png", stem + ".png"}));
        const QImage shot(desktop.filePath(stem + ".png"));
        QCOMPARE(shot.convertToFormat(QImage::Format_RGB32),
                 r.h.view->snapshot(QSize(320, 200)).convertToFormat(QImage::Format_RGB32));
    }

    void screenshotFallsBackToPictures()
    {
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        QVERIFY(QDir(desktop).removeRecursively());
        Remote r(scenario("Music"), {{"modifier", 3}});
        r.press("Meta+S");
        const QDir pictures(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
        QCOMPARE(pictures.entryList(QDir::Files).size(), 1);
    }

    void pointerAfterFullScreen_data()
    {
        QTest::addColumn<int>("framesAfter");
        QTest::addColumn<bool>("counts");
        QTest::newRow("0.3 s: the jump of entering") << 6 << false;
        QTest::newRow("0.6 s") << 12 << true;
        QTest::newRow("1 s") << 20 << true;
    }

    void pointerAfterFullScreen()
    {
        QFETCH(int, framesAfter);
        QFETCH(bool, counts);
        Remote r(scenario("Music"), {});
        r.remote->setEnteredFullScreen(r.h.clock.now());
        for (int i = 0; i < framesAfter; ++i)
            r.h.clock.beginFrame();
        r.remote->mouseMoved();
        r.remote->mouseMoved(); // the same frame: no second reading
        const QStringList expected = counts ? QStringList{"systemActivity", "tareSystemIdle", "systemActivity"}
                                            : QStringList{};
        QCOMPARE(r.power->calls, expected);
    }

    // Losing the focus is activity a moment later, and only for a view that
    // is still there.
    void focusLossIsActivityLater()
    {
        Remote r(scenario("Music"), {});
        r.remote->focusLost();
        QVERIFY(r.power->calls.isEmpty());
        QTRY_COMPARE(r.power->calls, QStringList{"systemActivity"});
    }

    // The broadcaster's commands leave the frame at once; they arrive when
    // the broadcaster gets to them.
    void broadcasterCommandsDoNotWait()
    {
        WaitingBroadcaster broadcaster;
        Remote r(scenario("Music"), {}, &broadcaster);
        r.h.state().preferredPlayer = PlayerId::Broadcaster;
        FrameCycle &cycle = r.h.view->cycle();
        cycle.framesCount = 5;
        r.press("Space"); // returns though the broadcaster has not answered
        QCOMPARE(cycle.framesCount, cycle.CYCLE - 26);
        QTRY_COMPARE(broadcaster.sent.loadAcquire(), 1);
        QVERIFY(r.commands().isEmpty());
        broadcaster.answer.release();
        QVERIFY(BroadcasterCourier::shared().waitUntilIdle(5000));
    }

    // A headless run applies the scenario's keys and idle readings at their
    // frames: the keys reach the players, the idle time takes the display to
    // full screen and a key brings it back, hidden.
    void headlessRunAppliesKeysAndIdle()
    {
        QTemporaryDir dir;
        QVERIFY(TestFiles::writeBytes(dir.filePath("defaults.json"), R"({"modifier": 2, "showLoved": 1,
            "fullScreenAfterSystemIdleTime": 300, "exitFullScreenAfterActivity": true,
            "displayFloatingWindow": false, "blockSleepInFullScreen": true, "cycle": 60})"));
        const QString events = R"({"players": [{"name": "Music", "state": "playing",
            "tracks": [{"name": "One", "artist": "A", "album": "B", "duration": 600}]}],
          "events": [{"frame": 5, "key": "Alt+4"}, {"frame": 6, "idle": %1}, {"frame": %2, "key": "x"}]})";
        // 323,196 ms are 300 idle units, 323,197 are 301: past the limit.
        struct Run { int idleMs, keyFrame; bool fullScreen, visible; };
        for (const Run &run : {Run{323196, 999, false, true}, Run{323197, 999, true, true}, Run{323197, 120, false, false}}) {
            const QString players = dir.filePath("keys.json");
            QVERIFY(TestFiles::writeBytes(players, events.arg(run.idleMs).arg(run.keyFrame).toUtf8()));
            const AppProcess::Outcome outcome = AppProcess::run(
                {"--offscreen", "--players", players, "--frames", "200", "--seed", "1", "--now",
                 "2026-12-06T20:00:00", "--size", "320x200", "--config-dir", dir.path(), "--state",
                 dir.filePath("s.json"), "--script-log", dir.filePath("l.jsonl")});
            QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
            const QJsonObject state = TestFiles::readJsonObject(dir.filePath("s.json"));
            QCOMPARE(state.value("fullScreen").toBool(), run.fullScreen);
            QCOMPARE(state.value("windowVisible").toBool(), run.visible);
            QCOMPARE(state.value("sleepPrevented").toBool(), run.fullScreen);
            bool rated = false;
            for (const QByteArray &line : TestFiles::readBytes(dir.filePath("l.jsonl")).split('\n')) {
                const QJsonObject entry = QJsonDocument::fromJson(line).object();
                rated = rated || (entry.value("frame").toInt() == 5
                                  && entry.value("script").toString().contains("set loved of current track to true"));
            }
            QVERIFY(rated);
        }
    }
};

QTEST_GUILESS_MAIN(TestKeyRemote)
#include "tst_keyremote.moc"
