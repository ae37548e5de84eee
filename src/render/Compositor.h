#pragma once

#include <QImage>
#include <QRegion>
#include <QSizeF>
#include <QTransform>
#include <memory>
#include <optional>
#include <vector>

class Layer;
class LayerTree;
class QPainter;
class QThreadPool;

// Draws a layer tree. The same drawing serves the window, snapshots and
// tests, so all of them see the same pixels.
//
// Each layer's contents are scaled down once to about the size they are
// drawn at and projected once into a device-pixel image (its cache), kept
// until the contents, the layer's size or its transform on the device change
// (a move alone reuses it). A layer that announces its travel gets one
// projection of its whole visible path. A frame that only fades layers is thus one alpha
// blit per layer; a frame that changes nothing costs nothing (needsRedraw()
// is false, and renderDamage() returns at once). Layers that paint themselves
// paint straight into their cache, only after setNeedsDisplay().
//
// A drawing that needs several projections of contents (a layout turns the
// cover and its reflection) makes them side by side, one on the calling
// thread and the others on the compositor's own helper threads, before it
// draws; layers that paint themselves are always painted on the calling
// thread.
//
// The view is `viewSize` points; the painter's user space is the view's,
// y-down, origin top-left (the tree's y-up coordinates are turned over here
// and nowhere else). The painter's device pixel ratio is honoured.
//
// Borrows the tree, which must outlive it. Same thread as the tree.
class Compositor
{
public:
    // Counts of the last drawing, for tests and benchmarks.
    struct Statistics
    {
        int layersDrawn = 0;   // layers that put pixels down
        int cacheBuilds = 0;   // projections or own drawings made afresh
        int directBlits = 0;   // contents drawn without a cache (pure moves)
    };

    explicit Compositor(LayerTree &tree);
    ~Compositor();

    bool needsRedraw() const;
    QRegion damage(const QSizeF &viewSize) const;

    // Draws the whole tree over what the painter's device holds (layers
    // outside the painter's clip are skipped), then marks the tree presented.
    void render(QPainter &painter, const QSizeF &viewSize);
    // Brings a retained picture of the view up to date: clears and redraws
    // only the damage, marks the tree presented, and returns the region
    // redrawn (view points). The view size is the image's device-independent
    // size.
    QRegion renderDamage(QImage &frame);
    // A fresh picture of the view at this size, transparent where nothing is
    // drawn. Does not mark the tree presented.
    QImage renderImage(const QSize &size);

    Statistics lastStatistics() const { return m_statistics; }
    // Frees every cached projection (they are rebuilt as needed).
    void dropCaches();

private:
    struct Target
    {
        QRect devicePixels;   // the whole device
        QRect clipPixels;     // the part being drawn
        QTransform deviceToPainter;
    };

    // A projection the drawing needs, found before drawing.
    struct Projection
    {
        Layer *layer = nullptr;
        QTransform yDownToDevice;
        QRect pixels;
        double resolution = 1.0;
    };

    void drawTree(QPainter &painter, const QSizeF &viewSize);
    void drawLayer(Layer &layer, QPainter &painter, const QTransform &superToDevice, double opacity,
                   const Target &target);
    void buildProjections();
    void drawBackground(Layer &layer, QPainter &painter, const QTransform &boundsToDevice, const Target &target);
    void drawContent(Layer &layer, QPainter &painter, const QTransform &boundsToDevice, const QRectF &deviceBounds,
                     QPointF deviceTravel, const Target &target);
    static std::optional<QPoint> directPosition(const Layer &layer, const QTransform &yDownToDevice);
    bool drawDirect(Layer &layer, QPainter &painter, const QTransform &yDownToDevice);
    static bool buildCache(Layer &layer, const QTransform &yDownToDevice, const QRect &pixels, double resolution);
    static const QImage &prescaledContents(Layer &layer, const QTransform &yDownToDevice);

    LayerTree &m_tree;
    Statistics m_statistics;
    // While drawTree looks for the projections to make, drawLayer collects
    // them here and paints nothing.
    bool m_collecting = false;
    std::vector<Projection> m_projections;
    std::unique_ptr<QThreadPool> m_helpers; // made on first need
};
