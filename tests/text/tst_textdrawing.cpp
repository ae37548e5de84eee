#include "TextPixels.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>

using namespace TextPixels;

namespace {

AttributedStyle styled(QColor colour, double sizePoints)
{
    return AttributedStyle().withForeground(colour).withFont(AttributedFont::system(sizePoints));
}

AttributedString line(const QString &text, QColor colour = Qt::white, double sizePoints = 24)
{
    return AttributedString(text, styled(colour, sizePoints));
}

QImage solidImage(QColor colour, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

} // namespace

class TestTextDrawing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textAppearsInItsColour_data();
    void textAppearsInItsColour();
    void pointsArePainterUnits();
    void namedFamiliesResolve();
    void strokeOutlinesOrFillsAndOutlines();
    void alignmentMovesTheInk_data();
    void alignmentMovesTheInk();
    void paragraphBreaksStartNewLines_data();
    void paragraphBreaksStartNewLines();
    void naturalSizeFollowsTheText();
    void narrowWidthWraps();
    void linesBelowTheRectAreLeftOut();
    void attachmentSitsOnTheBaseline();
    void marksHaveRealGlyphs_data();
    void marksHaveRealGlyphs();
    void shadowFallsWhereItsOffsetSays();
    void drawingKeepsThePainterAndIgnoresBadInput();
    void sampleLabel();
};

void TestTextDrawing::textAppearsInItsColour_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QColor>("onBlack"); // what solid glyph interiors read as
    QTest::newRow("white") << QColor(Qt::white) << QColor(Qt::white);
    QTest::newRow("red") << QColor(255, 0, 0) << QColor(255, 0, 0);
    // The detail lines: white at alpha 0.75 over black reads as 191.
    QTest::newRow("white, alpha 0.75") << AttributedStyle::white(1.0, 0.75) << QColor(191, 191, 191);
}

void TestTextDrawing::textAppearsInItsColour()
{
    QFETCH(QColor, colour);
    QFETCH(QColor, onBlack);
    const QImage image = render(line(QStringLiteral("HHH"), colour, 48), QSize(160, 70));
    QVERIFY(countNear(image, onBlack, 3) > 200);
    // Anti-aliased edges lie between the colour and the background; nothing
    // brighter than the colour appears.
    QVERIFY(brightest(image) <= qGray(onBlack.rgb()) + 2);
}

void TestTextDrawing::pointsArePainterUnits()
{
    // A 40-point line is about 40 units high (plus the font's descent and
    // leading), whatever the screen's resolution; a capital H inks about
    // 0.7 of the size.
    const AttributedTextLayout layout(line(QStringLiteral("H"), Qt::white, 40));
    const double height = layout.naturalSize().height();
    QVERIFY2(height > 40 && height < 56, qPrintable(QString::number(height)));
    const QRect ink = inkBounds(render(line(QStringLiteral("H"), Qt::white, 40), QSize(100, 80)));
    QVERIFY2(ink.height() >= 26 && ink.height() <= 32, qPrintable(QString::number(ink.height())));
    const double doubled = AttributedTextLayout(line(QStringLiteral("H"), Qt::white, 80)).naturalSize().height();
    QVERIFY(std::abs(doubled - 2 * height) < 0.1);
}

