// The theme layouts of RenderStage: placement, label, cover and reflection,
// progress bar and the cover notification, once per display cycle.

#include "render/RenderStage.h"

#include "broadcaster/BroadcasterClient.h"
#include "core/FrameCycle.h"
#include "core/ThemeSettings.h"
#include "nowplaying/NowPlayingState.h"
#include "nowplaying/ProgressDetails.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "render/CLProgressIndicator.h"
#include "render/StageImages.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr double kCoverM34 = 1.0 / 600.0;
constexpr double kReflectionReZonkM34 = 1.0 / 500.0;
constexpr int kPlacementAttempts = 10;

// Cheap when it is the same image; otherwise a comparison of the pixels,
// far cheaper than sizing, mirroring and encoding the picture again.
bool isSamePicture(const QImage &a, const QImage &b)
{
    return a.cacheKey() == b.cacheKey() || (a.size() == b.size() && a.format() == b.format() && a == b);
}

} // namespace

double RenderStage::random01() const
{
    return double(::random()) / 2147483647.0;
}

Transform3D RenderStage::turn(double m34, float E) const
{
    const double signedM34 = m_geometry.alignment == 0 ? m34 : -m34;
    return Transform3D::perspective(signedM34).rotated(double(E) * 20.0 * M_PI / 180.0, 0, 1, 0);
}

LabelStyling::Source RenderStage::source() const
{
    LabelStyling::Source source;
    if (const NowPlayingState *state = m_context.nowPlaying) {
        source.currentPlayer = PlayerId(state->currentPlayer);
        source.rating = state->track.rating;
        source.loved = state->track.loved;
        source.disliked = state->track.disliked;
        source.iTunesRadio = state->track.iTunesRadio;
    }
    if (source.currentPlayer == PlayerId::Broadcaster && m_context.broadcaster)
        source.broadcastPlayer = m_context.broadcaster->getPlayer();
    return source;
}

void RenderStage::layout(ThemeId theme)
{
    if (!m_markTextsSet) {
        const ViewMarks &marks = m_context.marks;
        m_styling.setMarkTexts(marks.fiveStars, marks.twelvePipes, marks.filledHeart, marks.emptyHeart,
                               marks.slashedHeart);
        m_markTextsSet = true;
    }
    switch (theme) {
    case ThemeId::Classic:
        layoutClassic(false);
        break;
    case ThemeId::CoverOnly:
        layoutClassic(true);
        break;
    case ThemeId::AppleTV:
    case ThemeId::Blur:
        layoutAppleTV(m_context.themes.getTheme() == int(ThemeId::Blur));
        break;
    default:
        break; // the other themes' layouts are not part of this stage yet
    }
}

// Stage A of Classic and Cover Only.
QRectF RenderStage::classicLabelRect(const QSizeF &bounds, float E) const
{
    const double W = bounds.width();
    const double S = m_geometry.imagesize, F = m_geometry.fontsize, M = m_geometry.margin;
    const double x = m_geometry.randomPoint.x(), y = m_geometry.randomPoint.y();
    const double t = F + 0.15 * E * S;
    const double height = (S - t) - 0.05 * E * S;
    if (m_geometry.alignment == 1)
        return QRectF(x + S + (1 - E) * M, y + t, W - x - S - M, height);
    return QRectF(M, y + t, x - M - (1 - E) * M, height);
}

void RenderStage::flipAlignment()
{
    if (m_context.themes.getStaticForCurrentTheme())
        m_geometry.alignment = 0;
    else
        m_geometry.alignment = m_geometry.alignment ? 0 : 1;
}

