#include "RenderPixels.h"

#include "render/Compositor.h"
#include "render/Layer.h"
#include "render/LayerTree.h"

#include <QPainter>
#include <QTest>
#include <cmath>
#include <functional>
#include <memory>

using namespace RenderPixels;

namespace {

// A turn as the layouts build it: perspective first, then the turn about
// the vertical axis applied before it.
Transform3D turn(double degrees, double m34)
{
    return Transform3D::perspective(m34).rotated(degrees * M_PI / 180.0, 0, 1, 0);
}

// A layer that paints itself in one colour and counts its paintings.
class CountingLayer : public Layer
{
public:
    mutable int paintings = 0;
    QColor colour = Qt::green;

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

} // namespace

class TestCompositor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void contentsLandAtTheFrameYUp();
    void sublayersUseTheBoundsCoordinates();
    void opacityMultipliesDownTheTree_data();
    void opacityMultipliesDownTheTree();
    void hiddenLayersDrawNothing();
    void turnShrinksTheFarEdgeAboutTheAnchor_data();
    void turnShrinksTheFarEdgeAboutTheAnchor();
    void aLayerTurnedPastTheEyeIsLeftOut();
    void cachedProjectionsDrawTheSamePixels();
    void fadesAndMovesReuseTheProjection();
    void selfPaintingLayersPaintOnlyWhenAsked();
    void unchangedTreeHasNoDamage();
    void damageCoversOldAndNewPlaces();
    void retainedPictureMatchesAFreshOne();
    void hugeLayersCostNoMoreThanTheView();
    void layerLifetimes();
};

void TestCompositor::contentsLandAtTheFrameYUp()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(40, 40));
    Layer layer;
    layer.setFrame(QRectF(10, 0, 20, 10)); // y = 0: the bottom of the view
    layer.setContents(twoTone(QSize(20, 10)));
    tree.root().addSublayer(&layer);

    const QImage image = Compositor(tree).renderImage(QSize(40, 40));
    QCOMPARE(opaqueBounds(image), QRect(10, 30, 20, 10));
    // Upright: the picture's top half is on top.
    QCOMPARE(boundsNear(image, Qt::green), QRect(10, 30, 20, 5));
    QCOMPARE(boundsNear(image, Qt::blue), QRect(10, 35, 20, 5));
}

void TestCompositor::sublayersUseTheBoundsCoordinates()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(40, 40));
    Layer parent;
    parent.setFrame(QRectF(10, 10, 20, 20));
    Layer child;
    child.setFrame(QRectF(0, 0, 5, 5));
    child.setContents(solid(Qt::red));
    parent.addSublayer(&child);
    tree.root().addSublayer(&parent);
    Compositor compositor(tree);

    // At the parent's bottom-left corner...
    QCOMPARE(opaqueBounds(compositor.renderImage(QSize(40, 40))), QRect(10, 25, 5, 5));
    // ...and moved with the parent's bounds origin, the way a scrolled view moves.
    parent.setBounds(QRectF(-5, -5, 20, 20));
    QCOMPARE(opaqueBounds(compositor.renderImage(QSize(40, 40))), QRect(15, 20, 5, 5));
}

void TestCompositor::opacityMultipliesDownTheTree_data()
{
    QTest::addColumn<float>("parentOpacity");
    QTest::addColumn<float>("childOpacity");
    QTest::addColumn<int>("alpha");
    QTest::newRow("both opaque") << 1.0f << 1.0f << 255;
    QTest::newRow("parent half") << 0.5f << 1.0f << 128;
    QTest::newRow("both half") << 0.5f << 0.5f << 64;
    QTest::newRow("parent clear") << 0.0f << 1.0f << 0;
    QTest::newRow("out of range is clamped") << 2.0f << 0.5f << 128;
    QTest::newRow("NaN reads as clear") << std::nanf("") << 1.0f << 0;
}

void TestCompositor::opacityMultipliesDownTheTree()
{
    QFETCH(float, parentOpacity);
    QFETCH(float, childOpacity);
    QFETCH(int, alpha);

    LayerTree tree;
    tree.setViewSize(QSizeF(20, 20));
    Layer parent; // a container with nothing of its own
    parent.setFrame(QRectF(0, 0, 20, 20));
    parent.setOpacity(parentOpacity);
    Layer child;
    child.setFrame(QRectF(5, 5, 10, 10));
    child.setContents(solid(Qt::white));
    child.setOpacity(childOpacity);
    parent.addSublayer(&child);
    tree.root().addSublayer(&parent);

    const QImage image = Compositor(tree).renderImage(QSize(20, 20));
    QVERIFY(std::abs(qAlpha(image.pixel(10, 10)) - alpha) <= 2);
    QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
}