void TestTextDrawing::namedFamiliesResolve()
{
    QCOMPARE(QFontInfo(AttributedFont::named(QStringLiteral("Arial"), 20).toQFont()).family(),
             QStringLiteral("Liberation Sans"));
    QCOMPARE(QFontInfo(AttributedFont::named(QStringLiteral("Times New Roman"), 20).toQFont()).family(),
             QStringLiteral("Liberation Serif"));
    QCOMPARE(AttributedFont::system(20).resolvedFamily(),
             QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    QCOMPARE(AttributedFont::system(-3).sizePoints(), AttributedFont::kDefaultSizePoints);
    QCOMPARE(AttributedFont::system(qQNaN()).sizePoints(), AttributedFont::kDefaultSizePoints);
    QCOMPARE(AttributedFont::system(1e9).sizePoints(), AttributedFont::kMaxSizePoints);

    // Bold inks more than regular.
    AttributedString bold(QStringLiteral("||||"), AttributedStyle().withForeground(Qt::white).withFont(
                                                        AttributedFont::system(40, true)));
    QVERIFY(inkCount(render(bold, QSize(120, 60))) > inkCount(render(line(QStringLiteral("||||"), Qt::white, 40), QSize(120, 60))));
}

void TestTextDrawing::strokeOutlinesOrFillsAndOutlines()
{
    // A large heart: its centre is inside the glyph.
    auto heart = [](double stroke, QColor colour = Qt::white) {
        AttributedStyle style = styled(colour, 80);
        style.withStrokeWidth(stroke);
        return render(AttributedString(QString(QChar(0x2665)), style), QSize(120, 110));
    };
    const QImage filled = heart(0);
    const QImage outlined = heart(5);
    const QImage both = heart(-12);
    const QRect ink = inkBounds(filled);
    QVERIFY(near(filled.pixel(ink.center()), Qt::white, 12));
    QVERIFY2(near(outlined.pixel(ink.center()), Qt::black, 12), "a positive stroke leaves the inside unfilled");
    QVERIFY(near(both.pixel(ink.center()), Qt::white, 12));
    QVERIFY(inkCount(outlined) < inkCount(filled) / 2);
    // The outline is centred on the glyph's edge: the negative stroke grows
    // the glyph by half the pen (12% of 80 points = 9.6) on each side.
    const QRect grown = inkBounds(both);
    QVERIFY2(grown.width() >= ink.width() + 7 && grown.width() <= ink.width() + 12,
             qPrintable(QStringLiteral("%1 vs %2").arg(grown.width()).arg(ink.width())));

    // Translucent, glyph and outline overlap: each pixel is still covered
    // once (half white), not twice (three quarters).
    const QImage half = heart(-12, AttributedStyle::white(1.0, 0.5));
    QVERIFY(countNear(half, QColor(128, 128, 128), 3) > 500);
    QVERIFY2(brightest(half) <= 130, qPrintable(QString::number(brightest(half))));
}

void TestTextDrawing::alignmentMovesTheInk_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expectedCentre");

    const int left = int(AttributedStyle::Alignment::Left);
    const int right = int(AttributedStyle::Alignment::Right);
    const int centre = int(AttributedStyle::Alignment::Centre);
    QTest::newRow("left") << left << QStringLiteral("Song") << -1;
    QTest::newRow("centre") << centre << QStringLiteral("Song") << 0;
    QTest::newRow("right") << right << QStringLiteral("Song") << 1;
    // The label lines end in a space; it must not push right-aligned text
    // off the edge.
    QTest::newRow("right, trailing space") << right << QStringLiteral("Song ") << 1;
}

void TestTextDrawing::alignmentMovesTheInk()
{
    QFETCH(int, alignment);
    QFETCH(QString, text);
    QFETCH(int, expectedCentre);

    AttributedStyle style = styled(Qt::white, 24);
    style.withAlignment(AttributedStyle::Alignment(alignment));
    const QImage image = render(AttributedString(text, style), QSize(300, 40));
    const QRect ink = inkBounds(image);
    QVERIFY(!ink.isEmpty());
    switch (expectedCentre) {
    case -1:
        QVERIFY(ink.left() <= 4);
        break;
    case 0:
        QVERIFY(std::abs(ink.center().x() - 150) <= 4);
        break;
    default:
        QVERIFY2(ink.right() >= 292 && ink.right() <= 299, qPrintable(QString::number(ink.right())));
        break;
    }
}

void TestTextDrawing::paragraphBreaksStartNewLines_data()
{
    QTest::addColumn<QString>("separator");
    QTest::newRow("carriage return") << QStringLiteral("\r");
    QTest::newRow("line feed") << QStringLiteral("\n");
    QTest::newRow("CR LF") << QStringLiteral("\r\n");
    QTest::newRow("paragraph separator") << QStringLiteral("\u2029");
}

