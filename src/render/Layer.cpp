#include "render/Layer.h"

#include "platform/Log.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

bool isFinite(const QRectF &rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width())
        && std::isfinite(rect.height());
}

} // namespace

Layer::Layer() = default;

Layer::~Layer()
{
    removeFromSuperlayer();
    for (Layer *child : std::as_const(m_sublayers))
        child->m_superlayer = nullptr;
}

void Layer::setFrame(const QRectF &frame)
{
    if (!isFinite(frame)) {
        qCWarning(lcRender, "layer %s: ignoring a frame with non-finite values", qPrintable(m_name));
        return;
    }
    if (frame == m_frame)
        return;
    m_frame = frame;
    markChanged(SubtreeChange);
}

void Layer::setBounds(const QRectF &bounds)
{
    if (!isFinite(bounds)) {
        qCWarning(lcRender, "layer %s: ignoring bounds with non-finite values", qPrintable(m_name));
        return;
    }
    if (bounds == this->bounds())
        return;
    m_boundsOrigin = bounds.topLeft();
    m_frame.setSize(bounds.size());
    markChanged(SubtreeChange);
}

void Layer::setAnchorPoint(const QPointF &unitPoint)
{
    if (!std::isfinite(unitPoint.x()) || !std::isfinite(unitPoint.y())) {
        qCWarning(lcRender, "layer %s: ignoring a non-finite anchor point", qPrintable(m_name));
        return;
    }
    if (unitPoint == m_anchorPoint)
        return;
    m_anchorPoint = unitPoint;
    markChanged(SubtreeChange);
}

void Layer::setTransform(const Transform3D &transform)
{
    if (transform == m_transform)
        return;
    m_transform = transform;
    markChanged(SubtreeChange);
}

void Layer::setOpacity(float opacity)
{
    const float clamped = std::isnan(opacity) ? 0.0f : std::clamp(opacity, 0.0f, 1.0f);
    if (clamped == m_opacity)
        return;
    m_opacity = clamped;
    markChanged(SubtreeChange);
}

void Layer::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    markChanged(SubtreeChange);
}

void Layer::setBackgroundColor(const QColor &colour)
{
    if (colour == m_backgroundColor)
        return;
    m_backgroundColor = colour;
    markChanged(ContentChange);
}

void Layer::setContents(const QImage &image)
{
    // Setting the same picture again (the layout does, every cycle) keeps the cache.
    if (image.cacheKey() == m_contents.cacheKey() && image.isNull() == m_contents.isNull())
        return;
    m_contents = image;
    ++m_contentVersion;
    m_cache.prescaled = QImage();
    markChanged(ContentChange);
}

void Layer::setNeedsDisplay()
{
    ++m_contentVersion;
    markChanged(ContentChange);
}

void Layer::setExpectedTravel(QPointF travel, double resolution)
{
    if (!std::isfinite(travel.x()) || !std::isfinite(travel.y()))
        travel = QPointF();
    resolution = std::isfinite(resolution) ? std::clamp(resolution, 0.05, 1.0) : 1.0;
    if (travel == m_expectedTravel && resolution == m_cacheResolution)
        return;
    m_expectedTravel = travel;
    m_cacheResolution = resolution;
    // The next projection is made for the new path (the picture is the same).
    m_cache.valid = false;
}

void Layer::draw(QPainter &, const QSizeF &) const
{
}

void Layer::addSublayer(Layer *layer)
{
    insertSublayer(layer, m_sublayers.size());
}

void Layer::insertSublayer(Layer *layer, qsizetype index)
{
    if (!layer || layer == this || isDescendantOf(layer)) {
        qCWarning(lcRender, "layer %s: refusing to add a missing layer or an ancestor", qPrintable(m_name));
        return;
    }
    layer->removeFromSuperlayer();
    index = std::clamp<qsizetype>(index, 0, m_sublayers.size());
    m_sublayers.insert(index, layer);
    layer->m_superlayer = this;
    // It shows in a new place: all of it is damage there.
    layer->markChanged(SubtreeChange);
    markChanged(ChildrenChange);
}

void Layer::removeFromSuperlayer()
{
    if (m_superlayer)
        m_superlayer->detachChild(this);
}

void Layer::detachChild(Layer *child)
{
    if (!m_sublayers.removeOne(child))
        return;
    child->collectPresented(m_vacatedRects);
    child->m_superlayer = nullptr;
    child->markChanged(SubtreeChange);
    markChanged(ChildrenChange);
}

void Layer::collectPresented(QList<QRectF> &rects) const
{
    if (!m_cache.presentedRect.isEmpty())
        rects.append(m_cache.presentedRect);
    rects.append(m_vacatedRects);
    for (const Layer *child : m_sublayers)
        child->collectPresented(rects);
}

bool Layer::isDescendantOf(const Layer *ancestor) const
{
    for (const Layer *layer = m_superlayer; layer; layer = layer->m_superlayer) {
        if (layer == ancestor)
            return true;
    }
    return false;
}

QTransform Layer::localToSuperlayer() const
{
    const double w = m_frame.width();
    const double h = m_frame.height();
    const QPointF pivot(m_anchorPoint.x() * w, m_anchorPoint.y() * h);
    QTransform result = QTransform::fromTranslate(-m_boundsOrigin.x() - pivot.x(), -m_boundsOrigin.y() - pivot.y());
    if (!m_transform.isIdentity())
        result *= m_transform.toPlanar();
    result *= QTransform::fromTranslate(m_frame.x() + pivot.x(), m_frame.y() + pivot.y());
    return result;
}

void Layer::markChanged(unsigned change)
{
    m_changes |= change;
    markSubtreeDirty();
}

void Layer::markSubtreeDirty()
{
    for (Layer *layer = this; layer; layer = layer->m_superlayer) {
        if (layer != this && layer->m_subtreeDirty)
            break;
        layer->m_subtreeDirty = true;
    }
}
