#include "RenderPixels.h"

#include "nowplaying/TrackRecord.h"
#include "render/CLProgressIndicator.h"
#include "render/Compositor.h"
#include "render/LayerTree.h"
#include "render/ProgressTimeText.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace RenderPixels;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A bar on black in a view of its own size.
struct BarScene
{
    LayerTree tree;
    CLProgressIndicator bar;
    Compositor compositor{tree};

    BarScene(QSizeF size, int style, double maximum, double value)
    {
        tree.setViewSize(size);
        tree.root().setBackgroundColor(Qt::black);
        bar.setFrame(QRectF(QPointF(0, 0), size));
        bar.setStyle(style);
        bar.setMaxValue(maximum);
        bar.setDoubleValue(value);
        bar.setTransparency(1.0f);
        tree.root().addSublayer(&bar);
    }
    QImage render() { return compositor.renderImage(tree.root().frame().size().toSize()); }
};

int grey(const QImage &image, int x, int y)
{
    return qGray(image.pixel(x, y));
}

// The right end of the lit part of one row, from `from` on: the last lit
// pixel before the first unlit one.
int litRunEnd(const QImage &image, int y, int from, int threshold = 60)
{
    int x = from;
    while (x + 1 < image.width() && grey(image, x + 1, y) > threshold)
        ++x;
    return x;
}

// The rightmost lit pixel of the bar's outline, which ends where the
// read-out column begins.
int rightmostInk(const QImage &image, int maxX)
{
    int rightmost = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x <= maxX; ++x)
            if (grey(image, x, y) > 40)
                rightmost = std::max(rightmost, x);
    return rightmost;
}

} // namespace

class TestProgressIndicator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeTexts_data();
    void timeTexts();
    void readOutColumnCountsCharacters();
    void classicFillFollowsTheValue_data();
    void classicFillFollowsTheValue();
    void appleTVFillIsThickerThanItsTrack();
    void darkModeAndTransparencySetTheInk();
    void nothingIsDrawnForValuesOutOfRange_data();
    void nothingIsDrawnForValuesOutOfRange();
    void theReadOutShortensTheBar();
    void hugeTimesKeepTheBarAndDropTheText();
    void changesAskForARedraw();
};

void TestProgressIndicator::timeTexts_data()
{
    QTest::addColumn<int>("showTime");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("total") << 1 << 187.9 << 10.0 << QStringLiteral("3:07");
    QTest::newRow("elapsed") << 3 << 300.0 << 45.5 << QStringLiteral("0:45");
    QTest::newRow("remaining") << 2 << 300.0 << 255.0 << QStringLiteral("-0:45");
    QTest::newRow("just under an hour left") << 2 << 3599.5 << 0.0 << QStringLiteral("-59:59");
    QTest::newRow("an hour") << 3 << 4000.0 << 3600.0 << QStringLiteral("1:0:00");
    QTest::newRow("minutes unpadded") << 1 << 3907.0 << 0.0 << QStringLiteral("1:5:07");
    QTest::newRow("long remaining") << 2 << 5025.0 << 0.0 << QStringLiteral("-1:23:45");
    QTest::newRow("mode without text") << 4 << 300.0 << 10.0 << QString();
    QTest::newRow("no read-out") << 0 << 300.0 << 10.0 << QString();
    QTest::newRow("out of range") << 3 << 300.0 << 301.0 << QString();
    QTest::newRow("NaN duration") << 1 << kNaN << 10.0 << QString();
    QTest::newRow("NaN position") << 3 << 300.0 << kNaN << QString();
    QTest::newRow("infinite duration") << 1 << kInfinity << 10.0 << QString();
    QTest::newRow("huge duration") << 1 << 1e300 << 10.0 << QString();
}

void TestProgressIndicator::timeTexts()
{
    QFETCH(int, showTime);
    QFETCH(double, maximum);
    QFETCH(double, value);
    QFETCH(QString, text);
    CLProgressIndicator bar;
    bar.setShowTime(showTime);
    bar.setMaxValue(maximum);
    bar.setDoubleValue(value);
    QCOMPARE(bar.timeText(), text);
}