void RenderStage::placeClassic(const QSizeF &bounds, float E)
{
    const double W = bounds.width(), H = bounds.height();
    const double S = m_geometry.imagesize;
    if (!m_context.themes.getCentredForCurrentTheme()) {
        const QRectF clock = FrameCycle::positionOfClock(bounds, m_context.clock.now().time());
        for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
            const double r1 = random01();
            const double r2 = random01();
            m_geometry.randomPoint = QPointF(r1 * (W - S), r2 * (H - S));
            m_geometry.alignment = m_geometry.randomPoint.x() + 0.5 * S <= 0.5 * W ? 1 : 0;
            m_geometry.labelRect = classicLabelRect(bounds, E);
            if (!FrameCycle::thisRectClashesWith(m_geometry.labelRect, clock))
                break;
        }
        return;
    }
    flipAlignment();
    const double y = (H - S) * 0.5;
    const double x = m_geometry.alignment == 1 ? 0.5 * W - S : 0.5 * W;
    m_geometry.randomPoint = QPointF(x, y);
    m_geometry.labelRect = classicLabelRect(bounds, E);
}

void RenderStage::layoutClassic(bool coverOnly)
{
    const QSizeF bounds = m_context.frameSize;
    const float E = effect();
    placeClassic(bounds, E);
    if (!coverOnly)
        drawLabel(LabelStyling::Palette::classic(), int(ThemeId::Classic));
    setClassicCover(coverOnly, E);
    setClassicProgressFrame(bounds, E);
    postCoverNotification();
}

void RenderStage::layoutAppleTV(bool blur)
{
    const QSizeF bounds = m_context.frameSize;
    const double W = bounds.width(), H = bounds.height();
    const double S = m_geometry.imagesize, F = m_geometry.fontsize, M = m_geometry.margin;
    flipAlignment();
    const double y = (H - S) * 0.5;
    const double t = 0.7 * F;
    if (m_geometry.alignment == 0) {
        m_geometry.randomPoint = QPointF(0.5 * W, y);
        m_geometry.labelRect = QRectF(M, y + t, 0.5 * W - 2 * M, S - t);
    } else {
        m_geometry.randomPoint = QPointF(0.5 * W - S, y);
        m_geometry.labelRect = QRectF(0.5 * W + M, y + t, 0.5 * W - M, S - t);
    }
    if (blur && m_reflection) {
        // The container of the Blur theme: the whole view, flat; its blurred
        // background is not drawn yet, so it shows black.
        m_reflection->setContents(QImage());
        m_reflection->setTransform(Transform3D());
        m_reflection->setFrame(QRectF(QPointF(0, 0), bounds));
        m_reflection->setOpacity(0);
    }
    const double w = m_darkBg ? 1.0 : (blur ? 0.15 : 1.0);
    drawLabel(LabelStyling::Palette::appleTV(w), blur ? int(ThemeId::Blur) : int(ThemeId::AppleTV));
    setAppleTVCover();
    setAppleTVProgressFrame(bounds);
    postCoverNotification();
}

// Stages D to F: the label's text, composed and drawn into its layer.
void RenderStage::drawLabel(const LabelStyling::Palette &palette, int theme)
{
    if (!m_label)
        return;
    const bool left = m_geometry.alignment == 1;
    const LabelStyling::Source from = source();
    AttributedString text;
    if (const NowPlayingState *state = m_context.nowPlaying) {
        LabelStyling::Lines lines{state->track.trackString, state->track.artistString, state->track.albumString};
        const LabelStyling::Switches switches{m_context.themes.getShowRatingForCurrentTheme(),
                                              m_context.themes.getShowLovedForCurrentTheme(),
                                              m_context.defaults.boolValue(QStringLiteral("showLoved"))};
        m_styling.style(lines, from, switches, left, m_geometry.fontsize, palette);
        text = m_styling.compose(lines, from, switches);
        if (m_context.details) {
            AttributedStyle::Paragraph paragraph;
            paragraph.alignment = left ? AttributedStyle::Alignment::Left : AttributedStyle::Alignment::Right;
            m_context.details->appendProStuffToAttrString(text, paragraph, m_darkBg, theme, m_geometry.fontsize);
        }
    }
    StageImages::Thumb thumb;
    if (LabelStyling::isHermes(from) && m_context.nowPlaying) {
        const ViewMarks &marks = m_context.marks;
        const bool up = from.rating != 0;
        thumb.image = up ? marks.thumbsUpImage : marks.thumbsNeitherUpNorDownImage;
        thumb.sizePoints = marks.thumbsNeitherUpNorDownSize;
        thumb.drawnPoints = up ? marks.thumbsUpSize : marks.thumbsNeitherUpNorDownSize;
    }
    const QRectF rect = m_geometry.labelRect;
    m_label->setFrame(rect);
    m_label->setContents(StageImages::label(text, rect.size(), left, m_geometry.fontsize, thumb));
    m_label->setOpacity(0);
}

