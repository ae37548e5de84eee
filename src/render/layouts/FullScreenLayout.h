#pragma once

#include "render/layouts/ThemeLayout.h"

#include <QImage>
#include <QRectF>

// The Full Screen theme: a cover larger than the view drifting under the
// label, which sits in a translucent box in a bottom corner (at the top in
// the hours the clock's hand points down). Centred, the cover stands still.
// Ken Burns Blur lays out the same way with a blurred picture.
class FullScreenLayout : public ThemeLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &themes) const override;
    // Centred, the cover fills the shorter side whatever the size setting.
    bool artworkScales(const ThemeSettings &themes) const override;
    void attach(RenderStage &stage) const override;
    void layout(RenderStage &stage, const NowShowing &showing) const override;

    // The cover's frame, moved by the cycle's whole drift (400 × the drift
    // per frame), no longer covers the view of size `view`.
    static bool kenBurnsWillTakeUsOffTheEdge(const QRectF &frame, float kenBurnsX, float kenBurnsY,
                                             const QSizeF &view);
    // Stage A's draws stop after this many passes (after one when the cover
    // is narrower or lower than the view: no draw can pass then); the last
    // draw is kept, without drift.
    static constexpr int kMaxPlacementPasses = 1000;

protected:
    // The drift per frame is at most the view's size divided by this.
    virtual double driftDivisor() const { return 1000.0; }
    // The picture the cover layer shows (null: none), and the one posted.
    virtual QImage coverPicture(RenderStage &stage, const QImage &artwork) const;
    // Whether the centred setting stills and centres the cover.
    virtual bool honoursCentred() const { return true; }
    // The fraction of the device's pixels the cover's projection is made at.
    virtual double cacheResolution() const { return 1.0; }

private:
    void place(RenderStage &stage, const QSizeF &bounds) const;
    static void drawLabelBox(RenderStage &stage, const NowShowing &showing, const QSizeF &bounds);
    void setCover(RenderStage &stage, const QImage &picture, float E) const;
};
