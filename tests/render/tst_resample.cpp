// The Lanczos resampler and the blurred wash made with it: crop, sample
// phase, clamped edges, ringing, and how a wash is judged light or dark.

#include "render/BlurBackground.h"
#include "render/Resample.h"
#include "support/LogCapture.h"
#include "support/Pixels.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Pixels;

namespace {

QImage noise(QSize size, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(random.bounded(256), random.bounded(256), random.bounded(256)));
    return image;
}

// The largest step between neighbours, on any channel.
int largestStep(const QImage &image)
{
    int step = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 1; x < image.width(); ++x) {
            const QRgb a = image.pixel(x - 1, y), b = image.pixel(x, y);
            step = std::max({step, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                             std::abs(qBlue(a) - qBlue(b))});
        }
    return step;
}

} // namespace

class TestResample : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The one scale covers the wanted size; the other axis keeps the part
    // from the bottom-left corner.
    void cropKeepsTheBottomLeft_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QSize>("whole");
        QTest::addColumn<QPoint>("from"); // where `wanted` lies in `whole`, top-down
        QTest::newRow("12x8 to 1440x900: the top 60 rows go") << QSize(12, 8) << QSize(1440, 900)
                                                             << QSize(1440, 960) << QPoint(0, 60);
        QTest::newRow("100x100 to 50x200: the left quarter") << QSize(100, 100) << QSize(50, 200)
                                                            << QSize(200, 200) << QPoint(0, 0);
    }
    void cropKeepsTheBottomLeft()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, wanted);
        QFETCH(QSize, whole);
        QFETCH(QPoint, from);
        const QImage image = noise(source, 7);
        const QImage part = Resample::lanczos3(image, wanted);
        QCOMPARE(part.size(), wanted);
        QCOMPARE(maxDifference(part, Resample::lanczos3(image, whole).copy(QRect(from, wanted))), 0);
    }

    void samplesAtPixelCentresWithClampedEdges()
    {
        // Enlarged three times, every third pixel lands on a source centre.
        const QImage source = noise(QSize(3, 2), 3);
        const QImage big = Resample::lanczos3(source, QSize(9, 6));
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 3; ++i)
                QVERIFY2(near(big.pixel(3 * i + 1, 3 * j + 1), QColor(source.pixel(i, j)), 1),
                         qPrintable(QStringLiteral("%1,%2").arg(i).arg(j)));

        // One colour (translucent too) stays that colour up to every edge.
        for (const QColor colour : {QColor(30, 160, 220), QColor(200, 100, 0, 128)}) {
            const QImage flat = Resample::lanczos3(solid(colour, QSize(3, 2)), QSize(1920, 1080));
            const QImage expected = solid(colour, QSize(1920, 1080));
            QVERIFY2(maxDifference(flat, expected) <= 1, qPrintable(colour.name(QColor::HexArgb)));
        }
    }

    void ringingIsClampedAndTheWashHasNoJumps()
    {
        // Black and white, half transparent: the overshoot would wrap past
        // white or leave colour above alpha.
        QImage chequer(3, 2, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                chequer.setPixel(x, y, (x + y) % 2 ? qRgba(128, 128, 128, 128) : qRgba(0, 0, 0, 128));
        const QImage wash = Resample::lanczos3(chequer, QSize(1920, 1080));
        for (int y = 0; y < wash.height(); y += 7)
            for (int x = 0; x < wash.width(); x += 3) {
                const QRgb p = wash.pixel(x, y);
                QVERIFY(qRed(p) <= qAlpha(p) && qGreen(p) <= qAlpha(p) && qBlue(p) <= qAlpha(p));
            }
        QVERIFY2(largestStep(wash) <= 2, qPrintable(QString::number(largestStep(wash))));
    }

    void zeroSideGivesNoImageAndSaysSo()
    {
        LogCapture log;
        QVERIFY(Resample::lanczos3(noise(QSize(3, 2), 1), QSize(0, 900)).isNull());
        QVERIFY(Resample::lanczos3(noise(QSize(3, 2), 1), QSize(1440, 0)).isNull());
        QCOMPARE(log.lines().count(QStringLiteral("returning - one dimension is zero")), 2);
    }

    void washIsJudgedByItsMeanBrightness_data()
    {
        QTest::addColumn<QImage>("artwork");
        QTest::addColumn<int>("dark"); // 1, 0, or -1: a hair either side of 0.5
        QTest::addColumn<int>("grey"); // the wash's grey, -1: not one grey
        QImage halves(60, 40, QImage::Format_ARGB32_Premultiplied);
        halves.fill(Qt::black);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 60; ++x)
                halves.setPixel(x, y, qRgb(255, 255, 255));
        QImage stripes(60, 40, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x)
                stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        QTest::newRow("white: light") << solid(Qt::white, QSize(50, 50)) << 0 << 255;
        QTest::newRow("pure red is bright, not by luma") << solid(QColor(255, 0, 0), QSize(50, 50)) << 0 << -1;
        QTest::newRow("white above, black below: 0.5 is dark") << halves << 1 << -1;
        QTest::newRow("one-pixel stripes: a mid-grey") << stripes << -1 << 128;
        QTest::newRow("navy: dark") << solid(QColor(10, 20, 90), QSize(50, 50)) << 1 << -1;
    }
    void washIsJudgedByItsMeanBrightness()
    {
        QFETCH(QImage, artwork);
        QFETCH(int, dark);
        QFETCH(int, grey);
        const BlurBackground::Wash wash = BlurBackground::make(artwork, QSize(3, 2), QSize(320, 200));
        if (dark >= 0)
            QCOMPARE(wash.dark, dark == 1);
        QCOMPARE(wash.image.size(), QSize(320, 200));
        if (grey >= 0)
            QVERIFY(countNear(wash.image, QColor(grey, grey, grey), 2) == 320 * 200);
        QVERIFY(BlurBackground::make(QImage(), QSize(3, 2), QSize(320, 200)).image.isNull());
    }
};

QTEST_GUILESS_MAIN(TestResample)
#include "tst_resample.moc"