void TestTextDrawing::paragraphBreaksStartNewLines()
{
    QFETCH(QString, separator);
    const QImage image = render(line(QStringLiteral("ABC") + separator + QStringLiteral("DEF")), QSize(300, 80));
    QCOMPARE(inkBands(image).size(), 2);
    const QImage single = render(line(QStringLiteral("ABC")), QSize(300, 80));
    // The second line starts again at the left, so the ink is no wider than
    // one line's (a break drawn as a space would have made it wider).
    QVERIFY(inkBounds(image).width() <= inkBounds(single).width() + 3);

    const AttributedTextLayout two(line(QStringLiteral("ABC") + separator + QStringLiteral("DEF")));
    const AttributedTextLayout one(line(QStringLiteral("ABC")));
    QCOMPARE(two.naturalSize().height(), 2 * one.naturalSize().height());
}

void TestTextDrawing::naturalSizeFollowsTheText()
{
    QCOMPARE(AttributedTextLayout(AttributedString()).naturalSize(), QSizeF(0, 0));
    const QSizeF a = AttributedTextLayout(line(QStringLiteral("a"))).naturalSize();
    const QSizeF ab = AttributedTextLayout(line(QStringLiteral("ab"))).naturalSize();
    const QSizeF abc = AttributedTextLayout(line(QStringLiteral("abc"))).naturalSize();
    QVERIFY(a.width() > 0 && a.width() < ab.width() && ab.width() < abc.width());
    QCOMPARE(abc.height(), a.height());

    // A break at the end adds no line; a blank line between adds one.
    QCOMPARE(AttributedTextLayout(line(QStringLiteral("a\r"))).naturalSize(), a);
    QCOMPARE(AttributedTextLayout(line(QStringLiteral("a\r\ra"))).naturalSize().height(), 3 * a.height());
    // The blank line is as high as its break's font.
    AttributedString mixed = line(QStringLiteral("a\r"));
    mixed.append(line(QStringLiteral("\r"), Qt::white, 48));
    mixed.append(line(QStringLiteral("a")));
    const double bigLine = AttributedTextLayout(line(QStringLiteral("a"), Qt::white, 48)).naturalSize().height();
    QVERIFY(std::abs(AttributedTextLayout(mixed).naturalSize().height() - (2 * a.height() + bigLine)) < 0.1);
    // A wider line decides the width.
    QCOMPARE(AttributedTextLayout(line(QStringLiteral("abc\ra"))).naturalSize().width(), abc.width());

    // Kerning adds its points after every character.
    AttributedStyle kerned = styled(Qt::white, 24);
    kerned.withKerning(3);
    const double wide = AttributedTextLayout(AttributedString(QStringLiteral("abc"), kerned)).naturalSize().width();
    QVERIFY2(std::abs(wide - abc.width() - 3 * 3) <= 3.01, qPrintable(QString::number(wide)));

    // Drawn into exactly its natural size, text does not wrap again.
    const AttributedString title = line(QStringLiteral("A Rather Long Title Here"));
    const QSizeF natural = AttributedTextLayout(title).naturalSize();
    QCOMPARE(AttributedTextLayout(title).lineCountForWidth(natural.width()), 1);
}

void TestTextDrawing::narrowWidthWraps()
{
    const AttributedString text = line(QStringLiteral("one two three four five"));
    const AttributedTextLayout layout(text);
    const QSizeF natural = layout.naturalSize();
    QCOMPARE(layout.heightForWidth(natural.width() + 50), natural.height());
    QVERIFY(layout.lineCountForWidth(natural.width() / 2) >= 2);
    QVERIFY(layout.heightForWidth(natural.width() / 2) >= 2 * natural.height());
    // No width limit reads as the natural layout.
    QCOMPARE(layout.heightForWidth(0), natural.height());
    QCOMPARE(layout.heightForWidth(qInf()), natural.height());
    // Words are kept whole; a word wider than the line breaks inside.
    QVERIFY(layout.lineCountForWidth(1) > 10);

    const QImage image = render(text, QSize(int(natural.width() / 2), 200));
    QVERIFY(inkBands(image).size() >= 2);
    QVERIFY(inkBounds(image).right() < image.width());
}

