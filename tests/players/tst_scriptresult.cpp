#include "platform/ScriptResult.h"
#include "platform/ScriptService.h"

#include <QTest>
#include <limits>

Q_DECLARE_METATYPE(ScriptResult)

// A service that answers one text with one value, to check that a Script
// passes its text through and compiles once.
class OneAnswer final : public ScriptService
{
public:
    int compiles = 0;
    QStringList executed;
    bool compile(const QString &source) override
    {
        ++compiles;
        return source == QLatin1String("known");
    }
    ScriptResult execute(const QString &source, QString *error) override
    {
        executed << source;
        if (source == QLatin1String("known"))
            return ScriptResult::integer(7);
        if (error)
            *error = QStringLiteral("unknown script");
        return {};
    }
};

class TestScriptResult : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every coercion of every kind of value: a null text is no text at all,
    // an empty one is a text; numbers outside 32 bits read as 0.
    void coercions_data()
    {
        QTest::addColumn<ScriptResult>("result");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("int32");
        QTest::addColumn<bool>("boolean");
        using R = ScriptResult;
        const qint64 max = std::numeric_limits<qint32>::max();
        const qint64 min = std::numeric_limits<qint32>::min();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const auto row = [](const char *name, const R &r, const QString &text, qint32 int32, bool boolean) {
            QTest::newRow(name) << r << text << int32 << boolean;
        };
        row("none", R(), QString(), 0, false);
        row("text", R::text(QStringLiteral("kPSP")), QStringLiteral("kPSP"), 0, false);
        row("empty text stays empty, not null", R::text(QStringLiteral("")), QStringLiteral(""), 0, false);
        row("text YES", R::text(QStringLiteral("YES")), QStringLiteral("YES"), 0, true);
        row("text leading number", R::text(QStringLiteral(" 245.7 kbps")), QStringLiteral(" 245.7 kbps"), 245, false);
        row("text above 32 bits", R::text(QStringLiteral("2147483648")), QStringLiteral("2147483648"), 0, false);
        row("text of many digits", R::text(QStringLiteral("99999999999999999999999999999999")),
            QStringLiteral("99999999999999999999999999999999"), 0, false);
        row("integer", R::integer(245), QStringLiteral("245"), 245, true);
        row("negative integer", R::integer(-1), QStringLiteral("-1"), -1, true);
        row("zero integer", R::integer(0), QStringLiteral("0"), 0, false);
        row("int32 max", R::integer(max), QStringLiteral("2147483647"), qint32(max), true);
        row("above 32 bits", R::integer(max + 1), QStringLiteral("2147483648"), 0, true);
        row("below 32 bits", R::integer(min - 1), QStringLiteral("-2147483649"), 0, true);
        row("real truncates down", R::real(245.9), QStringLiteral("245.9"), 245, true);
        row("whole real", R::real(215.0), QStringLiteral("215"), 215, true);
        row("negative real truncates up", R::real(-2.7), QStringLiteral("-2.7"), -2, true);
        row("fraction", R::real(0.25), QStringLiteral("0.25"), 0, true);
        row("real above 32 bits", R::real(3e9), QStringLiteral("3e+09"), 0, true);
        row("real just inside", R::real(2147483647.9), QStringLiteral("2147483647.9"), qint32(max), true);
        row("nan", R::real(nan), QStringLiteral("nan"), 0, false);
        row("true", R::boolean(true), QStringLiteral("true"), 1, true);
        row("date", R::date(QDateTime(QDate(2019, 3, 4), QTime(5, 6, 7), Qt::UTC)),
            QStringLiteral("2019-03-04T05:06:07Z"), 0, false);
        row("bytes have no text", R::bytes("12"), QString(), 0, false);
        row("one-item list reads as its item", R::list({R::real(30.2)}), QStringLiteral("30.2"), 30, true);
        row("longer list reads as nothing", R::list({R::integer(1), R::integer(2)}), QString(), 0, false);
    }

    void coercions()
    {
        QFETCH(ScriptResult, result);
        QFETCH(QString, text);
        QFETCH(qint32, int32);
        QFETCH(bool, boolean);
        QCOMPARE(result.stringValue(), text);
        QCOMPARE(result.stringValue().isNull(), text.isNull());
        QCOMPARE(result.int32Value(), int32);
        QCOMPARE(result.booleanValue(), boolean);
    }

    void bytesAndDates()
    {
        const QByteArray png("\x89PNG\r\n\x1a\n", 8);
        QCOMPARE(ScriptResult::bytes(png).data(), png);
        QCOMPARE(ScriptResult::text(QStringLiteral("é")).data(), QByteArray("\xc3\xa9"));
        QVERIFY(ScriptResult::integer(5).data().isEmpty());
        QVERIFY(ScriptResult().data().isEmpty());

        const QDateTime when(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
        QCOMPARE(ScriptResult::date(when).dateValue(), std::optional<QDateTime>(when));
        QVERIFY(!ScriptResult::text(QStringLiteral("2020-01-02")).dateValue());
        QVERIFY(!ScriptResult::date(QDateTime()).dateValue());
        QVERIFY(!ScriptResult().dateValue());
    }

    void lists()
    {
        const ScriptResult names = ScriptResult::list(
            {ScriptResult::text(QStringLiteral("Finder")), ScriptResult::text(QStringLiteral("iTunes"))});
        QVERIFY(names.isList());
        QCOMPARE(names.numberOfItems(), 2);
        QCOMPARE(names.descriptorAtIndex(1).stringValue(), QStringLiteral("Finder"));
        QCOMPARE(names.descriptorAtIndex(2).stringValue(), QStringLiteral("iTunes"));
        for (int outside : {0, 3, -1})
            QVERIFY(names.descriptorAtIndex(outside).isNone());

        // A single value coerces to a one-item list.
        const ScriptResult single = ScriptResult::text(QStringLiteral("Spotify"));
        QVERIFY(!single.isList());
        QCOMPARE(single.numberOfItems(), 1);
        QCOMPARE(single.descriptorAtIndex(1), single);
        QVERIFY(single.descriptorAtIndex(2).isNone());

        QVERIFY(ScriptResult().numberOfItems() == 0 && ScriptResult().descriptorAtIndex(1).isNone());
        QVERIFY(ScriptResult::list({}).numberOfItems() == 0 && !ScriptResult::list({}).isNone());
    }

    // Equal only in kind and value.
    void equality()
    {
        QCOMPARE(ScriptResult(), ScriptResult());
        QVERIFY(!(ScriptResult::integer(1) == ScriptResult::real(1.0)));
        QVERIFY(!(ScriptResult() == ScriptResult::text(QString())));
        QCOMPARE(ScriptResult::list({ScriptResult::integer(1)}), ScriptResult::list({ScriptResult::integer(1)}));
        QVERIFY(!(ScriptResult::list({ScriptResult::integer(1)}) == ScriptResult::list({ScriptResult::integer(2)})));
    }

    void scriptObject()
    {
        OneAnswer service;
        const Script known(service, QStringLiteral("known"));
        const Script unknown(service, QStringLiteral("unknown"));
        QCOMPARE(service.compiles, 2);
        QVERIFY(known.isCompiled() && !unknown.isCompiled());

        QCOMPARE(known.execute().int32Value(), 7);
        QCOMPARE(known.execute().int32Value(), 7);
        QString error;
        QVERIFY(unknown.execute(&error).isNone());
        QCOMPARE(error, QStringLiteral("unknown script"));
        QCOMPARE(service.executed, (QStringList{QStringLiteral("known"), QStringLiteral("known"),
                                                QStringLiteral("unknown")}));
        QCOMPARE(service.compiles, 2); // executing never compiles again
    }
};

QTEST_GUILESS_MAIN(TestScriptResult)
#include "tst_scriptresult.moc"