void RenderStage::prepareArtwork()
{
    const QImage &artwork = m_context.artworkImage;
    const float S = m_geometry.imagesize;
    if (artwork.isNull()) {
        m_sizedArtwork = QImage();
        m_reflectionImage = QImage();
        m_coverTiff.clear();
        m_artwork = QImage();
        return;
    }
    if (S == m_artworkSide && !m_sizedArtwork.isNull() && isSamePicture(artwork, m_artwork)) {
        m_artwork = artwork; // the next comparison is then by key alone
        return;
    }
    m_artwork = artwork;
    m_artworkSide = S;
    m_sizedArtwork = StageImages::sizedArtwork(artwork, S);
    m_reflectionImage = QImage(); // made when a theme with a reflection asks
    m_coverTiff.clear();
}

// Stage G of Classic and Cover Only: the turned cover and its reflection.
void RenderStage::setClassicCover(bool coverOnly, float E)
{
    prepareArtwork();
    const double S = m_geometry.imagesize;
    const double x = m_geometry.randomPoint.x(), y = m_geometry.randomPoint.y();
    const bool left = m_geometry.alignment == 1;
    m_geometry.reflectionRect = QRectF(x, y - S, S, 1.29 * S);
    m_geometry.coverViewRect = QRectF(x, y, S, S);
    m_geometry.reflectionViewAnchor = QPointF(left ? 0.0 : 1.0, 1.4);
    m_geometry.coverViewAnchor = QPointF(left ? 0.0 : 1.0, coverOnly ? 1.4 : 0.8);
    if (!m_cover || !m_reflection)
        return;
    if (m_sizedArtwork.isNull()) {
        m_reflection->setContents(QImage());
        m_cover->setContents(QImage());
        return;
    }
    if (m_reflectionImage.isNull())
        m_reflectionImage = StageImages::reflection(m_sizedArtwork, m_context.marks.transparentMaskImage, S);

    m_reflection->setOpacity(0);
    m_reflection->setAnchorPoint(m_geometry.reflectionViewAnchor);
    m_reflection->setContents(m_reflectionImage);
    m_reflection->setTransform(turn(kCoverM34, E));
    m_reflection->setFrame(m_geometry.reflectionRect);
    m_reflection->setBounds(QRectF(0, 0, S, 1.29 * S));

    m_cover->setOpacity(0);
    m_cover->setAnchorPoint(m_geometry.coverViewAnchor);
    m_cover->setContents(m_sizedArtwork);
    m_cover->setTransform(turn(kCoverM34, E));
    m_cover->setFrame(m_geometry.coverViewRect);
    m_cover->setBounds(QRectF(0, 0, S, S));
}

// Stage G of Apple TV: a flat cover beside the middle.
void RenderStage::setAppleTVCover()
{
    prepareArtwork();
    const double S = m_geometry.imagesize;
    m_geometry.coverViewRect = QRectF(m_geometry.randomPoint, QSizeF(S, S));
    if (!m_cover)
        return;
    if (m_sizedArtwork.isNull()) {
        m_cover->setContents(QImage());
        return;
    }
    m_cover->setOpacity(0);
    m_cover->setContents(m_sizedArtwork);
    m_cover->setFrame(m_geometry.coverViewRect);
    m_cover->setBounds(QRectF(0, 0, S, S));
}

