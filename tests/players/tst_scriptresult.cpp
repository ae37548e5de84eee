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
    void text_data()
    {
        QTest::addColumn<ScriptResult>("result");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("isNull");

        QTest::newRow("none") << ScriptResult() << QString() << true;
        QTest::newRow("text") << ScriptResult::text(QStringLiteral("kPSP")) << QStringLiteral("kPSP") << false;
        QTest::newRow("empty text stays empty, not null")
            << ScriptResult::text(QStringLiteral("")) << QString() << false;
        QTest::newRow("integer") << ScriptResult::integer(245) << QStringLiteral("245") << false;
        QTest::newRow("real") << ScriptResult::real(245.5) << QStringLiteral("245.5") << false;
        QTest::newRow("whole real") << ScriptResult::real(215.0) << QStringLiteral("215") << false;
        QTest::newRow("true") << ScriptResult::boolean(true) << QStringLiteral("true") << false;
        QTest::newRow("date")
            << ScriptResult::date(QDateTime(QDate(2019, 3, 4), QTime(5, 6, 7), Qt::UTC))
            << QStringLiteral("2019-03-04T05:06:07Z") << false;
        QTest::newRow("bytes have no text") << ScriptResult::bytes("\x89PNG") << QString() << true;
        QTest::newRow("one-item list reads as its item")
            << ScriptResult::list({ScriptResult::text(QStringLiteral("Finder"))})
            << QStringLiteral("Finder") << false;
        QTest::newRow("longer list has no text")
            << ScriptResult::list({ScriptResult::integer(1), ScriptResult::integer(2)}) << QString() << true;
    }

    void text()
    {
        QFETCH(ScriptResult, result);
        QFETCH(QString, expected);
        QFETCH(bool, isNull);
        QCOMPARE(result.stringValue(), expected);
        QCOMPARE(result.stringValue().isNull(), isNull);
    }

    void int32_data()
    {
        QTest::addColumn<ScriptResult>("result");
        QTest::addColumn<qint32>("expected");

        const qint64 max = std::numeric_limits<qint32>::max();
        const qint64 min = std::numeric_limits<qint32>::min();
        QTest::newRow("none") << ScriptResult() << 0;
        QTest::newRow("int32 max") << ScriptResult::integer(max) << qint32(max);
        QTest::newRow("above 32 bits") << ScriptResult::integer(max + 1) << 0;
        QTest::newRow("below 32 bits") << ScriptResult::integer(min - 1) << 0;
        QTest::newRow("real truncates down") << ScriptResult::real(245.9) << 245;
        QTest::newRow("negative real truncates up") << ScriptResult::real(-2.7) << -2;
        QTest::newRow("real above 32 bits") << ScriptResult::real(3e9) << 0;
        QTest::newRow("real just inside") << ScriptResult::real(2147483647.9) << qint32(max);
        QTest::newRow("nan") << ScriptResult::real(std::numeric_limits<double>::quiet_NaN()) << 0;
        QTest::newRow("text leading number") << ScriptResult::text(QStringLiteral(" 245.7 kbps")) << 245;
        QTest::newRow("text without number") << ScriptResult::text(QStringLiteral("kPSP")) << 0;
        QTest::newRow("text above 32 bits") << ScriptResult::text(QStringLiteral("2147483648")) << 0;
        QTest::newRow("text of many digits")
            << ScriptResult::text(QStringLiteral("99999999999999999999999999999999")) << 0;
        QTest::newRow("bytes") << ScriptResult::bytes("12") << 0;
        QTest::newRow("one-item list") << ScriptResult::list({ScriptResult::real(30.2)}) << 30;
    }

    void int32()
    {
        QFETCH(ScriptResult, result);
        QFETCH(qint32, expected);
        QCOMPARE(result.int32Value(), expected);
    }

    void boolean_data()
    {
        QTest::addColumn<ScriptResult>("result");
        QTest::addColumn<bool>("expected");

        QTest::newRow("none") << ScriptResult() << false;
        QTest::newRow("true") << ScriptResult::boolean(true) << true;
        QTest::newRow("non-zero integer") << ScriptResult::integer(-1) << true;
        QTest::newRow("zero integer") << ScriptResult::integer(0) << false;
        QTest::newRow("non-zero real") << ScriptResult::real(0.25) << true;
        QTest::newRow("nan") << ScriptResult::real(std::numeric_limits<double>::quiet_NaN()) << false;
        QTest::newRow("text YES") << ScriptResult::text(QStringLiteral("YES")) << true;
        QTest::newRow("text other") << ScriptResult::text(QStringLiteral("kPSP")) << false;
        QTest::newRow("one-item list") << ScriptResult::list({ScriptResult::boolean(true)}) << true;
    }

    void boolean()
    {
        QFETCH(ScriptResult, result);
        QFETCH(bool, expected);
        QCOMPARE(result.booleanValue(), expected);
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

        QCOMPARE(ScriptResult().numberOfItems(), 0);
        QVERIFY(ScriptResult().descriptorAtIndex(1).isNone());
        QCOMPARE(ScriptResult::list({}).numberOfItems(), 0);
        QVERIFY(!ScriptResult::list({}).isNone());
    }

    void equality()
    {
        QCOMPARE(ScriptResult(), ScriptResult());
        QCOMPARE(ScriptResult::text(QStringLiteral("a")), ScriptResult::text(QStringLiteral("a")));
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