void TestProgressIndicator::readOutColumnCountsCharacters()
{
    // Measured on zeros: only the number of characters counts.
    const auto eight = ProgressTimeText::column(8, 20);
    const auto four = ProgressTimeText::column(4, 20);
    QVERIFY(eight.width > four.width + 20);
    QCOMPARE(eight.offset, std::floor((eight.width - eight.offset) / 5.0));
    const auto empty = ProgressTimeText::column(0, 20);
    QCOMPARE(empty.width, 6.0); // an empty text still keeps a narrow column

    // The bar ends at the same place for "-1:23:45" and "-8:59:59"...
    BarScene first(QSizeF(400, 20), CLProgressIndicator::Classic, 5025, 0);
    first.bar.setShowTime(ProgressTimeText::Remaining);
    BarScene second(QSizeF(400, 20), CLProgressIndicator::Classic, 32399, 0);
    second.bar.setShowTime(ProgressTimeText::Remaining);
    const int end = rightmostInk(first.render(), 300);
    QVERIFY(end > 200);
    QCOMPARE(rightmostInk(second.render(), 300), end);
    // ...and further right for the four characters of "3:07".
    BarScene shorter(QSizeF(400, 20), CLProgressIndicator::Classic, 187, 0);
    shorter.bar.setShowTime(ProgressTimeText::Total);
    QVERIFY(rightmostInk(shorter.render(), 360) > end + 20);
}

void TestProgressIndicator::classicFillFollowsTheValue_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("fillEnd");
    // 400 × 25: unit 1; the outline is inset (2, 6), the fill a further 3:
    // the fill runs from x = 5 over floor(fraction × 390) points.
    QTest::newRow("half") << 50.0 << 199;
    QTest::newRow("whole") << 100.0 << 394;
    QTest::newRow("a quarter") << 25.0 << 101;
}

void TestProgressIndicator::classicFillFollowsTheValue()
{
    QFETCH(double, value);
    QFETCH(int, fillEnd);
    BarScene scene(QSizeF(400, 25), CLProgressIndicator::Classic, 100, value);
    const QImage image = scene.render();
    const int middle = 12;
    QVERIFY(std::abs(grey(image, 100, middle) - 128) <= 6); // white 0.5
    QVERIFY2(std::abs(litRunEnd(image, middle, 20) - fillEnd) <= 1,
             qPrintable(QString::number(litRunEnd(image, middle, 20))));
    // The pill outline: lit at its ends, dark between outline and fill.
    QVERIFY(grey(image, 2, middle) > 60 && grey(image, 397, middle) > 60);
    QVERIFY(grey(image, 100, 6) > 60); // the outline's top edge, 1.5 wide about y = 6
    QVERIFY(grey(image, 100, 7) < 20 && grey(image, 100, 8) < 20); // the gap above the fill
    QVERIFY(grey(image, 50, 9) > 60);

    BarScene empty(QSizeF(400, 25), CLProgressIndicator::Classic, 100, 0);
    const QImage nothingFilled = empty.render();
    QVERIFY(grey(nothingFilled, 10, middle) < 40);
    QVERIFY(grey(nothingFilled, 2, middle) > 60); // the outline is still drawn
}

void TestProgressIndicator::appleTVFillIsThickerThanItsTrack()
{
    // 400 × 19: unit 1; the room is inset 2, the track and fill a further 3
    // horizontally; the fill is 5 high (rows 7 … 11), the track 3.5.
    BarScene scene(QSizeF(400, 19), CLProgressIndicator::AppleTV, 100, 50);
    const QImage image = scene.render();
    QVERIFY(std::abs(grey(image, 100, 9) - 230) <= 6);              // fill: white 0.9
    QVERIFY(std::abs(grey(image, 300, 9) - qRound(230 * 0.45)) <= 6); // track at 0.45 of it
    QVERIFY2(std::abs(litRunEnd(image, 9, 20, 160) - 199) <= 1, qPrintable(QString::number(litRunEnd(image, 9, 20, 160))));
    QVERIFY(grey(image, 100, 7) > 150); // the fill reaches above the track
    QVERIFY(grey(image, 300, 7) < 40);
    QVERIFY(grey(image, 300, 2) < 10 && grey(image, 2, 9) < 10);
}

void TestProgressIndicator::darkModeAndTransparencySetTheInk()
{
    BarScene scene(QSizeF(400, 19), CLProgressIndicator::AppleTV, 100, 50);
    scene.tree.root().setBackgroundColor(Qt::transparent);
    scene.bar.setDarkMode(true);
    QImage image = scene.render();
    QVERIFY(std::abs(qRed(image.pixel(100, 9)) - 38) <= 3); // white 0.15
    QCOMPARE(qAlpha(image.pixel(100, 9)), 255);

    scene.bar.setTransparency(0.5f);
    image = scene.render();
    // The fill lies over the track: half alone, a little more where the
    // track's edge shows through (row 7), more again over the whole track.
    const int edge = qAlpha(image.pixel(100, 7));
    QVERIFY2(edge >= 127 && edge <= 142, qPrintable(QString::number(edge)));
    QVERIFY(std::abs(qAlpha(image.pixel(100, 9)) - (128 + 57 / 2)) <= 3);
    QVERIFY(std::abs(qAlpha(image.pixel(300, 9)) - qRound(255 * 0.5 * 0.45)) <= 2);

    scene.bar.setTransparency(0.0f);
    QVERIFY(opaqueBounds(scene.render()).isEmpty());
    QCOMPARE(boundsWhere(scene.render(), [](QRgb p) { return qAlpha(p) > 0; }), QRect());
}

