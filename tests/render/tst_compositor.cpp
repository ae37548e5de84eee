// The compositor over a layer tree (y up).
#include "support/LayerScene.h"
#include "support/Pixels.h"

#include <QPainter>
#include <QTest>
#include <functional>

using namespace Pixels;

namespace {

// A layer that paints itself in one colour and counts its paintings.
class CountingLayer : public Layer
{
public:
    mutable int paintings = 0;
    QColor colour = Qt::yellow;

protected:
    bool drawsItself() const override { return true; }
    void draw(QPainter &painter, const QSizeF &size) const override
    {
        ++paintings;
        painter.fillRect(QRectF(QPointF(0, 0), size), colour);
    }
};

// Top half green, bottom half blue: shows which way up a picture landed.
QImage twoTone(QSize size = QSize(8, 8))
{
    QImage image = solid(Qt::blue, size);
    QPainter(&image).fillRect(QRect(0, 0, size.width(), size.height() / 2), Qt::green);
    return image;
}

// A gentle diagonal ramp, opaque: a half-pixel shift changes it by under a level.
QImage ramp(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(40 + x * 150 / size.width(), 60 + y * 150 / size.height(), 120));
    return image;
}

// Black and white pixels in turn: any resampling greys it.
QImage checkerboard(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return image;
}

const auto turn = LayerScene::turn;

} // namespace

