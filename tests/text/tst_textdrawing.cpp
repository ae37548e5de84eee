#include "TextPixels.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>

using namespace TextPixels;

Q_DECLARE_METATYPE(AttributedString)

namespace {

AttributedString aligned(const QString &text, AttributedStyle::Alignment alignment)
{
    return AttributedString(text, styled(Qt::white, 24).withAlignment(alignment));
}

// The label as the Classic theme composes it: a white title, a grey artist,
// a blank line, three lit stars of five, then the detail block, smaller and
// slightly transparent, and the heart and pipe marks.
AttributedString sampleLabel()
{
    const double f = 30;
    auto part = [](const QString &text, QColor colour, AttributedFont font, double stroke = 0) {
        return AttributedString(text, AttributedStyle().withForeground(colour).withFont(font).withStrokeWidth(stroke)
                                          .withKerning(stroke == 0 ? 0 : 1));
    };
    const auto system = [](double size) { return AttributedFont::system(size); };
    AttributedString label = part(QStringLiteral("Starlight Avenue \r"), AttributedStyle::white(1.0), system(f));
    label.append(part(QStringLiteral("The Night Owls \r"), AttributedStyle::white(0.75), system(f)));
    label.append(part(QStringLiteral("Evening Songs \r\r"), AttributedStyle::white(0.75), system(0.8 * f)));
    AttributedString stars = part(QString(5, QChar(0x2605)), AttributedStyle::white(0.1), system(0.6 * f));
    stars.addAttributes(0, 3, AttributedStyle().withForeground(AttributedStyle::white(0.75)));
    label.append(stars);
    for (const char *text : {"1998", "", "MPEG audio file", "256 kbps", "44100 Hz", "Play count: 12"})
        label.append(part(QStringLiteral("\r") + text, AttributedStyle::white(1.0, 0.75), system(0.6 * f)));
    label.append(QStringLiteral("\r"));
    label.append(part(QStringLiteral("\u2661\u0338 "), AttributedStyle::white(0.75),
                      AttributedFont::named(QStringLiteral("Arial"), 0.6 * f), 5));
    label.append(part(QStringLiteral("\u2665 "), AttributedStyle::white(0.75), system(0.6 * f), -12));
    AttributedString pipes = part(QString(12, u'|'), AttributedStyle::white(0.15), system(0.4 * f), 12);
    pipes.addAttributes(0, 5, AttributedStyle().withForeground(AttributedStyle::white(0.75)).withFont(AttributedFont::system(0.4 * f, true)));
    label.append(pipes);
    return label;
}

} // namespace

