#pragma once

#include "render/Layer.h"

#include <QRegion>
#include <QSizeF>

// The display's layer tree: owns the root layer (the view itself, its frame
// the view's rectangle, y up) and knows what changed since the picture was
// last presented.
//
// Damage is kept in view points, y-down (the window's own coordinates):
// every layer that changed contributes where it was last presented and where
// it would be drawn now. A tree that changed nothing has no damage and
// needsRedraw() is false; asking costs one flag.
//
// One presenting compositor per tree: presented places are those of the last
// markPresented(). Main thread (or the one rendering thread) only.
class LayerTree
{
public:
    LayerTree();
    ~LayerTree();
    LayerTree(const LayerTree &) = delete;
    LayerTree &operator=(const LayerTree &) = delete;

    Layer &root() { return m_root; }
    const Layer &root() const { return m_root; }
    // Sets the root's frame to (0, 0, size).
    void setViewSize(const QSizeF &sizePoints);

    bool needsRedraw() const;
    // What to redraw for a view of this size: all of it when the size
    // differs from the last presented one.
    QRegion damage(const QSizeF &viewSize) const;
    // The picture now on screen is the tree as it stands: forget the changes.
    void markPresented(const QSizeF &viewSize);

private:
    // Gathers damage (when `damage` is given) and, when `present` is set,
    // records the presented places and clears the change flags.
    static void walk(Layer &layer, const QTransform &superToView, bool visible, bool forced,
                     QList<QRectF> *damage, bool present);
    static QRectF drawnRect(const Layer &layer, const QTransform &boundsToView);

    Layer m_root;
    QSizeF m_presentedSize;
};
