#include "support/TestFiles.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace TestFiles;

// Runs the built application without a window, as tests, benchmarks and
// theme work do, and checks what it leaves behind.
class TestHeadlessRun : public QObject
{
    Q_OBJECT

private:
    struct Outcome
    {
        int status = -1;
        QString out;
        QString err;
    };

    static QString data(const char *name)
    {
        return QStringLiteral(COVERLUME_SOURCE_DIR "/tests/session/data/") + QLatin1String(name);
    }

    static Outcome run(const QStringList &arguments,
                       const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(COVERLUME_APP_BINARY), arguments);
        Outcome outcome;
        if (!process.waitForStarted(10000) || !process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished(5000);
            outcome.err = QStringLiteral("did not finish in time");
            return outcome;
        }
        outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.out = QString::fromUtf8(process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    static void writeClassicTheme(const QTemporaryDir &dir)
    {
        QFile settings(dir.filePath(QStringLiteral("defaults.json")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"theme": 0, "userPaused": true})");
    }

    QStringList scriptedRun(const QTemporaryDir &dir, const QString &frames)
    {
        return {QStringLiteral("--offscreen"), QStringLiteral("--players"), data("two_tracks.json"),
                QStringLiteral("--config-dir"), dir.path(), QStringLiteral("--frames"), frames,
                QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--now"),
                QStringLiteral("2026-12-06T15:30:00")};
    }

private Q_SLOTS:
    void aFullRunWritesStateSnapshotAndScriptLog()
    {
        QTemporaryDir dir;
        writeClassicTheme(dir);
        const QString state = dir.filePath(QStringLiteral("state.json"));
        const QString shot = dir.filePath(QStringLiteral("shot.png"));
        const QString log = dir.filePath(QStringLiteral("scripts.jsonl"));

        const Outcome outcome = run(scriptedRun(dir, QStringLiteral("1203"))
                                    + QStringList{QStringLiteral("--state"), state,
                                                  QStringLiteral("--snapshot"), shot,
                                                  QStringLiteral("--script-log"), log});
        QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
        QVERIFY(outcome.err.contains(QStringLiteral("Coverlume Standalone version: " COVERLUME_VERSION " (1)")));

        const QJsonObject json = readJsonObject(state);
        QCOMPARE(json.value(QStringLiteral("theme")).toInt(-1), 0); // Classic
        // Two whole cycles: the frame that ends a cycle, then 600 frames, twice.
        QCOMPARE(json.value(QStringLiteral("framesCount")).toInt(-1), 0);
        QCOMPARE(json.value(QStringLiteral("currentPlayer")).toInt(-1), 2);
        QCOMPARE(json.value(QStringLiteral("track")).toString(), QStringLiteral("First Light"));

        const QImage image(shot);
        QCOMPARE(image.size(), QSize(1280, 800));

        // Written at exit, one JSON object a line, in frame order.
        QVERIFY(QFile::exists(log));
        const QList<QByteArray> lines = readBytes(log).split('\n');
        qint64 lastFrame = -1;
        for (const QByteArray &line : lines) {
            if (line.isEmpty())
                continue;
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            QVERIFY2(entry.contains(QStringLiteral("script")), line.constData());
            const qint64 frame = entry.value(QStringLiteral("frame")).toInteger(-1);
            QVERIFY(frame >= lastFrame && frame <= 1203);
            lastFrame = frame;
        }
        // The view asked the players from its creation (frame 0) to the last frame.
        QVERIFY(lines.first().startsWith("{\"frame\":0,"));
        QVERIFY(lastFrame > 1190);

        // The run started unpaused and left that in the settings.
        const QJsonObject settings = readJsonObject(dir.filePath(QStringLiteral("defaults.json")));
        QCOMPARE(settings.value(QStringLiteral("userPaused")).toBool(true), false);
        QCOMPARE(settings.value(QStringLiteral("theme")).toInt(-1), 0);
    }

    void theSameSeedAndClockGiveTheSameRun()
    {
        QTemporaryDir first, second;
        const QString firstState = first.filePath(QStringLiteral("state.json"));
        const QString secondState = second.filePath(QStringLiteral("state.json"));
        const QString firstLog = first.filePath(QStringLiteral("log.jsonl"));
        const QString secondLog = second.filePath(QStringLiteral("log.jsonl"));
        QCOMPARE(run(scriptedRun(first, QStringLiteral("700"))
                     + QStringList{QStringLiteral("--state"), firstState,
                                   QStringLiteral("--script-log"), firstLog}).status, 0);
        QCOMPARE(run(scriptedRun(second, QStringLiteral("700"))
                     + QStringList{QStringLiteral("--state"), secondState,
                                   QStringLiteral("--script-log"), secondLog}).status, 0);
        QVERIFY(!readBytes(firstState).isEmpty());
        QCOMPARE(readBytes(firstState), readBytes(secondState));
        QVERIFY(QFile::exists(firstLog));
        QCOMPARE(readBytes(firstLog), readBytes(secondLog));
    }

    void theSnapshotTakesTheGivenSize()
    {
        QTemporaryDir dir;
        const QString shot = dir.filePath(QStringLiteral("small.png"));
        const Outcome outcome = run({QStringLiteral("--offscreen"), QStringLiteral("--config-dir"), dir.path(),
                                     QStringLiteral("--frames"), QStringLiteral("30"), QStringLiteral("--size"),
                                     QStringLiteral("320x200"), QStringLiteral("--snapshot"), shot});
        QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
        QCOMPARE(QImage(shot).size(), QSize(320, 200));
    }

    void withoutASessionBusTheRunSaysSoOnce()
    {
        QTemporaryDir dir;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path()); // no bus socket there
        const Outcome outcome = run({QStringLiteral("--offscreen"), QStringLiteral("--config-dir"), dir.path(),
                                     QStringLiteral("--frames"), QStringLiteral("200")},
                                    environment);
        QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
        QCOMPARE(outcome.err.count(QStringLiteral("no session bus: no players to follow")), 1);

        const Outcome listing = run({QStringLiteral("--list-players")}, environment);
        QCOMPARE(listing.status, 1);
        QVERIFY(listing.err.contains(QStringLiteral("no session bus")));
    }

