#include "support/TimeFactor.h"
#include "support/AppProcess.h"
#include "support/Pixels.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace TestFiles;

// Runs the built application without a window, as tests, benchmarks and
// theme work do, and checks what it leaves behind.
class TestHeadlessRun : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_runs = 0;

    // A scripted run in a settings folder of its own; outputs go beside it.
    QStringList scriptedRun(const QString &frames, const QString &out)
    {
        const QString config = m_dir.filePath(QStringLiteral("config%1").arg(++m_runs));
        writeBytes(config + QStringLiteral("/defaults.json"), R"({"theme": 0, "userPaused": true})");
        return {"--offscreen", "--players", COVERLUME_SOURCE_DIR "/tests/session/data/two_tracks.json",
                "--config-dir", config, "--frames", frames, "--seed", "7", "--now", "2026-12-06T15:30:00",
                "--state", out + ".json", "--script-log", out + ".jsonl"};
    }

private Q_SLOTS:
    void aFullRunWritesStateSnapshotAndScriptLog()
    {
        const QString out = m_dir.filePath(QStringLiteral("full"));
        const auto outcome = AppProcess::run(scriptedRun("1203", out) + QStringList{"--snapshot", out + ".png"});
        QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
        QVERIFY(outcome.err.contains(QStringLiteral("Coverlume Standalone version: " COVERLUME_VERSION " (1)")));

        const QJsonObject state = readJsonObject(out + ".json");
        QCOMPARE(state.value("theme").toInt(-1), 0); // Classic
        // Two whole cycles: the frame that ends a cycle, then 600 frames, twice.
        QCOMPARE(state.value("framesCount").toInt(-1), 0);
        QCOMPARE(state.value("currentPlayer").toInt(-1), 2);
        QCOMPARE(state.value("track").toString(), QStringLiteral("First Light"));
        QCOMPARE(QImage(out + ".png").size(), QSize(1280, 800));

        // Written at exit, one JSON object a line, in frame order, from the
        // view's creation (frame 0) to the last frame.
        const QList<QByteArray> lines = readBytes(out + ".jsonl").trimmed().split('\n');
        QVERIFY(lines.first().startsWith("{\"frame\":0,"));
        qint64 lastFrame = -1;
        for (const QByteArray &line : lines) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            QVERIFY2(entry.contains("script"), line.constData());
            const qint64 frame = entry.value("frame").toInteger(-1);
            QVERIFY(frame >= lastFrame && frame <= 1203);
            lastFrame = frame;
        }
        QVERIFY(lastFrame > 1190);

        // The run started unpaused and left that in the settings.
        const QJsonObject settings = readJsonObject(m_dir.filePath("config1/defaults.json"));
        QCOMPARE(settings.value("userPaused").toBool(true), false);
        QCOMPARE(settings.value("theme").toInt(-1), 0);

        // The same seed and clock give the same run.
        const QString again = m_dir.filePath(QStringLiteral("again"));
        QCOMPARE(AppProcess::run(scriptedRun("1203", again) + QStringList{"--snapshot", again + ".png"}).status, 0);
        // All but the longest frame step, which the machine decides.
        QCOMPARE(readBytes(again + ".jsonl"), readBytes(out + ".jsonl"));
        QJsonObject first = readJsonObject(out + ".json"), second = readJsonObject(again + ".json");
        QVERIFY(first.take("longestFrameMs").toDouble() > 0 && second.take("longestFrameMs").toDouble() > 0);
        QCOMPARE(second, first);
        QCOMPARE(first.value("framesRun").toInt(), 1203);
    }

    // A scenario track with a "location" and a ".lrc" beside it: the line
    // sung at the position is lit brightest; with "syncedLyrics" 0 the
    // window is the untimed one.
    void aTrackWithALocationLightsItsTimedLines_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("brightest");
        QTest::newRow("20 s") << 20 << 1 << "at 20";
        QTest::newRow("50 s") << 50 << 1 << "at 50";
        QTest::newRow("80 s") << 80 << 1 << "at 80";
        QTest::newRow("off") << 50 << 0 << "";
    }
    void aTrackWithALocationLightsItsTimedLines()
    {
        QFETCH(int, position);
        QFETCH(int, mode);
        QFETCH(QString, brightest);
        const QString dir = m_dir.filePath(QStringLiteral("synced%1").arg(++m_runs));
        QByteArray lrc;
        for (int at = 14; at <= 86; at += 6)
            lrc += QStringLiteral("[%1:%2.00]at %3\n").arg(at / 60, 2, 10, QChar(u'0')).arg(at % 60, 2, 10, QChar(u'0')).arg(at).toUtf8();
        writeBytes(dir + QStringLiteral("/music/song.lrc"), lrc);
        writeBytes(dir + QStringLiteral("/scenario.json"),
                   QStringLiteral(R"({"players": [{"name": "Spotify", "state": "playing", "position": %1, "tracks": [)"
                                  R"({"name": "Song", "artist": "Band", "duration": 120, "location": "music/song.ogg"}]}]})")
                       .arg(position)
                       .toUtf8());
        writeBytes(dir + QStringLiteral("/config/defaults.json"),
                   QStringLiteral(R"({"theme": 6, "syncedLyrics": %1})").arg(mode).toUtf8());
        const QString state = dir + QStringLiteral("/state.json");
        QCOMPARE(AppProcess::run({"--offscreen", "--players", dir + QStringLiteral("/scenario.json"), "--config-dir",
                                  dir + QStringLiteral("/config"), "--frames", "10", "--state", state})
                     .status,
                 0);
        QString lit;
        double alpha = 0;
        for (const QJsonValue &slot : readJsonObject(state).value("lyrics").toObject().value("lit").toArray()) {
            if (slot["alpha"].toDouble() > alpha && !slot["text"].toString().isEmpty())
                alpha = slot["alpha"].toDouble(), lit = slot["text"].toString();
        }
        QCOMPARE(lit, brightest);
    }

    // A cover whose header declares 16,384 × 2,441 pixels is decoded beside
    // the frames, not in one (its decoding alone takes half a second and
    // more): no step comes near that.
    void aHugeCoverHoldsNoFrame()
    {
        const QByteArray cover = Pixels::largeGreyPng(QSize(16384, 2441));
        QVERIFY2(cover.size() < 400 * 1024, QByteArray::number(cover.size()));
        const QString coverFile = written(m_dir.filePath(QStringLiteral("huge.png")), cover);
        const QString scenario = written(m_dir.filePath(QStringLiteral("huge.json")), QStringLiteral(
            R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [{"name": "Alpha",
                "artist": "Band", "album": "Album", "duration": 600, "artwork": ["%1"]}]}]})").arg(coverFile).toUtf8());
        const QString config = written(m_dir.filePath(QStringLiteral("huge/defaults.json")), R"({"theme": 0})");
        const QString out = m_dir.filePath(QStringLiteral("huge-run"));
        const auto outcome = AppProcess::run({"--offscreen", "--players", scenario, "--config-dir", QFileInfo(config).path(),
                                              "--frames", "1900", "--seed", "1", "--now", "2026-12-06T20:00:00",
                                              "--state", out + ".json"});
        QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
        const QJsonObject state = readJsonObject(out + ".json");
        QCOMPARE(state.value("framesRun").toInt(), 1900);
        QCOMPARE(state.value("track").toString(), QStringLiteral("Alpha"));
        const double longest = state.value("longestFrameMs").toDouble(-1);
        QVERIFY2(longest > 0 && longest < TimeFactor::ms(250), qPrintable(QString::number(longest)));
    }

    void outcomes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // the whole of standard output, when given
        QTest::addColumn<QString>("err"); // a part of standard error
        const QString dir = m_dir.filePath("outcomes");
        const QString data = QStringLiteral(COVERLUME_SOURCE_DIR "/tests/session/data/");
        const QStringList run{"--offscreen", "--config-dir", dir, "--frames", "5"};
        QTest::newRow("snapshot size") << run + QStringList{"--size", "320x200", "--snapshot", dir + "/small.png"}
                                       << 0 << QString() << QString();
        QTest::newRow("no players on the bus") << QStringList{"--list-players", "--config-dir", dir} << 0
                                               << "no MPRIS players on the session bus\n" << QString();
        QTest::newRow("broken scenario") << run + QStringList{"--players", data + "broken_scenario.json"} << 2
                                         << "" << "broken_scenario.json: players[0].tracks[0].duration";
        QTest::newRow("missing scenario") << run + QStringList{"--players", dir + "/absent.json"} << 2 << ""
                                          << "absent.json";
        QTest::newRow("output not writable") << run + QStringList{"--snapshot", dir + "/missing/shot.png",
                                                                  "--state", dir + "/state.json"}
                                             << 1 << "" << "coverlume: cannot write the snapshot to '" + dir
                                                               + "/missing/shot.png'";
        QTest::newRow("bad frames") << QStringList{"--frames", "abc"} << 2 << ""
                                    << "coverlume: --frames needs a whole number, not 'abc'\n";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "coverlume " COVERLUME_VERSION " (1)\n" << "";
        QTest::newRow("help") << QStringList{"--help"} << 0 << QString() << "";
    }

    void outcomes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, status);
        QDir().mkpath(m_dir.filePath("outcomes"));
        QFile::remove(m_dir.filePath("outcomes/state.json"));
        const auto outcome = AppProcess::run(arguments);
        QVERIFY2(outcome.status == status, qPrintable(outcome.err));
        if (!out.isNull())
            QCOMPARE(outcome.out, out);
        QVERIFY2(outcome.err.contains(err), qPrintable(outcome.err));
        if (QString(QTest::currentDataTag()) == "help") // to standard output only
            QVERIFY(outcome.out.startsWith(QStringLiteral("Usage: coverlume")) && outcome.err.isEmpty());
        if (QString(QTest::currentDataTag()) == "snapshot size")
            QCOMPARE(QImage(m_dir.filePath("outcomes/small.png")).size(), QSize(320, 200));
        // A broken scenario stops the run before it writes anything; an
        // output that cannot be written leaves the others written.
        QCOMPARE(QFile::exists(m_dir.filePath("outcomes/state.json")),
                 QString(QTest::currentDataTag()) == "output not writable");
    }

    void withoutASessionBusTheRunSaysSoOnce()
    {
        QProcessEnvironment environment = AppProcess::environmentWith("XDG_RUNTIME_DIR", m_dir.path());
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // and no bus socket in the runtime dir
        const auto outcome = AppProcess::run({"--offscreen", "--config-dir", m_dir.path(), "--frames", "200"},
                                             environment);
        QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
        QCOMPARE(outcome.err.count(QStringLiteral("no session bus: no players to follow")), 1);

        const auto listing = AppProcess::run({"--list-players"}, environment);
        QCOMPARE(listing.status, 1);
        QVERIFY(listing.err.contains(QStringLiteral("no session bus")));
    }
};

QTEST_GUILESS_MAIN(TestHeadlessRun)
#include "tst_headlessrun.moc"
