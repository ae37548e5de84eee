#pragma once

// A compositor tree built in a line a layer, and a compositor over it.

#include "render/Compositor.h"
#include "render/Layer.h"
#include "render/LayerTree.h"
#include "render/Transform3D.h"

#include <QImage>
#include <cmath>
#include <memory>
#include <vector>

struct LayerScene
{
    QSizeF view;
    LayerTree tree;
    Compositor compositor{tree};
    std::vector<std::unique_ptr<Layer>> layers;
    QImage frame; // a retained picture for renderDamage()

    explicit LayerScene(QSizeF size, QColor background = QColor())
        : view(size)
    {
        tree.setViewSize(size);
        if (background.isValid())
            tree.root().setBackgroundColor(background);
        frame = QImage(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    }

    // A layer at `rect` (y up) showing `contents`, under `parent` or the root.
    Layer &add(const QRectF &rect, const QImage &contents = QImage(), Layer *parent = nullptr)
    {
        layers.push_back(std::make_unique<Layer>());
        return place(*layers.back(), rect, contents, parent);
    }
    // The same for a layer the test owns (a layer that paints itself).
    Layer &place(Layer &layer, const QRectF &rect, const QImage &contents = QImage(), Layer *parent = nullptr)
    {
        layer.setFrame(rect);
        if (!contents.isNull())
            layer.setContents(contents);
        (parent ? *parent : tree.root()).addSublayer(&layer);
        return layer;
    }
    QImage render() { return compositor.renderImage(view.toSize()); }
    QRegion damage() { return compositor.renderDamage(frame); }

    // A turn about the vertical axis, then perspective, as the layouts build it.
    static Transform3D turn(double degrees, double m34)
    {
        return Transform3D::perspective(m34).rotated(degrees * M_PI / 180.0, 0, 1, 0);
    }
};
