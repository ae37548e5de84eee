#pragma once

#include "render/layouts/ThemeLayout.h"

#include <QRectF>

// The Classic theme: the turned cover at a random place (or centred, the
// sides swapping each cycle) with its reflection, the label beside it and
// the progress bar above the label.
class ClassicLayout : public ThemeLayout
{
public:
    void attach(RenderStage &stage) const override;
    void layout(RenderStage &stage, const NowShowing &showing) const override;

protected:
    // Cover Only lays out as Classic without the label, its cover raised.
    virtual bool coverOnly() const { return false; }

private:
    void place(RenderStage &stage, const QSizeF &bounds, float E) const;
    // The label, the pose of cover and reflection and the bar for the
    // cover's place and side.
    void arrange(RenderStage &stage, const QSizeF &bounds, float E) const;
    // The clock's plate at `clock` keeps clear of the turned cover and
    // reflection, the label and the bar as arranged.
    bool clearOf(const QRectF &clock, RenderStage &stage, float E) const;
    static QRectF labelRect(const StageGeometry &geometry, const QSizeF &bounds, float E);
    static QRectF progressRect(const StageGeometry &geometry, const QSizeF &bounds, float E);
    void setCover(RenderStage &stage, float E, const QImage &artwork) const;
};
