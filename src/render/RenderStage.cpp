#include "render/RenderStage.h"

#include "core/FrameCycle.h"
#include "core/ThemeSettings.h"
#include "core/ViewHost.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "render/CLProgressIndicator.h"
#include "render/ClockField.h"
#include "render/IdleCard.h"
#include "render/CompositeLyricView.h"
#include "render/CompositeMosaicView.h"
#include "render/Compositor.h"
#include "render/CoverNotifier.h"
#include "render/LabelDetails.h"
#include "render/LayerGeometry.h"
#include "render/LayerTree.h"
#include "render/StageImages.h"
#include "render/layouts/ThemeLayout.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kTileCount = 70;
constexpr double kCoverM34 = 1.0 / 600.0;

// Cheap when it is the same image; otherwise a comparison of the pixels,
// far cheaper than sizing, mirroring and encoding the picture again.
bool isSamePicture(const QImage &a, const QImage &b)
{
    return a.cacheKey() == b.cacheKey() || (a.size() == b.size() && a.format() == b.format() && a == b);
}

std::unique_ptr<Layer> namedLayer(const char *name)
{
    auto layer = std::make_unique<Layer>();
    layer->setName(QString::fromLatin1(name));
    return layer;
}

} // namespace

RenderStage::RenderStage(const StageContext &context)
    : m_context(context)
    , m_tree(std::make_unique<LayerTree>())
    , m_compositor(std::make_unique<Compositor>(*m_tree))
    , m_coverNotifier(std::make_unique<CoverNotifier>([this](const QByteArray &tiff) {
        QVariantMap userInfo;
        if (!tiff.isEmpty())
            userInfo.insert(QStringLiteral("cover"), tiff);
        m_context.distributedCenter.post(QStringLiteral("CoverlumeAlbumCoverChanged"), userInfo);
    }))
{
}

RenderStage::~RenderStage()
{
    // The layers leave the tree before it goes.
    m_cover.reset();
    m_reflection.reset();
    m_label.reset();
    m_progress.reset();
    m_clock.reset();
    m_mosaic.reset();
    m_lyric.reset();
}

float RenderStage::effect() const
{
    const float setting = m_context.themes.get3DeffectForCurrentTheme();
    // Above 1 the layers turn past their edge and the font size shrinks away.
    const float E = std::isfinite(setting) ? std::clamp(setting, 0.0f, 1.0f) : 0.0f;
    if (E != setting && !(setting == m_loggedEffect)) {
        m_loggedEffect = setting;
        qCInfo(lcRender, "3D effect %g is out of range; using %g", double(setting), double(E));
    }
    return E;
}

const ThemeLayout *RenderStage::currentLayout() const
{
    return themeLayout(m_context.themes.getTheme());
}

void RenderStage::setUpViews()
{
    const ThemeLayout *theme = currentLayout();
    const QSizeF bounds = m_context.frameSize;
    m_tree->setViewSize(bounds);

    if (theme && theme->tiles())
        m_tiles.assign(kTileCount, StageTile());
    if (theme)
        theme->baseSizes(m_geometry, bounds, m_context.themes);
    else
        ThemeLayout::defaultSizes(m_geometry, bounds);
    makeViews(theme && theme->appleTVBar());
}

void RenderStage::makeViews(bool appleTVBar)
{
    const float S = m_geometry.imagesize;
    const QRectF whole(QPointF(0, 0), m_context.frameSize);

    m_mosaic = std::make_unique<CompositeMosaicView>(m_tiles);
    m_mosaic->setFrame(whole);
    m_lyric = std::make_unique<CompositeLyricView>(m_tiles);
    m_lyric->setFrame(whole);
    m_reflection = namedLayer("reflectionView");
    m_reflection->setFrame(QRectF(0, 0, S, S));
    m_label = namedLayer("labelView");
    m_label->setFrame(QRectF());
    m_cover = namedLayer("coverView");
    m_cover->setFrame(QRectF(0, 0, S, S));

    m_progress = std::make_unique<CLProgressIndicator>();
    m_progress->setName(QStringLiteral("progressind"));
    m_progress->setStyle(appleTVBar ? CLProgressIndicator::AppleTV : CLProgressIndicator::Classic);
    m_progress->setTransparency(0.0f);
    m_progress->setShowTime(m_context.themes.getShowTimeForCurrentTheme());
    m_progress->setDarkMode(false);
    m_showProgress = m_context.themes.getShowProgressForCurrentTheme();
    m_progress->setHidden(!m_showProgress);

    {
        const FrameClock &clock = m_context.clock;
        m_card = std::make_unique<IdleCard>([&clock] { return clock.now(); });
    }
    if (m_context.defaults.boolValue(QStringLiteral("showClock"))) {
        const FrameClock &clock = m_context.clock;
        m_clock = std::make_unique<ClockField>([&clock] { return clock.now(); });
        m_clock->setName(QStringLiteral("clockField"));
        m_clock->setFrame(FrameCycle::positionOfClock(m_context.frameSize, clock.now().time()));
        m_tree->root().addSublayer(m_clock.get());
    } else {
        m_clock.reset();
    }
}

