#include "render/Compositor.h"

#include "platform/Log.h"
#include "render/Layer.h"
#include "render/LayerGeometry.h"
#include "render/LayerTree.h"

#include <QPainter>
#include <QPixmap>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <cmath>

namespace {

// A projection covers the visible part of its layer and this much around it,
// so a layer drifting a little reuses it; a layer larger than the screen
// never costs more than the screen and the margin.
constexpr int kCacheMarginPixels = 128;
// Contents more than this much larger than drawn are scaled down first (a
// bilinear projection of a far larger picture would alias).
constexpr double kPrescaleThreshold = 1.25;
// Contents this close to their drawn scale are drawn 1:1.
constexpr double kDirectScaleTolerance = 1.0 / 1000.0;

QSize devicePixelSize(const QPaintDevice *device)
{
    const double ratio = device->devicePixelRatioF();
    switch (device->devType()) {
    case QInternal::Image:
        return static_cast<const QImage *>(device)->size();
    case QInternal::Pixmap:
        return static_cast<const QPixmap *>(device)->size();
    default:
        return QSize(int(std::ceil(device->width() * ratio)), int(std::ceil(device->height() * ratio)));
    }
}

bool isIntegral(double value)
{
    return std::abs(value - std::round(value)) < 1e-6;
}

double distance(QPointF a, QPointF b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// The layer's own y-down points (0, 0 top-left) to its bounds coordinates.
QTransform yDownToBounds(const Layer &layer)
{
    const QRectF bounds = layer.bounds();
    return QTransform(1, 0, 0, -1, bounds.x(), bounds.y() + bounds.height());
}

} // namespace

Compositor::Compositor(LayerTree &tree)
    : m_tree(tree)
{
}

Compositor::~Compositor() = default; // the helper pool is complete here

bool Compositor::needsRedraw() const
{
    return m_tree.needsRedraw();
}

QRegion Compositor::damage(const QSizeF &viewSize) const
{
    return m_tree.damage(viewSize);
}

void Compositor::render(QPainter &painter, const QSizeF &viewSize)
{
    drawTree(painter, viewSize);
    m_tree.markPresented(viewSize);
}

QRegion Compositor::renderDamage(QImage &frame)
{
    const QSizeF viewSize = frame.deviceIndependentSize();
    const QRegion region = m_tree.damage(viewSize);
    if (region.isEmpty()) {
        m_statistics = Statistics();
        m_tree.markPresented(viewSize);
        return region;
    }
    QPainter painter(&frame);
    painter.setClipRegion(region);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect &rect : region)
        painter.fillRect(rect, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawTree(painter, viewSize);
    painter.end();
    m_tree.markPresented(viewSize);
    return region;
}

QImage Compositor::renderImage(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        qCWarning(lcRender, "compositor: cannot make a %dx%d picture", size.width(), size.height());
        return image;
    }
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawTree(painter, QSizeF(size));
    return image;
}

void Compositor::dropCaches()
{
    QList<Layer *> pending{&m_tree.root()};
    while (!pending.isEmpty()) {
        Layer *layer = pending.takeLast();
        layer->m_cache.dropImages();
        pending.append(layer->sublayers());
    }
}

void Compositor::drawTree(QPainter &painter, const QSizeF &viewSize)
{
    m_statistics = Statistics();
    QPaintDevice *device = painter.device();
    if (!device || !painter.isActive() || viewSize.isEmpty())
        return;

    painter.save();
    const double ratio = device->devicePixelRatioF();
    const QTransform viewToDevice = painter.worldTransform() * QTransform::fromScale(ratio, ratio);

    Target target;
    target.devicePixels = QRect(QPoint(0, 0), devicePixelSize(device));
    target.clipPixels = target.devicePixels;
    if (painter.hasClipping())
        target.clipPixels &= viewToDevice.mapRect(painter.clipBoundingRect()).toAlignedRect();
    target.deviceToPainter = QTransform::fromScale(1.0 / ratio, 1.0 / ratio);

    painter.setWorldTransform(target.deviceToPainter);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QTransform rootToDevice = LayerGeometry::flipY(viewSize.height()) * viewToDevice;
    m_collecting = true;
    drawLayer(m_tree.root(), painter, rootToDevice, 1.0, target);
    m_collecting = false;
    buildProjections();
    drawLayer(m_tree.root(), painter, rootToDevice, 1.0, target);
    painter.restore();
}

void Compositor::buildProjections()
{
    std::vector<Projection> projections;
    projections.swap(m_projections);
    if (projections.size() < 2)
        return; // made as it is drawn
    if (!m_helpers) {
        m_helpers = std::make_unique<QThreadPool>();
        m_helpers->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
        m_helpers->setObjectName(QStringLiteral("projections"));
    }
    std::atomic<int> built{0};
    const auto build = [&built](const Projection &p) {
        if (buildCache(*p.layer, p.yDownToDevice, p.pixels, p.resolution))
            ++built;
    };
    for (size_t i = 1; i < projections.size(); ++i)
        m_helpers->start([&build, &projections, i] { build(projections[i]); });
    build(projections.front());
    m_helpers->waitForDone();
    m_statistics.cacheBuilds += built;
}

