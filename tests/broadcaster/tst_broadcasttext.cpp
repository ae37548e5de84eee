#include "broadcaster/ArpTable.h"
#include "broadcaster/BroadcastText.h"

#include <QtTest>

using Fields = QHash<QString, QString>;

class TestBroadcastText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parsesBodies_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Fields>("fields");
        QTest::newRow("two separators drop the line") << QByteArray("track : S\nartist : B : L") << Fields{{"track", "S"}};
        QTest::newRow("no spaces") << QByteArray("track:Song") << Fields{};
        QTest::newRow("empty value") << QByteArray("track : ") << Fields{{"track", ""}};
        QTest::newRow("CR LF") << QByteArray("track : S\r\nalbum : X\r\n") << Fields{{"track", "S"}, {"album", "X"}};
        QTest::newRow("Unicode line separator") << QByteArray("track : A\xe2\x80\xa8" "album : B")
                                                << Fields{{"track", "A"}, {"album", "B"}};
        QTest::newRow("untrimmed, later wins") << QByteArray(" track :  A \ntrack : B")
                                               << Fields{{" track", " A "}, {"track", "B"}};
        QTest::newRow("undecodable") << QByteArray("track : \xff\xfe") << Fields{};
        QTest::newRow("empty") << QByteArray() << Fields{};
    }
    void parsesBodies()
    {
        QFETCH(QByteArray, body);
        QTEST(BroadcastText::parseBody(body), "fields");
    }

    void readsNumbersAndFlags_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("integer");
        QTest::addColumn<bool>("flag");
        QTest::newRow("units") << "320 kbps" << qint64(320) << true;
        QTest::newRow("sign and space") << "  -42x" << qint64(-42) << true;
        QTest::newRow("spaced zeros digit") << "  +007" << qint64(7) << true;
        QTest::newRow("zeros") << "000" << qint64(0) << false;
        QTest::newRow("empty") << "" << qint64(0) << false;
        QTest::newRow("YES") << "YES" << qint64(0) << true;
        QTest::newRow("true") << "true" << qint64(0) << true;
        QTest::newRow("NO") << "NO" << qint64(0) << false;
        QTest::newRow("false") << "false" << qint64(0) << false;
        QTest::newRow("largest") << "9223372036854775807" << std::numeric_limits<qint64>::max() << true;
        QTest::newRow("smallest") << "-9223372036854775808" << std::numeric_limits<qint64>::min() << true;
        QTest::newRow("overflow") << "9223372036854775808" << qint64(0) << true;
        QTest::newRow("far overflow") << "-99999999999999999999999" << qint64(0) << true;
    }
    void readsNumbersAndFlags()
    {
        QFETCH(QString, text);
        QTEST(BroadcastText::integerValue(text), "integer");
        QTEST(BroadcastText::booleanValue(text), "flag");
    }

    // What the companion writes always reads back as one field, with only
    // the spaces of would-be separators gone, and at most 64 Ki characters.
    void cleansValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("clean");
        QTest::newRow("separator") << "Live : Paris" << "Live: Paris";
        QTest::newRow("line breaks") << "one\ntwo\r\nthree" << "one two  three";
        QTest::newRow("chained") << "a :  : b : : c" << "a:  :b:: c";
        QTest::newRow("leading") << " : x" << ": x";
        QTest::newRow("long run before") << "     : x" << "     :x";
        QTest::newRow("long run after") << "a :    b" << "a:    b";
        QTest::newRow("plain spaces") << "  a  b  " << "  a  b  ";
        QTest::newRow("colon alone") << "a:b :c d: e" << "a:b :c d: e";
        QTest::newRow("65,000 spaces")
            << QString(65000, u' ') + ": x" << QString(65000, u' ') + ":x";
        QTest::newRow("capped") << QString(70000, u'a') << QString(64 * 1024, u'a');
        QTest::newRow("pair kept whole")
            << QString(64 * 1024 - 1, u'a') + QString::fromUcs4(U"\U0001F3B5")
            << QString(64 * 1024 - 1, u'a');
    }
    void cleansValues()
    {
        QFETCH(QString, value);
        const QString clean = BroadcastText::cleanValue(value);
        QTEST(clean, "clean");
        const Fields fields = BroadcastText::parseBody(BroadcastText::fieldLine("track", value).toUtf8());
        QCOMPARE(fields.keys(), QStringList{"track"});
        QCOMPARE(fields.value("track"), clean);
    }

    void readsTheNeighbourTable()
    {
        const QString text = QStringLiteral(
            "? (192.168.1.7) at 0:1b:63:aa:bb:cc on en0 ifscope [ethernet]\n"
            "? (192.168.1.9) at (incomplete) on en0 ifscope [ethernet]\n"
            "host.local (fe80::1) at 0:1:2:3:4:5 on en0\n"
            "? (300.1.1.1) at 0:1 on en0\n"
            "garbage ) before (\n");
        QCOMPARE(ArpTable::candidateAddresses(text), (QStringList{"192.168.1.7", "192.168.1.9"}));

        // The kernel's table, as the system source reads it.
        const QString kernel = ArpTable::fromKernelTable(
            "IP address       HW type     Flags       HW address            Mask     Device\n"
            "127.0.0.2        0x1         0x2         00:11:22:33:44:55     *        lo\n"
            "127.0.0.3        0x1         0x0         00:00:00:00:00:00     *        lo\n"
            "short line\n");
        QCOMPARE(kernel, QStringLiteral("? (127.0.0.2) at 00:11:22:33:44:55 [ether] on lo\n"
                                      "? (127.0.0.3) at (incomplete) on lo\n"));
        QCOMPARE(ArpTable::candidateAddresses(kernel), (QStringList{"127.0.0.2", "127.0.0.3"}));
    }
};

QTEST_GUILESS_MAIN(TestBroadcastText)
#include "tst_broadcasttext.moc"
