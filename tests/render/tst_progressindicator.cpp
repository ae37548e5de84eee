// The progress bar: its read-out, both styles' pixels, and its redraws.
#include "render/CLProgressIndicator.h"
#include "render/ProgressTimeText.h"
#include "support/LayerScene.h"
#include "support/Pixels.h"

#include <QTest>
#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(ProgressSnapshot)

using namespace Pixels;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A bar filling a view of its own size, on black unless told otherwise.
struct BarScene : LayerScene
{
    CLProgressIndicator bar;

    BarScene(QSizeF size, int style, double maximum, double value, int showTime = 0, QColor background = Qt::black)
        : LayerScene(size, background)
    {
        place(bar, QRectF(QPointF(0, 0), size));
        bar.setStyle(style);
        bar.setMaxValue(maximum);
        bar.setDoubleValue(value);
        bar.setShowTime(showTime);
        bar.setTransparency(1.0f);
    }
};

const auto grey = [](const QImage &image, int x, int y) { return qGray(image.pixel(x, y)); };

// The last lit pixel of row y from `from` on, before the first unlit one.
int litRunEnd(const QImage &image, int y, int from, int threshold = 60)
{
    while (from + 1 < image.width() && grey(image, from + 1, y) > threshold)
        ++from;
    return from;
}

// The rightmost lit pixel up to maxX: where the bar ends before its read-out.
const auto rightmostInk = [](const QImage &image, int maxX) {
    return boundsWhere(image, [](QRgb p) { return qGray(p) > 40; }, QRect(0, 0, maxX + 1, image.height())).right();
};

} // namespace

