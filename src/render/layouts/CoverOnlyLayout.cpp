#include "render/layouts/ClassicLayout.h"

#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

// The Cover Only theme: Classic's cover and reflection, no label, no bar.
class CoverOnlyLayout final : public ClassicLayout
{
public:
    void attach(RenderStage &stage) const override
    {
        add(stage.tree().root(), {stage.reflectionView(), stage.coverView()});
    }

protected:
    bool coverOnly() const override { return true; }
};

const ThemeLayout &coverOnlyLayout()
{
    static const CoverOnlyLayout layout;
    return layout;
}
