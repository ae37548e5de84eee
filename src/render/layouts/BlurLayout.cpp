#include "render/layouts/AppleTvLayout.h"

#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

// The Blur theme: Apple TV's layout inside a full-view container (the
// reflection view) that will carry the blurred background.
class BlurLayout final : public AppleTvLayout
{
public:
    void attach(RenderStage &stage) const override
    {
        add(stage.tree().root(), {stage.reflectionView()});
        if (Layer *container = stage.reflectionView())
            add(*container, {stage.coverView(), stage.labelView(), stage.progressIndicator()});
    }
};

const ThemeLayout &blurLayout()
{
    static const BlurLayout layout;
    return layout;
}
