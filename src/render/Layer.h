#pragma once

#include "render/LayerCache.h"
#include "render/Transform3D.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

// One retained layer of the display's picture.
//
// Picture model: the layer's untransformed rectangle is its frame (in its
// superlayer's coordinates); its contents image is stretched to that
// rectangle, upright; its transform is applied about its anchor point, a
// point in unit coordinates of the frame (0, 0 the bottom-left corner, 1, 1
// the top-right; values outside 0 … 1 lie outside the frame), with the
// perspective its m34 entry gives. Sublayers are placed in the layer's bounds
// coordinates and turn, move and fade with it; their opacity is multiplied by
// the layer's. Coordinates are points, y up, origin at the bottom left.
//
// Setting the frame keeps the anchor point: the anchor is only the pivot of
// the transform, it never moves the frame. Setting the bounds changes the
// frame's size (its origin stays) and the origin of the sublayers'
// coordinates.
//
// Ownership: a layer never owns its sublayers; whoever creates a layer owns
// it (the tree owns only its root). A layer that is destroyed leaves its
// superlayer and orphans its sublayers. Main thread (or the one thread that
// renders the tree) only.
//
// Layers that paint themselves (progress bar, clock, mosaic, lyrics) derive
// from Layer and override drawsItself() and draw(); they are redrawn only
// after setNeedsDisplay() or when their transform on the device changes.
class Layer
{
public:
    Layer();
    virtual ~Layer();
    Layer(const Layer &) = delete;
    Layer &operator=(const Layer &) = delete;

    // A name for logs and tests only.
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    QRectF frame() const { return m_frame; }
    // A frame with a non-finite coordinate is refused (and logged).
    void setFrame(const QRectF &frame);
    QRectF bounds() const { return QRectF(m_boundsOrigin, m_frame.size()); }
    void setBounds(const QRectF &bounds);
    QPointF anchorPoint() const { return m_anchorPoint; }
    void setAnchorPoint(const QPointF &unitPoint); // default (0.5, 0.5)
    const Transform3D &transform() const { return m_transform; }
    void setTransform(const Transform3D &transform);

    // 0 … 1; other values are clamped, NaN reads as 0.
    float opacity() const { return m_opacity; }
    void setOpacity(float opacity);
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    // Filled over the frame below the contents; transparent (nothing) by default.
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &colour);

    // A null image means no contents.
    const QImage &contents() const { return m_contents; }
    void setContents(const QImage &image);
    // Asks a layer that paints itself to paint again before the next frame.
    void setNeedsDisplay();
    // The layer will move by up to `travel` points (its superlayer's
    // coordinates) in the frames to come: its projection then covers all the
    // view shows of it along the way, so the moves reuse one projection.
    // `resolution` below 1 projects at that fraction of the device's pixels,
    // drawn enlarged (for smooth contents, whose long path would otherwise
    // cost much memory). (0, 0) and 1: only the view and a small margin.
    void setExpectedTravel(QPointF travel, double resolution = 1.0);
    QPointF expectedTravel() const { return m_expectedTravel; }
    double cacheResolution() const { return m_cacheResolution; }

    Layer *superlayer() const { return m_superlayer; }
    const QList<Layer *> &sublayers() const { return m_sublayers; }
    // Adds on top of the existing sublayers, leaving any former superlayer.
    // A null layer, the layer itself or one of its ancestors is refused.
    void addSublayer(Layer *layer);
    void insertSublayer(Layer *layer, qsizetype index);
    void removeFromSuperlayer();
    bool isDescendantOf(const Layer *ancestor) const;

    // Maps a point of this layer's bounds coordinates into its superlayer's
    // coordinates, transform included. The result is exact for a planar layer.
    QTransform localToSuperlayer() const;

protected:
    virtual bool drawsItself() const { return false; }
    // Paints the layer in its own y-down points: (0, 0) is its top-left
    // corner and `sizePoints` its size. Drawing outside is clipped away.
    virtual void draw(QPainter &painter, const QSizeF &sizePoints) const;

private:
    friend class LayerTree;
    friend class Compositor;

    enum Change : unsigned {
        NoChange = 0,
        ContentChange = 1u << 0,  // contents, own drawing, background: this layer only
        SubtreeChange = 1u << 1,  // geometry, opacity, visibility: every descendant too
        ChildrenChange = 1u << 2, // sublayers added, removed or reordered
    };

    void markChanged(unsigned change);
    void markSubtreeDirty();
    void detachChild(Layer *child);
    // Where this subtree was last presented, gathered into `rects`.
    void collectPresented(QList<QRectF> &rects) const;

    QString m_name;
    QRectF m_frame;
    QPointF m_boundsOrigin;
    QPointF m_anchorPoint{0.5, 0.5};
    Transform3D m_transform;
    float m_opacity = 1.0f;
    bool m_hidden = false;
    QColor m_backgroundColor = Qt::transparent;
    QImage m_contents;
    quint64 m_contentVersion = 1;
    QPointF m_expectedTravel;
    double m_cacheResolution = 1.0;

    Layer *m_superlayer = nullptr;
    QList<Layer *> m_sublayers;

    unsigned m_changes = ContentChange | SubtreeChange;
    bool m_subtreeDirty = true;
    // Where sublayers that left this layer were last shown: damage to repair.
    QList<QRectF> m_vacatedRects;
    LayerCache m_cache;
};
