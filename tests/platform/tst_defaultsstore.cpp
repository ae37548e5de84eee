#include "platform/DefaultsStore.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <unistd.h>

namespace {

using namespace TestFiles;

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
    void standardDirectoryIsUnderXdgConfig();
    void settingsSurviveRestart();
    void layersReadFromTheTop();
    void removeOfRegisteredKeyShowsRegisteredValue();
    void interruptedWriteKeepsOldFile();
    void corruptFileIsKeptAside_data();
    void corruptFileIsKeptAside();
    void keptAsideNamesNeverClash();
    void oversizedFileIsKeptAside();
    void unreadableFileIsNeverOverwritten();
    void jsonNullFallsThrough();
    void twoStoresKeepEachOthersKeys();
    void coercion_data();
    void coercion();
    void integerStoredUnderBooleanKey();
};

void TestDefaultsStore::standardDirectoryIsUnderXdgConfig()
{
    // The test runner points XDG_CONFIG_HOME at a scratch directory.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        QSKIP("XDG_CONFIG_HOME is not set");
    QCOMPARE(DefaultsStore::standardDirectory(), config + QStringLiteral("/coverlume"));
    DefaultsStore store;
    QCOMPARE(store.filePath(), config + QStringLiteral("/coverlume/defaults.json"));
    QVERIFY(store.set(QStringLiteral("theme"), 2));
    QVERIFY(QFile::exists(store.filePath()));
}

void TestDefaultsStore::settingsSurviveRestart()
{
    QTemporaryDir dir;
    const QVariantMap nested{{QStringLiteral("fontSize"), 12.5},
                             {QStringLiteral("colours"), QVariantList{1, QStringLiteral("red")}}};
    {
        DefaultsStore store(dir.path());
        QVERIFY(store.set(QStringLiteral("showTime"), true));
        QVERIFY(store.set(QStringLiteral("cycle"), 450));
        QVERIFY(store.set(QStringLiteral("big"), qint64(1) << 53 | 1));
        QVERIFY(store.set(QStringLiteral("scale"), 0.75));
        QVERIFY(store.set(QStringLiteral("name"), QStringLiteral("Grüße")));
        QVERIFY(store.set(QStringLiteral("list"), QVariantList{1, 2.5, QStringLiteral("x")}));
        QVERIFY(store.set(QStringLiteral("theme0"), nested));
    }
    DefaultsStore store(dir.path());
    QCOMPARE(store.boolValue(QStringLiteral("showTime")), true);
    QCOMPARE(store.integerValue(QStringLiteral("cycle")), 450);
    QCOMPARE(store.integerValue(QStringLiteral("big")), (qint64(1) << 53) | 1);
    QCOMPARE(store.doubleValue(QStringLiteral("scale")), 0.75);
    QCOMPARE(store.stringValue(QStringLiteral("name")), QStringLiteral("Grüße"));
    const QVariantList list = store.arrayValue(QStringLiteral("list"));
    QCOMPARE(list.size(), 3);
    QCOMPARE(DefaultsStore::toDouble(list.at(1)), 2.5);
    QCOMPARE(list.at(2).toString(), QStringLiteral("x"));
    const QVariantMap map = store.dictionaryValue(QStringLiteral("theme0"));
    QCOMPARE(DefaultsStore::toDouble(map.value(QStringLiteral("fontSize"))), 12.5);
    QCOMPARE(map.value(QStringLiteral("colours")).toList().at(1).toString(), QStringLiteral("red"));
    QVERIFY(strayFiles(dir.path()).isEmpty());
}