class TestProgressIndicator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeTexts()
    {
        const QList<std::tuple<int, double, double, QString>> rows = {
            {1, 187.9, 10.0, "3:07"}, {3, 300.0, 45.5, "0:45"}, {2, 300.0, 255.0, "-0:45"},
            {2, 3599.5, 0.0, "-59:59"}, {3, 4000.0, 3600.0, "1:0:00"}, {1, 3907.0, 0.0, "1:5:07"},
            {2, 5025.0, 0.0, "-1:23:45"}, {4, 300.0, 10.0, ""}, {0, 300.0, 10.0, ""}, {3, 300.0, 301.0, ""},
            {1, kNaN, 10.0, ""}, {3, 300.0, kNaN, ""}, {1, kInfinity, 10.0, ""}, {1, 1e300, 10.0, ""}};
        for (const auto &[showTime, maximum, value, text] : rows) {
            CLProgressIndicator bar;
            bar.setShowTime(showTime);
            bar.setMaxValue(maximum);
            bar.setDoubleValue(value);
            QCOMPARE(bar.timeText(), text);
        }
    }

    void classicFillFollowsTheValue()
    {
        // 400 × 25: unit 1; the outline is inset (2, 6), the fill a further 3:
        // the fill runs from x = 5 over floor(fraction × 390) points.
        for (const auto &[value, fillEnd] : QList<QPair<double, int>>{{50, 199}, {100, 394}, {25, 101}}) {
            BarScene s(QSizeF(400, 25), CLProgressIndicator::Classic, 100, value);
            const QImage image = s.render();
            QVERIFY(std::abs(grey(image, 100, 12) - 128) <= 6); // white 0.5
            QVERIFY2(std::abs(litRunEnd(image, 12, 20) - fillEnd) <= 1, qPrintable(QString::number(litRunEnd(image, 12, 20))));
            // The pill outline: lit at its ends and top edge, dark between outline and fill.
            QVERIFY(grey(image, 2, 12) > 60 && grey(image, 397, 12) > 60 && grey(image, 100, 6) > 60);
            QVERIFY(grey(image, 100, 7) < 20 && grey(image, 100, 8) < 20 && grey(image, 50, 9) > 60);
        }
        BarScene empty(QSizeF(400, 25), CLProgressIndicator::Classic, 100, 0);
        const QImage image = empty.render();
        QVERIFY(grey(image, 10, 12) < 40 && grey(image, 2, 12) > 60); // no fill, the outline still
    }

    void appleTVFillIsThickerThanItsTrack()
    {
        // 400 × 19: unit 1; the fill is 5 high (rows 7 … 11), the track 3.5.
        BarScene s(QSizeF(400, 19), CLProgressIndicator::AppleTV, 100, 50);
        QImage image = s.render();
        QVERIFY(std::abs(grey(image, 100, 9) - 230) <= 6);                // fill: white 0.9
        QVERIFY(std::abs(grey(image, 300, 9) - qRound(230 * 0.45)) <= 6); // track at 0.45 of it
        QVERIFY(std::abs(litRunEnd(image, 9, 20, 160) - 199) <= 1);
        QVERIFY(grey(image, 100, 7) > 150 && grey(image, 300, 7) < 40);
        QVERIFY(grey(image, 300, 2) < 10);
        // Fill and track run to the bar's ends, where the text edge is.
        QVERIFY(grey(image, 1, 9) > 150 && grey(image, 398, 9) > 60);

        // Dark mode and transparency set the ink.
        BarScene dark(QSizeF(400, 19), CLProgressIndicator::AppleTV, 100, 50, 0, Qt::transparent);
        dark.bar.setDarkMode(true);
        image = dark.render();
        QVERIFY(std::abs(qRed(image.pixel(100, 9)) - 38) <= 3); // white 0.15
        QCOMPARE(qAlpha(image.pixel(100, 9)), 255);
        dark.bar.setTransparency(0.5f);
        image = dark.render();
        // The fill over the track: half alone at the track's edge, more over the track.
        QVERIFY(qAlpha(image.pixel(100, 7)) >= 127 && qAlpha(image.pixel(100, 7)) <= 142);
        QVERIFY(std::abs(qAlpha(image.pixel(100, 9)) - (128 + 57 / 2)) <= 3);
        QVERIFY(std::abs(qAlpha(image.pixel(300, 9)) - qRound(255 * 0.5 * 0.45)) <= 2);
        dark.bar.setTransparency(0.0f);
        QCOMPARE(boundsWhere(dark.render(), [](QRgb p) { return qAlpha(p) > 0; }), QRect());
    }

    void nothingIsDrawnForValuesOutOfRange()
    {
        // maximum, value, hidden
        const QList<std::tuple<double, double, bool>> rows = {
            {100, 50, true}, {0, 0, false}, {-5, -6, false}, {100, 100.5, false},
            {100, -1, false}, {100, kNaN, false}, {kNaN, 10, false}, {kInfinity, 10, false}};
        for (const auto &[maximum, value, hidden] : rows) {
            for (int style : {0, 1}) {
                BarScene s(QSizeF(300, 25), style, maximum, value, ProgressTimeText::Elapsed, Qt::transparent);
                s.bar.setHidden(hidden);
                QCOMPARE(boundsWhere(s.render(), [](QRgb p) { return qAlpha(p) > 0; }), QRect());
            }
        }
    }

    void theReadOutKeepsAColumnByItsCharacters()
    {
        const auto four = ProgressTimeText::column(4, 20);
        QVERIFY(ProgressTimeText::column(8, 20).width > four.width + 20);
        QCOMPARE(four.offset, std::floor((four.width - four.offset) / 5.0));
        QCOMPARE(ProgressTimeText::column(0, 20).width, 6.0); // an empty text keeps a narrow column

        BarScene plain(QSizeF(400, 20), CLProgressIndicator::Classic, 300, 150);
        QVERIFY(rightmostInk(plain.render(), 399) >= 396);
        // "2:30": the bar ends before the column, the read-out's ink lies in it.
        BarScene elapsed(QSizeF(400, 20), CLProgressIndicator::Classic, 300, 150, ProgressTimeText::Elapsed);
        const QImage image = elapsed.render();
        const int barEnd = rightmostInk(image, int(400 - four.width) + 2);
        QVERIFY2(barEnd < 400 - four.width && barEnd > 400 - four.width - 5, qPrintable(QString::number(barEnd)));
        const QRect text = boundsWhere(image, [](QRgb p) { return qGray(p) > 40; },
                                       QRect(int(400 - four.width + four.offset), 0, int(four.width), 20));
        QVERIFY(text.width() > four.width / 2 && text.height() > 8);

        // The same end for "-1:23:45" and "-8:59:59", further right for "3:07".
        const auto endOfBar = [](double maximum, int showTime, int maxX) {
            return rightmostInk(BarScene(QSizeF(400, 20), CLProgressIndicator::Classic, maximum, 0, showTime).render(), maxX);
        };
        const int end = endOfBar(5025, ProgressTimeText::Remaining, 300);
        QVERIFY(end > 200);
        QCOMPARE(endOfBar(32399, ProgressTimeText::Remaining, 300), end);
        QVERIFY(endOfBar(187, ProgressTimeText::Total, 360) > end + 20);

        // A time too large to show keeps the bar and an empty column.
        BarScene huge(QSizeF(400, 20), CLProgressIndicator::Classic, 1e15, 5e14, ProgressTimeText::Remaining);
        const QImage hugeImage = huge.render();
        QVERIFY(grey(hugeImage, 100, 10) > 60);
        QCOMPARE(boundsWhere(hugeImage, [](QRgb p) { return qGray(p) > 40; }, QRect(395, 0, 5, 20)), QRect());
        QVERIFY(rightmostInk(hugeImage, 399) > 385);
    }

    // A new value redraws the bar only when what it draws changes: a
    // playing track's position moves five times a second, its fill and
    // read-out about once. (200 points wide, 100 s long: the classic fill
    // moves a point every 0.6 s or so.)
    void redrawsOnlyWhatChanges_data()
    {
        QTest::addColumn<ProgressSnapshot>("next");
        QTest::addColumn<int>("showTime");
        QTest::addColumn<bool>("redrawn");
        QTest::newRow("the same value") << ProgressSnapshot{true, 100, 10} << 0 << false;
        QTest::newRow("a tenth of a second on") << ProgressSnapshot{true, 100, 10.1} << 0 << false;
        QTest::newRow("two seconds on") << ProgressSnapshot{true, 100, 12} << 0 << true;
        QTest::newRow("the read-out's next second")
            << ProgressSnapshot{true, 100, 11.05} << int(ProgressTimeText::Elapsed) << true;
        QTest::newRow("within the read-out's second")
            << ProgressSnapshot{true, 100, 10.1} << int(ProgressTimeText::Elapsed) << false;
        QTest::newRow("a longer track") << ProgressSnapshot{true, 300, 10} << 0 << true;
        QTest::newRow("hidden") << ProgressSnapshot{false, 100, 10} << 0 << true;
        QTest::newRow("past its end") << ProgressSnapshot{true, 100, 101} << 0 << true;
    }
    void redrawsOnlyWhatChanges()
    {
        QFETCH(ProgressSnapshot, next);
        QFETCH(int, showTime);
        QFETCH(bool, redrawn);
        BarScene s(QSizeF(200, 20), CLProgressIndicator::Classic, 100, 10, showTime);
        s.bar.setTransparency(1.0f);
        s.damage();
        s.bar.update(next);
        QCOMPARE(s.compositor.needsRedraw(), redrawn);
        // Either way the picture is what a fresh drawing gives.
        s.damage();
        QCOMPARE(maxDifference(s.frame, s.render()), 0);
    }
};

QTEST_MAIN(TestProgressIndicator)
#include "tst_progressindicator.moc"
