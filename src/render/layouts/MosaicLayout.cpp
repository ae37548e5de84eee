#include "render/layouts/ThemeLayout.h"

#include "core/FrameCycle.h"
#include "core/ThemeSettings.h"
#include "platform/FrameClock.h"
#include "render/CLProgressIndicator.h"
#include "render/CompositeMosaicView.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPlacementAttempts = 10;
// Artwork sizes that would start the tiles less than a frame apart (below
// 0.3, or none set in the theme's dictionary) space them as the default
// size does instead: otherwise twenty start at once and the rest never show.
constexpr float kDefaultArtworkSize = 1.2f;

} // namespace

// The Mosaic theme: an empty square at a random place in the middle third,
// the label on one side of it and the bar along its bottom, and on the
// other side copies of the artwork fading in and out one after another.
class MosaicLayout final : public ThemeLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &) const override
    {
        defaultSizes(geometry, bounds);
        geometry.imagesize = float(bounds.height() / 3.5);
    }
    bool appleTVBar() const override { return true; }
    bool tiles() const override { return true; }
    void attach(RenderStage &stage) const override
    {
        add(stage.tree().root(), {stage.mosaicView(), stage.progressIndicator(), stage.labelView()});
    }

    // The frames between one tile's start and the next's.
    static int tileSpacing(float artworkSize)
    {
        auto spacing = [](float A) { return int((A - 0.5f) * 25.0f + 6.0f); };
        const int d = std::isfinite(artworkSize) ? spacing(artworkSize) : 0;
        return d >= 1 ? d : spacing(kDefaultArtworkSize);
    }

    void layout(RenderStage &stage, const NowShowing &showing) const override
    {
        const StageContext &context = stage.context();
        const QSizeF bounds = context.frameSize;
        StageGeometry &g = stage.layoutGeometry();
        const double W = bounds.width(), H = bounds.height();
        const double S = g.imagesize, F = g.fontsize, M = g.margin;
        const double E = stage.effect();

        const QRectF clock = FrameCycle::positionOfClock(bounds, context.clock.now().time());
        for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
            const double x = W / 3 + stage.random01() * (W / 3 - S);
            const double y = stage.random01() * (H - S);
            g.randomPoint = QPointF(x, y);
            g.alignment = x + 0.5 * S <= 0.5 * W ? 1 : 0;
            const double t = 0.6 * F + 0.15 * E * S;
            g.labelRect = g.alignment == 1 ? QRectF(x + S, y + t, W - x - S - M, S - t)
                                           : QRectF(M, y + t, x - M, S - t);
            if (!FrameCycle::thisRectClashesWith(g.labelRect, clock))
                break;
        }
        stage.drawLabel(LabelStyling::Palette::classic(), ThemeId::Mosaic, showing);

        const double x = g.randomPoint.x(), y = g.randomPoint.y();
        QRectF bar;
        if (g.alignment == 0) {
            bar = QRectF(x - S, y, S, 0.6 * F);
            if (S > x) {
                bar.moveLeft(0);
                bar.setWidth(x - (1 - E) * M);
            }
        } else {
            bar = QRectF(x + S, y, S, 0.6 * F);
            if (S > W - (x + S))
                bar.setWidth(W - (x + S));
        }
        g.progressRect = bar;
        if (CLProgressIndicator *progress = stage.progressIndicator())
            progress->setFrame(bar);

        const QRectF area = g.alignment == 0 ? QRectF(x + S / 8, 0, W - x - S / 4, H) : QRectF(0, 0, x + 7 * S / 8, H);
        CompositeMosaicView *mosaic = stage.mosaic();
        if (mosaic)
            mosaic->setFrame(area);
        const QImage &artwork = stage.prepareArtwork(showing.artwork);

        // Each tile due d frames after the one before, at a random spot on
        // the mosaic's side (a range too narrow for a tile starts it at the
        // area's edge).
        const int d = tileSpacing(context.themes.getArtworkSizeForCurrentTheme());
        const double Wm = area.width();
        std::vector<StageTile> &tiles = stage.layoutTiles();
        for (size_t i = 0; i < tiles.size(); ++i) {
            tiles[i].counter = -float(i) * float(d);
            const double rx = stage.random01();
            const double ry = stage.random01();
            const double tx = g.alignment == 0 ? S / 4 + rx * std::max(0.0, Wm - S - S / 4)
                                               : rx * std::max(0.0, Wm - 1.25 * S);
            tiles[i].frame = QRectF(tx, ry * std::max(0.0, H - S), S, S);
        }
        if (mosaic) {
            mosaic->setArtworkImage(artwork);
            mosaic->updateTiles();
        }
        stage.postCoverNotification();
    }
};

const ThemeLayout &mosaicLayout()
{
    static const MosaicLayout layout;
    return layout;
}