void TestDefaultsStore::layersReadFromTheTop()
{
    QTemporaryDir dir;
    {
        DefaultsStore store(dir.path());
        store.registerDefaults({{QStringLiteral("verbosity"), 0}, {QStringLiteral("cycle"), 600}});
        QVERIFY(!store.contains(QStringLiteral("absent")));
        QVERIFY(!store.object(QStringLiteral("absent")).isValid());
        QCOMPARE(store.stringValue(QStringLiteral("absent")), QString());
        QVERIFY(store.arrayValue(QStringLiteral("absent")).isEmpty());

        QVERIFY(store.set(QStringLiteral("verbosity"), 1));
        store.setVolatile(QStringLiteral("verbosity"), 3);
        QCOMPARE(store.intValue(QStringLiteral("verbosity")), 3);

        // A later write must not carry the command-line value into the file.
        QVERIFY(store.set(QStringLiteral("cycle"), 300));
        QCOMPARE(readJsonObject(store.filePath()).value(QStringLiteral("verbosity")).toInt(), 1);

        store.setVolatile(QStringLiteral("verbosity"), QVariant());
        QCOMPARE(store.intValue(QStringLiteral("verbosity")), 1);
        store.setVolatile(QStringLiteral("onlyHere"), true);
        QVERIFY(store.synchronize());
    }
    DefaultsStore store(dir.path());
    QCOMPARE(store.intValue(QStringLiteral("verbosity")), 1);
    QVERIFY(!store.contains(QStringLiteral("onlyHere")));
    QVERIFY(!readJsonObject(store.filePath()).contains(QStringLiteral("onlyHere")));
}

void TestDefaultsStore::removeOfRegisteredKeyShowsRegisteredValue()
{
    QTemporaryDir dir;
    DefaultsStore store(dir.path());
    store.registerDefaults({{QStringLiteral("cycle"), 600}});
    QVERIFY(store.set(QStringLiteral("cycle"), 100));
    QCOMPARE(store.intValue(QStringLiteral("cycle")), 100);
    QVERIFY(store.remove(QStringLiteral("cycle")));
    QCOMPARE(store.intValue(QStringLiteral("cycle")), 600);
    QVERIFY(!readJsonObject(store.filePath()).contains(QStringLiteral("cycle")));
    // Setting an invalid value is a removal too.
    QVERIFY(store.set(QStringLiteral("cycle"), 5));
    QVERIFY(store.set(QStringLiteral("cycle"), QVariant()));
    QCOMPARE(store.intValue(QStringLiteral("cycle")), 600);
}

void TestDefaultsStore::interruptedWriteKeepsOldFile()
{
    QTemporaryDir dir;
    DefaultsStore store(dir.path());
    QVERIFY(store.set(QStringLiteral("theme"), 1));
    const QByteArray before = readBytes(store.filePath());

    int hookCalls = 0;
    store.setBeforeCommitHookForTesting([&hookCalls] {
        ++hookCalls;
        return false;
    });
    QVERIFY(!store.set(QStringLiteral("theme"), 7));
    QVERIFY(!store.remove(QStringLiteral("absentKey")));
    QCOMPARE(hookCalls, 2);
    QCOMPARE(readBytes(store.filePath()), before);
    QVERIFY2(strayFiles(dir.path()).isEmpty(), qPrintable(strayFiles(dir.path()).join(u' ')));
    // The value is still this process's value, and still pending.
    QCOMPARE(store.intValue(QStringLiteral("theme")), 7);
    QCOMPARE(DefaultsStore(dir.path()).intValue(QStringLiteral("theme")), 1);

    store.setBeforeCommitHookForTesting({});
    QVERIFY(store.set(QStringLiteral("cycle"), 300));
    DefaultsStore reopened(dir.path());
    QCOMPARE(reopened.intValue(QStringLiteral("theme")), 7);
    QCOMPARE(reopened.intValue(QStringLiteral("cycle")), 300);
}

void TestDefaultsStore::corruptFileIsKeptAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not JSON") << QByteArray("showTime = YES\n");
    QTest::newRow("truncated object") << QByteArray("{\n    \"theme\": 3,\n    \"cyc");
    QTest::newRow("top-level array") << QByteArray("[1, 2, 3]");
    QTest::newRow("top-level string") << QByteArray("\"theme\"");
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\"a\":1}", 10);
}

