#pragma once

#include "core/StageContext.h"
#include "core/ThemeStage.h"
#include "render/LabelStyling.h"
#include "render/StageGeometry.h"

#include <QByteArray>
#include <QImage>
#include <memory>
#include <vector>

class ClockField;
class CLProgressIndicator;
class Compositor;
class Layer;
class LayerTree;
class Transform3D;

// The display's views on the layer tree: the cover, its reflection, the
// label, the progress bar, the clock and the drawing views of the tiled
// themes, with the layouts of the Classic, Apple TV (and Blur, on black
// until its background lands) and Cover Only themes. The themes whose
// layouts are still to come attach their views and lay out nothing.
//
// Owns its tree, its layers and its compositor; borrows everything in the
// context from the view that owns it. Random placements draw ::random()
// (seeded by the session). Main thread only.
class RenderStage final : public ThemeStage
{
public:
    explicit RenderStage(const StageContext &context);
    ~RenderStage() override;

    // ThemeStage
    void setUpViews() override;
    void relativeSizes() override;
    void addSubViews() override;
    void removeSubViews() override;
    void layout(ThemeId theme) override;
    void reZonkCoverView() override;
    void reZonkReflectionView() override;
    void setLayerOpacity(ThemeStage::Layer layer, float opacity) override;
    void setProgressTransparency(float alpha) override;
    void setLabelHidden(bool hidden) override;
    void setCoverHidden(bool hidden) override;
    void setCoverOrigin(QPointF origin) override;
    bool isMosaicHidden() const override { return false; } // no theme hides it
    void ageTiles() override;
    void setMosaicTransparency(float alpha) override { m_mosaicTransparency = alpha; }
    void setLyricTransparency(float alpha) override { m_lyricTransparency = alpha; }
    void placeClock(const QRectF &frame) override;
    float fontSizePoints() const override { return m_geometry.fontsize; }
    float imageSizePoints() const override { return m_geometry.imagesize; }
    QPointF randomPoint() const override { return m_geometry.randomPoint; }
    QPointF kenBurnsDirection() const override { return {}; }
    // Takes the engine's progress (when it asked for display) and the
    // clock's minute into their views.
    void sync() override;
    // Brings the progress bar and the clock up to date, then composites.
    // The window's retained picture is then redrawn whole on its next
    // renderDamage(), as this drawing counts as presented.
    void paint(QPainter &painter, const QSizeF &viewSize) const override;
    // Redraws only what changed since the last presented picture: nothing on
    // a hold frame, alpha blits of cached projections on a fade frame.
    QRegion renderDamage(QImage &frame, bool whole) override;

    // What tests and benchmarks look at.
    const StageGeometry &geometry() const { return m_geometry; }
    // The turn factor E in use: the theme's setting clamped to 0 … 1.
    float effect() const;
    LayerTree &tree() { return *m_tree; }
    Compositor &compositor() const { return *m_compositor; }
    ::Layer *coverView() const { return m_cover.get(); }
    ::Layer *reflectionView() const { return m_reflection.get(); }
    ::Layer *labelView() const { return m_label.get(); }
    CLProgressIndicator *progressIndicator() const { return m_progress.get(); }
    ClockField *clockField() const { return m_clock.get(); }
    ::Layer *mosaicView() const { return m_mosaic.get(); }
    ::Layer *lyricView() const { return m_lyric.get(); }
    const std::vector<float> &tiles() const { return m_tiles; }

private:
    // The sizes before relativeSizes, for the theme and bounds.
    void setBaseSizes(int theme, const QSizeF &bounds);
    void makeViews(int theme);
    void attach(int theme);
    void syncViews() const;

    // Layouts (RenderStageLayouts.cpp).
    void layoutClassic(bool coverOnly);
    void layoutAppleTV(bool blur);
    void placeClassic(const QSizeF &bounds, float E);
    QRectF classicLabelRect(const QSizeF &bounds, float E) const;
    void flipAlignment();
    void drawLabel(const LabelStyling::Palette &palette, int theme);
    void setClassicCover(bool coverOnly, float E);
    void setAppleTVCover();
    void setClassicProgressFrame(const QSizeF &bounds, float E);
    void setAppleTVProgressFrame(const QSizeF &bounds);
    void postCoverNotification();
    // The artwork at S × S and its reflection, remade only when the artwork or S changed.
    void prepareArtwork();
    LabelStyling::Source source() const;
    Transform3D turn(double m34, float E) const;
    double random01() const;

    StageContext m_context;
    std::unique_ptr<LayerTree> m_tree;
    std::unique_ptr<Compositor> m_compositor;
    std::unique_ptr<::Layer> m_cover;
    std::unique_ptr<::Layer> m_reflection;
    std::unique_ptr<::Layer> m_label;
    std::unique_ptr<CLProgressIndicator> m_progress;
    std::unique_ptr<ClockField> m_clock;
    std::unique_ptr<::Layer> m_mosaic;
    std::unique_ptr<::Layer> m_lyric;
    std::vector<float> m_tiles; // the tiles' frame counters (Mosaic, Lyrics)
    float m_mosaicTransparency = 0;
    float m_lyricTransparency = 0;

    StageGeometry m_geometry;
    LabelStyling m_styling;
    bool m_markTextsSet = false;
    bool m_showProgress = false;
    bool m_darkBg = true;
    mutable float m_loggedEffect = 0; // the last clamped setting logged
    // paint() presented the tree to someone other than the retained picture.
    mutable bool m_presentedElsewhere = false;

    // The artwork as last prepared (shared, not copied). The player's
    // artwork is decoded afresh on every refresh, so the same picture comes
    // back as a new image: it is recognised by its pixels.
    QImage m_artwork;
    float m_artworkSide = 0;
    QImage m_sizedArtwork;
    QImage m_reflectionImage;
    QByteArray m_coverTiff; // empty until first posted
};
