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
    void noArgumentsRunsWithDefaults()
    {
        const CommandLine c = parse({});
        QCOMPARE(c.action, CommandLine::Action::Run);
        QCOMPARE(c.exitStatus(), 0);
        QVERIFY(!c.offscreen);
        QVERIFY(!c.frames);
        QVERIFY(!c.size);
        QVERIFY(!c.seed);
        QVERIFY(!c.now);
        QVERIFY(!c.verbosity);
        QVERIFY(c.playersFile.isEmpty());
        QVERIFY(c.configDir.isEmpty());
    }

    void headlessRunTakesEveryOption()
    {
        const CommandLine c = parse({
            QStringLiteral("--offscreen"), QStringLiteral("--players"), QStringLiteral("s.json"),
            QStringLiteral("--frames"), QStringLiteral("1203"), QStringLiteral("--snapshot"),
            QStringLiteral("out.png"), QStringLiteral("--size"), QStringLiteral("640x400"),
            QStringLiteral("--seed"), QStringLiteral("4294967295"), QStringLiteral("--now"),
            QStringLiteral("2026-12-06T15:30:00"), QStringLiteral("--fullscreen"),
            QStringLiteral("--config-dir"), QStringLiteral("/tmp/c"), QStringLiteral("--script-log"),
            QStringLiteral("log.jsonl"), QStringLiteral("--state"), QStringLiteral("state.json"),
            QStringLiteral("--verbosity"), QStringLiteral("3"),
        });
        QCOMPARE(c.action, CommandLine::Action::Run);
        QVERIFY(c.isHeadless());
        QCOMPARE(c.playersFile, QStringLiteral("s.json"));
        QCOMPARE(c.frames.value_or(-1), 1203);
        QCOMPARE(c.snapshotFile, QStringLiteral("out.png"));
        QCOMPARE(c.size.value_or(QSize()), QSize(640, 400));
        QCOMPARE(c.seed.value_or(0), 4294967295u);
        QCOMPARE(c.now.value_or(QDateTime()), QDateTime(QDate(2026, 12, 6), QTime(15, 30)));
        QVERIFY(c.fullscreen);
        QCOMPARE(c.configDir, QStringLiteral("/tmp/c"));
        QCOMPARE(c.scriptLogFile, QStringLiteral("log.jsonl"));
        QCOMPARE(c.stateFile, QStringLiteral("state.json"));
        QCOMPARE(c.verbosity.value_or(-1), 3);
    }

    void valuesMayFollowAnEqualsSign()
    {
        const CommandLine c = parse({QStringLiteral("--frames=0"), QStringLiteral("--size=1X1"),
                                     QStringLiteral("--verbosity=-1")});
        QCOMPARE(c.action, CommandLine::Action::Run);
        QCOMPARE(c.frames.value_or(-1), 0);
        QCOMPARE(c.size.value_or(QSize()), QSize(1, 1));
        QCOMPARE(c.verbosity.value_or(0), -1);
    }

    void helpAndVersionWinOverTheRest()
    {
        QCOMPARE(parse({QStringLiteral("--help"), QStringLiteral("--frames"), QStringLiteral("x")}).action,
                 CommandLine::Action::ShowHelp);
        const CommandLine version = parse({QStringLiteral("--offscreen"), QStringLiteral("--version")});
        QCOMPARE(version.action, CommandLine::Action::ShowVersion);
        QCOMPARE(version.exitStatus(), 0);
        QCOMPARE(CommandLine::versionText(), QStringLiteral(COVERLUME_VERSION " (1)"));
    }

    void badArgumentsFailWithStatusTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");

        const auto row = [](const char *name, QStringList args, const char *message) {
            QTest::newRow(name) << args << QString::fromUtf8(message);
        };
        row("frames not a number", {QStringLiteral("--frames"), QStringLiteral("abc")},
            "coverlume: --frames needs a whole number, not 'abc'");
        row("frames fraction", {QStringLiteral("--frames"), QStringLiteral("1.5")},
            "coverlume: --frames needs a whole number, not '1.5'");
        row("frames negative", {QStringLiteral("--frames"), QStringLiteral("-3")},
            "coverlume: --frames needs a number from 0 to 1000000000, not '-3'");
        row("frames huge", {QStringLiteral("--frames"), QStringLiteral("99999999999999999999")},
            "coverlume: --frames needs a whole number, not '99999999999999999999'");
        row("frames missing value", {QStringLiteral("--frames")}, "coverlume: --frames needs a value");
        row("size without x", {QStringLiteral("--size"), QStringLiteral("1280")},
            "coverlume: --size needs WIDTHxHEIGHT in points, each from 1 to 8192, not '1280'");
        row("size zero", {QStringLiteral("--size"), QStringLiteral("0x800")},
            "coverlume: --size needs WIDTHxHEIGHT in points, each from 1 to 8192, not '0x800'");
        row("size too large", {QStringLiteral("--size"), QStringLiteral("100000x10")},
            "coverlume: --size needs WIDTHxHEIGHT in points, each from 1 to 8192, not '100000x10'");
        row("seed negative", {QStringLiteral("--seed"), QStringLiteral("-1")},
            "coverlume: --seed needs a whole number from 0 to 4294967295, not '-1'");
        row("seed over 32 bits", {QStringLiteral("--seed"), QStringLiteral("4294967296")},
            "coverlume: --seed needs a whole number from 0 to 4294967295, not '4294967296'");
        row("now not a time", {QStringLiteral("--now"), QStringLiteral("teatime")},
            "coverlume: --now needs a date and time like 2026-12-06T15:30:00, not 'teatime'");
        row("now date only", {QStringLiteral("--now"), QStringLiteral("2026-12-06")},
            "coverlume: --now needs a date and time like 2026-12-06T15:30:00, not '2026-12-06'");
        row("now impossible date", {QStringLiteral("--now"), QStringLiteral("2026-02-30T10:00:00")},
            "coverlume: --now needs a date and time like 2026-12-06T15:30:00, not '2026-02-30T10:00:00'");
        row("verbosity word", {QStringLiteral("--verbosity"), QStringLiteral("loud")},
            "coverlume: --verbosity needs a whole number, not 'loud'");
        row("empty state path", {QStringLiteral("--state="), QStringLiteral("--offscreen")},
            "coverlume: --state needs a file name");
        row("empty config dir", {QStringLiteral("--config-dir"), QString()},
            "coverlume: --config-dir needs a directory");
        row("unknown option", {QStringLiteral("--colour")},
            "coverlume: unknown option '--colour' (see --help)");
        row("unknown option with value", {QStringLiteral("--colour=red")},
            "coverlume: unknown option '--colour' (see --help)");
        row("stray argument", {QStringLiteral("song.mp3")},
            "coverlume: unexpected argument 'song.mp3' (see --help)");
        row("flag with value", {QStringLiteral("--offscreen=yes")},
            "coverlume: --offscreen takes no value");
        row("list players with value", {QStringLiteral("--list-players=all")},
            "coverlume: --list-players takes no value");
        row("script log without players", {QStringLiteral("--script-log"), QStringLiteral("x.jsonl")},
            "coverlume: --script-log needs --players (only simulated players keep a log)");
    }

    void badArgumentsFailWithStatusTwo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CommandLine c = parse(arguments);
        QCOMPARE(c.action, CommandLine::Action::Fail);
        QCOMPARE(c.errorMessage, message);
        QCOMPARE(c.exitStatus(), 2);
    }

    void headlessSessionsGetAScriptedClockAndAFixedSize()
    {
        const SessionOptions headless = SessionOptions::fromCommandLine(
            parse({QStringLiteral("--offscreen"), QStringLiteral("--fullscreen")}));
        QVERIFY(headless.clockStart.has_value());
        QVERIFY(headless.distributedInProcess);
        QVERIFY(headless.fullScreen);
        QCOMPARE(headless.frameSize, QSizeF(1280, 800));

        const SessionOptions timed = SessionOptions::fromCommandLine(
            parse({QStringLiteral("--offscreen"), QStringLiteral("--now"),
                   QStringLiteral("2026-12-06T15:30:00"), QStringLiteral("--size"),
                   QStringLiteral("300x200")}));
        QCOMPARE(timed.clockStart.value_or(QDateTime()), QDateTime(QDate(2026, 12, 6), QTime(15, 30)));
        QCOMPARE(timed.frameSize, QSizeF(300, 200));

        // A window keeps the live clock and the bus, and asks the window
        // whether it is full screen.
        const SessionOptions windowed = SessionOptions::fromCommandLine(
            parse({QStringLiteral("--fullscreen")}));
        QVERIFY(!windowed.clockStart.has_value());
        QVERIFY(!windowed.distributedInProcess);
        QVERIFY(!windowed.fullScreen);
    }

    void listingPlayersNeedsNoWindow()
    {
        const CommandLine c = parse({QStringLiteral("--list-players")});
        QCOMPARE(c.action, CommandLine::Action::Run);
        QVERIFY(c.listPlayers);
        QVERIFY(c.isHeadless());
        QVERIFY(!parse({}).listPlayers);
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

    void helpNamesEveryOption()
    {
        const QString help = CommandLine::helpText();
        for (const char *option : {"--help", "--version", "--players", "--offscreen", "--frames",
                                   "--snapshot", "--state", "--script-log", "--size", "--seed",
                                   "--now", "--fullscreen", "--config-dir", "--verbosity",
                                   "--list-players", "--add-broadcaster"}) {
            QVERIFY2(help.contains(QLatin1String(option)), option);
            // and every option named there is one the parser knows
            const CommandLine c = parse({QLatin1String(option)});
            QVERIFY2(!c.errorMessage.contains(QLatin1String("unknown option")), option);
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
