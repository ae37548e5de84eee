#include "lyrics/HtmlText.h"
#include "platform/WebText.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class HtmlTextTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entityTable()
    {
        const auto table = HtmlText::entityTable();
        QSet<QString> references;
        for (size_t i = 0; i < table.size(); ++i) {
            references.insert(QString::fromUtf16(table[i].reference));
            QVERIFY(i == 0 || table[i - 1].unit <= table[i].unit);
        }
        QCOMPARE(references.size(), 253); // all different
        QCOMPARE(QString::fromUtf16(table[2].reference) + QString::fromUtf16(table.back().reference),
                 QStringLiteral("&apos;&diams;"));
    }

    void unescapeFromHtml_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &in, const QString &out) {
            QTest::newRow(name) << in << out;
        };
        row("no ampersand", u"plain words"_s, u"plain words"_s);
        row("empty", QString(), QString());
        row("named", u"Tom &amp; Jerry"_s, u"Tom & Jerry"_s);
        row("decoded & not read again", u"&amp;lt;"_s, u"&lt;"_s);
        row("decimal", u"&#65;"_s, u"A"_s);
        row("hex lower and upper x", u"&#x41;&#X41;"_s, u"AA"_s);
        row("zero", u"&#0;"_s, u"&#0;"_s);
        row("65534 and 65535", u"&#65534;&#65535;"_s, QString(QChar(0xFFFE)) + u"&#65535;"_s);
        row("too large", u"&#70000;"_s, u"&#70000;"_s);
        row("huge number", u"&#99999999;"_s, u"&#99999999;"_s);
        row("beyond one unit", u"&#x1F600;"_s, u"&#x1F600;"_s);
        row("trailing letter", u"&#12a;"_s, u"&#12a;"_s);
        row("no hex digits", u"&#x;"_s, u"&#x;"_s);
        row("sign", u"&#+65;"_s, u"&#+65;"_s);
        row("space", u"&# 65;"_s, u"&# 65;"_s);
        row("0x prefix", u"&#x0x41;"_s, u"&#x0x41;"_s);
        row("surrogate pair", u"&#xD83D;&#xDE00;"_s, QString::fromUtf8("\xF0\x9F\x98\x80"));
        row("lone surrogate", u"a&#xD800;b"_s, u"a"_s + QChar(0xD800) + u"b"_s);
        row("ten units", u"&thetasym;"_s, QString(QChar(0x03D1)));
        row("eleven units", u"&#000000065;"_s, u"&#000000065;"_s);
        row("no semicolon", u"&lt"_s, u"&lt"_s);
        row("unknown name", u"a & b; c"_s, u"a & b; c"_s);
        row("moving limit", u"&amp &lt;"_s, u"&amp <"_s);
        row("case-sensitive", u"&AMP;&Agrave;&agrave;"_s, u"&AMP;"_s + QChar(192) + QChar(224));
        row("apos", u"it&apos;s"_s, u"it's"_s);
        row("unclosed at end", u"words &amp"_s, u"words &amp"_s);
        row("ampersand alone at end", u"x&"_s, u"x&"_s);
        row("semicolon beyond next reference", u"&x&#66;"_s, u"&xB"_s);
    }

    void unescapeFromHtml()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QString result = HtmlText::unescapeFromHtml(input);
        QCOMPARE(result, expected);
        // A lone surrogate survives the conversion to UTF-8 without harm.
        QVERIFY(!result.toUtf8().isNull() || result.isEmpty());
    }

    void otherOperations_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *op, const QString &in, const QString &out) {
            QTest::newRow(name) << QString::fromLatin1(op) << in << out;
        };
        row("strip link", "strip", u"see <a href='x'>this</a> now"_s, u"see this now"_s);
        row("strip several", "strip", u"<a href=1>a</a><a href=2>b</a>"_s, u"ab"_s);
        row("strip upper case stays", "strip", u"<A HREF='x'>y</A>"_s, u"<A HREF='x'>y</A>"_s);
        row("strip unclosed keeps the rest", "strip", u"a <a href=x>b</a> <a href='y' c"_s,
            u"a b <a href='y' c"_s);
        row("strip joined halves", "strip", u"<a <a href=1>href=2>x</a>"_s, u"x"_s);
        row("clean", "clean", u"Don't Stop?"_s, u"Don%27t%20Stop"_s);
        row("clean ampersand", "clean", u"Rock & Roll"_s, u"Rock%20%20Roll"_s);
        row("clean apostrophes", "clean", u"a`b\u2019c"_s, u"a%27b%27c"_s);
        row("clean keeps the rest", "clean", u"Ä/#%"_s, u"Ä/#%"_s);
        row("unescape order", "unescape", u"&amp;apos; &lt;"_s, u"' &lt;"_s);
    }

    void otherOperations()
    {
        QFETCH(QString, operation);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QString result = operation == u"strip"_s ? HtmlText::stripATags(input)
            : operation == u"clean"_s                ? HtmlText::cleanForAddress(input)
                                                      : HtmlText::unescapeString(input);
        QCOMPARE(result, expected);
    }

    // The shared rules of addresses and bodies.
    void webText()
    {
        QCOMPARE(WebText::percentEncodeAddress(u"http://h/s?q=a b+%20\u00C9#x&y"_s),
                 u"http://h/s?q=a%20b+%20%C3%89#x&y"_s);
        QCOMPARE(WebText::decodeUtf8("caf\xC3\xA9"), std::optional(u"caf\u00E9"_s));
        QCOMPARE(WebText::decodeUtf8(""), std::optional(QString()));
        QVERIFY(!WebText::decodeUtf8("caf\xC3"));
        QVERIFY(!WebText::decodeUtf8("\xED\xA0\x80")); // an encoded surrogate
    }

    void containsIgnoringCase()
    {
        const QStringList list{u"Music"_s, u"Spotify"_s};
        QVERIFY(HtmlText::containsIgnoringCase(list, u"music"_s));
        QVERIFY(HtmlText::containsIgnoringCase(list, u"SPOTIFY"_s));
        QVERIFY(!HtmlText::containsIgnoringCase(list, u"Spot"_s));
        QVERIFY(!HtmlText::containsIgnoringCase({}, u"Music"_s));
    }
};

QTEST_GUILESS_MAIN(HtmlTextTest)
#include "tst_htmltext.moc"