void TestDefaultsStore::corruptFileIsKeptAside()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.json"));
    QVERIFY(writeBytes(path, content));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^settings file .*defaults\\.json .*; kept aside as .*defaults\\.json\\.corrupt-\\d{8}-\\d{6}, using the registered defaults$")));
    DefaultsStore store(dir.path());
    store.registerDefaults({{QStringLiteral("theme"), 5}});
    QCOMPARE(store.intValue(QStringLiteral("theme")), 5);

    QVERIFY(!QFile::exists(path));
    const QStringList kept = strayFiles(dir.path());
    QCOMPARE(kept.size(), 1);
    QVERIFY(kept.first().startsWith(QStringLiteral("defaults.json.corrupt-")));
    QCOMPARE(readBytes(dir.filePath(kept.first())), content);

    QVERIFY(store.set(QStringLiteral("cycle"), 200));
    const QJsonObject fresh = readJsonObject(path);
    QCOMPARE(fresh.keys(), QStringList{QStringLiteral("cycle")});
    QCOMPARE(readBytes(dir.filePath(kept.first())), content);
}

void TestDefaultsStore::keptAsideNamesNeverClash()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.json"));
    // Three corrupt files within (almost certainly) the same second.
    for (int i = 0; i < 3; ++i) {
        QVERIFY(writeBytes(path, QByteArray("broken ") + QByteArray::number(i)));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("kept aside as")));
        DefaultsStore store(dir.path());
    }
    QStringList kept = strayFiles(dir.path());
    QCOMPARE(kept.size(), 3);
    QSet<QByteArray> contents;
    for (const QString &name : kept)
        contents.insert(readBytes(dir.filePath(name)));
    QCOMPARE(contents, (QSet<QByteArray>{"broken 0", "broken 1", "broken 2"}));
}

void TestDefaultsStore::oversizedFileIsKeptAside()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.json"));
    // Valid JSON, but far more than any settings this program writes.
    QByteArray huge = "{\"theme\": 3, \"pad\": \"";
    huge += QByteArray(16 * 1024 * 1024, 'x');
    huge += "\"}";
    QVERIFY(writeBytes(path, huge));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is over 16 MiB; kept aside as")));
    DefaultsStore store(dir.path());
    store.registerDefaults({{QStringLiteral("theme"), 5}});
    QCOMPARE(store.intValue(QStringLiteral("theme")), 5);
    const QStringList kept = strayFiles(dir.path());
    QCOMPARE(kept.size(), 1);
    QCOMPARE(QFileInfo(dir.filePath(kept.first())).size(), huge.size());
}

void TestDefaultsStore::unreadableFileIsNeverOverwritten()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.json"));

    // Something that cannot be read as a file sits where the settings go.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("defaults.json")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is not a regular file; changes are kept in memory$")));
    DefaultsStore store(dir.path());
    store.registerDefaults({{QStringLiteral("theme"), 5}});
    QCOMPARE(store.intValue(QStringLiteral("theme")), 5);
    QVERIFY(!store.set(QStringLiteral("theme"), 2));
    QCOMPARE(store.intValue(QStringLiteral("theme")), 2);
    QVERIFY(QFileInfo(path).isDir());
    QVERIFY(strayFiles(dir.path()).isEmpty());

    // Once the obstacle is gone the change kept in memory is written.
    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("defaults.json")));
    QVERIFY(store.synchronize());
    QCOMPARE(readJsonObject(path).value(QStringLiteral("theme")).toInt(), 2);

    if (::geteuid() == 0)
        QSKIP("permissions do not stop root; the rest needs an ordinary user");
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be read")));
    DefaultsStore blocked(dir.path());
    QVERIFY(!blocked.set(QStringLiteral("cycle"), 9));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(readJsonObject(path).value(QStringLiteral("theme")).toInt(), 2);
    QVERIFY(!readJsonObject(path).contains(QStringLiteral("cycle")));
}

void TestDefaultsStore::jsonNullFallsThrough()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.json"));
    QVERIFY(writeBytes(path, "{\"cycle\": null, \"theme\": 3}"));
    DefaultsStore store(dir.path());
    store.registerDefaults({{QStringLiteral("cycle"), 600}});
    QVERIFY(store.contains(QStringLiteral("cycle")));
    QCOMPARE(store.intValue(QStringLiteral("cycle")), 600);
    QCOMPARE(store.intValue(QStringLiteral("theme")), 3);
}

