#include "TextPixels.h"

#include <QTest>

using Pixels::solid;

namespace {

const AttributedStyle kTitle =
    AttributedStyle().withForeground(AttributedStyle::white(1.0)).withFont(AttributedFont::system(30));
const AttributedStyle kArtist =
    AttributedStyle().withForeground(AttributedStyle::white(0.75)).withFont(AttributedFont::system(30));

// The colour of every character, as a string of letters: '.' none, 'a' the
// first of the given colours, 'b' the second, '?' any other. Makes run
// layouts readable.
QString colourMap(const AttributedString &text, const QList<QColor> &colours)
{
    QString map;
    for (int i = 0; i < text.length(); ++i) {
        const AttributedStyle style = text.styleAt(i);
        const qsizetype index = style.foreground ? colours.indexOf(*style.foreground) : -2;
        map += index == -2 ? u'.' : index < 0 ? u'?' : QChar(char16_t(u'a' + index));
    }
    return map;
}

} // namespace

class TestAttributedString : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plainTextHasNoAttributes()
    {
        const AttributedString text(QStringLiteral("Paused"));
        QCOMPARE(text.length(), 6);
        QCOMPARE(text.runs().size(), 1);
        QVERIFY(text.styleAt(0).isEmpty() && text.styleAt(6).isEmpty()); // outside reads as none
        QVERIFY(AttributedString().isEmpty() && AttributedString().runs().isEmpty());
        QCOMPARE(AttributedString(QString()), AttributedString());

        // Equal when the text and every character's style are.
        AttributedString whole(QStringLiteral("Album"), kArtist);
        AttributedString halves(QStringLiteral("Album"));
        halves.setAttributes(0, 2, kArtist);
        halves.setAttributes(2, 3, kArtist);
        QCOMPARE(halves, whole);

        QVERIFY(AttributedString(QStringLiteral("Album")) != whole);
        QVERIFY(AttributedString(QStringLiteral("Album"), kTitle) != whole);
        QVERIFY(AttributedString(QStringLiteral("Albun"), kArtist) != whole);

        const auto thumb = [](QColor c) { return AttributedString::attachment(solid(c, QSize(4, 4)), QSizeF(8, 8)); };
        QCOMPARE(thumb(Qt::red), thumb(Qt::red));
        QVERIFY(thumb(Qt::blue) != thumb(Qt::red));
    }

    void appendKeepsEachPartsRuns()
    {
        AttributedString label;
        label.append(AttributedString(QStringLiteral("Song "), kTitle));
        label.append(AttributedString(QStringLiteral("\r"), kTitle));
        label.append(AttributedString(QStringLiteral("Band "), kArtist));
        label.append(AttributedString());

        QCOMPARE(label.string(), QStringLiteral("Song \rBand "));
        // Equal neighbours merge: the title and its break are one run.
        QCOMPARE(label.runs(), (QList<AttributedString::Run>{{0, 6, kTitle}, {6, 5, kArtist}}));

        const AttributedString middle = label.substring(3, 5);
        QCOMPARE(middle.string(), QStringLiteral("g \rBa"));
        QCOMPARE(middle.runs().at(1), (AttributedString::Run{3, 2, kArtist}));

        // Plain text appended takes the style of the last character.
        AttributedString none;
        none.append(QStringLiteral("abc"));
        QCOMPARE(colourMap(none, {}), QStringLiteral("..."));
        AttributedString styled(QStringLiteral("ab"), kTitle);
        styled.setAttributes(1, 1, kArtist);
        styled.append(QStringLiteral("cd"));
        QCOMPARE(colourMap(styled, {*kTitle.foreground, *kArtist.foreground}), QStringLiteral("abbb"));
    }

    void rangesSetAndAdd_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("expected");

        QTest::newRow("first three lit") << 0 << 3 << "bbbaa";
        QTest::newRow("none lit") << 0 << 0 << "aaaaa";
        QTest::newRow("middle") << 1 << 2 << "abbaa";
        QTest::newRow("past the end is clipped") << 3 << 100 << "aaabb";
        QTest::newRow("before the start is clipped") << -2 << 3 << "baaaa";
        QTest::newRow("wholly outside") << 7 << 2 << "aaaaa";
        QTest::newRow("negative length") << 2 << -1 << "aaaaa";
        QTest::newRow("overflowing length") << 2 << std::numeric_limits<int>::max() << "aabbb";
    }

    void rangesSetAndAdd()
    {
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, expected);

        const QString stars(5, QChar(0x2605));
        const AttributedStyle dim = AttributedStyle().withForeground(AttributedStyle::white(0.1));
        const AttributedStyle lit = AttributedStyle().withForeground(AttributedStyle::white(0.75));

        AttributedString set(stars);
        set.setAttributes(dim);
        set.setAttributes(start, length, lit);
        QCOMPARE(colourMap(set, {*dim.foreground, *lit.foreground}), expected);

        AttributedString added(stars, dim);
        added.addAttributes(start, length, lit);
        QCOMPARE(colourMap(added, {*dim.foreground, *lit.foreground}), expected);
        QCOMPARE(added, set);
        // Runs always cover the text exactly, in order, and are maximal: no
        // two neighbours share a style.
        int next = 0;
        for (const AttributedString::Run &run : set.runs()) {
            QVERIFY(run.start == next && run.length > 0);
            QVERIFY(next == 0 || run.style != set.styleAt(next - 1));
            next += run.length;
        }
        QCOMPARE(next, set.length());
    }

    void addMergesWhileSetReplaces()
    {
        const AttributedStyle colour = AttributedStyle().withForeground(AttributedStyle::white(0.75));
        const AttributedStyle stroke = AttributedStyle().withStrokeWidth(12.0).withKerning(1.0);

        AttributedString pipes(QStringLiteral("||||||||||||"), colour);
        pipes.addAttributes(0, 4, stroke);
        QCOMPARE(pipes.styleAt(0).foreground, colour.foreground);
        QCOMPARE(pipes.styleAt(0).strokeWidth, std::optional<double>(12.0));
        QCOMPARE(pipes.styleAt(0).kerningPoints, std::optional<double>(1.0));
        QVERIFY(!pipes.styleAt(4).strokeWidth);
        QCOMPARE(pipes.runs().size(), 2);

        pipes.setAttributes(0, 2, stroke);
        QVERIFY(!pipes.styleAt(0).foreground); // replaced, not merged
        QCOMPARE(pipes.styleAt(2).foreground, colour.foreground);
        QCOMPARE(pipes.runs().size(), 3);
    }

    void paragraphsSplitAtEveryBreak_data()
    {
        using P = AttributedString::ParagraphRange;
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<P>>("expected");

        QTest::newRow("carriage return") << QStringLiteral("ab\rc") << QList<P>{{0, 2, 1}, {3, 1, 0}};
        QTest::newRow("line feed") << QStringLiteral("ab\nc") << QList<P>{{0, 2, 1}, {3, 1, 0}};
        QTest::newRow("CR LF is one break") << QStringLiteral("ab\r\nc") << QList<P>{{0, 2, 2}, {4, 1, 0}};
        QTest::newRow("LF CR is two") << QStringLiteral("a\n\rc") << QList<P>{{0, 1, 1}, {2, 0, 1}, {3, 1, 0}};
        QTest::newRow("paragraph separator") << QStringLiteral("a\u2029b") << QList<P>{{0, 1, 1}, {2, 1, 0}};
        QTest::newRow("line separator stays inside") << QStringLiteral("a\u2028b") << QList<P>{{0, 3, 0}};
        QTest::newRow("break at the end") << QStringLiteral("a\r") << QList<P>{{0, 1, 1}};
        QTest::newRow("empty") << QString() << QList<P>{{0, 0, 0}};
    }

    void paragraphsSplitAtEveryBreak()
    {
        QFETCH(QString, text);
        QFETCH(QList<AttributedString::ParagraphRange>, expected);
        QCOMPARE(AttributedString(text).paragraphs(), expected);
    }

    void attachmentIsOneObjectCharacter()
    {
        const QImage thumb = solid(Qt::red, QSize(13, 16));
        AttributedString text(QStringLiteral("ab"), kTitle);
        text.append(AttributedString::attachment(thumb, QSizeF(26, 32)));
        text.append(AttributedString(QStringLiteral("c"), kTitle));

        QCOMPARE(text.string(), QStringLiteral("ab\uFFFCc"));
        const AttributedStyle style = text.styleAt(2);
        QVERIFY(style.attachment && style.attachment->image == thumb);
        QCOMPARE(style.attachment->displaySize(), QSizeF(26, 32));
        QVERIFY(!text.styleAt(3).attachment);
        QCOMPARE(text.runs().size(), 3);

        // Without a display size the image's own size is used; absurd sizes are capped.
        QCOMPARE((AttributedStyle::Attachment{thumb, QSizeF()}).displaySize(), QSizeF(13, 16));
        QCOMPARE((AttributedStyle::Attachment{thumb, QSizeF(-1, 5)}).displaySize(), QSizeF(13, 16));
        QVERIFY((AttributedStyle::Attachment{thumb, QSizeF(1e9, 1e9)}).displaySize().width() <= 8192);
    }

    void overlongTextIsCut()
    {
        const QString huge(AttributedString::kMaxLength + 5, u'x');
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cut at")));
        const AttributedString text(huge, kTitle);
        QCOMPARE(text.length(), AttributedString::kMaxLength);

        AttributedString nearlyFull(QString(AttributedString::kMaxLength - 2, u'x'));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cut at")));
        nearlyFull.append(AttributedString(QStringLiteral("abcd"), kArtist));
        QCOMPARE(nearlyFull.length(), AttributedString::kMaxLength);
        QCOMPARE(nearlyFull.styleAt(AttributedString::kMaxLength - 1), kArtist);
        QCOMPARE(nearlyFull.runs().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestAttributedString)
#include "tst_attributedstring.moc"
