#pragma once

#include "core/StageContext.h"
#include "core/ThemeStage.h"
#include "render/BlurBackground.h"
#include "render/LabelStyling.h"
#include "render/StageGeometry.h"
#include "render/StageTile.h"
#include "render/StageImages.h"
#include "render/Transform3D.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <memory>
#include <optional>
#include <vector>

class ClockField;
class CoverNotifier;
class IdleCard;
class CLProgressIndicator;
class CompositeLyricView;
class CompositeMosaicView;
class Compositor;
class Layer;
class LayerTree;
class ThemeLayout;
class Transform3D;

// The display's views on the layer tree: the cover, its reflection, the
// label, the progress bar, the clock and the drawing views of the tiled
// themes, and the parts every theme shares (label composition, artwork and
// reflection, cover notification, progress, clock). What each theme does
// with them is its ThemeLayout (layouts/): the Classic, Apple TV, Blur,
// Full Screen, Cover Only and Ken Burns Blur themes lay out; the others
// attach their views and lay out nothing.
//
// Owns its tree, its layers and its compositor; borrows everything in the
// context from the view that owns it, and keeps what it is shown as values.
// Random placements draw ::random() (seeded by the session). Main thread only.
class RenderStage final : public ThemeStage
{
public:
    explicit RenderStage(const StageContext &context);
    ~RenderStage() override;

    // ThemeStage
    void setUpViews() override;
    void relativeSizes() override;
    void addSubViews(const NowShowing &showing) override;
    void removeSubViews() override;
    void layout(ThemeId theme, const NowShowing &showing) override;
    void reZonkCoverView() override;
    void reZonkReflectionView() override;
    void setLayerOpacity(ThemeStage::Layer layer, float opacity) override;
    void setProgressTransparency(float alpha) override;
    void setLabelHidden(bool hidden) override;
    void setCoverHidden(bool hidden) override;
    void setCoverOrigin(QPointF origin) override;
    bool isMosaicHidden() const override { return false; } // no theme hides it
    void ageTiles() override;
    void setMosaicTransparency(float alpha) override;
    void setLyricTransparency(float alpha) override;
    void placeClock(const QRectF &frame) override;
    float fontSizePoints() const override { return m_geometry.fontsize; }
    float imageSizePoints() const override { return m_geometry.imagesize; }
    QPointF randomPoint() const override { return m_geometry.randomPoint; }
    QPointF kenBurnsDirection() const override { return {m_geometry.kenBurnsX, m_geometry.kenBurnsY}; }
    // Takes the progress (redrawn when that changes what the bar draws) and
    // the clock's minute into their views.
    void sync(const ProgressSnapshot &progress) override;
    // Brings the progress bar and the clock up to date, then composites.
    // The window's retained picture is then redrawn whole on its next
    // renderDamage(), as this drawing counts as presented.
    void paint(QPainter &painter, const QSizeF &viewSize) const override;
    // Redraws only what changed since the last presented picture: nothing on
    // a hold frame, alpha blits of cached projections on a fade frame.
    QRegion renderDamage(QImage &frame, bool whole) override;
    // The window without a picture of its own: what changed since it last
    // drew (all of it after a drawing for someone else), and its drawing.
    QRegion damage(const QSizeF &viewSize) const override;
    void paintWindow(QPainter &painter, const QSizeF &viewSize) override;
    std::optional<int> lyricsReadingPosition() const override { return m_lyricsReading; }
    void describe(QJsonObject &state) const override;

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
    // The card shown while nothing plays and nothing else shows; attached only then.
    IdleCard *idleCard() const { return m_card.get(); }
    ::Layer *mosaicView() const;
    ::Layer *lyricView() const;
    CompositeMosaicView *mosaic() const { return m_mosaic.get(); }
    CompositeLyricView *lyricLines() const { return m_lyric.get(); }
    const std::vector<StageTile> &tiles() const { return m_tiles; }