void TestTextDrawing::linesBelowTheRectAreLeftOut()
{
    const AttributedString text = line(QStringLiteral("AAA\rBBB\rCCC"));
    const double lineHeight = AttributedTextLayout(line(QStringLiteral("A"))).naturalSize().height();
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    AttributedTextLayout layout(text);
    layout.draw(&painter, QRectF(0, 0, 200, lineHeight * 2.5));
    painter.end();
    QCOMPARE(inkBands(image).size(), 2); // the third line would not fit

    // A rect shorter than one line still shows the first line.
    image.fill(Qt::black);
    painter.begin(&image);
    layout.draw(&painter, QRectF(0, 0, 200, lineHeight * 0.8));
    painter.end();
    QCOMPARE(inkBands(image).size(), 1);
}

void TestTextDrawing::attachmentSitsOnTheBaseline()
{
    AttributedString text = line(QStringLiteral("HH"), Qt::white, 20);
    text.append(AttributedString::attachment(solidImage(Qt::red, QSize(10, 15)), QSizeF(20, 30)));
    text.append(line(QStringLiteral("HH"), Qt::white, 20));
    const QImage image = render(text, QSize(200, 60));

    const QRect red = boundsNear(image, Qt::red, 30);
    QVERIFY(!red.isEmpty());
    QVERIFY2(std::abs(red.width() - 20) <= 1 && std::abs(red.height() - 30) <= 1,
             qPrintable(QStringLiteral("%1x%2").arg(red.width()).arg(red.height())));
    // Its bottom is on the baseline, where the H's end; it is taller than
    // the text, so the line's top moves down to make room.
    const QRect white = boundsNear(image, Qt::white, 30);
    QVERIFY2(std::abs(red.bottom() - white.bottom()) <= 1,
             qPrintable(QStringLiteral("%1 vs %2").arg(red.bottom()).arg(white.bottom())));
    QVERIFY(red.top() >= 0 && red.top() <= 2);
    // The text after it starts after it, and the text before ends before it.
    const QImage left = image.copy(0, 0, red.left(), 60);
    const QImage right = image.copy(red.right() + 1, 0, 200 - red.right() - 1, 60);
    QVERIFY(countNear(left, Qt::white, 30) > 20);
    QVERIFY(countNear(right, Qt::white, 30) > 20);
    QVERIFY(inkBounds(right).left() <= 4);

    // The line is as high as the image plus the font's descent.
    const double textOnly = AttributedTextLayout(line(QStringLiteral("HH"), Qt::white, 20)).naturalSize().height();
    const double withImage = AttributedTextLayout(text).naturalSize().height();
    QVERIFY(withImage > textOnly && withImage < 30 + 8);
    // An attachment alone is as wide as its display size.
    const AttributedString alone = AttributedString::attachment(solidImage(Qt::red, QSize(4, 4)), QSizeF(17, 9));
    QVERIFY(std::abs(AttributedTextLayout(alone).naturalSize().width() - 17) < 0.05);
}

void TestTextDrawing::marksHaveRealGlyphs_data()
{
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("family");
    QTest::newRow("star") << QStringLiteral("\u2605") << QString();
    QTest::newRow("white heart") << QStringLiteral("\u2661") << QString();
    QTest::newRow("black heart") << QStringLiteral("\u2665") << QString();
    QTest::newRow("slashed heart, Arial") << QStringLiteral("\u2661\u0338") << QStringLiteral("Arial");
}