void TestDefaultsStore::twoStoresKeepEachOthersKeys()
{
    QTemporaryDir dir;
    DefaultsStore first(dir.path());
    DefaultsStore second(dir.path());
    QVERIFY(first.set(QStringLiteral("theme"), 2));
    QVERIFY(second.set(QStringLiteral("cycle"), 300));
    QVERIFY(first.set(QStringLiteral("showTime"), false));
    QVERIFY(second.remove(QStringLiteral("absent")));

    const QJsonObject object = readJsonObject(first.filePath());
    QCOMPARE(object.value(QStringLiteral("theme")).toInt(), 2);
    QCOMPARE(object.value(QStringLiteral("cycle")).toInt(), 300);
    QCOMPARE(object.value(QStringLiteral("showTime")).toBool(true), false);

    // Each sees the other's key once it re-reads.
    QVERIFY(first.synchronize());
    QCOMPARE(first.intValue(QStringLiteral("cycle")), 300);
    QCOMPARE(second.intValue(QStringLiteral("theme")), 2);

    // A removal in one process removes only that key.
    QVERIFY(second.remove(QStringLiteral("theme")));
    QVERIFY(first.synchronize());
    QVERIFY(!first.contains(QStringLiteral("theme")));
    QCOMPARE(first.intValue(QStringLiteral("cycle")), 300);
}

void TestDefaultsStore::coercion_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("asBool");
    QTest::addColumn<qint64>("asInteger");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<double>("asDouble");
    QTest::addColumn<QString>("asString");

    constexpr qint64 int64Max = std::numeric_limits<qint64>::max();
    constexpr qint64 int64Min = std::numeric_limits<qint64>::min();
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();

    QTest::newRow("true") << QVariant(true) << true << qint64(1) << 1 << 1.0 << "1";
    QTest::newRow("false") << QVariant(false) << false << qint64(0) << 0 << 0.0 << "0";
    QTest::newRow("int 3") << QVariant(3) << true << qint64(3) << 3 << 3.0 << "3";
    QTest::newRow("2^32 + 5 keeps low bits") << QVariant(qint64(0x100000005)) << true << qint64(0x100000005) << 5
                                             << 4294967301.0 << "4294967301";
    QTest::newRow("2^31 wraps negative") << QVariant(qint64(0x80000000)) << true << qint64(0x80000000)
                                         << std::numeric_limits<int>::min() << 2147483648.0 << "2147483648";
    QTest::newRow("uint64 max saturates") << QVariant(std::numeric_limits<quint64>::max()) << true << int64Max << -1
                                          << 18446744073709551615.0 << "18446744073709551615";
    QTest::newRow("2.9 truncates") << QVariant(2.9) << true << qint64(2) << 2 << 2.9 << "2.9";
    QTest::newRow("-2.9 truncates") << QVariant(-2.9) << true << qint64(-2) << -2 << -2.9 << "-2.9";
    QTest::newRow("0.4 is true") << QVariant(0.4) << true << qint64(0) << 0 << 0.4 << "0.4";
    QTest::newRow("NaN") << QVariant(nan) << false << qint64(0) << 0 << nan << "nan";
    QTest::newRow("+inf") << QVariant(inf) << true << int64Max << -1 << inf << "inf";
    QTest::newRow("-inf") << QVariant(-inf) << true << int64Min << 0 << -inf << "-inf";
    QTest::newRow("1e300") << QVariant(1e300) << true << int64Max << -1 << 1e300 << "1e+300";
    QTest::newRow("2^63 exactly") << QVariant(9223372036854775808.0) << true << int64Max << -1
                                  << 9223372036854775808.0 << "9223372036854776000";
    QTest::newRow("string 42abc") << QVariant(QStringLiteral("42abc")) << true << qint64(42) << 42 << 42.0 << "42abc";
    QTest::newRow("string -7.5x") << QVariant(QStringLiteral("  -7.5x")) << true << qint64(-7) << -7 << -7.5
                                  << "  -7.5x";
    QTest::newRow("string 1e3") << QVariant(QStringLiteral("1e3")) << true << qint64(1) << 1 << 1000.0 << "1e3";
    QTest::newRow("string 0.0") << QVariant(QStringLiteral("0.0")) << false << qint64(0) << 0 << 0.0 << "0.0";
    QTest::newRow("string YeS") << QVariant(QStringLiteral("YeS")) << true << qint64(1) << 1 << 1.0 << "YeS";
    QTest::newRow("string no") << QVariant(QStringLiteral("no")) << false << qint64(0) << 0 << 0.0 << "no";
    QTest::newRow("string word") << QVariant(QStringLiteral("Classic")) << false << qint64(0) << 0 << 0.0
                                 << "Classic";
    QTest::newRow("string huge") << QVariant(QStringLiteral("99999999999999999999999")) << true << int64Max << -1
                                 << 1e23 << "99999999999999999999999";
    QTest::newRow("string -huge") << QVariant(QStringLiteral("-99999999999999999999999")) << true << int64Min << 0
                                  << -1e23 << "-99999999999999999999999";
    QTest::newRow("string 1e999") << QVariant(QStringLiteral("1e999")) << true << qint64(1) << 1 << inf << "1e999";
    QTest::newRow("string 1e-999") << QVariant(QStringLiteral("1e-999")) << false << qint64(1) << 1 << 0.0
                                   << "1e-999";
    QTest::newRow("list") << QVariant(QVariantList{1, 2}) << false << qint64(0) << 0 << 0.0 << QString();
    QTest::newRow("map") << QVariant(QVariantMap{{QStringLiteral("a"), 1}}) << false << qint64(0) << 0 << 0.0
                         << QString();
}

