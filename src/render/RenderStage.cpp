#include "render/RenderStage.h"

#include "core/FrameCycle.h"
#include "core/ThemeSettings.h"
#include "core/ViewHost.h"
#include "nowplaying/NowPlayingState.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/Log.h"
#include "render/CLProgressIndicator.h"
#include "render/ClockField.h"
#include "render/Compositor.h"
#include "render/LayerTree.h"

#include <QPainter>
#include <cmath>

namespace {

constexpr int kTileCount = 70;

bool usesAppleTVBar(int theme)
{
    return theme == int(ThemeId::AppleTV) || theme == int(ThemeId::Lyrics) || theme == int(ThemeId::Mosaic)
        || theme == int(ThemeId::Blur);
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

void RenderStage::setBaseSizes(int theme, const QSizeF &bounds)
{
    const double W = bounds.width();
    const double H = bounds.height();
    float S = float(H / 2.4), F = float(H / 35), M = float(H / 20);
    switch (ThemeId(theme)) {
    case ThemeId::AppleTV:
    case ThemeId::Blur:
        S = float(H / 2.1);
        M = float(H / 15);
        break;
    case ThemeId::FullScreen:
    case ThemeId::KenBurnsBlur:
        if (m_context.themes.getCentredForCurrentTheme()) {
            S = float(std::min(W, H));
        } else {
            const float A = m_context.themes.getArtworkSizeForCurrentTheme();
            const double k = (A >= 1.0f && A <= 1.8f) ? 1.0 + A / 3.0 : 1.4;
            S = float(k * std::max(W, H));
        }
        if (ThemeId(theme) == ThemeId::KenBurnsBlur)
            S *= 2;
        break;
    case ThemeId::Text:
        F = float(H / 25);
        break;
    case ThemeId::Mosaic:
        S = float(H / 3.5);
        break;
    case ThemeId::Lyrics:
        S = float(0.25 * H);
        F = float(H / 50);
        M = float(H / 30);
        break;
    default:
        break;
    }
    m_geometry.imagesize = S;
    m_geometry.fontsize = F;
    m_geometry.margin = M;
}

void RenderStage::setUpViews()
{
    const int theme = m_context.themes.getTheme();
    const QSizeF bounds = m_context.frameSize;
    m_tree->setViewSize(bounds);

    if (theme == int(ThemeId::Mosaic) || theme == int(ThemeId::Lyrics))
        m_tiles.assign(kTileCount, 0.0f);
    setBaseSizes(theme, bounds);
    makeViews(theme);
}

void RenderStage::makeViews(int theme)
{
    const float S = m_geometry.imagesize;
    const QRectF whole(QPointF(0, 0), m_context.frameSize);

    m_mosaic = namedLayer("mosaicView");
    m_mosaic->setFrame(whole);
    m_lyric = namedLayer("lyricView");
    m_lyric->setFrame(whole);
    m_reflection = namedLayer("reflectionView");
    m_reflection->setFrame(QRectF(0, 0, S, S));
    m_label = namedLayer("labelView");
    m_label->setFrame(QRectF());
    m_cover = namedLayer("coverView");
    m_cover->setFrame(QRectF(0, 0, S, S));

    m_progress = std::make_unique<CLProgressIndicator>();
    m_progress->setName(QStringLiteral("progressind"));
    m_progress->setStyle(usesAppleTVBar(theme) ? CLProgressIndicator::AppleTV : CLProgressIndicator::Classic);
    m_progress->setTransparency(0.0f);
    m_progress->setShowTime(m_context.themes.getShowTimeForCurrentTheme());
    m_progress->setDarkMode(false);
    m_showProgress = m_context.themes.getShowProgressForCurrentTheme();
    m_progress->setHidden(!m_showProgress);

    if (m_context.defaults.boolValue(QStringLiteral("showClock"))) {
        const FrameClock &clock = m_context.clock;
        m_clock = std::make_unique<ClockField>([&clock] { return clock.now(); });
        m_clock->setName(QStringLiteral("clockField"));
        m_clock->setFrame(FrameCycle::positionOfClock(m_context.frameSize, clock.now().time()));
        m_clock->setFullScreen(m_context.host.isFullScreen());
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
    if (!(themes.getCentredForCurrentTheme() && themes.getTheme() == int(ThemeId::FullScreen)))
        m_geometry.imagesize *= factor;
    float F = m_geometry.fontsize * factor;
    F = F + F * E * -0.2f;
    m_geometry.fontsize = F * themes.getFontSizeForCurrentTheme();
    m_geometry.margin *= factor;
}

void RenderStage::addSubViews()
{
    const int theme = m_context.themes.getTheme();
    if (theme >= 0 && theme <= int(ThemeId::KenBurnsBlur) && theme != int(ThemeId::Random))
        layout(theme == int(ThemeId::Blur) ? ThemeId::AppleTV : ThemeId(theme));
    attach(theme);
}

void RenderStage::attach(int theme)
{
    ::Layer *all[] = {m_mosaic.get(), m_lyric.get(), m_reflection.get(), m_cover.get(),
                      m_label.get(), m_progress.get(), m_clock.get()};
    for (::Layer *layer : all)
        if (layer)
            layer->removeFromSuperlayer();

    ::Layer &root = m_tree->root();
    const auto add = [](::Layer &parent, std::initializer_list<::Layer *> layers) {
        for (::Layer *layer : layers)
            if (layer)
                parent.addSublayer(layer);
    };
    switch (ThemeId(theme)) {
    case ThemeId::Classic:
        add(root, {m_reflection.get(), m_cover.get(), m_label.get(), m_progress.get()});
        break;
    case ThemeId::CoverOnly:
        add(root, {m_reflection.get(), m_cover.get()});
        break;
    case ThemeId::AppleTV:
        add(root, {m_cover.get(), m_label.get(), m_progress.get()});
        break;
    case ThemeId::Blur:
        add(root, {m_reflection.get()});
        add(*m_reflection, {m_cover.get(), m_label.get(), m_progress.get()});
        break;
    case ThemeId::FullScreen:
    case ThemeId::KenBurnsBlur:
        add(root, {m_cover.get(), m_label.get()});
        break;
    case ThemeId::Text:
        add(root, {m_label.get(), m_progress.get()});
        break;
    case ThemeId::Mosaic:
        add(root, {m_mosaic.get(), m_progress.get(), m_label.get()});
        break;
    case ThemeId::Lyrics:
        add(root, {m_lyric.get(), m_progress.get(), m_label.get(), m_cover.get()});
        break;
    default:
        return; // a theme number that names no theme shows nothing
    }
    add(root, {m_clock.get()});
}

void RenderStage::removeSubViews()
{
    ::Layer *all[] = {m_mosaic.get(), m_lyric.get(), m_label.get(), m_reflection.get(),
                      m_cover.get(), m_progress.get(), m_clock.get()};
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
    for (float &tile : m_tiles)
        tile += 1.0f;
}

void RenderStage::placeClock(const QRectF &frame)
{
    if (m_clock)
        m_clock->setFrame(frame);
}

void RenderStage::syncViews() const
{
    if (m_progress && m_context.nowPlaying) {
        m_progress->update(m_context.nowPlaying->progress);
        if (!m_showProgress)
            m_progress->setHidden(true);
    }
    if (m_clock) {
        m_clock->setFullScreen(m_context.host.isFullScreen());
        m_clock->refreshTime();
    }
}

void RenderStage::sync()
{
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