void TestCompositor::hiddenLayersDrawNothing()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(20, 20));
    Layer parent;
    parent.setFrame(QRectF(0, 0, 20, 20));
    parent.setBackgroundColor(Qt::red);
    Layer child;
    child.setFrame(QRectF(5, 5, 10, 10));
    child.setContents(solid(Qt::white));
    parent.addSublayer(&child);
    tree.root().addSublayer(&parent);
    Compositor compositor(tree);
    QVERIFY(!opaqueBounds(compositor.renderImage(QSize(20, 20))).isEmpty());

    parent.setHidden(true);
    QVERIFY(opaqueBounds(compositor.renderImage(QSize(20, 20))).isEmpty());
    parent.setHidden(false);
    child.setHidden(true);
    QCOMPARE(boundsNear(compositor.renderImage(QSize(20, 20)), Qt::white), QRect());
}

void TestCompositor::turnShrinksTheFarEdgeAboutTheAnchor_data()
{
    QTest::addColumn<double>("anchorX");
    QTest::addColumn<double>("m34");
    QTest::addColumn<bool>("pivotOnTheRight");
    // The two poses of the turned cover: about its right edge with m34 +1/600,
    // about its left edge with −1/600; either way the other edge recedes.
    QTest::newRow("about the right edge") << 1.0 << 1.0 / 600 << true;
    QTest::newRow("about the left edge") << 0.0 << -1.0 / 600 << false;
}

void TestCompositor::turnShrinksTheFarEdgeAboutTheAnchor()
{
    QFETCH(double, anchorX);
    QFETCH(double, m34);
    QFETCH(bool, pivotOnTheRight);

    LayerTree tree;
    tree.setViewSize(QSizeF(400, 400));
    Layer cover;
    cover.setFrame(QRectF(100, 100, 200, 200));
    cover.setContents(solid(Qt::white, QSize(64, 64)));
    cover.setAnchorPoint(QPointF(anchorX, 0.8));
    cover.setTransform(turn(20, m34));
    tree.root().addSublayer(&cover);
    const QImage image = Compositor(tree).renderImage(QSize(400, 400));

    const int pivotColumn = pivotOnTheRight ? 297 : 102;
    const auto near = columnExtent(image, pivotColumn);
    // The pivot edge stays where the frame put it, full height.
    QVERIFY2(std::abs(near.first - 100) <= 1 && std::abs(near.second - 299) <= 1,
             qPrintable(QStringLiteral("pivot edge %1..%2").arg(near.first).arg(near.second)));

    const QRect drawn = opaqueBounds(image);
    const int farColumn = pivotOnTheRight ? drawn.left() + 2 : drawn.right() - 2;
    const auto far = columnExtent(image, farColumn);
    const int farHeight = far.second - far.first + 1;
    // 200 / (1 + 200 sin 20° / 600) ≈ 179.
    QVERIFY2(std::abs(farHeight - 179) <= 3, qPrintable(QString::number(farHeight)));
    // The far edge shrinks towards the pivot, 0.8 of the height up from the
    // bottom: four times as much from below as from above.
    const int fromBelow = 299 - far.second;
    const int fromAbove = far.first - 100;
    QVERIFY2(fromBelow > 3 * fromAbove && fromAbove > 0,
             qPrintable(QStringLiteral("%1 from below, %2 from above").arg(fromBelow).arg(fromAbove)));
    // Foreshortened: narrower than the frame.
    QVERIFY(drawn.width() < 195);
}

void TestCompositor::aLayerTurnedPastTheEyeIsLeftOut()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(100, 100));
    Layer layer;
    layer.setFrame(QRectF(0, 0, 100, 100));
    layer.setContents(solid(Qt::white));
    layer.setAnchorPoint(QPointF(0, 0.5));
    layer.setTransform(turn(80, 1.0 / 50)); // its far edge passes behind the eye
    tree.root().addSublayer(&layer);
    QVERIFY(opaqueBounds(Compositor(tree).renderImage(QSize(100, 100))).isEmpty());
}

