#pragma once

#include "render/layouts/ThemeLayout.h"

// The Apple TV theme: a flat cover beside the middle, the label on the other
// half, the sides swapping each cycle (unless the theme is static).
class AppleTvLayout : public ThemeLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &themes) const override;
    bool appleTVBar() const override { return true; }
    void attach(RenderStage &stage) const override;
    // Lays out Blur too (Blur is chosen, the layout asked for is Apple TV):
    // then the label may be dark over the background it builds first.
    void layout(RenderStage &stage, const NowShowing &showing) const override;

    // A flat S × S cover at the layout's random point (Lyrics' too).
    static void setCover(RenderStage &stage, const QImage &artwork);

private:
    // The Blur theme's background in the reflection view, and with it the
    // stage's dark flag and the progress bar's mode (BlurLayout.cpp).
    static void setUpBlurImage(RenderStage &stage, const QImage &artwork);
    static void setProgressFrame(RenderStage &stage, const QSizeF &bounds);
};