    void listingPlayersOnAnEmptyBusSaysSo()
    {
        QTemporaryDir dir;
        const Outcome outcome = run({QStringLiteral("--list-players"), QStringLiteral("--config-dir"), dir.path()});
        QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
        QCOMPARE(outcome.out, QStringLiteral("no MPRIS players on the session bus\n"));
    }

    void aBrokenScenarioStopsTheRunWithStatusTwo()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state.json"));
        const Outcome outcome = run({QStringLiteral("--offscreen"), QStringLiteral("--players"),
                                     data("broken_scenario.json"), QStringLiteral("--config-dir"), dir.path(),
                                     QStringLiteral("--frames"), QStringLiteral("10"), QStringLiteral("--state"), state});
        QCOMPARE(outcome.status, 2);
        QVERIFY2(outcome.err.contains(QStringLiteral("broken_scenario.json")), qPrintable(outcome.err));
        QVERIFY2(outcome.err.contains(QStringLiteral("duration")), qPrintable(outcome.err));
        QVERIFY(!QFile::exists(state));

        const Outcome missing = run({QStringLiteral("--offscreen"), QStringLiteral("--players"),
                                     dir.filePath(QStringLiteral("absent.json")), QStringLiteral("--config-dir"),
                                     dir.path(), QStringLiteral("--frames"), QStringLiteral("1")});
        QCOMPARE(missing.status, 2);
        QVERIFY2(missing.err.contains(QStringLiteral("absent.json")), qPrintable(missing.err));
    }

    void anOutputThatCannotBeWrittenGivesStatusOne()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state.json"));
        const QString badShot = dir.filePath(QStringLiteral("missing/dir/shot.png"));
        const Outcome outcome = run({QStringLiteral("--offscreen"), QStringLiteral("--config-dir"), dir.path(),
                                     QStringLiteral("--frames"), QStringLiteral("5"), QStringLiteral("--snapshot"),
                                     badShot, QStringLiteral("--state"), state});
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains(QStringLiteral("coverlume: cannot write the snapshot to '%1'").arg(badShot)),
                 qPrintable(outcome.err));
        // The outputs that could be written still were.
        QVERIFY(readJsonObject(state).contains(QStringLiteral("framesCount")));
    }

    void argumentsAreCheckedBeforeAnythingRuns_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("bad frames") << QStringList{QStringLiteral("--frames"), QStringLiteral("abc")} << 2
                                    << QString()
                                    << QStringLiteral("coverlume: --frames needs a whole number, not 'abc'\n");
        QTest::newRow("unknown") << QStringList{QStringLiteral("--bogus")} << 2 << QString()
                                 << QStringLiteral("coverlume: unknown option '--bogus' (see --help)\n");
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                                 << QStringLiteral("coverlume " COVERLUME_VERSION " (1)\n") << QString();
    }

    void argumentsAreCheckedBeforeAnythingRuns()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.status, status);
        QCOMPARE(outcome.out, out);
        QCOMPARE(outcome.err, err);
    }

    void helpGoesToStandardOutput()
    {
        const Outcome outcome = run({QStringLiteral("--help")});
        QCOMPARE(outcome.status, 0);
        QVERIFY(outcome.out.startsWith(QStringLiteral("Usage: coverlume")));
        QVERIFY(outcome.err.isEmpty());
    }

    void aRunStoppedBySigtermStillWritesItsOutputs()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state.json"));
        QProcess process;
        process.setReadChannel(QProcess::StandardError);
        process.start(QStringLiteral(COVERLUME_APP_BINARY),
                      {QStringLiteral("--offscreen"), QStringLiteral("--config-dir"), dir.path(),
                       QStringLiteral("--state"), state});
        QVERIFY(process.waitForStarted(10000));
        // Frames run until the signal; wait until the run is under way.
        QByteArray err;
        while (!err.contains("Coverlume Standalone version") && process.waitForReadyRead(10000))
            err += process.readAllStandardError();
        QVERIFY2(err.contains("Coverlume Standalone version"), err.constData());
        process.terminate();
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(readJsonObject(state).contains(QStringLiteral("framesCount")));
    }
};

QTEST_GUILESS_MAIN(TestHeadlessRun)
#include "tst_headlessrun.moc"
