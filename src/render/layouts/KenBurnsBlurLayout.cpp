#include "render/layouts/FullScreenLayout.h"

#include "render/StageGeometry.h"

// The Ken Burns Blur theme: Full Screen's drifting cover at twice the size,
// scaled by the size setting even when centred. No layout of its own yet.
class KenBurnsBlurLayout final : public FullScreenLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &themes) const override
    {
        FullScreenLayout::baseSizes(geometry, bounds, themes);
        geometry.imagesize *= 2;
    }
    bool artworkScales(const ThemeSettings &) const override { return true; }
};

const ThemeLayout &kenBurnsBlurLayout()
{
    static const KenBurnsBlurLayout layout;
    return layout;
}