void RenderStage::relativeSizes()
{
    const ThemeSettings &themes = m_context.themes;
    const float A = themes.getArtworkSizeForCurrentTheme();
    const float factor = (A >= 1.0f && A <= 1.8f) ? A : 1.2f;
    const float E = effect();
    const ThemeLayout *theme = currentLayout();
    if (!theme || theme->artworkScales(themes))
        m_geometry.imagesize *= factor;
    float F = m_geometry.fontsize * factor;
    F = F + F * E * -0.2f;
    m_geometry.fontsize = F * themes.getFontSizeForCurrentTheme();
    m_geometry.margin *= factor;
    if (m_lyric)
        m_lyric->setFontSize(m_geometry.fontsize);
}

void RenderStage::addSubViews(const NowShowing &showing)
{
    const ThemeId shown = m_context.themes.getTheme();
    detachAll();
    const ThemeLayout *theme = themeLayout(shown);
    if (!theme)
        return; // a theme number that names no theme shows nothing
    m_attaching = true;
    layout(shown == ThemeId::Blur ? ThemeId::AppleTV : shown, showing);
    m_attaching = false;
    theme->attach(*this);
    showIdleCard(showing);
    if (m_clock) {
        m_tree->root().addSublayer(m_clock.get());
        placeClockNow();
    }
}

void RenderStage::showIdleCard(const NowShowing &showing)
{
    if (!m_card || showing.idleHint.isEmpty())
        return;
    m_card->removeFromSuperlayer();
    const auto shows = [](const ::Layer *layer) {
        return layer && layer->superlayer() && !layer->contents().isNull();
    };
    bool text = false;
    if (m_label && m_label->superlayer()) {
        for (const auto *line : {&showing.track, &showing.artist, &showing.album})
            text = text || (*line && !(*line)->string().trimmed().isEmpty());
    }
    if (shows(m_cover.get()) || text || !m_tiles.empty())
        return;
    const double x = random01();
    const double y = random01();
    m_card->place(m_context.frameSize, x, y, showing.idleHint);
    m_card->setOpacity(std::max(m_labelOpacity, m_coverOpacity));
    m_tree->root().addSublayer(m_card.get());
}

void RenderStage::detachAll()
{
    ::Layer *all[] = {m_mosaic.get(), m_lyric.get(), m_reflection.get(), m_cover.get(),
                      m_label.get(), m_progress.get(), m_clock.get(), m_card.get()};
    for (::Layer *layer : all)
        if (layer)
            layer->removeFromSuperlayer();
}

void RenderStage::layout(ThemeId theme, const NowShowing &showing)
{
    if (!m_markTextsSet) {
        const ViewMarks &marks = m_context.marks;
        m_styling.setMarkTexts(marks.fiveStars, marks.twelvePipes, marks.filledHeart, marks.emptyHeart,
                               marks.slashedHeart);
        m_markTextsSet = true;
    }
    m_shownArtwork = showing.artwork;
    m_lyricsReading.reset();
    if (m_card)
        m_card->removeFromSuperlayer();
    if (const ThemeLayout *layout = themeLayout(theme))
        layout->layout(*this, showing);
    // While the views are being attached, addSubViews decides after them.
    if (!m_attaching) {
        showIdleCard(showing);
        placeClockNow();
    }
}

void RenderStage::removeSubViews()
{
    ::Layer *all[] = {m_mosaic.get(), m_lyric.get(), m_label.get(), m_reflection.get(),
                      m_cover.get(), m_progress.get(), m_clock.get(), m_card.get()};
    for (::Layer *layer : all)
        if (layer)
            layer->removeFromSuperlayer();
}