void TestCompositor::cachedProjectionsDrawTheSamePixels()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(160, 120));
    tree.root().setBackgroundColor(Qt::black);
    Layer cover;
    cover.setFrame(QRectF(30.5, 20.25, 80, 80));
    cover.setContents(twoTone(QSize(300, 300)));
    cover.setAnchorPoint(QPointF(1.0, 0.8));
    cover.setTransform(turn(6, 1.0 / 600));
    cover.setOpacity(0.7f);
    tree.root().addSublayer(&cover);

    Compositor compositor(tree);
    const QImage first = compositor.renderImage(QSize(160, 120));
    QCOMPARE(compositor.lastStatistics().cacheBuilds, 1);
    const QImage cached = compositor.renderImage(QSize(160, 120));
    QCOMPARE(compositor.lastStatistics().cacheBuilds, 0);
    compositor.dropCaches();
    const QImage fresh = compositor.renderImage(QSize(160, 120));
    QCOMPARE(compositor.lastStatistics().cacheBuilds, 1);
    QCOMPARE(maxDifference(cached, first), 0);
    QCOMPARE(maxDifference(cached, fresh), 0);
}

void TestCompositor::fadesAndMovesReuseTheProjection()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(200, 200));
    Layer cover;
    cover.setFrame(QRectF(40, 40, 100, 100));
    cover.setContents(twoTone(QSize(256, 256)));
    cover.setAnchorPoint(QPointF(0.0, 0.8));
    cover.setTransform(turn(12, -1.0 / 600));
    tree.root().addSublayer(&cover);
    Compositor compositor(tree);
    compositor.renderImage(QSize(200, 200));

    cover.setOpacity(0.4f);
    compositor.renderImage(QSize(200, 200));
    QCOMPARE(compositor.lastStatistics().cacheBuilds, 0);

    // A whole-pixel move is a blit of the same projection, pixel for pixel.
    cover.setFrame(QRectF(47, 31, 100, 100));
    const QImage moved = compositor.renderImage(QSize(200, 200));
    QCOMPARE(compositor.lastStatistics().cacheBuilds, 0);
    compositor.dropCaches();
    QCOMPARE(maxDifference(moved, compositor.renderImage(QSize(200, 200))), 0);

    // A new picture or a new pose projects again.
    cover.setContents(twoTone(QSize(128, 128)));
    compositor.renderImage(QSize(200, 200));
    QCOMPARE(compositor.lastStatistics().cacheBuilds, 1);
    cover.setTransform(turn(18, -1.0 / 600));
    compositor.renderImage(QSize(200, 200));
    QCOMPARE(compositor.lastStatistics().cacheBuilds, 1);
}

void TestCompositor::selfPaintingLayersPaintOnlyWhenAsked()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(50, 50));
    CountingLayer bar;
    bar.setFrame(QRectF(5, 5, 40, 10));
    tree.root().addSublayer(&bar);
    Compositor compositor(tree);

    const QImage first = compositor.renderImage(QSize(50, 50));
    QCOMPARE(bar.paintings, 1);
    QCOMPARE(boundsNear(first, Qt::green), QRect(5, 35, 40, 10));

    bar.setOpacity(0.5f); // a fade is a blit
    compositor.renderImage(QSize(50, 50));
    QCOMPARE(bar.paintings, 1);

    bar.colour = Qt::red;
    bar.setNeedsDisplay();
    bar.setOpacity(1.0f);
    const QImage repainted = compositor.renderImage(QSize(50, 50));
    QCOMPARE(bar.paintings, 2);
    QCOMPARE(boundsNear(repainted, Qt::red), QRect(5, 35, 40, 10));
}

void TestCompositor::unchangedTreeHasNoDamage()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(64, 48));
    tree.root().setBackgroundColor(Qt::black);
    Layer cover;
    cover.setFrame(QRectF(8, 8, 16, 16));
    cover.setContents(solid(Qt::white));
    tree.root().addSublayer(&cover);
    Compositor compositor(tree);

    QImage frame(64, 48, QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(compositor.renderDamage(frame), QRegion(0, 0, 64, 48)); // the first picture is all new
    QVERIFY(!compositor.needsRedraw());
    QVERIFY(compositor.damage(QSizeF(64, 48)).isEmpty());
    QVERIFY(compositor.renderDamage(frame).isEmpty());

    // Setting what is already there changes nothing.
    cover.setOpacity(1.0f);
    cover.setFrame(QRectF(8, 8, 16, 16));
    cover.setContents(cover.contents());
    QVERIFY(!compositor.needsRedraw());

    // A new view size damages everything.
    QCOMPARE(compositor.damage(QSizeF(80, 48)), QRegion(0, 0, 80, 48));
}