void Compositor::drawLayer(Layer &layer, QPainter &painter, const QTransform &superToDevice, double opacity,
                           const Target &target)
{
    if (layer.isHidden())
        return;
    opacity *= double(layer.opacity());
    if (opacity <= 0.0)
        return;

    const QTransform boundsToDevice = layer.localToSuperlayer() * superToDevice;
    const QRectF bounds = layer.bounds();
    if (!LayerGeometry::projectsInFront(boundsToDevice, bounds)) {
        if (!layer.m_cache.warnedUnprojectable)
            qCWarning(lcRender, "layer %s is turned past the eye and is not drawn", qPrintable(layer.name()));
        layer.m_cache.warnedUnprojectable = true;
        return;
    }
    layer.m_cache.warnedUnprojectable = false;

    const QRectF deviceBounds = LayerGeometry::mappedBounds(boundsToDevice, bounds);
    if (!deviceBounds.isEmpty() && deviceBounds.intersects(QRectF(target.clipPixels))) {
        painter.setOpacity(opacity);
        if (!m_collecting)
            drawBackground(layer, painter, boundsToDevice, target);
        if (layer.drawsItself() || !layer.contents().isNull()) {
            const QPointF travel = superToDevice.map(layer.expectedTravel()) - superToDevice.map(QPointF(0, 0));
            drawContent(layer, painter, boundsToDevice, deviceBounds, travel, target);
        }
    }

    for (Layer *child : std::as_const(layer.m_sublayers))
        drawLayer(*child, painter, boundsToDevice, opacity, target);
}

void Compositor::drawBackground(Layer &layer, QPainter &painter, const QTransform &boundsToDevice,
                                const Target &target)
{
    if (layer.backgroundColor().alpha() == 0)
        return;
    painter.save();
    painter.setWorldTransform(boundsToDevice * target.deviceToPainter);
    painter.setRenderHint(QPainter::Antialiasing, !boundsToDevice.isAffine()
                                                      || boundsToDevice.type() > QTransform::TxScale);
    painter.fillRect(layer.bounds(), layer.backgroundColor());
    painter.restore();
    ++m_statistics.layersDrawn;
}