void RenderStage::setLayerOpacity(ThemeStage::Layer layer, float opacity)
{
    ::Layer *target = layer == ThemeStage::Layer::Label ? m_label.get()
        : layer == ThemeStage::Layer::Cover             ? m_cover.get()
                                                        : m_reflection.get();
    if (target)
        target->setOpacity(opacity);
    // The idle card fades with whatever the cycle fades.
    if (layer == ThemeStage::Layer::Label)
        m_labelOpacity = opacity;
    else if (layer == ThemeStage::Layer::Cover)
        m_coverOpacity = opacity;
    if (m_card)
        m_card->setOpacity(std::max(m_labelOpacity, m_coverOpacity));
}

void RenderStage::setProgressTransparency(float alpha)
{
    if (m_progress)
        m_progress->setTransparency(alpha);
}

void RenderStage::setLabelHidden(bool hidden)
{
    if (m_label)
        m_label->setHidden(hidden);
}

void RenderStage::setCoverHidden(bool hidden)
{
    if (m_cover)
        m_cover->setHidden(hidden);
}

void RenderStage::setCoverOrigin(QPointF origin)
{
    if (m_cover)
        m_cover->setFrame(QRectF(origin, m_cover->frame().size()));
}

void RenderStage::ageTiles()
{
    for (StageTile &tile : m_tiles)
        tile.counter += 1.0f;
}

::Layer *RenderStage::mosaicView() const
{
    return m_mosaic.get();
}

::Layer *RenderStage::lyricView() const
{
    return m_lyric.get();
}

void RenderStage::setMosaicTransparency(float alpha)
{
    m_mosaicTransparency = alpha;
    if (m_mosaic)
        m_mosaic->setTransparency(alpha);
}

void RenderStage::setLyricTransparency(float alpha)
{
    m_lyricTransparency = alpha;
    if (m_lyric)
        m_lyric->setTransparency(alpha);
}

void RenderStage::describe(QJsonObject &state) const
{
    if (m_card && m_card->superlayer())
        state.insert(QStringLiteral("idleCard"),
                     QJsonObject{{QStringLiteral("hint"), m_card->hint()},
                                 {QStringLiteral("x"), m_card->frame().x()},
                                 {QStringLiteral("y"), m_card->frame().y()}});
    if (m_context.themes.getTheme() != ThemeId::Lyrics || !m_lyric)
        return;
    const QStringList &window = m_lyric->lyrics();
    QJsonArray lit;
    for (const CompositeLyricView::Lit &slot : m_lyric->litSlots())
        lit.append(QJsonObject{{QStringLiteral("slot"), slot.slot},
                               {QStringLiteral("line"), slot.line},
                               {QStringLiteral("text"), slot.text},
                               {QStringLiteral("alpha"), double(slot.alpha)}});
    state.insert(QStringLiteral("lyrics"),
                 QJsonObject{{QStringLiteral("windowLength"), int(window.size())},
                             {QStringLiteral("firstLine"), window.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                                             : QJsonValue(window.first())},
                             {QStringLiteral("lit"), lit}});
}

void RenderStage::placeClock(const QRectF &frame)
{
    if (!m_clock)
        return;
    // The place on the clock's path for now, unless the layout stands there.
    const QList<QRectF> avoid = clockObstacles();
    const bool clear = std::none_of(avoid.cbegin(), avoid.cend(),
                                    [&frame](const QRectF &rect) { return FrameCycle::thisRectClashesWith(frame, rect); });
    m_clock->setFrame(clear ? frame
                            : ClockField::clearPlace(m_context.frameSize, m_context.clock.now().time(), avoid));
}

void RenderStage::placeClockNow()
{
    if (m_clock)
        placeClock(FrameCycle::positionOfClock(m_context.frameSize, m_context.clock.now().time()));
}