void TestTextDrawing::marksHaveRealGlyphs()
{
    QFETCH(QString, mark);
    QFETCH(QString, family);

    // The fallback font that carries them.
    const QFontMetrics dejaVu(QFont(QStringLiteral("DejaVu Sans")));
    for (const uint codePoint : mark.toUcs4())
        QVERIFY(dejaVu.inFontUcs4(codePoint));

    const AttributedFont font = family.isEmpty() ? AttributedFont::system(40)
                                                 : AttributedFont::named(family, 40);
    const AttributedString text(mark, AttributedStyle().withForeground(Qt::white).withFont(font));
    const QImage image = render(text, QSize(80, 70));
    QVERIFY2(inkCount(image) > 80, "a real glyph, not a blank");

    // A missing glyph would draw the same empty box for every mark; these
    // differ from one another and from a box.
    const QImage box = render(AttributedString(QString(QChar(0xE000)), AttributedStyle().withForeground(Qt::white).withFont(font)),
                              QSize(80, 70));
    QVERIFY(image != box);
    if (mark.size() == 2) {
        // The solidus crosses the heart: more ink than the heart alone, and
        // no wider than a single character plus its slash.
        const QImage plain = render(AttributedString(mark.left(1), text.styleAt(0)), QSize(80, 70));
        QVERIFY(inkCount(image) > inkCount(plain));
        QVERIFY(inkBounds(image).width() < inkBounds(plain).width() * 2);
    }
}

void TestTextDrawing::shadowFallsWhereItsOffsetSays()
{
    AttributedStyle style = styled(Qt::white, 40);
    style.withShadow(AttributedStyle::Shadow{QPointF(4, 5), 0.0, QColor(255, 0, 0)});
    const QImage sharp = render(AttributedString(QStringLiteral("I"), style), QSize(60, 60));
    const QRect white = boundsNear(sharp, Qt::white, 20);
    const QRect red = boundsNear(sharp, Qt::red, 20);
    QVERIFY(!white.isEmpty() && !red.isEmpty());
    QVERIFY2(std::abs(red.right() - white.right() - 4) <= 1, "4 points right");
    QVERIFY2(std::abs(red.bottom() - white.bottom() - 5) <= 1, "5 points down");

    // Blurred, the shadow spreads beyond the sharp one, softly.
    style.withShadow(AttributedStyle::Shadow{QPointF(4, 5), 6.0, QColor(255, 0, 0)});
    const QImage soft = render(AttributedString(QStringLiteral("I"), style), QSize(60, 60));
    const QRect spread = inkBounds(soft.copy(white.right() + 2, 0, 60 - white.right() - 2, 60));
    QVERIFY(spread.width() > red.right() - white.right());
    QVERIFY(countNear(soft, Qt::red, 20) < countNear(sharp, Qt::red, 20));

    // On a device with two pixels to the point, the offset doubles in
    // pixels and the shadow keeps the text's size.
    style.withShadow(AttributedStyle::Shadow{QPointF(4, 5), 0.0, QColor(255, 0, 0)});
    QImage hidpi(120, 120, QImage::Format_ARGB32_Premultiplied);
    hidpi.setDevicePixelRatio(2);
    hidpi.fill(Qt::black);
    QPainter painter(&hidpi);
    AttributedTextLayout(AttributedString(QStringLiteral("I"), style)).draw(&painter, QRectF(0, 0, 60, 60));
    painter.end();
    const QRect whiteHidpi = boundsNear(hidpi, Qt::white, 20);
    const QRect redHidpi = boundsNear(hidpi, Qt::red, 20);
    QVERIFY(std::abs(redHidpi.right() - whiteHidpi.right() - 8) <= 1);
    QVERIFY(std::abs(redHidpi.bottom() - whiteHidpi.bottom() - 10) <= 1);
    QVERIFY(std::abs(redHidpi.height() - 2 * red.height()) <= 3);
}