void Compositor::drawContent(Layer &layer, QPainter &painter, const QTransform &boundsToDevice,
                             const QRectF &deviceBounds, QPointF deviceTravel, const Target &target)
{
    const QTransform yDownToDevice = yDownToBounds(layer) * boundsToDevice;
    if (!layer.drawsItself() && (m_collecting ? directPosition(layer, yDownToDevice).has_value()
                                              : drawDirect(layer, painter, yDownToDevice)))
        return;

    const QRect margin = target.devicePixels.adjusted(-kCacheMarginPixels, -kCacheMarginPixels,
                                                      kCacheMarginPixels, kCacheMarginPixels);
    const QRect needed = deviceBounds.toAlignedRect() & margin;
    if (needed.isEmpty())
        return;

    LayerCache &cache = layer.m_cache;
    QPointF move;
    const bool reusable = cache.valid && cache.sourceVersion == layer.m_contentVersion
        && cache.sourceSize == layer.bounds().size()
        && LayerGeometry::differsByTranslation(cache.deviceTransform, yDownToDevice, &move)
        && QRectF(cache.deviceRect).translated(move).contains(QRectF(needed) & QRectF(target.clipPixels));
    if (!reusable) {
        // What the view shows of the layer anywhere on its way: the view as
        // the layer sees it, swept back along the travel.
        const QRect swept = margin.united(margin.translated(-deviceTravel.toPoint()));
        const QRect path = deviceTravel.isNull() ? needed : deviceBounds.toAlignedRect() & swept;
        if (m_collecting) {
            if (!layer.drawsItself())
                m_projections.push_back({&layer, yDownToDevice, path, layer.cacheResolution()});
            return;
        }
        if (buildCache(layer, yDownToDevice, path, layer.cacheResolution()))
            ++m_statistics.cacheBuilds;
        move = QPointF();
    }
    if (m_collecting)
        return;
    if (cache.image.isNull())
        return;

    const QPointF at = QPointF(cache.deviceRect.topLeft()) + move;
    if (cache.resolution != 1.0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(at, QSizeF(cache.deviceRect.size())), cache.image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    } else if (isIntegral(move.x()) && isIntegral(move.y())) {
        painter.drawImage(at.toPoint(), cache.image);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(at, cache.image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
    ++m_statistics.layersDrawn;
}

std::optional<QPoint> Compositor::directPosition(const Layer &layer, const QTransform &yDownToDevice)
{
    // Contents at their drawn size, only moved, need no cache. "Their drawn
    // size" allows for pictures made in whole pixels for a fractional size
    // (rounded up) and for a scale within 1/1000 of one: such a picture
    // is drawn 1:1, its corner on the nearest device pixel, so it stays sharp
    // and moves at most half a pixel.
    const QImage &contents = layer.contents();
    const QSizeF size = layer.bounds().size();
    const QTransform imageToDevice = QTransform::fromScale(size.width() / contents.width(),
                                                           size.height() / contents.height())
        * yDownToDevice;
    if (imageToDevice.type() > QTransform::TxScale || imageToDevice.m11() <= 0 || imageToDevice.m22() <= 0)
        return std::nullopt;
    const double drawnWidth = imageToDevice.m11() * contents.width();
    const double drawnHeight = imageToDevice.m22() * contents.height();
    const auto nearlyOne = [](double scale) { return std::abs(scale - 1.0) <= kDirectScaleTolerance; };
    const bool sameScale = nearlyOne(imageToDevice.m11()) && nearlyOne(imageToDevice.m22());
    const auto roundedUp = [](int pixels, double drawn) { return pixels >= drawn - 1e-6 && pixels < drawn + 1.0; };
    const bool withinAPixel = roundedUp(contents.width(), drawnWidth) && roundedUp(contents.height(), drawnHeight);
    if (!sameScale && !withinAPixel)
        return std::nullopt;
    return QPoint(int(std::lround(imageToDevice.dx())), int(std::lround(imageToDevice.dy())));
}

bool Compositor::drawDirect(Layer &layer, QPainter &painter, const QTransform &yDownToDevice)
{
    const std::optional<QPoint> at = directPosition(layer, yDownToDevice);
    if (!at)
        return false;
    painter.drawImage(*at, layer.contents());
    layer.m_cache.dropImages(); // a former projection is of no more use
    ++m_statistics.layersDrawn;
    ++m_statistics.directBlits;
    return true;
}

// Touches only this layer and its cache: projections of different layers
// are made side by side.
bool Compositor::buildCache(Layer &layer, const QTransform &yDownToDevice, const QRect &pixels, double resolution)
{
    LayerCache &cache = layer.m_cache;
    cache.valid = false;
    const QSize size(std::max(1, int(std::ceil(pixels.width() * resolution))),
                     std::max(1, int(std::ceil(pixels.height() * resolution))));
    if (!cache.reuseBuffer(size)) {
        qCWarning(lcRender, "layer %s: cannot make a %dx%d projection", qPrintable(layer.name()), pixels.width(),
                  pixels.height());
        return false;
    }
    cache.image.fill(Qt::transparent);
    const QSizeF bounds = layer.bounds().size();
    const QTransform toImage = QTransform::fromTranslate(-pixels.x(), -pixels.y())
        * QTransform::fromScale(double(size.width()) / pixels.width(), double(size.height()) / pixels.height());
    {
        QPainter painter(&cache.image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform
                               | QPainter::TextAntialiasing);
        painter.setWorldTransform(yDownToDevice * toImage);
        if (layer.drawsItself()) {
            painter.setClipRect(QRectF(QPointF(0, 0), bounds));
            layer.draw(painter, bounds);
        } else {
            painter.drawImage(QRectF(QPointF(0, 0), bounds), prescaledContents(layer, yDownToDevice * toImage));
        }
    }
    cache.resolution = resolution;
    cache.deviceRect = pixels;
    cache.deviceTransform = yDownToDevice;
    cache.sourceVersion = layer.m_contentVersion;
    cache.sourceSize = bounds;
    cache.valid = true;
    return true;
}

const QImage &Compositor::prescaledContents(Layer &layer, const QTransform &yDownToDevice)
{
    const QImage &contents = layer.contents();
    const QSizeF size = layer.bounds().size();
    const QPointF topLeft = yDownToDevice.map(QPointF(0, 0));
    const QPointF topRight = yDownToDevice.map(QPointF(size.width(), 0));
    const QPointF bottomLeft = yDownToDevice.map(QPointF(0, size.height()));
    const QPointF bottomRight = yDownToDevice.map(QPointF(size.width(), size.height()));
    const QSize drawn(int(std::ceil(std::max(distance(topLeft, topRight), distance(bottomLeft, bottomRight)))),
                      int(std::ceil(std::max(distance(topLeft, bottomLeft), distance(topRight, bottomRight)))));
    if (drawn.isEmpty() || (contents.width() <= drawn.width() * kPrescaleThreshold
                            && contents.height() <= drawn.height() * kPrescaleThreshold))
        return contents;

    LayerCache &cache = layer.m_cache;
    if (cache.prescaled.isNull() || cache.prescaledSize != drawn || cache.prescaledVersion != layer.m_contentVersion) {
        const QSize target(std::min(drawn.width(), contents.width()), std::min(drawn.height(), contents.height()));
        cache.prescaled = contents.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        cache.prescaledSize = drawn;
        cache.prescaledVersion = layer.m_contentVersion;
    }
    return cache.prescaled;
}
