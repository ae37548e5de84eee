#include "render/layouts/ClassicLayout.h"

#include "core/FrameCycle.h"
#include "core/ThemeSettings.h"
#include "platform/FrameClock.h"
#include "render/CLProgressIndicator.h"
#include "render/LayerGeometry.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

#include <algorithm>
#include <optional>

namespace {

constexpr double kCoverM34 = 1.0 / 600.0;
constexpr int kPlacementAttempts = 10;
// StageImages::reflection draws S wide and this many S high.
constexpr double kReflectionHeight = 1.3;

} // namespace

const ThemeLayout &classicLayout()
{
    static const ClassicLayout layout;
    return layout;
}

void ClassicLayout::attach(RenderStage &stage) const
{
    add(stage.tree().root(), {stage.reflectionView(), stage.coverView(), stage.labelView(), stage.progressIndicator()});
}

void ClassicLayout::layout(RenderStage &stage, const NowShowing &showing) const
{
    const QSizeF bounds = stage.context().frameSize;
    const float E = stage.effect();
    place(stage, bounds, E);
    if (!coverOnly())
        stage.drawLabel(LabelStyling::Palette::classic(), ThemeId::Classic, showing);
    setCover(stage, E, showing.artwork);
    if (CLProgressIndicator *progress = stage.progressIndicator())
        progress->setFrame(stage.layoutGeometry().progressRect);
    stage.postCoverNotification();
}

// Stage A: the label beside the cover, lowered and narrowed as the cover turns.
QRectF ClassicLayout::labelRect(const StageGeometry &g, const QSizeF &bounds, float E)
{
    const double W = bounds.width();
    const double S = g.imagesize, F = g.fontsize, M = g.margin;
    const double x = g.randomPoint.x(), y = g.randomPoint.y();
    const double t = F + 0.15 * E * S;
    const double height = (S - t) - 0.05 * E * S;
    if (g.alignment == 1)
        return QRectF(x + S + (1 - E) * M, y + t, W - x - S - M, height);
    return QRectF(M, y + t, x - M - (1 - E) * M, height);
}

void ClassicLayout::place(RenderStage &stage, const QSizeF &bounds, float E) const
{
    StageGeometry &g = stage.layoutGeometry();
    const StageContext &context = stage.context();
    const double W = bounds.width(), H = bounds.height();
    const double S = g.imagesize;
    if (!context.themes.getCentredForCurrentTheme()) {
        // A few tries for a place the clock's plate keeps clear of; where
        // none is, the clock steps aside (RenderStage::placeClock).
        const std::optional<QRectF> clock = stage.clockField()
            ? std::optional(FrameCycle::positionOfClock(bounds, context.clock.now().time()))
            : std::nullopt;
        for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
            const double r1 = stage.random01();
            const double r2 = stage.random01();
            g.randomPoint = QPointF(r1 * (W - S), r2 * (H - S));
            g.alignment = g.randomPoint.x() + 0.5 * S <= 0.5 * W ? 1 : 0;
            arrange(stage, bounds, E);
            if (!clock || clearOf(*clock, stage, E))
                break;
        }
        return;
    }
    stage.flipAlignment();
    const double y = (H - S) * 0.5;
    const double x = g.alignment == 1 ? 0.5 * W - S : 0.5 * W;
    g.randomPoint = QPointF(x, y);
    arrange(stage, bounds, E);
}

