#include "render/LayerTree.h"

#include "render/LayerGeometry.h"

#include <cmath>

LayerTree::LayerTree()
{
    m_root.setName(QStringLiteral("root"));
}

LayerTree::~LayerTree()
{
    // The layers' owners may outlive the tree: cut them loose from the root.
    const QList<Layer *> children = m_root.sublayers();
    for (Layer *child : children)
        child->removeFromSuperlayer();
}

void LayerTree::setViewSize(const QSizeF &sizePoints)
{
    m_root.setFrame(QRectF(QPointF(0, 0), sizePoints));
}

bool LayerTree::needsRedraw() const
{
    return m_root.m_subtreeDirty;
}

QRegion LayerTree::damage(const QSizeF &viewSize) const
{
    const QRect viewRect = QRectF(QPointF(0, 0), viewSize).toAlignedRect();
    if (viewSize != m_presentedSize)
        return QRegion(viewRect);
    if (!needsRedraw())
        return QRegion();
    QList<QRectF> rects;
    walk(const_cast<Layer &>(m_root), LayerGeometry::flipY(viewSize.height()), true, false, &rects, false);
    QRegion region;
    for (const QRectF &rect : std::as_const(rects))
        region += rect.toAlignedRect() & viewRect;
    return region;
}

void LayerTree::markPresented(const QSizeF &viewSize)
{
    const bool resized = viewSize != m_presentedSize;
    if (!resized && !needsRedraw())
        return;
    m_presentedSize = viewSize;
    walk(m_root, LayerGeometry::flipY(viewSize.height()), true, resized, nullptr, true);
}

QRectF LayerTree::drawnRect(const Layer &layer, const QTransform &boundsToView)
{
    const bool drawsSomething = !layer.m_contents.isNull() || layer.m_backgroundColor.alpha() > 0
        || layer.drawsItself();
    if (!drawsSomething)
        return QRectF();
    const QRectF rect = LayerGeometry::mappedBounds(boundsToView, layer.bounds());
    // Contents drawn 1:1 at the nearest whole pixel (a picture in whole
    // pixels for a fractional frame) may reach a pixel past their bounds.
    const QSizeF pixels = layer.m_contents.size();
    const bool snapped = !layer.m_contents.isNull()
        && (QRectF(rect.toAlignedRect()) != rect
            || (pixels != rect.size() && std::abs(pixels.width() - rect.width()) < 1
                && std::abs(pixels.height() - rect.height()) < 1));
    return snapped ? rect.adjusted(-1, -1, 1, 1) : rect;
}

void LayerTree::walk(Layer &layer, const QTransform &superToView, bool visible, bool forced,
                     QList<QRectF> *damage, bool present)
{
    const bool changed = forced || layer.m_changes != Layer::NoChange;
    if (!changed && !layer.m_subtreeDirty)
        return;

    visible = visible && !layer.m_hidden && layer.m_opacity > 0.0f;
    const QTransform boundsToView = layer.localToSuperlayer() * superToView;
    if (changed) {
        const QRectF now = visible ? drawnRect(layer, boundsToView) : QRectF();
        if (damage) {
            damage->append(layer.m_cache.presentedRect);
            damage->append(now);
        }
        if (present)
            layer.m_cache.presentedRect = now;
    }
    if (damage)
        damage->append(layer.m_vacatedRects);

    const bool forceChildren = forced || (layer.m_changes & Layer::SubtreeChange);
    for (Layer *child : std::as_const(layer.m_sublayers))
        walk(*child, boundsToView, visible, forceChildren, damage, present);

    if (present) {
        layer.m_vacatedRects.clear();
        layer.m_changes = Layer::NoChange;
        layer.m_subtreeDirty = false;
    }
}