    // For the theme layouts.
    const StageContext &context() const { return m_context; }
    StageGeometry &layoutGeometry() { return m_geometry; }
    std::vector<StageTile> &layoutTiles() { return m_tiles; }
    // Where the Lyrics layout left an untimed stream's reading position;
    // none after the other layouts.
    void setLyricsReadingPosition(std::optional<int> position) { m_lyricsReading = position; }
    double random01() const;
    // The perspective turn by E about the y axis, its sense by the alignment.
    Transform3D turn(double m34, float E) const;
    // A static theme keeps the cover on the right; otherwise it changes side.
    void flipAlignment();
    bool darkBackground() const { return m_darkBg; }
    // The blurred themes judge their background; the others keep it dark.
    void setDarkBackground(bool dark) { m_darkBg = dark; }
    // The blurred themes' last wash, kept for the next cycle.
    BlurBackground::Memo &blurMemo() { return m_blurMemo; }
    // Stages D to F: the label's text, composed and drawn into its layer.
    // `theme` picks the detail lines' colour.
    void drawLabel(const LabelStyling::Palette &palette, ThemeId theme, const NowShowing &showing);
    // Stages D and E alone: the label's text and, for Hermes, its thumb.
    AttributedString composeLabel(const LabelStyling::Palette &palette, ThemeId theme, const NowShowing &showing,
                                  bool leftAligned, StageImages::Thumb &thumb);
    // The artwork at S × S (null: none), remade only when the artwork or S
    // changed.
    const QImage &prepareArtwork(const QImage &artwork);
    // Its reflection, made on first use after the artwork was prepared.
    const QImage &reflectionImage();
    // Stage I: the displayed S × S picture to other applications. The
    // notification goes out once per call, from the event loop, when the
    // picture is encoded (see CoverNotifier).
    void postCoverNotification();
    // The same for a theme whose cover is not the S × S picture: `picture`
    // scaled to at most 1,024 pixels a side (null: nothing is sent).
    void postCoverPicture(const QImage &picture);
    CoverNotifier &coverNotifier() const { return *m_coverNotifier; }

private:
    void makeViews(bool appleTVBar);
    void syncViews() const;
    void detachAll();
    // Attaches the idle card when the layout left neither artwork nor text.
    void showIdleCard(const NowShowing &showing);
    const ThemeLayout *currentLayout() const;
    // The clock's place for the time now, clear of the layout.
    void placeClockNow();
    // The cover and its reflection as turned, the label and the bar, where
    // they are attached.
    QList<QRectF> clockObstacles() const;

    StageContext m_context;
    std::unique_ptr<LayerTree> m_tree;
    std::unique_ptr<Compositor> m_compositor;
    std::unique_ptr<::Layer> m_cover;
    std::unique_ptr<::Layer> m_reflection;
    std::unique_ptr<::Layer> m_label;
    std::unique_ptr<CLProgressIndicator> m_progress;
    std::unique_ptr<ClockField> m_clock;
    std::unique_ptr<IdleCard> m_card;
    float m_labelOpacity = 1, m_coverOpacity = 1;
    bool m_attaching = false; // addSubViews is laying out before attaching
    std::unique_ptr<CompositeMosaicView> m_mosaic;
    std::unique_ptr<CompositeLyricView> m_lyric;
    std::vector<StageTile> m_tiles; // the mosaic tiles or the line slots
    std::optional<int> m_lyricsReading;
    float m_mosaicTransparency = 0;
    float m_lyricTransparency = 0;

    StageGeometry m_geometry;
    LabelStyling m_styling;
    bool m_markTextsSet = false;
    ProgressSnapshot m_progressShown;
    // The artwork of the last layout: the re-pose operations do nothing
    // without one (unless the default artwork is on).
    QImage m_shownArtwork;
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
    BlurBackground::Memo m_blurMemo;
    // Last: a cover being encoded is waited for before the rest goes.
    std::unique_ptr<CoverNotifier> m_coverNotifier;
};
