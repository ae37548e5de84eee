#include "render/layouts/AppleTvLayout.h"

#include "render/BlurBackground.h"
#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

#include <cmath>

namespace {

// The artwork is averaged to this many pixels before it is enlarged.
constexpr QSize kWashPixels(3, 2);

} // namespace

// The Blur theme: Apple TV's layout inside a full-view container (the
// reflection view) that carries a wash of the artwork's colours.
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

void AppleTvLayout::setUpBlurImage(RenderStage &stage, const QImage &artwork)
{
    const QSizeF view = stage.context().frameSize;
    const QSize pixels(int(std::ceil(view.width())), int(std::ceil(view.height())));
    const BlurBackground::Wash &wash = stage.blurMemo().wash(artwork, kWashPixels, pixels);
    // Without artwork the background is black, so the text is light and the
    // bar light too (one left dark by a light cover would vanish on black).
    const bool dark = wash.image.isNull() || wash.dark;
    stage.setDarkBackground(dark);
    if (CLProgressIndicator *progress = stage.progressIndicator())
        progress->setDarkMode(!dark);

    Layer *container = stage.reflectionView();
    if (!container)
        return;
    container->setOpacity(0);
    container->setTransform(Transform3D());
    container->setAnchorPoint(QPointF(0.5, 0.5));
    container->setFrame(QRectF(QPointF(0, 0), view));
    container->setBounds(QRectF(QPointF(0, 0), view));
    container->setBackgroundColor(wash.image.isNull() ? QColor(Qt::black) : QColor(Qt::transparent));
    container->setContents(wash.image);
}