void RenderStage::setClassicProgressFrame(const QSizeF &bounds, float E)
{
    const double W = bounds.width();
    const double S = m_geometry.imagesize, F = m_geometry.fontsize, M = m_geometry.margin;
    const double x = m_geometry.randomPoint.x(), y = m_geometry.randomPoint.y();
    const double u = 0.15 * E * S;
    QRectF rect;
    if (m_geometry.alignment == 0) {
        rect = QRectF(x - S + M, y + u, (S - M) - (1 - E) * M, 0.6 * F);
        if (rect.width() > m_geometry.labelRect.width()) {
            rect.moveLeft(M);
            rect.setWidth(m_geometry.labelRect.width());
        }
    } else {
        rect = QRectF(x + S + (1 - E) * M, y + u, S - 2 * M, 0.6 * F);
        if (rect.width() > W - rect.x())
            rect.setWidth(W - rect.x());
    }
    m_geometry.progressRect = rect;
    if (m_progress)
        m_progress->setFrame(rect);
}

void RenderStage::setAppleTVProgressFrame(const QSizeF &bounds)
{
    const double W = bounds.width();
    const double S = m_geometry.imagesize, F = m_geometry.fontsize, M = m_geometry.margin;
    const double x = m_geometry.randomPoint.x(), y = m_geometry.randomPoint.y();
    QRectF rect;
    if (m_geometry.alignment == 0) {
        rect = QRectF(x - S + M, y, S - 2 * M, 0.6 * F);
        if (rect.width() > x) {
            rect.moveLeft(0);
            rect.setWidth(x - M);
        }
    } else {
        rect = QRectF(x + S + M, y, S - 2 * M, 0.6 * F);
        if (rect.width() > W - rect.x())
            rect.setWidth(W - rect.x());
    }
    m_geometry.progressRect = rect;
    if (m_progress)
        m_progress->setFrame(rect);
}

// Stage I: the displayed S × S picture to other applications, every layout.
void RenderStage::postCoverNotification()
{
    if (m_sizedArtwork.isNull())
        return;
    const qsizetype raw = qsizetype(m_sizedArtwork.sizeInBytes());
    QVariantMap userInfo;
    if (raw > StageImages::kMaxCoverNotificationBytes) {
        qCInfo(lcRender, "the cover (%lld bytes) is too large to send; CoverlumeAlbumCoverChanged goes without it",
               static_cast<long long>(raw));
    } else {
        if (m_coverTiff.isEmpty())
            m_coverTiff = StageImages::tiffData(m_sizedArtwork);
        if (m_coverTiff.size() > StageImages::kMaxCoverNotificationBytes)
            qCInfo(lcRender, "the cover (%lld bytes) is too large to send; CoverlumeAlbumCoverChanged goes without it",
                   static_cast<long long>(m_coverTiff.size()));
        else if (!m_coverTiff.isEmpty())
            userInfo.insert(QStringLiteral("cover"), m_coverTiff);
    }
    m_context.distributedCenter.post(QStringLiteral("CoverlumeAlbumCoverChanged"), userInfo);
}

void RenderStage::reZonkCoverView()
{
    if (m_context.artworkImage.isNull() && m_context.defaults.integerValue(QStringLiteral("defaultArtwork")) != 1)
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
    if (m_context.artworkImage.isNull() && m_context.defaults.integerValue(QStringLiteral("defaultArtwork")) != 1)
        return;
    if (!m_reflection)
        return;
    m_reflection->setFrame(m_geometry.reflectionRect);
    m_reflection->setAnchorPoint(m_geometry.reflectionViewAnchor);
    m_reflection->setTransform(turn(kReflectionReZonkM34, effect()));
}