void TestCompositor::damageCoversOldAndNewPlaces()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(64, 48));
    Layer cover;
    cover.setFrame(QRectF(8, 8, 16, 16));
    cover.setContents(solid(Qt::white));
    Layer label;
    label.setFrame(QRectF(40, 30, 10, 10));
    label.setContents(solid(Qt::red));
    tree.root().addSublayer(&cover);
    tree.root().addSublayer(&label);
    Compositor compositor(tree);
    QImage frame(64, 48, QImage::Format_ARGB32_Premultiplied);
    compositor.renderDamage(frame);

    cover.setOpacity(0.5f);
    QCOMPARE(compositor.damage(QSizeF(64, 48)), QRegion(8, 24, 16, 16)); // y-down
    compositor.renderDamage(frame);

    cover.setFrame(QRectF(12, 8, 16, 16));
    QCOMPARE(compositor.damage(QSizeF(64, 48)), QRegion(8, 24, 20, 16));
    compositor.renderDamage(frame);

    label.removeFromSuperlayer();
    QCOMPARE(compositor.damage(QSizeF(64, 48)), QRegion(40, 8, 10, 10));
    compositor.renderDamage(frame);
    QVERIFY(!compositor.needsRedraw());
}

void TestCompositor::retainedPictureMatchesAFreshOne()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(120, 90));
    tree.root().setBackgroundColor(Qt::black);
    Layer reflection;
    reflection.setFrame(QRectF(20, 0, 40, 52));
    reflection.setContents(twoTone(QSize(40, 52)));
    reflection.setAnchorPoint(QPointF(1.0, 1.4));
    reflection.setTransform(turn(10, 1.0 / 500));
    Layer cover;
    cover.setFrame(QRectF(20, 40, 40, 40));
    cover.setContents(solid(Qt::white));
    cover.setAnchorPoint(QPointF(1.0, 0.8));
    cover.setTransform(turn(10, 1.0 / 600));
    CountingLayer bar;
    bar.setFrame(QRectF(70, 20, 40, 6));
    tree.root().addSublayer(&reflection);
    tree.root().addSublayer(&cover);
    tree.root().addSublayer(&bar);
    Compositor compositor(tree);

    QImage frame(120, 90, QImage::Format_ARGB32_Premultiplied);
    compositor.renderDamage(frame);
    // A fade, a move, a repaint, a removal and a restacking, one frame each.
    const QList<std::function<void()>> frames = {
        [&] { cover.setOpacity(0.3f); reflection.setOpacity(0.3f); bar.setOpacity(0.6f); },
        [&] { cover.setFrame(QRectF(26, 44, 40, 40)); },
        [&] { bar.colour = Qt::magenta; bar.setNeedsDisplay(); },
        [&] { reflection.removeFromSuperlayer(); },
        [&] { tree.root().insertSublayer(&reflection, 2); bar.setHidden(true); },
    };
    for (const auto &change : frames) {
        change();
        compositor.renderDamage(frame);
        QCOMPARE(maxDifference(frame, Compositor(tree).renderImage(QSize(120, 90))), 0);
    }
}

void TestCompositor::hugeLayersCostNoMoreThanTheView()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(64, 64));
    Layer cover; // a drifting full-screen cover, far larger than the view
    cover.setFrame(QRectF(-50000, -50000, 100000, 100000));
    cover.setContents(twoTone(QSize(64, 64)));
    cover.setTransform(turn(1, -1.0 / 600000));
    tree.root().addSublayer(&cover);
    const QImage image = Compositor(tree).renderImage(QSize(64, 64));
    QCOMPARE(opaqueBounds(image), QRect(0, 0, 64, 64));
}

void TestCompositor::layerLifetimes()
{
    LayerTree tree;
    tree.setViewSize(QSizeF(20, 20));
    Compositor compositor(tree);
    auto parent = std::make_unique<Layer>();
    Layer child;
    child.setFrame(QRectF(0, 0, 10, 10));
    child.setContents(solid(Qt::white));
    parent->setFrame(QRectF(0, 0, 20, 20));
    parent->addSublayer(&child);
    tree.root().addSublayer(parent.get());

    // No cycles, no missing layers.
    child.addSublayer(parent.get());
    child.addSublayer(nullptr);
    QCOMPARE(child.sublayers().size(), 0);
    QVERIFY(child.isDescendantOf(&tree.root()));

    QImage frame(20, 20, QImage::Format_ARGB32_Premultiplied);
    compositor.renderDamage(frame);
    parent.reset(); // leaves the tree, orphans the child
    QVERIFY(child.superlayer() == nullptr);
    QVERIFY(tree.root().sublayers().isEmpty());
    QCOMPARE(compositor.damage(QSizeF(20, 20)), QRegion(0, 10, 10, 10));
    compositor.renderDamage(frame);
    QVERIFY(opaqueBounds(frame).isEmpty());
}

QTEST_MAIN(TestCompositor)
#include "tst_compositor.moc"