class TestTextDrawing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row draws a text on black and probes the picture: the number of
    // lines of ink, a colour that must cover enough pixels (and, on a single
    // line, nothing brighter than it: anti-aliased edges lie between it and
    // the background), a region all ink lies in and one some ink reaches.
    void inkFallsWhereTheTextSays_data()
    {
        QTest::addColumn<AttributedString>("text");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRectF>("rect");   // null: the whole image
        QTest::addColumn<int>("bands");     // lines of ink; negative: at least that many
        QTest::addColumn<QColor>("colour"); // invalid: no count
        QTest::addColumn<QRect>("inside");  // null: anywhere
        QTest::addColumn<QRect>("reaches"); // null: no check
        const QRectF whole;
        const QRect any;
        const auto row = [](const char *name) { return &QTest::newRow(name); };

        const QSize hhh(160, 70);
        *row("white") << line("HHH", Qt::white, 48) << hhh << whole << 1 << QColor(Qt::white) << any << any;
        *row("white at 0.75") << line("HHH", AttributedStyle::white(1.0, 0.75), 48) << hhh << whole << 1
                              << QColor(191, 191, 191) << any << any;

        using A = AttributedStyle::Alignment;
        const QSize strip(300, 40);
        *row("left") << aligned("Song", A::Left) << strip << whole << 1 << QColor() << any
                     << QRect(0, 0, 5, 40);
        *row("centre") << aligned("Song", A::Centre) << strip << whole << 1 << QColor()
                       << QRect(90, 0, 120, 40) << QRect(148, 0, 5, 40);
        // A trailing space must not push right-aligned text off the edge.
        *row("right, trailing space") << aligned("Song ", A::Right) << strip << whole << 1 << QColor()
                                      << any << QRect(292, 0, 8, 40);

        // Each break starts a line again at the left: no wider than "ABC"
        // alone (a break drawn as a space would reach far further).
        const int abcWidth = inkBounds(render(line("ABC"), QSize(300, 80))).right() + 3;
        for (const char *breakText : {"\r", "\n", "\r\n", "\u2029"})
            *row(qPrintable(QStringLiteral("break %1").arg(QString::fromUtf8(breakText).toUtf8().toHex())))
                << line(QStringLiteral("ABC") + QString::fromUtf8(breakText) + "DEF") << QSize(300, 80) << whole << 2
                << QColor() << QRect(0, 0, abcWidth, 80) << any;

        *row("wraps") << line("one two three four five") << QSize(150, 200) << whole << -2 << QColor()
                      << QRect(0, 0, 150, 200) << any;
        // Lines below the rect are left out, but the first line always shows.
        const double lineHeight = AttributedTextLayout(line("A")).naturalSize().height();
        *row("two lines and a half") << line("AAA\rBBB\rCCC") << QSize(200, 200) << QRectF(0, 0, 200, lineHeight * 2.5)
                                     << 2 << QColor() << any << any;
        *row("most of a line") << line("AAA\rBBB\rCCC") << QSize(200, 200) << QRectF(0, 0, 200, lineHeight * 0.8) << 1
                               << QColor() << any << any;
        // Ten lines of ink; the blank lines between them stay empty.
        *row("sample label") << sampleLabel() << QSize(420, 460) << QRectF(10, 10, 400, 440) << 10
                             << QColor(191, 191, 191) << QRect(10, 10, 400, 440) << any;
    }

    void inkFallsWhereTheTextSays()
    {
        QFETCH(AttributedString, text);
        QFETCH(QSize, size);
        QFETCH(QRectF, rect);
        QFETCH(int, bands);
        QFETCH(QColor, colour);
        QFETCH(QRect, inside);
        QFETCH(QRect, reaches);
        const QImage image = render(text, size, rect);
        const QRect ink = inkBounds(image);
        QVERIFY(!ink.isEmpty());
        if (bands > 0)
            QCOMPARE(inkBands(image), bands);
        else
            QVERIFY2(inkBands(image) >= -bands, qPrintable(QString::number(inkBands(image))));
        if (colour.isValid())
            QVERIFY2(countNear(image, colour, 6) > 200, qPrintable(QString::number(countNear(image, colour, 6))));
        if (colour.isValid() && bands == 1)
            QVERIFY2(brightest(image) <= qGray(colour.rgb()) + 2, qPrintable(QString::number(brightest(image))));
        if (!inside.isNull())
            QVERIFY2(inside.contains(ink), qPrintable(QStringLiteral("ink at %1,%2 %3x%4").arg(ink.x()).arg(ink.y())
                                                          .arg(ink.width()).arg(ink.height())));
        if (!reaches.isNull())
            QVERIFY2(inkCount(image.copy(reaches)) > 0, qPrintable(QStringLiteral("ink from %1 to %2")
                                                                      .arg(ink.left()).arg(ink.right())));
    }

    void sizesAreInPointsAndFollowTheText()
    {
        // A 40-point line is about 40 units high plus descent and leading at
        // any resolution; a capital H inks about 0.7 of the size.
        const double height = AttributedTextLayout(line("H", Qt::white, 40)).naturalSize().height();
        QVERIFY2(height > 40 && height < 56, qPrintable(QString::number(height)));
        const QRect ink = inkBounds(render(line("H", Qt::white, 40), QSize(100, 80)));
        QVERIFY2(ink.height() >= 26 && ink.height() <= 32, qPrintable(QString::number(ink.height())));
        QVERIFY(std::abs(AttributedTextLayout(line("H", Qt::white, 80)).naturalSize().height() - 2 * height) < 0.1);

        const auto natural = [](const AttributedString &text) { return AttributedTextLayout(text).naturalSize(); };
        QCOMPARE(natural(AttributedString()), QSizeF(0, 0));
        const QSizeF a = natural(line("a")), ab = natural(line("ab")), abc = natural(line("abc"));
        QVERIFY(a.width() > 0 && a.width() < ab.width() && ab.width() < abc.width());
        QCOMPARE(abc.height(), a.height());
        // A break at the end adds no line; a blank line between adds one, as
        // high as its break's font; the widest line decides the width.
        QCOMPARE(natural(line("a\r")), a);
        QCOMPARE(natural(line("ABC\u2029DEF")).height(), 2 * a.height());
        QCOMPARE(natural(line("a\r\ra")).height(), 3 * a.height());
        AttributedString mixed = line("a\r");
        mixed.append(line("\r", Qt::white, 48));
        mixed.append(line("a"));
        QVERIFY(std::abs(natural(mixed).height() - (2 * a.height() + natural(line("a", Qt::white, 48)).height())) < 0.1);
        QCOMPARE(natural(line("abc\ra")).width(), abc.width());
        // Kerning adds its points after every character.
        const double kerned = natural(AttributedString("abc", styled(Qt::white, 24).withKerning(3))).width();
        QVERIFY2(std::abs(kerned - abc.width() - 3 * 3) <= 3.01, qPrintable(QString::number(kerned)));

        // No wrap with room or no limit; words kept whole until one is wider
        // than the line.
        const AttributedTextLayout layout(line("one two three four five"));
        const QSizeF full = layout.naturalSize();
        QCOMPARE(layout.heightForWidth(full.width() + 50), full.height());
        QCOMPARE(layout.lineCountForWidth(full.width()), 1);
        QVERIFY(layout.lineCountForWidth(full.width() / 2) >= 2);
        QVERIFY(layout.heightForWidth(full.width() / 2) >= 2 * full.height());
        QCOMPARE(layout.heightForWidth(0), full.height());
        QCOMPARE(layout.heightForWidth(qInf()), full.height());
        QVERIFY(layout.lineCountForWidth(1) > 10);
    }

    void fontsResolveAndBoldInksMore()
    {
        QCOMPARE(QFontInfo(AttributedFont::named("Arial", 20).toQFont()).family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(QFontInfo(AttributedFont::named("Times New Roman", 20).toQFont()).family(),
                 QStringLiteral("Liberation Serif"));
        QCOMPARE(AttributedFont::system(20).resolvedFamily(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        QCOMPARE(AttributedFont::system(-3).sizePoints(), AttributedFont::kDefaultSizePoints);
        QCOMPARE(AttributedFont::system(qQNaN()).sizePoints(), AttributedFont::kDefaultSizePoints);
        QCOMPARE(AttributedFont::system(1e9).sizePoints(), AttributedFont::kMaxSizePoints);
        const AttributedString bold("||||", AttributedStyle().withForeground(Qt::white).withFont(AttributedFont::system(40, true)));
        QVERIFY(inkCount(render(bold, QSize(120, 60))) > inkCount(render(line("||||", Qt::white, 40), QSize(120, 60))));
    }

    void strokeOutlinesOrFillsAndOutlines()
    {
        auto heart = [](double stroke, QColor colour = Qt::white) {
            return render(AttributedString(QString(QChar(0x2665)), styled(colour, 80).withStrokeWidth(stroke)), QSize(120, 110));
        };
        const QImage filled = heart(0), outlined = heart(5), both = heart(-12);
        const QRect ink = inkBounds(filled);
        QVERIFY(near(filled.pixel(ink.center()), Qt::white, 12));
        QVERIFY2(near(outlined.pixel(ink.center()), Qt::black, 12), "a positive stroke leaves the inside unfilled");
        QVERIFY(near(both.pixel(ink.center()), Qt::white, 12));
        QVERIFY(inkCount(outlined) < inkCount(filled) / 2);
        // The outline is centred on the glyph's edge: the negative stroke grows
        // the glyph by half the pen (12% of 80 points = 9.6) on each side.
        const int grown = inkBounds(both).width() - ink.width();
        QVERIFY2(grown >= 7 && grown <= 12, qPrintable(QString::number(grown)));
        // Translucent, glyph and outline overlap: each pixel is still covered
        // once (half white), not twice (three quarters).
        const QImage half = heart(-12, AttributedStyle::white(1.0, 0.5));
        QVERIFY(countNear(half, QColor(128, 128, 128), 3) > 500);
        QVERIFY2(brightest(half) <= 130, qPrintable(QString::number(brightest(half))));
    }

    void marksHaveRealGlyphs_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("family");
        QTest::newRow("star") << QStringLiteral("\u2605") << QString();
        QTest::newRow("white heart") << QStringLiteral("\u2661") << QString();
        QTest::newRow("black heart") << QStringLiteral("\u2665") << QString();
        QTest::newRow("slashed heart, Arial") << QStringLiteral("\u2661\u0338") << QStringLiteral("Arial");
    }

    void marksHaveRealGlyphs()
    {
        QFETCH(QString, mark);
        QFETCH(QString, family);
        const QFontMetrics dejaVu(QFont(QStringLiteral("DejaVu Sans")));
        for (const uint codePoint : mark.toUcs4())
            QVERIFY(dejaVu.inFontUcs4(codePoint));

        const AttributedStyle style = AttributedStyle().withForeground(Qt::white).withFont(
            family.isEmpty() ? AttributedFont::system(40) : AttributedFont::named(family, 40));
        const QImage image = render(AttributedString(mark, style), QSize(80, 70));
        QVERIFY2(inkCount(image) > 80, "a real glyph, not a blank");
        // A missing glyph would draw the same empty box for every mark.
        QVERIFY(image != render(AttributedString(QString(QChar(0xE000)), style), QSize(80, 70)));
        if (mark.size() == 2) {
            // The solidus crosses the heart rather than following it.
            const QImage plain = render(AttributedString(mark.left(1), style), QSize(80, 70));
            QVERIFY(inkCount(image) > inkCount(plain));
            QVERIFY(inkBounds(image).width() < inkBounds(plain).width() * 2);
        }
    }

    void attachmentSitsOnTheBaseline()
    {
        AttributedString text = line("HH", Qt::white, 20);
        text.append(AttributedString::attachment(solid(Qt::red, QSize(10, 15)), QSizeF(20, 30)));
        text.append(line("HH", Qt::white, 20));
        const QImage image = render(text, QSize(200, 60));

        const QRect red = boundsNear(image, Qt::red, 30);
        QVERIFY2(std::abs(red.width() - 20) <= 1 && std::abs(red.height() - 30) <= 1,
                 qPrintable(QStringLiteral("%1x%2").arg(red.width()).arg(red.height())));
        // Its bottom is on the baseline, where the H's end; it is taller than
        // the text, so the line's top moves down to make room.
        const QRect white = boundsNear(image, Qt::white, 30);
        QVERIFY2(std::abs(red.bottom() - white.bottom()) <= 1, qPrintable(QString::number(red.bottom() - white.bottom())));
        QVERIFY(red.top() >= 0 && red.top() <= 2);
        // The text before ends before it, and the text after starts after it.
        QVERIFY(countNear(image.copy(0, 0, red.left(), 60), Qt::white, 30) > 20);
        const QImage right = image.copy(red.right() + 1, 0, 200 - red.right() - 1, 60);
        QVERIFY(countNear(right, Qt::white, 30) > 20);
        QVERIFY(inkBounds(right).left() <= 4);

        const double withImage = AttributedTextLayout(text).naturalSize().height();
        QVERIFY(withImage > AttributedTextLayout(line("HH", Qt::white, 20)).naturalSize().height() && withImage < 38);
        const AttributedString alone = AttributedString::attachment(solid(Qt::red, QSize(4, 4)), QSizeF(17, 9));
        QVERIFY(std::abs(AttributedTextLayout(alone).naturalSize().width() - 17) < 0.05);
    }

    void shadowFallsWhereItsOffsetSays_data()
    {
        QTest::addColumn<qreal>("pixelRatio");
        QTest::newRow("one pixel a point") << qreal(1);
        QTest::newRow("two pixels a point") << qreal(2);
    }

    void shadowFallsWhereItsOffsetSays()
    {
        QFETCH(qreal, pixelRatio);
        const auto shadowed = [](double blur) {
            return AttributedString("I", styled(Qt::white, 40).withShadow({QPointF(4, 5), blur, QColor(255, 0, 0)}));
        };
        const QImage sharp = render(shadowed(0), QSize(60, 60), QRectF(), pixelRatio);
        const QRect white = boundsNear(sharp, Qt::white, 20);
        const QRect red = boundsNear(sharp, Qt::red, 20);
        QVERIFY(!white.isEmpty() && !red.isEmpty());
        QVERIFY2(std::abs(red.right() - white.right() - 4 * pixelRatio) <= 1, "4 points right");
        QVERIFY2(std::abs(red.bottom() - white.bottom() - 5 * pixelRatio) <= 1, "5 points down");
        QVERIFY(std::abs(red.height() - white.height()) <= 3);

        // Blurred, the shadow spreads beyond the sharp one, softly.
        const QImage soft = render(shadowed(6), QSize(60, 60), QRectF(), pixelRatio);
        const int beyond = white.right() + 2;
        QVERIFY(inkBounds(soft.copy(beyond, 0, soft.width() - beyond, soft.height())).width() > red.right() - white.right());
        QVERIFY(countNear(soft, Qt::red, 20) < countNear(sharp, Qt::red, 20));
    }

    void drawingKeepsThePainterAndIgnoresBadInput()
    {
        const AttributedTextLayout layout(line("Song"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no active painter")));
        layout.draw(nullptr, QRectF(0, 0, 100, 100));

        QImage image = solid(Qt::black, QSize(100, 50));
        QPainter painter(&image);
        painter.setPen(Qt::green);
        painter.translate(3, 4);
        for (const QRectF &bad : {QRectF(0, 0, 0, 50), QRectF(0, 0, 100, -5), QRectF(0, 0, qQNaN(), 50)})
            layout.draw(&painter, bad);
        QCOMPARE(inkCount(image), 0);
        layout.draw(&painter, QRectF(0, 0, 90, 40));
        QCOMPARE(painter.pen().color(), QColor(Qt::green));
        QCOMPARE(painter.transform(), QTransform::fromTranslate(3, 4));
        painter.end();
        QVERIFY(inkBounds(image).left() >= 3);
    }
};

QTEST_MAIN(TestTextDrawing)
#include "tst_textdrawing.moc"
