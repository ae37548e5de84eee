#include "render/CompositeMosaicView.h"

#include <cmath>

CompositeMosaicView::CompositeMosaicView(const std::vector<StageTile> &tiles)
    : m_tiles(tiles)
{
    setName(QStringLiteral("mosaicView"));
    setBackgroundColor(Qt::black);
    m_holder.setName(QStringLiteral("tiles"));
    addSublayer(&m_holder);
}

CompositeMosaicView::~CompositeMosaicView()
{
    m_layers.clear(); // they leave this layer while it is whole
}

float CompositeMosaicView::tileAlpha(float t)
{
    if (t > 59 && t < 120)
        return 0.4f - 2.0f * (t - 60.0f) / 300.0f;
    if (t > 0 && t < 60)
        return 2.0f * t / 300.0f;
    return 0.0f;
}

void CompositeMosaicView::setArtworkImage(const QImage &image)
{
    if (image.cacheKey() == m_artwork.cacheKey())
        return;
    m_artwork = image;
    m_layers.clear(); // remade with the new picture as they show
}

void CompositeMosaicView::setTransparency(float alpha)
{
    m_transparency = std::isfinite(alpha) ? alpha : 0.0f;
    updateTiles();
}

void CompositeMosaicView::updateTiles()
{
    m_holder.setFrame(QRectF(QPointF(0, 0), frame().size()));
    if (m_layers.size() != m_tiles.size())
        m_layers.resize(m_tiles.size());
    int below = 0; // live layers of earlier tiles: a new one goes above them
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        const StageTile &tile = m_tiles[i];
        std::unique_ptr<Layer> &layer = m_layers[i];
        const float a = tileAlpha(tile.counter);
        if (a <= 0 || m_artwork.isNull()) {
            layer.reset(); // done (or not due): its projection goes with it
            continue;
        }
        if (!layer) {
            layer = std::make_unique<Layer>();
            layer->setName(QStringLiteral("tile %1").arg(i));
            layer->setContents(m_artwork);
            m_holder.insertSublayer(layer.get(), below);
        }
        // The picture is S rounded up: drawn at its own size on whole points
        // it is a plain blit, not a resampling, every frame.
        QSizeF size = tile.frame.size();
        if (std::abs(size.width() - m_artwork.width()) < 1 && std::abs(size.height() - m_artwork.height()) < 1)
            size = QSizeF(m_artwork.size());
        layer->setFrame(QRectF(QPointF(std::round(tile.frame.x()), std::round(tile.frame.y())), size));
        layer->setOpacity(a * m_transparency);
        ++below;
    }
}
