#include "render/layouts/ThemeLayout.h"

#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

// The Mosaic theme: the tiles behind the bar and the label, small covers.
// No layout of its own yet.
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
};

const ThemeLayout &mosaicLayout()
{
    static const MosaicLayout layout;
    return layout;
}
