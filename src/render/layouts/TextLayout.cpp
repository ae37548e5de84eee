#include "render/layouts/ThemeLayout.h"

#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

// The Text theme: the label and the bar, in a larger font. No layout of its
// own yet.
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
};

const ThemeLayout &textLayout()
{
    static const TextLayout layout;
    return layout;
}
