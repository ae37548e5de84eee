#pragma once

#include "render/Layer.h"
#include "render/StageTile.h"

#include <QImage>
#include <memory>
#include <vector>

// The Mosaic theme's drawing view: black over the mosaic area, and on it
// copies of the artwork, one a tile, each fading in and out as its counter
// runs, later tiles over earlier ones.
//
// A tile is a sublayer sharing the one S × S picture; it exists only while
// its tile shows, so a frame changes opacities and nothing is repainted.
// Reads the stage's tiles, which outlive it. Main thread only.
class CompositeMosaicView final : public Layer
{
public:
    explicit CompositeMosaicView(const std::vector<StageTile> &tiles);
    ~CompositeMosaicView() override;

    // The picture every tile shows (null: none, the area stays black).
    void setArtworkImage(const QImage &image);
    const QImage &artworkImage() const { return m_artwork; }
    // The fade value, every frame; it multiplies every tile's alpha.
    void setTransparency(float alpha);
    float transparency() const { return m_transparency; }
    // Brings the tile layers in line with the tiles (after a layout, and
    // every frame through setTransparency).
    void updateTiles();

    // A tile's alpha at this age: up to 0.4 at 60 frames, gone from 120.
    static float tileAlpha(float counter);

    // The layers drawn now, bottom to top.
    const QList<Layer *> &shownLayers() const { return m_holder.sublayers(); }

private:
    const std::vector<StageTile> &m_tiles;
    // Holds the showing layers: it draws nothing itself, so a layer coming
    // or going costs only its own rectangle, not the whole black area.
    Layer m_holder;
    std::vector<std::unique_ptr<Layer>> m_layers; // by tile; null while it does not show
    QImage m_artwork;
    float m_transparency = 0;
};