QList<QRectF> RenderStage::clockObstacles() const
{
    QList<QRectF> avoid;
    const auto attached = [](const ::Layer *layer) { return layer && layer->superlayer(); };
    // The artwork as turned; a picture behind the whole view is the background.
    for (const ::Layer *artwork : {m_cover.get(), m_reflection.get()}) {
        if (!attached(artwork) || artwork->contents().isNull())
            continue;
        const QRectF turned = LayerGeometry::mappedBounds(artwork->localToSuperlayer(), artwork->bounds());
        if (!turned.isEmpty() && !turned.contains(QRectF(QPointF(0, 0), m_context.frameSize)))
            avoid.append(turned);
    }
    if (attached(m_label.get()) && !m_label->contents().isNull())
        avoid.append(m_label->frame());
    if (attached(m_progress.get()) && m_showProgress)
        avoid.append(m_progress->frame());
    return avoid;
}

void RenderStage::syncViews() const
{
    if (m_progress) {
        m_progress->update(m_progressShown);
        if (!m_showProgress)
            m_progress->setHidden(true);
    }
    if (m_clock) {
        m_clock->refreshTime();
    }
    if (m_card && m_card->superlayer())
        m_card->refresh();
}

void RenderStage::sync(const ProgressSnapshot &progress)
{
    m_progressShown = progress;
    syncViews();
}

void RenderStage::paint(QPainter &painter, const QSizeF &viewSize) const
{
    syncViews();
    m_tree->setViewSize(viewSize);
    m_compositor->render(painter, viewSize);
    m_presentedElsewhere = true;
}

QRegion RenderStage::renderDamage(QImage &frame, bool whole)
{
    const QSizeF viewSize = frame.deviceIndependentSize();
    if (frame.isNull() || viewSize.isEmpty())
        return QRegion();
    syncViews();
    m_tree->setViewSize(viewSize);
    if (!whole && !m_presentedElsewhere)
        return m_compositor->renderDamage(frame);

    m_presentedElsewhere = false;
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    m_compositor->render(painter, viewSize);
    return QRegion(QRectF(QPointF(0, 0), viewSize).toAlignedRect());
}

QRegion RenderStage::damage(const QSizeF &viewSize) const
{
    if (viewSize.isEmpty())
        return QRegion();
    syncViews();
    m_tree->setViewSize(viewSize);
    if (m_presentedElsewhere)
        return QRegion(QRectF(QPointF(0, 0), viewSize).toAlignedRect());
    return m_compositor->damage(viewSize);
}

void RenderStage::paintWindow(QPainter &painter, const QSizeF &viewSize)
{
    syncViews();
    m_tree->setViewSize(viewSize);
    m_compositor->render(painter, viewSize);
    m_presentedElsewhere = false;
}

double RenderStage::random01() const
{
    return double(::random()) / 2147483647.0;
}

Transform3D RenderStage::turn(double m34, float E) const
{
    const double signedM34 = m_geometry.alignment == 0 ? m34 : -m34;
    return Transform3D::perspective(signedM34).rotated(double(E) * 20.0 * M_PI / 180.0, 0, 1, 0);
}

void RenderStage::flipAlignment()
{
    if (m_context.themes.getStaticForCurrentTheme())
        m_geometry.alignment = 0;
    else
        m_geometry.alignment = m_geometry.alignment ? 0 : 1;
}

void RenderStage::drawLabel(const LabelStyling::Palette &palette, ThemeId theme, const NowShowing &showing)
{
    if (!m_label)
        return;
    // The Lyrics label is always left-aligned, on black over its whole box.
    const bool lyrics = theme == ThemeId::Lyrics;
    const bool left = lyrics || m_geometry.alignment == 1;
    m_label->setBackgroundColor(lyrics ? QColor(Qt::black) : QColor(Qt::transparent));
    StageImages::Thumb thumb;
    const AttributedString text = composeLabel(palette, theme, showing, left, thumb);
    const QRectF rect = m_geometry.labelRect;
    // The Lyrics label's black box is its whole rectangle; elsewhere the
    // layer holds only what the text and thumb cover.
    const StageImages::LabelPicture picture = StageImages::label(
        text, rect.size(), left, m_geometry.fontsize, thumb,
        lyrics ? StageImages::LabelExtent::WholeRectangle : StageImages::LabelExtent::Drawn);
    // The picture's rectangle is y-down from the label's top left; the
    // label's frame is y-up, as every frame.
    const QRectF &cut = picture.rect;
    const QRectF frame = lyrics ? rect
                                : QRectF(rect.x() + cut.x(), rect.y() + rect.height() - cut.bottom(), cut.width(),
                                         cut.height());
    m_label->setFrame(frame);
    m_label->setBounds(QRectF(QPointF(0, 0), frame.size()));
    m_label->setContents(picture.image);
    m_label->setOpacity(0);
}

