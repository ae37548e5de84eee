#pragma once

#include "render/layouts/ThemeLayout.h"

// The Full Screen theme: a cover larger than the view drifting under the
// label. Its own layout is still to come: it lays out nothing.
class FullScreenLayout : public ThemeLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &themes) const override;
    // Centred, the cover fills the shorter side whatever the size setting.
    bool artworkScales(const ThemeSettings &themes) const override;
    void attach(RenderStage &stage) const override;
};
