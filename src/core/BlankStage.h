#pragma once

#include "core/ThemeStage.h"

// A stage with no views yet: it shows the view's black background and keeps
// the fade values it is given, so a run without rendering still reports
// what the cycle did.
class BlankStage final : public ThemeStage
{
public:
    void setUpViews() override {}
    void relativeSizes() override {}
    void addSubViews(const NowShowing &) override {}
    void removeSubViews() override {}
    void layout(ThemeId, const NowShowing &) override {}
    void reZonkCoverView() override {}
    void reZonkReflectionView() override {}
    void setLayerOpacity(Layer layer, float opacity) override;
    void setProgressTransparency(float alpha) override { m_progressTransparency = alpha; }
    void setLabelHidden(bool) override {}
    void setCoverHidden(bool) override {}
    void setCoverOrigin(QPointF) override {}
    bool isMosaicHidden() const override { return true; }
    void ageTiles() override {}
    void setMosaicTransparency(float) override {}
    void setLyricTransparency(float) override {}
    void placeClock(const QRectF &) override {}
    float fontSizePoints() const override { return 0; }
    float imageSizePoints() const override { return 0; }
    QPointF randomPoint() const override { return {}; }
    QPointF kenBurnsDirection() const override { return {}; }
    void paint(QPainter &painter, const QSizeF &viewSize) const override;

    float opacity(Layer layer) const { return m_opacity[static_cast<int>(layer)]; }
    float progressTransparency() const { return m_progressTransparency; }

private:
    float m_opacity[3] = {0, 0, 0};
    float m_progressTransparency = 0;
};