class TestCompositor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void contentsLandAtTheFrameYUpInTheBoundsCoordinates()
    {
        LayerScene s(QSizeF(40, 40));
        Layer &layer = s.add(QRectF(10, 0, 20, 10), twoTone(QSize(20, 10))); // y = 0: the bottom
        const QImage image = s.render();
        QCOMPARE(opaqueBounds(image), QRect(10, 30, 20, 10));
        QCOMPARE(boundsNear(image, Qt::green), QRect(10, 30, 20, 5)); // upright
        layer.removeFromSuperlayer();

        Layer &parent = s.add(QRectF(10, 10, 20, 20));
        s.add(QRectF(0, 0, 5, 5), solid(Qt::red), &parent);
        QCOMPARE(opaqueBounds(s.render()), QRect(10, 25, 5, 5));
        parent.setBounds(QRectF(-5, -5, 20, 20)); // moves with the bounds origin
        QCOMPARE(opaqueBounds(s.render()), QRect(15, 20, 5, 5));
    }

    void opacityAndHidingGoDownTheTree()
    {
        // parent, child opacity → alpha
        const QList<std::tuple<float, float, int>> rows = {
            {1.0f, 1.0f, 255}, {0.5f, 1.0f, 128}, {0.5f, 0.5f, 64}, {0.0f, 1.0f, 0},
            {2.0f, 0.5f, 128}, {std::nanf(""), 1.0f, 0}};
        for (const auto &[parentOpacity, childOpacity, alpha] : rows) {
            LayerScene s(QSizeF(20, 20));
            Layer &parent = s.add(QRectF(0, 0, 20, 20));
            parent.setOpacity(parentOpacity);
            s.add(QRectF(5, 5, 10, 10), solid(Qt::white), &parent).setOpacity(childOpacity);
            const QImage image = s.render();
            QVERIFY(std::abs(qAlpha(image.pixel(10, 10)) - alpha) <= 2);
            QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
        }
        LayerScene s(QSizeF(20, 20));
        Layer &parent = s.add(QRectF(0, 0, 20, 20));
        parent.setBackgroundColor(Qt::red);
        Layer &child = s.add(QRectF(5, 5, 10, 10), solid(Qt::white), &parent);
        parent.setHidden(true);
        QVERIFY(opaqueBounds(s.render()).isEmpty());
        parent.setHidden(false);
        child.setHidden(true);
        QCOMPARE(boundsNear(s.render(), Qt::white), QRect());
        QVERIFY(!opaqueBounds(s.render()).isEmpty());
    }

    void turnShrinksTheFarEdgeAboutTheAnchor()
    {
        // The two poses of the turned cover: about its right edge with m34
        // +1/600, about its left edge with −1/600; the other edge recedes.
        for (const bool pivotRight : {true, false}) {
            LayerScene s(QSizeF(400, 400));
            Layer &cover = s.add(QRectF(100, 100, 200, 200), solid(Qt::white, QSize(64, 64)));
            cover.setAnchorPoint(QPointF(pivotRight ? 1.0 : 0.0, 0.8));
            cover.setTransform(turn(20, pivotRight ? 1.0 / 600 : -1.0 / 600));
            const QImage image = s.render();
            const auto pivot = columnExtent(image, pivotRight ? 297 : 102);
            QVERIFY(std::abs(pivot.first - 100) <= 1 && std::abs(pivot.second - 299) <= 1);
            const QRect drawn = opaqueBounds(image);
            const auto far = columnExtent(image, pivotRight ? drawn.left() + 2 : drawn.right() - 2);
            // 200 / (1 + 200 sin 20° / 600) ≈ 179, shrunk towards the anchor 0.8 up.
            QVERIFY2(std::abs(far.second - far.first + 1 - 179) <= 3, qPrintable(QString::number(far.second - far.first)));
            QVERIFY(299 - far.second > 3 * (far.first - 100) && far.first > 100);
            QVERIFY(drawn.width() < 195);
        }
        // A layer whose far edge passes behind the eye is left out.
        LayerScene s(QSizeF(100, 100));
        Layer &layer = s.add(QRectF(0, 0, 100, 100), solid(Qt::white));
        layer.setAnchorPoint(QPointF(0, 0.5));
        layer.setTransform(turn(80, 1.0 / 50));
        QVERIFY(opaqueBounds(s.render()).isEmpty());
        // A drifting cover far larger than the view costs no more than the view.
        LayerScene huge(QSizeF(64, 64));
        huge.add(QRectF(-50000, -50000, 100000, 100000), twoTone(QSize(64, 64))).setTransform(turn(1, -1.0 / 600000));
        QCOMPARE(opaqueBounds(huge.render()), QRect(0, 0, 64, 64));
    }

    void projectionsAreCachedAndReused()
    {
        LayerScene s(QSizeF(200, 200), Qt::black);
        Layer &cover = s.add(QRectF(40.5, 40.25, 100, 100), twoTone(QSize(256, 256)));
        cover.setAnchorPoint(QPointF(0.0, 0.8));
        cover.setTransform(turn(12, -1.0 / 600));
        cover.setOpacity(0.7f);
        const QImage first = s.render();
        QCOMPARE(s.compositor.lastStatistics().cacheBuilds, 1);
        QCOMPARE(maxDifference(s.render(), first), 0);
        QCOMPARE(s.compositor.lastStatistics().cacheBuilds, 0);
        // A fade and a whole-pixel move blit the same projection, pixel for pixel.
        cover.setOpacity(0.4f);
        s.render();
        cover.setFrame(QRectF(47.5, 31.25, 100, 100));
        const QImage moved = s.render();
        QCOMPARE(s.compositor.lastStatistics().cacheBuilds, 0);
        s.compositor.dropCaches();
        QCOMPARE(maxDifference(moved, s.render()), 0);
        // A new picture or a new pose projects again.
        cover.setContents(twoTone(QSize(128, 128)));
        s.render();
        QCOMPARE(s.compositor.lastStatistics().cacheBuilds, 1);
        cover.setTransform(turn(18, -1.0 / 600));
        s.render();
        QCOMPARE(s.compositor.lastStatistics().cacheBuilds, 1);
    }

    // A drawing that needs several projections makes them side by side; the
    // picture is the one they make one at a time, and a layer that paints
    // itself is painted in the same drawing.
    void projectionsMadeSideBySideMatchOneAtATime()
    {
        const auto build = [](LayerScene &s) {
            std::vector<Layer *> layers;
            for (int i = 0; i < 3; ++i) {
                Layer &layer = s.add(QRectF(10 + 95 * i, 30.5, 80, 120), twoTone(QSize(160 + 40 * i, 240)));
                layer.setAnchorPoint(QPointF(i % 2, 0.8));
                layer.setTransform(turn(10 + 8 * i, -1.0 / 600));
                layer.setOpacity(0.9f);
                layers.push_back(&layer);
            }
            return layers;
        };
        LayerScene together(QSizeF(300, 200), Qt::black);
        build(together);
        CountingLayer painted;
        together.place(painted, QRectF(20, 160, 260, 20));
        const QImage all = together.render();
        QCOMPARE(together.compositor.lastStatistics().cacheBuilds, 4);
        QCOMPARE(painted.paintings, 1);

        LayerScene apart(QSizeF(300, 200), Qt::black);
        const std::vector<Layer *> layers = build(apart);
        for (Layer *layer : layers)
            layer->setHidden(true);
        for (Layer *layer : layers) {
            layer->setHidden(false);
            apart.render();
            QCOMPARE(apart.compositor.lastStatistics().cacheBuilds, 1);
        }
        CountingLayer paintedApart;
        apart.place(paintedApart, QRectF(20, 160, 260, 20));
        QCOMPARE(maxDifference(apart.render(), all), 0);
    }

    void damageCoversWhatChanged()
    {
        LayerScene s(QSizeF(64, 48));
        Layer &cover = s.add(QRectF(8, 8, 16, 16), solid(Qt::white));
        Layer &label = s.add(QRectF(40, 30, 10, 10), solid(Qt::red));
        QCOMPARE(s.damage(), QRegion(0, 0, 64, 48)); // the first picture is all new
        QVERIFY(s.damage().isEmpty());
        // Setting what is already there changes nothing.
        cover.setOpacity(1.0f);
        cover.setFrame(QRectF(8, 8, 16, 16));
        cover.setContents(cover.contents());
        QVERIFY(!s.compositor.needsRedraw());
        // Old and new places, y down.
        const QList<QPair<std::function<void()>, QRegion>> changes = {
            {[&] { cover.setOpacity(0.5f); }, QRegion(8, 24, 16, 16)},
            {[&] { cover.setFrame(QRectF(12, 8, 16, 16)); }, QRegion(8, 24, 20, 16)},
            {[&] { label.removeFromSuperlayer(); }, QRegion(40, 8, 10, 10)},
        };
        for (const auto &[change, region] : changes) {
            change();
            QCOMPARE(s.compositor.damage(s.view), region);
            s.damage();
        }
        QVERIFY(!s.compositor.needsRedraw());
        QCOMPARE(s.compositor.damage(QSizeF(80, 48)), QRegion(0, 0, 80, 48)); // a new view size
    }

    void retainedPictureMatchesAFreshOne()
    {
        LayerScene s(QSizeF(120, 90), Qt::black);
        Layer &reflection = s.add(QRectF(20, 0, 40, 52), twoTone(QSize(40, 52)));
        reflection.setAnchorPoint(QPointF(1.0, 1.4));
        reflection.setTransform(turn(10, 1.0 / 500));
        Layer &cover = s.add(QRectF(20, 40, 40, 40), solid(Qt::white));
        cover.setAnchorPoint(QPointF(1.0, 0.8));
        cover.setTransform(turn(10, 1.0 / 600));
        CountingLayer bar; // paints itself, only when asked: a fade is a blit
        s.place(bar, QRectF(70, 20, 40, 6));
        s.damage();
        QCOMPARE(boundsNear(s.frame, Qt::yellow), QRect(70, 64, 40, 6));
        // A fade, a move, a repaint, a removal and a restacking, one frame each;
        // whether the bar paints again in it.
        const QList<QPair<std::function<void()>, int>> frames = {
            {[&] { cover.setOpacity(0.3f); reflection.setOpacity(0.3f); bar.setOpacity(0.6f); }, 0},
            {[&] { cover.setFrame(QRectF(26, 44, 40, 40)); }, 0},
            {[&] { bar.colour = Qt::magenta; bar.setNeedsDisplay(); }, 1},
            {[&] { reflection.removeFromSuperlayer(); }, 0},
            {[&] { s.tree.root().insertSublayer(&reflection, 2); bar.setHidden(true); }, 0},
        };
        for (const auto &[change, paints] : frames) {
            const int before = bar.paintings;
            change();
            s.damage();
            QCOMPARE(bar.paintings - before, paints);
            QCOMPARE(maxDifference(s.frame, Compositor(s.tree).renderImage(QSize(120, 90))), 0);
        }
    }

    // Pictures made in whole pixels for a fractional frame (a cover of
    // 200.4 points is 201 pixels) are drawn 1:1 at the nearest pixel.
    void flatContentsAreDrawnOneToOneAtAWholePixel_data()
    {
        QTest::addColumn<QRectF>("frame"); // y up, in a 400 × 300 view
        QTest::addColumn<bool>("checker");
        QTest::newRow("whole pixels") << QRectF(20, 30, 200, 150) << true;
        QTest::newRow("fractional place") << QRectF(20.3, 30.7, 200, 150) << true;
        QTest::newRow("half a pixel") << QRectF(20.5, 30.5, 200, 150) << true;
        QTest::newRow("rounded-up size") << QRectF(20.29, 30.62, 200.4, 149.3) << false;
        QTest::newRow("scale 0.9995") << QRectF(0.4, 12.2, 398.8, 150) << false;
    }
    void flatContentsAreDrawnOneToOneAtAWholePixel()
    {
        QFETCH(QRectF, frame);
        QFETCH(bool, checker);
        const double H = 300;
        const QSize pixels(int(std::ceil(frame.width() - 1e-9)), int(std::ceil(frame.height() - 1e-9)));
        const QImage contents = checker ? checkerboard(pixels) : ramp(pixels);
        LayerScene scene(QSizeF(400, H));
        scene.add(frame, contents);
        const QImage drawn = scene.render();
        QCOMPARE(scene.compositor.lastStatistics().directBlits, 1);
        QCOMPARE(scene.compositor.lastStatistics().cacheBuilds, 0);

        // Moved at most half a pixel from where the frame puts it.
        const QRectF exact(frame.x(), H - frame.bottom(), frame.width(), frame.height());
        const QRect at = opaqueBounds(drawn);
        QVERIFY2(std::abs(at.x() - exact.x()) <= 0.5 && std::abs(at.y() - exact.y()) <= 0.5,
                 qPrintable(QStringLiteral("at %1,%2").arg(at.x()).arg(at.y())));
        QCOMPARE(at.size(), pixels);
        if (checker) {
            QCOMPARE(drawn.copy(at), contents); // not a level off
            return;
        }
        // As the projection draws it, off its edge.
        QImage projected(drawn.size(), QImage::Format_ARGB32_Premultiplied);
        projected.fill(Qt::transparent);
        {
            QPainter painter(&projected);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(exact, contents);
        }
        const QRect inside = exact.toRect().adjusted(2, 2, -2, -2);
        QVERIFY(maxDifference(drawn.copy(inside), projected.copy(inside)) <= 2);
    }

    void layerLifetimes()
    {
        LayerScene s(QSizeF(20, 20));
        auto parent = std::make_unique<Layer>();
        s.place(*parent, QRectF(0, 0, 20, 20));
        Layer child;
        s.place(child, QRectF(0, 0, 10, 10), solid(Qt::white), parent.get());
        // No cycles, no missing layers.
        child.addSublayer(parent.get());
        child.addSublayer(nullptr);
        QCOMPARE(child.sublayers().size(), 0);
        QVERIFY(child.isDescendantOf(&s.tree.root()));
        s.damage();
        parent.reset(); // leaves the tree, orphans the child
        QVERIFY(child.superlayer() == nullptr && s.tree.root().sublayers().isEmpty());
        QCOMPARE(s.compositor.damage(s.view), QRegion(0, 10, 10, 10));
        s.damage();
        QVERIFY(opaqueBounds(s.frame).isEmpty());
    }
};

QTEST_MAIN(TestCompositor)
#include "tst_compositor.moc"
