#include "render/layouts/AppleTvLayout.h"

#include "core/ThemeSettings.h"
#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

const ThemeLayout &appleTVLayout()
{
    static const AppleTvLayout layout;
    return layout;
}

void AppleTvLayout::baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &) const
{
    defaultSizes(geometry, bounds);
    geometry.imagesize = float(bounds.height() / 2.1);
    geometry.margin = float(bounds.height() / 15);
}

void AppleTvLayout::attach(RenderStage &stage) const
{
    add(stage.tree().root(), {stage.coverView(), stage.labelView(), stage.progressIndicator()});
}

void AppleTvLayout::layout(RenderStage &stage, const NowShowing &showing) const
{
    const StageContext &context = stage.context();
    const bool blur = context.themes.getTheme() == ThemeId::Blur;
    const QSizeF bounds = context.frameSize;
    StageGeometry &g = stage.layoutGeometry();
    const double W = bounds.width(), H = bounds.height();
    const double S = g.imagesize, F = g.fontsize, M = g.margin;
    stage.flipAlignment();
    const double y = (H - S) * 0.5;
    const double t = 0.7 * F;
    if (g.alignment == 0) {
        g.randomPoint = QPointF(0.5 * W, y);
        g.labelRect = QRectF(M, y + t, 0.5 * W - 2 * M, S - t);
    } else {
        g.randomPoint = QPointF(0.5 * W - S, y);
        g.labelRect = QRectF(0.5 * W + M, y + t, 0.5 * W - 2 * M, S - t); // a margin on both sides
    }
    if (blur)
        setUpBlurImage(stage, showing.artwork);
    const double w = stage.darkBackground() ? 1.0 : (blur ? 0.15 : 1.0);
    stage.drawLabel(LabelStyling::Palette::appleTV(w), blur ? ThemeId::Blur : ThemeId::AppleTV, showing);
    setCover(stage, showing.artwork);
    setProgressFrame(stage, bounds);
    stage.postCoverNotification();
}

// Stage G: a flat cover beside the middle.
void AppleTvLayout::setCover(RenderStage &stage, const QImage &artwork)
{
    const QImage &sized = stage.prepareArtwork(artwork);
    StageGeometry &g = stage.layoutGeometry();
    const double S = g.imagesize;
    g.coverViewRect = QRectF(g.randomPoint, QSizeF(S, S));
    Layer *cover = stage.coverView();
    if (!cover)
        return;
    if (sized.isNull()) {
        cover->setContents(QImage());
        return;
    }
    cover->setOpacity(0);
    cover->setContents(sized);
    cover->setFrame(g.coverViewRect);
    cover->setBounds(QRectF(0, 0, S, S));
}

void AppleTvLayout::setProgressFrame(RenderStage &stage, const QSizeF &bounds)
{
    StageGeometry &g = stage.layoutGeometry();
    const double W = bounds.width();
    const double S = g.imagesize, F = g.fontsize, M = g.margin;
    const double x = g.randomPoint.x(), y = g.randomPoint.y();
    QRectF rect;
    if (g.alignment == 0) {
        rect = QRectF(x - S + M, y, S - 2 * M, 0.6 * F);
        if (rect.width() > x) {
            rect.moveLeft(0);
            rect.setWidth(x - M);
        }
    } else {
        rect = QRectF(x + S + M, y, S - 2 * M, 0.6 * F);
        // Never past the screen's margin.
        if (rect.width() > W - M - rect.x())
            rect.setWidth(W - M - rect.x());
    }
    g.progressRect = rect;
    if (CLProgressIndicator *progress = stage.progressIndicator())
        progress->setFrame(rect);
}
