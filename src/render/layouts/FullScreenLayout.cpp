#include "render/layouts/FullScreenLayout.h"

#include "core/ThemeSettings.h"
#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

#include <algorithm>

const ThemeLayout &fullScreenLayout()
{
    static const FullScreenLayout layout;
    return layout;
}

void FullScreenLayout::baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &themes) const
{
    defaultSizes(geometry, bounds);
    const double W = bounds.width(), H = bounds.height();
    if (themes.getCentredForCurrentTheme()) {
        geometry.imagesize = float(std::min(W, H));
    } else {
        const float A = themes.getArtworkSizeForCurrentTheme();
        const double k = (A >= 1.0f && A <= 1.8f) ? 1.0 + A / 3.0 : 1.4;
        geometry.imagesize = float(k * std::max(W, H));
    }
}

bool FullScreenLayout::artworkScales(const ThemeSettings &themes) const
{
    return !themes.getCentredForCurrentTheme();
}

void FullScreenLayout::attach(RenderStage &stage) const
{
    add(stage.tree().root(), {stage.coverView(), stage.labelView()});
}
