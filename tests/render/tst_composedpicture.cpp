// A picture composed as the Classic theme will compose it: a cover turned
// about its outer edge, its reflection faded by the mask resource, a progress
// bar, on black. Set COVERLUME_SAMPLE_DIR to keep the picture for a look.

#include "RenderPixels.h"

#include "render/CLProgressIndicator.h"
#include "render/Compositor.h"
#include "render/LayerTree.h"
#include "render/ProgressTimeText.h"
#include "render/YUpCanvas.h"

#include <QDir>
#include <QTest>
#include <cmath>

using namespace RenderPixels;

namespace {

constexpr double kS = 300; // the artwork's size
constexpr double kE = 0.3; // the turn factor

Transform3D turn(double m34)
{
    return Transform3D::perspective(m34).rotated(kE * 20.0 * M_PI / 180.0, 0, 1, 0);
}

// The reflection picture: the artwork mirrored into the lower S of an image
// 1.3 S high at 0.6 opacity, the mask drawn over all of it.
QImage reflectionOf(const QImage &artwork, const QImage &mask)
{
    QImage image(int(kS), int(kS * 1.3), QImage::Format_ARGB32_Premultiplied);
    YUpCanvas canvas(image, QSizeF(kS, kS * 1.3));
    canvas.concat(QTransform(1, 0, 0, -1, 0, kS * 1.3));
    canvas.fill(Qt::transparent);
    canvas.drawImage(QRectF(0, 0.3 * kS, kS, kS), artwork, 0.6, QPainter::CompositionMode_Source);
    canvas.setTransform(QTransform());
    canvas.drawImage(QRectF(0, 0, kS, kS * 1.3), mask);
    return image;
}

} // namespace

class TestComposedPicture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void resourcesAreOurs_data();
    void resourcesAreOurs();
    void classicLikePicture();
};

void TestComposedPicture::initTestCase()
{
    Q_INIT_RESOURCE(resources);
}

void TestComposedPicture::resourcesAreOurs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("aspect");
    QTest::newRow("album") << QStringLiteral(":/album.png") << 1.0;
    QTest::newRow("thumbsUp") << QStringLiteral(":/thumbsUp.png") << 0.8125;
    QTest::newRow("thumbsNeitherUpNorDown") << QStringLiteral(":/thumbsNeitherUpNorDown.png") << 1.875;
    QTest::newRow("transparent-mask") << QStringLiteral(":/transparent-mask.png") << 1.0 / 1.3;
}

void TestComposedPicture::resourcesAreOurs()
{
    QFETCH(QString, name);
    QFETCH(double, aspect);
    const QImage image(name);
    QVERIFY(!image.isNull());
    QVERIFY(std::abs(double(image.width()) / image.height() - aspect) < 0.01);
    if (name.contains(QLatin1String("mask"))) {
        // Clear at the top (behind the cover), black and opaque at the bottom,
        // the alpha never falling on the way down.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(image.pixel(0, image.height() - 1), qRgba(0, 0, 0, 255));
        for (int y = 1; y < image.height(); ++y)
            QVERIFY(qAlpha(image.pixel(0, y)) >= qAlpha(image.pixel(0, y - 1)));
    }
}

void TestComposedPicture::classicLikePicture()
{
    const QImage artwork = QImage(QStringLiteral(":/album.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage mask(QStringLiteral(":/transparent-mask.png"));
    QVERIFY(!artwork.isNull() && !mask.isNull());

    const QSizeF view(1280, 720);
    const QPointF at(760, 300); // the cover's bottom-left corner, y up
    LayerTree tree;
    tree.setViewSize(view);
    tree.root().setBackgroundColor(Qt::black);

    Layer reflection;
    reflection.setFrame(QRectF(at.x(), at.y() - kS, kS, 1.29 * kS));
    reflection.setContents(reflectionOf(artwork, mask));
    reflection.setAnchorPoint(QPointF(1.0, 1.4));
    reflection.setTransform(turn(1.0 / 600));
    Layer cover;
    cover.setFrame(QRectF(at, QSizeF(kS, kS)));
    cover.setContents(artwork.scaled(int(kS), int(kS), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    cover.setAnchorPoint(QPointF(1.0, 0.8));
    cover.setTransform(turn(1.0 / 600));
    CLProgressIndicator bar;
    bar.setFrame(QRectF(at.x() - kS + 36, at.y() + 0.15 * kE * kS, kS - 36 - 0.7 * 36, 0.6 * 20.6));
    bar.setMaxValue(240);
    bar.setDoubleValue(120);
    bar.setShowTime(ProgressTimeText::Remaining);
    bar.setTransparency(1.0f);
    tree.root().addSublayer(&reflection);
    tree.root().addSublayer(&cover);
    tree.root().addSublayer(&bar);

    Compositor compositor(tree);
    const QImage picture = compositor.renderImage(view.toSize());
    if (const QByteArray dir = qgetenv("COVERLUME_SAMPLE_DIR"); !dir.isEmpty())
        picture.save(QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("render-sample.png")));

    // The cover's outer (right) edge stays put, its top at row 120; the
    // inner edge recedes, a little lower.
    const auto topOf = [&](int x) {
        int y = 0;
        while (y < 720 && qGray(picture.pixel(x, y)) < 6)
            ++y;
        return y;
    };
    QVERIFY(std::abs(topOf(1057) - 120) <= 1);
    QVERIFY2(topOf(780) >= 122 && topOf(780) <= 126, qPrintable(QString::number(topOf(780))));
    // Below it the reflection: bright near the cover, fading to black.
    const auto bandBrightness = [&](int top) {
        double sum = 0;
        for (int y = top; y < top + 40; ++y)
            for (int x = 790; x < 1040; ++x)
                sum += qGray(picture.pixel(x, y));
        return sum / (40 * 250);
    };
    const double nearCover = bandBrightness(425);
    const double farAway = bandBrightness(640);
    QVERIFY2(nearCover > 5 && farAway < 1, qPrintable(QStringLiteral("%1 %2").arg(nearCover).arg(farAway)));
    // Mirrored: the label's orange is in the reflection, upside down and dimmed.
    const QRgb label = picture.pixel(915, 525);
    QVERIFY2(qRed(label) > 20 && qRed(label) < 120 && qRed(label) > 2 * qGreen(label),
             qPrintable(QStringLiteral("%1 %2").arg(qRed(label)).arg(qGreen(label))));
    // The bar, half filled, to the left of the cover.
    QVERIFY(qGray(picture.pixel(int(at.x() - kS + 60), int(720 - bar.frame().center().y()))) > 100);
}

QTEST_MAIN(TestComposedPicture)
#include "tst_composedpicture.moc"