void TestTextDrawing::drawingKeepsThePainterAndIgnoresBadInput()
{
    const AttributedString text = line(QStringLiteral("Song"));
    const AttributedTextLayout layout(text);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no active painter")));
    layout.draw(nullptr, QRectF(0, 0, 100, 100));

    QImage image(100, 50, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setPen(Qt::green);
    painter.translate(3, 4);
    layout.draw(&painter, QRectF(0, 0, 0, 50));
    layout.draw(&painter, QRectF(0, 0, 100, -5));
    layout.draw(&painter, QRectF(0, 0, qQNaN(), 50));
    QCOMPARE(inkCount(image), 0);
    layout.draw(&painter, QRectF(0, 0, 90, 40));
    QCOMPARE(painter.pen().color(), QColor(Qt::green));
    QCOMPARE(painter.transform(), QTransform::fromTranslate(3, 4));
    painter.end();
    QVERIFY(inkBounds(image).left() >= 3);
}

// The label as the Classic theme composes it: a white title, a grey artist,
// a blank line, three lit stars of five, then the detail block, smaller and
// slightly transparent, and the heart and pipe marks. Set
// COVERLUME_TEXT_SAMPLE to a file name to keep the picture.
void TestTextDrawing::sampleLabel()
{
    const double f = 30;
    auto part = [](const QString &text, QColor colour, AttributedFont font, double stroke = 0) {
        return AttributedString(text, AttributedStyle().withForeground(colour).withFont(font).withStrokeWidth(stroke)
                                          .withKerning(stroke == 0 ? 0 : 1));
    };
    AttributedString label = part(QStringLiteral("Starlight Avenue \r"), AttributedStyle::white(1.0), AttributedFont::system(f));
    label.append(part(QStringLiteral("The Night Owls \r"), AttributedStyle::white(0.75), AttributedFont::system(f)));
    label.append(part(QStringLiteral("Evening Songs \r\r"), AttributedStyle::white(0.75), AttributedFont::system(0.8 * f)));
    AttributedString stars = part(QString(5, QChar(0x2605)), AttributedStyle::white(0.1), AttributedFont::system(0.6 * f));
    stars.addAttributes(0, 3, AttributedStyle().withForeground(AttributedStyle::white(0.75)));
    label.append(stars);
    for (const QString &text : {QStringLiteral("1998"), QString(), QStringLiteral("MPEG audio file"),
                                QStringLiteral("256 kbps"), QStringLiteral("44100 Hz"), QStringLiteral("Play count: 12")})
        label.append(part(QStringLiteral("\r") + text, AttributedStyle::white(1.0, 0.75), AttributedFont::system(0.6 * f)));
    label.append(QStringLiteral("\r"));
    label.append(part(QStringLiteral("\u2661\u0338 "), AttributedStyle::white(0.75), AttributedFont::named(QStringLiteral("Arial"), 0.6 * f), 5));
    label.append(part(QStringLiteral("\u2665 "), AttributedStyle::white(0.75), AttributedFont::system(0.6 * f), -12));
    AttributedString pipes = part(QString(12, u'|'), AttributedStyle::white(0.15), AttributedFont::system(0.4 * f), 12);
    pipes.addAttributes(0, 5, AttributedStyle().withForeground(AttributedStyle::white(0.75)).withFont(AttributedFont::system(0.4 * f, true)));
    label.append(pipes);

    const QImage image = render(label, QSize(420, 460), QRectF(10, 10, 400, 440));
    const QString keep = qEnvironmentVariable("COVERLUME_TEXT_SAMPLE");
    if (!keep.isEmpty())
        QVERIFY(image.save(keep));
    // Title, artist, album, stars, year, kind, bit rate, sample rate, play
    // count and marks: ten lines of ink, the blank lines between them empty.
    QCOMPARE(inkBands(image).size(), 10);
    QVERIFY(countNear(image, Qt::white, 10) > 300);            // the title
    QVERIFY(countNear(image, QColor(191, 191, 191), 6) > 300); // artist, album, details
}

QTEST_MAIN(TestTextDrawing)
#include "tst_textdrawing.moc"