void TestProgressIndicator::nothingIsDrawnForValuesOutOfRange_data()
{
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("hidden") << 100.0 << 50.0 << true;
    QTest::newRow("no duration") << 0.0 << 0.0 << false;
    QTest::newRow("negative duration") << -5.0 << -6.0 << false;
    QTest::newRow("past the end") << 100.0 << 100.5 << false;
    QTest::newRow("before the start") << 100.0 << -1.0 << false;
    QTest::newRow("NaN position") << 100.0 << kNaN << false;
    QTest::newRow("NaN duration") << kNaN << 10.0 << false;
    QTest::newRow("infinite duration") << kInfinity << 10.0 << false;
}

void TestProgressIndicator::nothingIsDrawnForValuesOutOfRange()
{
    QFETCH(double, maximum);
    QFETCH(double, value);
    QFETCH(bool, hidden);
    for (int style : {0, 1}) {
        BarScene scene(QSizeF(300, 25), style, maximum, value);
        scene.tree.root().setBackgroundColor(Qt::transparent);
        scene.bar.setShowTime(ProgressTimeText::Elapsed);
        scene.bar.setHidden(hidden);
        QCOMPARE(boundsWhere(scene.render(), [](QRgb p) { return qAlpha(p) > 0; }), QRect());
    }
}

void TestProgressIndicator::theReadOutShortensTheBar()
{
    BarScene scene(QSizeF(400, 20), CLProgressIndicator::Classic, 300, 150);
    const int fullEnd = rightmostInk(scene.render(), 399);
    QVERIFY(fullEnd >= 396);

    scene.bar.setShowTime(ProgressTimeText::Elapsed); // "2:30"
    const QImage image = scene.render();
    const auto column = ProgressTimeText::column(4, 20);
    const int barEnd = rightmostInk(image, int(400 - column.width) + 2);
    QVERIFY2(barEnd < 400 - column.width && barEnd > 400 - column.width - 5, qPrintable(QString::number(barEnd)));
    // The read-out's ink lies in its column, as high as the bar.
    const QRect text = boundsWhere(image.copy(int(400 - column.width + column.offset), 0, int(column.width), 20),
                                   [](QRgb p) { return qGray(p) > 40; });
    QVERIFY(text.width() > column.width / 2);
    QVERIFY(text.height() > 8);
}

void TestProgressIndicator::hugeTimesKeepTheBarAndDropTheText()
{
    BarScene scene(QSizeF(400, 20), CLProgressIndicator::Classic, 1e15, 5e14);
    scene.bar.setShowTime(ProgressTimeText::Remaining);
    QCOMPARE(scene.bar.timeText(), QString());
    const QImage image = scene.render();
    QVERIFY(grey(image, 100, 10) > 60); // the fill is there
    // The column of an empty text: 6 points, and nothing drawn in it.
    QCOMPARE(boundsWhere(image.copy(395, 0, 5, 20), [](QRgb p) { return qGray(p) > 40; }), QRect());
    QVERIFY(rightmostInk(image, 399) > 385);
}

void TestProgressIndicator::changesAskForARedraw()
{
    BarScene scene(QSizeF(200, 20), CLProgressIndicator::Classic, 100, 10);
    QImage frame(200, 20, QImage::Format_ARGB32_Premultiplied);
    scene.compositor.renderDamage(frame);

    scene.bar.setDoubleValue(10); // the same value
    scene.bar.setTransparency(1.0f);
    QVERIFY(!scene.compositor.needsRedraw());

    ProgressModel model;
    model.maximum = 100;
    model.value = 60;
    model.hidden = false;
    model.needsDisplay = true;
    scene.bar.update(model);
    QVERIFY(!model.needsDisplay);
    QCOMPARE(scene.bar.doubleValue(), 60.0);
    QVERIFY(scene.compositor.needsRedraw());
    scene.compositor.renderDamage(frame);
    QCOMPARE(RenderPixels::maxDifference(frame, scene.render()), 0);
    QVERIFY(grey(frame, 100, 10) > 60);

    model.hidden = true;
    scene.bar.update(model);
    QVERIFY(scene.compositor.needsRedraw());
}

QTEST_MAIN(TestProgressIndicator)
#include "tst_progressindicator.moc"