void TestDefaultsStore::coercion()
{
    QFETCH(QVariant, value);
    QTemporaryDir dir;
    DefaultsStore store(dir.path());
    store.setVolatile(QStringLiteral("key"), value);

    QTEST(store.boolValue(QStringLiteral("key")), "asBool");
    QTEST(store.integerValue(QStringLiteral("key")), "asInteger");
    QTEST(store.intValue(QStringLiteral("key")), "asInt");
    QFETCH(double, asDouble);
    const double number = store.doubleValue(QStringLiteral("key"));
    if (std::isnan(asDouble))
        QVERIFY(std::isnan(number));
    else
        QCOMPARE(number, asDouble);
    QTEST(store.stringValue(QStringLiteral("key")), "asString");

    // Narrowing to float is defined for every double: huge values become
    // infinite rather than undefined.
    const float narrow = store.floatValue(QStringLiteral("key"));
    if (std::isnan(asDouble))
        QVERIFY(std::isnan(narrow));
    else if (std::abs(asDouble) > std::numeric_limits<float>::max())
        QCOMPARE(narrow, asDouble > 0 ? std::numeric_limits<float>::infinity()
                                      : -std::numeric_limits<float>::infinity());
    else
        QCOMPARE(narrow, float(asDouble));

    // Lists and maps are only ever read as themselves.
    QCOMPARE(store.arrayValue(QStringLiteral("key")).isEmpty(), value.typeId() != QMetaType::QVariantList);
    QCOMPARE(store.dictionaryValue(QStringLiteral("key")).isEmpty(), value.typeId() != QMetaType::QVariantMap);
}

void TestDefaultsStore::integerStoredUnderBooleanKey()
{
    QTemporaryDir dir;
    {
        DefaultsStore store(dir.path());
        store.registerDefaults({{QStringLiteral("showTime"), true}});
        QVERIFY(store.set(QStringLiteral("showTime"), 3));
    }
    DefaultsStore store(dir.path());
    store.registerDefaults({{QStringLiteral("showTime"), true}});
    QCOMPARE(store.intValue(QStringLiteral("showTime")), 3);
    QCOMPARE(store.boolValue(QStringLiteral("showTime")), true);
    QVERIFY(store.set(QStringLiteral("showTime"), 0.0));
    QCOMPARE(DefaultsStore(dir.path()).boolValue(QStringLiteral("showTime")), false);
}

QTEST_GUILESS_MAIN(TestDefaultsStore)
#include "tst_defaultsstore.moc"
