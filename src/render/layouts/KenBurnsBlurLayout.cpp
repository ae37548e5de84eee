#include "render/layouts/FullScreenLayout.h"

#include "render/BlurBackground.h"
#include "render/CLProgressIndicator.h"
#include "render/RenderStage.h"
#include "render/StageGeometry.h"

#include <cmath>

namespace {

// The artwork is averaged to this many pixels before it is enlarged.
constexpr QSize kWashPixels(12, 8);

} // namespace

// The Ken Burns Blur theme: Full Screen's drifting cover at twice the size,
// scaled by the size setting even when centred, four times as fast, showing
// a view-sized wash of the artwork stretched over it.
class KenBurnsBlurLayout final : public FullScreenLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &themes) const override
    {
        FullScreenLayout::baseSizes(geometry, bounds, themes);
        geometry.imagesize *= 2;
    }
    bool artworkScales(const ThemeSettings &) const override { return true; }

protected:
    double driftDivisor() const override { return 250.0; }
    bool honoursCentred() const override { return false; }
    // A wash has no detail to lose, and its path is long.
    double cacheResolution() const override { return 0.25; }
    QImage coverPicture(RenderStage &stage, const QImage &artwork) const override
    {
        if (artwork.isNull())
            return QImage();
        const QSizeF view = stage.context().frameSize;
        const QSize pixels(int(std::ceil(view.width())), int(std::ceil(view.height())));
        const BlurBackground::Wash &wash = stage.blurMemo().wash(artwork, kWashPixels, pixels);
        stage.setDarkBackground(wash.dark);
        if (CLProgressIndicator *progress = stage.progressIndicator())
            progress->setDarkMode(!wash.dark);
        return wash.image;
    }
};

const ThemeLayout &kenBurnsBlurLayout()
{
    static const KenBurnsBlurLayout layout;
    return layout;
}
