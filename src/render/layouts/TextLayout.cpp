#include "render/layouts/ThemeLayout.h"

#include "core/FrameCycle.h"
#include "platform/FrameClock.h"
#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

namespace {

constexpr int kPlacementAttempts = 10;

} // namespace

// The Text theme: the label alone, in a larger font, in a box 1.5 S wide and
// S high at a random place, its text turned towards the middle, the bar
// under the whole box.
class TextLayout final : public ThemeLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &) const override
    {
        defaultSizes(geometry, bounds);
        geometry.fontsize = float(bounds.height() / 25);
    }
    void attach(RenderStage &stage) const override
    {
        add(stage.tree().root(), {stage.labelView(), stage.progressIndicator()});
    }
    void layout(RenderStage &stage, const NowShowing &showing) const override
    {
        const QSizeF bounds = stage.context().frameSize;
        StageGeometry &g = stage.layoutGeometry();
        const double W = bounds.width(), H = bounds.height();
        const double S = g.imagesize, F = g.fontsize, M = g.margin;
        const QRectF clock = FrameCycle::positionOfClock(bounds, stage.context().clock.now().time());
        for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
            const double x = stage.random01() * (W - 1.5 * S - 2 * M);
            const double y = stage.random01() * ((H - S) - 0.35 * F);
            g.randomPoint = QPointF(M + x, y + 0.35 * F);
            g.alignment = g.randomPoint.x() + 0.75 * S > 0.5 * W ? 1 : 0;
            g.labelRect = QRectF(g.randomPoint.x() + M, g.randomPoint.y(), 1.5 * S, S);
            if (!FrameCycle::thisRectClashesWith(g.labelRect, clock))
                break;
        }
        stage.drawLabel(LabelStyling::Palette::classic(), ThemeId::Text, showing);
        g.progressRect = QRectF(g.labelRect.x(), g.randomPoint.y() - 0.35 * F, g.labelRect.width(), 0.6 * F);
        if (CLProgressIndicator *progress = stage.progressIndicator())
            progress->setFrame(g.progressRect);
    }
};

const ThemeLayout &textLayout()
{
    static const TextLayout layout;
    return layout;
}