AttributedString RenderStage::composeLabel(const LabelStyling::Palette &palette, ThemeId theme,
                                           const NowShowing &showing, bool left, StageImages::Thumb &thumb)
{
    const LabelStyling::Source &from = showing;
    LabelStyling::Lines lines{showing.track, showing.artist, showing.album};
    const LabelStyling::Switches switches{m_context.themes.getShowRatingForCurrentTheme(),
                                          m_context.themes.getShowLovedForCurrentTheme(),
                                          m_context.defaults.boolValue(QStringLiteral("showLoved"))};
    m_styling.style(lines, from, switches, left, m_geometry.fontsize, palette);
    AttributedString text = m_styling.compose(lines, from, switches);
    AttributedStyle::Paragraph paragraph;
    paragraph.alignment = left ? AttributedStyle::Alignment::Left : AttributedStyle::Alignment::Right;
    appendProStuffToAttrString(text, showing.detailLines, paragraph, m_darkBg, theme, m_geometry.fontsize);

    thumb = StageImages::Thumb();
    if (LabelStyling::isHermes(from)) {
        const ViewMarks &marks = m_context.marks;
        const bool up = from.rating != 0;
        thumb.image = up ? marks.thumbsUpImage : marks.thumbsNeitherUpNorDownImage;
        thumb.sizePoints = marks.thumbsNeitherUpNorDownSize;
        thumb.drawnPoints = up ? marks.thumbsUpSize : marks.thumbsNeitherUpNorDownSize;
    }
    return text;
}

const QImage &RenderStage::prepareArtwork(const QImage &artwork)
{
    const float S = m_geometry.imagesize;
    if (artwork.isNull()) {
        m_sizedArtwork = QImage();
        m_reflectionImage = QImage();
        m_coverNotifier->forget();
        m_artwork = QImage();
        return m_sizedArtwork;
    }
    if (S == m_artworkSide && !m_sizedArtwork.isNull() && isSamePicture(artwork, m_artwork)) {
        m_artwork = artwork; // the next comparison is then by key alone
        return m_sizedArtwork;
    }
    m_artwork = artwork;
    m_artworkSide = S;
    m_sizedArtwork = StageImages::sizedArtwork(artwork, S);
    m_reflectionImage = QImage(); // made when a theme with a reflection asks
    m_coverNotifier->forget();
    return m_sizedArtwork;
}

const QImage &RenderStage::reflectionImage()
{
    if (m_reflectionImage.isNull() && !m_sizedArtwork.isNull())
        m_reflectionImage = StageImages::reflection(m_sizedArtwork, m_context.marks.transparentMaskImage,
                                                    m_geometry.imagesize);
    return m_reflectionImage;
}

void RenderStage::postCoverNotification()
{
    if (m_sizedArtwork.isNull())
        return;
    m_coverNotifier->request(m_sizedArtwork, m_sizedArtwork.cacheKey());
}

void RenderStage::postCoverPicture(const QImage &picture)
{
    if (picture.isNull())
        return; // as for the S × S cover: no artwork, no notification
    m_coverNotifier->request(picture, picture.cacheKey(), 1024);
}

void RenderStage::reZonkCoverView()
{
    if (m_shownArtwork.isNull() && m_context.defaults.integerValue(QStringLiteral("defaultArtwork")) == 0)
        return;
    if (!m_cover)
        return;
    // Here a layer's frame never moves with its anchor: the stored rectangle
    // is the frame, and the pose is rebuilt about the anchor.
    m_cover->setFrame(m_geometry.coverViewRect);
    m_cover->setAnchorPoint(m_geometry.coverViewAnchor);
    m_cover->setTransform(turn(kCoverM34, effect()));
}

void RenderStage::reZonkReflectionView()
{
    if (m_shownArtwork.isNull() && m_context.defaults.integerValue(QStringLiteral("defaultArtwork")) == 0)
        return;
    if (!m_reflection)
        return;
    m_reflection->setFrame(m_geometry.reflectionRect);
    m_reflection->setAnchorPoint(m_geometry.reflectionViewAnchor);
    // The cover's turn: the layout anchored both at one point of the view.
    m_reflection->setTransform(turn(kCoverM34, effect()));
}
