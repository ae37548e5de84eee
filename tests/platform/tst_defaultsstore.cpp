#include "platform/DefaultsStore.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>
#include <unistd.h>

using namespace TestFiles;

namespace {

// Files in the directory other than the settings file and its lock.
QStringList strayFiles(const QString &directory)
{
    QStringList names = QDir(directory).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("defaults.json"));
    names.removeAll(QStringLiteral("defaults.json.lock"));
    return names;
}

} // namespace

class TestDefaultsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settingsSurviveARestartInTheStandardPlace()
    {
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(!config.isEmpty());
        QCOMPARE(DefaultsStore::standardDirectory(), config + "/coverlume");
        const QVariantMap nested{{"fontSize", 12.5}, {"colours", QVariantList{1, "red"}}};
        {
            DefaultsStore store;
            QCOMPARE(store.filePath(), config + "/coverlume/defaults.json");
            QVERIFY(store.set("showTime", true) && store.set("cycle", 450) && store.set("big", qint64(1) << 53 | 1)
                    && store.set("scale", 0.75) && store.set("name", QStringLiteral("Grüße"))
                    && store.set("list", QVariantList{1, 2.5, "x"}) && store.set("theme0", nested));
        }
        DefaultsStore store;
        QCOMPARE(store.boolValue("showTime"), true);
        QCOMPARE(store.integerValue("cycle"), 450);
        QCOMPARE(store.integerValue("big"), (qint64(1) << 53) | 1);
        QCOMPARE(store.doubleValue("scale"), 0.75);
        QCOMPARE(store.stringValue("name"), QStringLiteral("Grüße"));
        const QVariantList list = store.arrayValue("list");
        QCOMPARE(list.size(), 3);
        QCOMPARE(DefaultsStore::toDouble(list.at(1)), 2.5);
        QCOMPARE(list.at(2).toString(), QStringLiteral("x"));
        const QVariantMap map = store.dictionaryValue("theme0");
        QCOMPARE(DefaultsStore::toDouble(map.value("fontSize")), 12.5);
        QCOMPARE(map.value("colours").toList().at(1).toString(), QStringLiteral("red"));
        QVERIFY(strayFiles(DefaultsStore::standardDirectory()).isEmpty());
    }

    void layersReadFromTheTop()
    {
        QTemporaryDir dir;
        {
            DefaultsStore store(dir.path());
            store.registerDefaults({{"verbosity", 0}, {"cycle", 600}});
            QVERIFY(!store.contains("absent") && !store.object("absent").isValid());
            QCOMPARE(store.stringValue("absent"), QString());

            QVERIFY(store.set("verbosity", 1));
            store.setVolatile("verbosity", 3);
            QCOMPARE(store.intValue("verbosity"), 3);
            // A later write must not carry the command-line value into the file.
            QVERIFY(store.set("cycle", 300));
            QCOMPARE(readJsonObject(store.filePath()).value("verbosity").toInt(), 1);
            store.setVolatile("verbosity", QVariant());
            QCOMPARE(store.intValue("verbosity"), 1);
            store.setVolatile("onlyHere", true);
            QVERIFY(store.synchronize());

            // Removing a registered key (or setting nothing) shows the
            // registered value again and takes the key out of the file.
            QVERIFY(store.remove("cycle"));
            QCOMPARE(store.intValue("cycle"), 600);
            QVERIFY(!readJsonObject(store.filePath()).contains("cycle"));
            QVERIFY(store.set("cycle", 5) && store.set("cycle", QVariant()));
            QCOMPARE(store.intValue("cycle"), 600);
        }
        DefaultsStore store(dir.path());
        QCOMPARE(store.intValue("verbosity"), 1);
        QVERIFY(!store.contains("onlyHere"));
        QVERIFY(!readJsonObject(store.filePath()).contains("onlyHere"));

        // What the file holds is read the same way: a null falls through to
        // the registered value, a number under a boolean key stays a number.
        QVERIFY(writeBytes(dir.filePath("defaults.json"), R"({"cycle": null, "showTime": 3})"));
        DefaultsStore fromFile(dir.path());
        fromFile.registerDefaults({{"cycle", 600}, {"showTime", true}});
        QVERIFY(fromFile.contains("cycle"));
        QCOMPARE(fromFile.intValue("cycle"), 600);
        QCOMPARE(fromFile.intValue("showTime"), 3);
        QCOMPARE(fromFile.boolValue("showTime"), true);
        QVERIFY(fromFile.set("showTime", 0.0));
        QCOMPARE(DefaultsStore(dir.path()).boolValue("showTime"), false);
    }

    void anInterruptedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        DefaultsStore store(dir.path());
        QVERIFY(store.set("theme", 1));
        const QByteArray before = readBytes(store.filePath());
        int hookCalls = 0;
        store.setBeforeCommitHookForTesting([&hookCalls] { return ++hookCalls, false; });
        QVERIFY(!store.set("theme", 7));
        QVERIFY(!store.remove("absentKey"));
        QCOMPARE(hookCalls, 2);
        QCOMPARE(readBytes(store.filePath()), before);
        QVERIFY2(strayFiles(dir.path()).isEmpty(), qPrintable(strayFiles(dir.path()).join(u' ')));
        // The value is still this process's value, and still pending.
        QCOMPARE(store.intValue("theme"), 7);
        QCOMPARE(DefaultsStore(dir.path()).intValue("theme"), 1);

        store.setBeforeCommitHookForTesting({});
        QVERIFY(store.set("cycle", 300));
        DefaultsStore reopened(dir.path());
        QCOMPARE(reopened.intValue("theme"), 7);
        QCOMPARE(reopened.intValue("cycle"), 300);
    }

    void anUnusableFileIsKeptAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("warning");
        const QString corrupt = QStringLiteral("^settings file .*defaults\\.json .*; kept aside as .*defaults\\.json\\."
                                               "corrupt-\\d{8}-\\d{6}(-\\d+)?, using the registered defaults$");
        QTest::newRow("not JSON") << QByteArray("showTime = YES\n") << corrupt;
        QTest::newRow("truncated object") << QByteArray("{\n    \"theme\": 3,\n    \"cyc") << corrupt;
        QTest::newRow("top-level array") << QByteArray("[1, 2, 3]") << corrupt;
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\"a\":1}", 10) << corrupt;
        // Valid JSON, but far more than any settings this program writes.
        QTest::newRow("oversized") << "{\"theme\": 3, \"pad\": \"" + QByteArray(16 * 1024 * 1024, 'x') + "\"}"
                                   << QStringLiteral("is over 16 MiB; kept aside as");
    }

    void anUnusableFileIsKeptAside()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, warning);
        QTemporaryDir dir;
        const QString path = dir.filePath("defaults.json");
        // Three in (almost certainly) the same second: none overwrites another.
        for (int i = 0; i < 3; ++i) {
            QVERIFY(writeBytes(path, content + QByteArray(i, ' ')));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
            DefaultsStore store(dir.path());
            store.registerDefaults({{"theme", 5}});
            QCOMPARE(store.intValue("theme"), 5);
            QVERIFY(!QFile::exists(path));
            if (i == 0) {
                QVERIFY(store.set("cycle", 200));
                QCOMPARE(readJsonObject(path).keys(), QStringList{"cycle"});
                QVERIFY(QFile::remove(path));
            }
        }
        const QStringList kept = strayFiles(dir.path());
        QCOMPARE(kept.size(), 3);
        QSet<QByteArray> contents;
        for (const QString &name : kept) {
            QVERIFY(name.startsWith(QStringLiteral("defaults.json.corrupt-")));
            contents.insert(readBytes(dir.filePath(name)));
        }
        QCOMPARE(contents, (QSet<QByteArray>{content, content + ' ', content + "  "}));
    }

    void anUnreadableFileIsNeverOverwritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("defaults.json");
        // Something that cannot be read as a file sits where the settings go.
        QVERIFY(QDir(dir.path()).mkdir("defaults.json"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not a regular file; changes are kept in memory$"));
        DefaultsStore store(dir.path());
        QVERIFY(!store.set("theme", 2));
        QCOMPARE(store.intValue("theme"), 2);
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(strayFiles(dir.path()).isEmpty());
        // Once the obstacle is gone the change kept in memory is written.
        QVERIFY(QDir(dir.path()).rmdir("defaults.json"));
        QVERIFY(store.synchronize());
        QCOMPARE(readJsonObject(path).value("theme").toInt(), 2);

        if (::geteuid() == 0)
            QSKIP("permissions do not stop root; the rest needs an ordinary user");
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot be read"));
        DefaultsStore blocked(dir.path());
        QVERIFY(!blocked.set("cycle", 9));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(readJsonObject(path).value("theme").toInt(), 2);
        QVERIFY(!readJsonObject(path).contains("cycle"));
    }

    void aLockLeftByAKilledWriterHoldsNobodyUp()
    {
        // A writer killed mid-write leaves its lock file behind, empty or
        // naming a process that is gone: only a writer alive holds the lock.
        QTemporaryDir dir;
        const QString lockPath = dir.filePath("defaults.json.lock");
        for (const QByteArray &left : {QByteArray(), QByteArray("999999\ncoverlume\nhost\n")}) {
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(left);
            file.close();
            LogCapture log;
            DefaultsStore store(dir.path());
            QVERIFY(store.set("theme", 2));
            QVERIFY(store.update("cycle", [](const QVariant &) { return QVariant(300); }));
            QVERIFY2(!log.lines().join('\n').contains("another writer"), qPrintable(log.lines().join('\n')));
        }
        const QJsonObject object = readJsonObject(dir.filePath("defaults.json"));
        QCOMPARE(object.value("theme").toInt(), 2);
        QCOMPARE(object.value("cycle").toInt(), 300);
    }

    void twoStoresKeepEachOthersKeys()
    {
        QTemporaryDir dir;
        DefaultsStore first(dir.path());
        DefaultsStore second(dir.path());
        QVERIFY(first.set("theme", 2) && second.set("cycle", 300) && first.set("showTime", false));
        QVERIFY(second.remove("absent"));
        const QJsonObject object = readJsonObject(first.filePath());
        QCOMPARE(object.value("theme").toInt(), 2);
        QCOMPARE(object.value("cycle").toInt(), 300);
        QCOMPARE(object.value("showTime").toBool(true), false);

        // Each sees the other's key once it re-reads; a removal in one
        // process removes only that key.
        QVERIFY(first.synchronize());
        QCOMPARE(first.intValue("cycle"), 300);
        QCOMPARE(second.intValue("theme"), 2);
        QVERIFY(second.remove("theme"));
        QVERIFY(first.synchronize());
        QVERIFY(!first.contains("theme"));
        QCOMPARE(first.intValue("cycle"), 300);
    }

    void storedValuesReadAsTheTypeAsked_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<qint64>("asInteger");
        QTest::addColumn<int>("asInt");
        QTest::addColumn<double>("asDouble");
        QTest::addColumn<QString>("asString");
        constexpr qint64 max = std::numeric_limits<qint64>::max(), min = std::numeric_limits<qint64>::min();
        constexpr int intMin = std::numeric_limits<int>::min();
        const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
        const auto row = [](const char *name, QVariant value) -> QTestData & { return QTest::newRow(name) << value; };

        row("true", true) << true << qint64(1) << 1 << 1.0 << "1";
        row("int 3", 3) << true << qint64(3) << 3 << 3.0 << "3";
        row("2^32 + 5 keeps low bits", qint64(0x100000005)) << true << qint64(0x100000005) << 5 << 4294967301.0 << "4294967301";
        row("2^31 wraps negative", qint64(0x80000000)) << true << qint64(0x80000000) << intMin << 2147483648.0 << "2147483648";
        row("uint64 max saturates", std::numeric_limits<quint64>::max()) << true << max << -1 << 18446744073709551615.0
                                                                         << "18446744073709551615";
        row("2.9 truncates", 2.9) << true << qint64(2) << 2 << 2.9 << "2.9";
        row("0.4 is true", 0.4) << true << qint64(0) << 0 << 0.4 << "0.4";
        row("NaN", nan) << false << qint64(0) << 0 << nan << "nan";
        row("+inf", inf) << true << max << -1 << inf << "inf";
        row("-inf", -inf) << true << min << 0 << -inf << "-inf";
        row("2^63 exactly", 9223372036854775808.0) << true << max << -1 << 9223372036854775808.0 << "9223372036854776000";
        row("string 42abc", "42abc") << true << qint64(42) << 42 << 42.0 << "42abc";
        row("string -7.5x", "  -7.5x") << true << qint64(-7) << -7 << -7.5 << "  -7.5x";
        row("string 1e3", "1e3") << true << qint64(1) << 1 << 1000.0 << "1e3";
        row("string 0.0", "0.0") << false << qint64(0) << 0 << 0.0 << "0.0";
        row("string YeS", "YeS") << true << qint64(1) << 1 << 1.0 << "YeS";
        row("string no", "no") << false << qint64(0) << 0 << 0.0 << "no";
        row("string word", "Classic") << false << qint64(0) << 0 << 0.0 << "Classic";
        row("string huge", "99999999999999999999999") << true << max << -1 << 1e23 << "99999999999999999999999";
        row("string -huge", "-99999999999999999999999") << true << min << 0 << -1e23 << "-99999999999999999999999";
        row("string 1e999", "1e999") << true << qint64(1) << 1 << inf << "1e999";
        row("string 1e-999", "1e-999") << false << qint64(1) << 1 << 0.0 << "1e-999";
        row("list", QVariantList{1, 2}) << false << qint64(0) << 0 << 0.0 << QString();
        row("map", QVariantMap{{"a", 1}}) << false << qint64(0) << 0 << 0.0 << QString();
    }

    void storedValuesReadAsTheTypeAsked()
    {
        QFETCH(QVariant, value);
        QFETCH(double, asDouble);
        QTemporaryDir dir;
        DefaultsStore store(dir.path());
        store.setVolatile("key", value);
        QTEST(store.boolValue("key"), "asBool");
        QTEST(store.integerValue("key"), "asInteger");
        QTEST(store.intValue("key"), "asInt");
        QTEST(store.stringValue("key"), "asString");
        // Narrowing to float is defined for every double: huge values become
        // infinite rather than undefined.
        const double number = store.doubleValue("key");
        const float narrow = store.floatValue("key");
        if (std::isnan(asDouble)) {
            QVERIFY(std::isnan(number) && std::isnan(narrow));
        } else {
            QCOMPARE(number, asDouble);
            QCOMPARE(narrow, std::abs(asDouble) > std::numeric_limits<float>::max()
                                 ? std::copysign(std::numeric_limits<float>::infinity(), float(asDouble))
                                 : float(asDouble));
        }
        QCOMPARE(store.arrayValue("key").isEmpty(), value.typeId() != QMetaType::QVariantList);
        QCOMPARE(store.dictionaryValue("key").isEmpty(), value.typeId() != QMetaType::QVariantMap);
    }
};

QTEST_GUILESS_MAIN(TestDefaultsStore)
#include "tst_defaultsstore.moc"
