#include "session/CommandLine.h"
#include "session/SessionOptions.h"

#include <QTest>

// Parsing only: nothing here starts a run.
class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    static CommandLine parse(const QStringList &arguments)
    {
        return CommandLine::parse(QStringList{QStringLiteral("coverlume")} + arguments);
    }

private Q_SLOTS:
    void everyOptionIsTaken()
    {
        const CommandLine none = parse({});
        QCOMPARE(none.action, CommandLine::Action::Run);
        QCOMPARE(none.exitStatus(), 0);
        QVERIFY(!none.offscreen && !none.frames && !none.size && !none.seed && !none.now && !none.verbosity
                && !none.fullscreen && !none.listPlayers);
        QVERIFY(none.playersFile.isEmpty() && none.configDir.isEmpty());

        const CommandLine c = parse({"--offscreen", "--players", "s.json", "--frames", "1203", "--snapshot",
                                     "out.png", "--size", "640x400", "--seed", "4294967295", "--now",
                                     "2026-12-06T15:30:00", "--fullscreen", "--config-dir", "/tmp/c",
                                     "--script-log", "log.jsonl", "--state", "state.json", "--verbosity", "3"});
        QCOMPARE(c.action, CommandLine::Action::Run);
        QVERIFY(c.isHeadless() && c.fullscreen);
        QCOMPARE(c.playersFile, QStringLiteral("s.json"));
        QCOMPARE(c.frames.value_or(-1), 1203);
        QCOMPARE(c.snapshotFile, QStringLiteral("out.png"));
        QCOMPARE(c.size.value_or(QSize()), QSize(640, 400));
        QCOMPARE(c.seed.value_or(0), 4294967295u);
        QCOMPARE(c.now.value_or(QDateTime()), QDateTime(QDate(2026, 12, 6), QTime(15, 30)));
        QCOMPARE(c.configDir, QStringLiteral("/tmp/c"));
        QCOMPARE(c.scriptLogFile, QStringLiteral("log.jsonl"));
        QCOMPARE(c.stateFile, QStringLiteral("state.json"));
        QCOMPARE(c.verbosity.value_or(-1), 3);

        // Values may follow an equals sign; the limits themselves are taken.
        const CommandLine equals = parse({"--frames=0", "--size=1X1", "--verbosity=-1"});
        QCOMPARE(equals.action, CommandLine::Action::Run);
        QCOMPARE(equals.frames.value_or(-1), 0);
        QCOMPARE(equals.size.value_or(QSize()), QSize(1, 1));
        QCOMPARE(equals.verbosity.value_or(0), -1);

        const CommandLine listing = parse({"--list-players"});
        QVERIFY(listing.listPlayers && listing.isHeadless());
    }

    void helpAndVersionWinOverTheRest()
    {
        QCOMPARE(parse({"--help", "--frames", "x"}).action, CommandLine::Action::ShowHelp);
        const CommandLine version = parse({"--offscreen", "--version"});
        QCOMPARE(version.action, CommandLine::Action::ShowVersion);
        QCOMPARE(version.exitStatus(), 0);
    }

    void badArgumentsFailWithStatusTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const auto row = [](QStringList args, const char *message) {
            QTest::newRow(qPrintable(args.join(u' '))) << args << QStringLiteral("coverlume: ") + message;
        };
        row({"--frames", "abc"}, "--frames needs a whole number, not 'abc'");
        row({"--frames", "-3"}, "--frames needs a number from 0 to 1000000000, not '-3'");
        row({"--frames", "99999999999999999999"}, "--frames needs a whole number, not '99999999999999999999'");
        row({"--frames"}, "--frames needs a value");
        for (const char *size : {"1280", "0x800", "100000x10"})
            row({"--size", size}, qPrintable(QStringLiteral("--size needs WIDTHxHEIGHT in points, each from 1 "
                                                            "to 8192, not '%1'").arg(size)));
        for (const char *seed : {"-1", "4294967296"})
            row({"--seed", seed}, qPrintable(QStringLiteral("--seed needs a whole number from 0 to 4294967295, "
                                                            "not '%1'").arg(seed)));
        for (const char *now : {"teatime", "2026-12-06", "2026-02-30T10:00:00"})
            row({"--now", now}, qPrintable(QStringLiteral("--now needs a date and time like "
                                                          "2026-12-06T15:30:00, not '%1'").arg(now)));
        row({"--verbosity", "loud"}, "--verbosity needs a whole number, not 'loud'");
        row({"--state=", "--offscreen"}, "--state needs a file name");
        row({"--config-dir", ""}, "--config-dir needs a directory");
        row({"--colour"}, "unknown option '--colour' (see --help)");
        row({"--colour=red"}, "unknown option '--colour' (see --help)");
        row({"song.mp3"}, "unexpected argument 'song.mp3' (see --help)");
        row({"--offscreen=yes"}, "--offscreen takes no value");
        row({"--script-log", "x.jsonl"}, "--script-log needs --players (only simulated players keep a log)");
    }

    void badArgumentsFailWithStatusTwo()
    {
        QFETCH(QStringList, arguments);
        const CommandLine c = parse(arguments);
        QCOMPARE(c.action, CommandLine::Action::Fail);
        QTEST(c.errorMessage, "message");
        QCOMPARE(c.exitStatus(), 2);
    }

    void headlessSessionsGetAScriptedClockAndAFixedSize()
    {
        const SessionOptions headless = SessionOptions::fromCommandLine(parse({"--offscreen", "--fullscreen"}));
        QVERIFY(headless.clockStart.has_value());
        QVERIFY(headless.distributedInProcess);
        QVERIFY(headless.fullScreen);
        QCOMPARE(headless.frameSize, QSizeF(1280, 800));

        const SessionOptions timed = SessionOptions::fromCommandLine(
            parse({"--offscreen", "--now", "2026-12-06T15:30:00", "--size", "300x200"}));
        QCOMPARE(timed.clockStart.value_or(QDateTime()), QDateTime(QDate(2026, 12, 6), QTime(15, 30)));
        QCOMPARE(timed.frameSize, QSizeF(300, 200));

        // A window keeps the live clock and the bus, and asks the window
        // whether it is full screen.
        const SessionOptions windowed = SessionOptions::fromCommandLine(parse({"--fullscreen"}));
        QVERIFY(!windowed.clockStart.has_value());
        QVERIFY(!windowed.distributedInProcess);
        QVERIFY(!windowed.fullScreen);

        // Lyrics are waited for only where a run of N frames must repeat.
        QVERIFY(SessionOptions::fromCommandLine(parse({"--offscreen", "--frames", "3"})).waitForLyrics);
        QVERIFY(!headless.waitForLyrics);
        QVERIFY(!SessionOptions::fromCommandLine(parse({"--frames", "3"})).waitForLyrics);
    }

    void addingABroadcasterTakesAnIPv4Address_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("saved"); // empty: refused
        QTest::newRow("address") << "192.168.1.7" << "http://192.168.1.7:45055";
        QTest::newRow("base address") << "http://10.0.0.2:45055" << "http://10.0.0.2:45055";
        QTest::newRow("other port") << "http://10.0.0.2:80" << "";
        QTest::newRow("name") << "music.local" << "";
        QTest::newRow("out of range") << "192.168.1.300" << "";
        QTest::newRow("IPv6") << "fe80::1" << "";
    }

    void addingABroadcasterTakesAnIPv4Address()
    {
        QFETCH(QString, value);
        QFETCH(QString, saved);
        const CommandLine c = parse({QStringLiteral("--add-broadcaster"), value});
        QCOMPARE(c.addBroadcaster, saved);
        QCOMPARE(c.action, saved.isEmpty() ? CommandLine::Action::Fail : CommandLine::Action::Run);
    }

    void helpNamesEveryOptionTheParserKnows()
    {
        const QString help = CommandLine::helpText();
        for (const char *option : {"--help", "--version", "--players", "--offscreen", "--frames", "--snapshot",
                                   "--state", "--script-log", "--size", "--seed", "--now", "--fullscreen",
                                   "--config-dir", "--verbosity", "--list-players", "--add-broadcaster"}) {
            QVERIFY2(help.contains(QLatin1String(option)), option);
            QVERIFY2(!parse({QLatin1String(option)}).errorMessage.contains(QLatin1String("unknown option")), option);
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
