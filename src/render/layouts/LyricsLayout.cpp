#include "render/layouts/ThemeLayout.h"

#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

// The Lyrics theme: the lyric tiles behind the bar, the label and a small
// cover, in a small font. No layout of its own yet.
class LyricsLayout final : public ThemeLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &) const override
    {
        const double H = bounds.height();
        geometry.imagesize = float(0.25 * H);
        geometry.fontsize = float(H / 50);
        geometry.margin = float(H / 30);
    }
    bool appleTVBar() const override { return true; }
    bool tiles() const override { return true; }
    void attach(RenderStage &stage) const override
    {
        add(stage.tree().root(), {stage.lyricView(), stage.progressIndicator(), stage.labelView(), stage.coverView()});
    }
};

const ThemeLayout &lyricsLayout()
{
    static const LyricsLayout layout;
    return layout;
}