// Everything else follows from the cover's place and side.
void ClassicLayout::arrange(RenderStage &stage, const QSizeF &bounds, float E) const
{
    StageGeometry &g = stage.layoutGeometry();
    const double S = g.imagesize;
    const double x = g.randomPoint.x(), y = g.randomPoint.y();
    const bool left = g.alignment == 1;
    g.labelRect = labelRect(g, bounds, E);
    // The reflection's picture is S × 1.3 S, the mirrored cover in its lower
    // S: drawn at that size its top edge is the cover's bottom edge.
    g.reflectionRect = QRectF(x, y - S, S, kReflectionHeight * S);
    g.coverViewRect = QRectF(x, y, S, S);
    g.coverViewAnchor = QPointF(left ? 0.0 : 1.0, coverOnly() ? 1.4 : 0.8);
    // Cover and reflection turn as one plane: the same turn about the same
    // point of the view, so their edges meet and their widths agree.
    const double pivotY = g.coverViewRect.y() + g.coverViewAnchor.y() * S;
    g.reflectionViewAnchor = QPointF(g.coverViewAnchor.x(), (pivotY - g.reflectionRect.y()) / g.reflectionRect.height());
    g.progressRect = progressRect(g, bounds, E);
}

bool ClassicLayout::clearOf(const QRectF &clock, RenderStage &stage, float E) const
{
    const StageGeometry &g = stage.layoutGeometry();
    // Cover and reflection turn about one point of the view.
    const QPointF pivot(g.coverViewRect.x() + g.coverViewAnchor.x() * g.coverViewRect.width(),
                        g.coverViewRect.y() + g.coverViewAnchor.y() * g.coverViewRect.height());
    const QTransform turned = QTransform::fromTranslate(-pivot.x(), -pivot.y())
        * stage.turn(kCoverM34, E).toPlanar() * QTransform::fromTranslate(pivot.x(), pivot.y());
    QList<QRectF> taken = {LayerGeometry::mappedBounds(turned, g.coverViewRect),
                           LayerGeometry::mappedBounds(turned, g.reflectionRect)};
    if (!coverOnly())
        taken << g.labelRect << g.progressRect;
    return std::none_of(taken.cbegin(), taken.cend(),
                        [&clock](const QRectF &rect) { return FrameCycle::thisRectClashesWith(clock, rect); });
}

// Stage G: the turned cover and its reflection, as arranged.
void ClassicLayout::setCover(RenderStage &stage, float E, const QImage &artwork) const
{
    const QImage &sized = stage.prepareArtwork(artwork);
    const StageGeometry &g = stage.layoutGeometry();
    const double S = g.imagesize;
    Layer *cover = stage.coverView();
    Layer *reflection = stage.reflectionView();
    if (!cover || !reflection)
        return;
    if (sized.isNull()) {
        reflection->setContents(QImage());
        cover->setContents(QImage());
        return;
    }
    reflection->setOpacity(0);
    reflection->setAnchorPoint(g.reflectionViewAnchor);
    reflection->setContents(stage.reflectionImage());
    reflection->setTransform(stage.turn(kCoverM34, E));
    reflection->setFrame(g.reflectionRect);
    reflection->setBounds(QRectF(QPointF(0, 0), g.reflectionRect.size()));

    cover->setOpacity(0);
    cover->setAnchorPoint(g.coverViewAnchor);
    cover->setContents(sized);
    cover->setTransform(stage.turn(kCoverM34, E));
    cover->setFrame(g.coverViewRect);
    cover->setBounds(QRectF(0, 0, S, S));
}

QRectF ClassicLayout::progressRect(const StageGeometry &g, const QSizeF &bounds, float E)
{
    const double W = bounds.width();
    const double S = g.imagesize, F = g.fontsize, M = g.margin;
    const double x = g.randomPoint.x(), y = g.randomPoint.y();
    const double u = 0.15 * E * S;
    QRectF rect;
    if (g.alignment == 0) {
        rect = QRectF(x - S + M, y + u, (S - M) - (1 - E) * M, 0.6 * F);
        if (rect.width() > g.labelRect.width()) {
            rect.moveLeft(M);
            rect.setWidth(g.labelRect.width());
        }
    } else {
        rect = QRectF(x + S + (1 - E) * M, y + u, S - 2 * M, 0.6 * F);
        // Never past the screen's margin.
        if (rect.width() > W - M - rect.x())
            rect.setWidth(W - M - rect.x());
    }
    return rect;
}
