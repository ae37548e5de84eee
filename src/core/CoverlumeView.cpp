#include "core/CoverlumeView.h"

#include "broadcaster/BroadcasterClient.h"
#include "core/BlankStage.h"
#include "nowplaying/ArtworkSteps.h"
#include "nowplaying/NowPlayingEngine.h"
#include "nowplaying/SharedScripts.h"
#include "core/ThemeTable.h"
#include "core/ViewHost.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/OsRelease.h"
#include "platform/ScriptService.h"

#include <QCoreApplication>
#include <QPainter>
#include <algorithm>
#include <future>

namespace {

const QString kBroadcasterPlayerInfo = QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo");

// Images are only drawn into when both sides exceed 2^-23.
bool sizeIsBiggerThanZero(const QSizeF &size)
{
    constexpr double epsilon = 1.1920928955078125e-7;
    return size.width() > epsilon && size.height() > epsilon;
}

QImage loadResourceImage(const QString &name)
{
    return QImage(QStringLiteral(":/%1.png").arg(name));
}

QImage scaledTo(const QImage &image, const QSizeF &size)
{
    if (image.isNull() || !sizeIsBiggerThanZero(size))
        return image;
    return image.scaled(size.toSize().expandedTo(QSize(1, 1)), Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

// The default artwork, kept at its own (large) size: the stage sizes it once,
// as any artwork. At 2,048 pixels a side it takes a while to decode, and the
// first layout often needs it (a track's own cover is still on its way), so
// it is decoded on a thread of its own from the first view on, once for all
// the views of the process, already in the format the stage sizes from.
const std::shared_future<QImage> &defaultArtworkDecoding()
{
    static const std::shared_future<QImage> decoding = [] {
        // Decoding and converting lean on Qt's thread pool, which is gone
        // once the application is: a run that ends within the decoding
        // (a few frames) waits for it while the application still stands.
        qAddPostRoutine([] { defaultArtworkDecoding().wait(); });
        return std::async(std::launch::async, [] {
                   return loadResourceImage(QStringLiteral("album"))
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
               }).share();
    }();
    return decoding;
}

QImage defaultArtwork()
{
    return defaultArtworkDecoding().get();
}

} // namespace

std::unique_ptr<NowPlaying> CoverlumeView::makeEngine(const ViewServices &services)
{
    static NoBroadcaster noBroadcaster;
    BroadcasterClient &broadcaster = services.broadcaster ? *services.broadcaster : noBroadcaster;
    return std::make_unique<NowPlayingEngine>(NowPlayingEngine::Services{
        services.scripts, services.defaults, services.distributedCenter, this, m_facts, broadcaster,
        m_allRunningProcessesScript, m_artworkImage,
        // The stage and the marks are built after the engine: read at call time.
        [this] { return m_stage ? m_stage->imageSizePoints() : 0.f; },
        [this] {
            if (m_marks.defaultArtworkImage.isNull())
                m_marks.defaultArtworkImage = defaultArtwork();
            return m_marks.defaultArtworkImage;
        },
        // A player's own notification only ends the cycle early; the next
        // layout reads the new data.
        [this] { m_cycle.triggerCycle = true; }});
}

CoverlumeView::CoverlumeView(const QSizeF &frameSize, ViewServices services, ViewParts parts)
    : m_services(services)
    , m_themes(services.defaults)
    , m_nowPlaying(parts.nowPlaying ? std::move(parts.nowPlaying) : makeEngine(services))
    , m_stage(makeStage(parts))
    , m_power(parts.power ? std::move(parts.power) : std::make_unique<InertPowerControl>())
    , m_frameStep({m_cycle, m_themes, *m_nowPlaying, *m_stage, *m_power, services.defaults,
                   services.host, services.clock})
    , m_frameSize(frameSize)
{
    logAt(m_services.defaults, 3, lcCore, "initialising - self is %p - not preview", static_cast<void *>(this));
    if (services.defaults.integerValue(QStringLiteral("defaultArtwork")) != 0)
        defaultArtworkDecoding(); // begins beside the rest of the start-up
    m_cycle.framesCount = 1;
    m_power->tareSystemIdle();

    // Every new view moves the Random theme on by one.
    m_themes.nextRandomTheme();

    m_cycle.firstRun = true;
    m_osVersion = osMinorVersion(QStringLiteral("/etc/os-release"), QStringLiteral("9"));

    m_stage->setUpViews();

    const bool lyrics = m_themes.getTheme() == ThemeId::Lyrics;
    const DefaultsStore &defaults = services.defaults;
    m_cycle.CYCLE = FrameCycle::cycleLength(defaults.contains(QStringLiteral("cycle")),
                                            defaults.integerValue(QStringLiteral("cycle")), lyrics);

    m_stage->relativeSizes();

    logAt(m_services.defaults, 3, lcCore, "setting up scripts");
    m_allRunningProcessesScript = std::make_unique<Script>(services.scripts, SharedScripts::processList());
    logAt(m_services.defaults, 3, lcCore, "determinePlayer");
    m_nowPlaying->determinePlayer();
    logAt(m_services.defaults, 3, lcCore, "back from determinePlayer");
    m_volumeUpScript = std::make_unique<Script>(services.scripts, SharedScripts::volumeUp());
    m_volumeDownScript = std::make_unique<Script>(services.scripts, SharedScripts::volumeDown());

    m_cycle.triggerCycle = false;
    buildMarks();

    // Words that arrive after the layout are shown by the next one: fade out
    // now, never move the cycle back.
    if (LyricsSource *lyrics = m_nowPlaying->lyrics()) {
        lyrics->setArrivalHandler([this] {
            const int fadeOut = m_cycle.CYCLE - 26;
            if (m_cycle.framesCount < fadeOut)
                m_cycle.framesCount = fadeOut;
        });
    }

    logAt(m_services.defaults, 1, lcCore, "adding subviews");
    m_stage->addSubViews(m_nowPlaying->nowShowing());
    logAt(m_services.defaults, 1, lcCore, "Theme is %i", int(m_themes.getTheme()));

    services.localCenter.addObserver(this, kBroadcasterPlayerInfo,
                                     [this](const Notification &) { updateTrackInfoFromBroadcaster(); });

    if (parts.makeInput)
        m_input = parts.makeInput(*this);

    logAt(m_services.defaults, 1, lcCore, "theme %i ready", int(m_themes.getTheme()));
}

CoverlumeView::~CoverlumeView()
{
    // Observers must not outlive the view: a later post would reach freed memory.
    m_services.localCenter.removeObserver(this);
    m_services.distributedCenter.removeObserver(this);
    // The input refers to the view's parts: it goes before them.
    m_input.reset();
}

std::unique_ptr<ThemeStage> CoverlumeView::makeStage(ViewParts &parts)
{
    if (parts.stage)
        return std::move(parts.stage);
    if (parts.makeStage) {
        const StageContext context{m_services.defaults, m_themes, m_services.clock,
                                   m_services.distributedCenter, m_services.host, m_marks, m_frameSize,
                                   m_nowPlaying->lyrics()};
        if (auto stage = parts.makeStage(context))
            return stage;
        qCWarning(lcCore, "the stage factory made no stage; showing a blank stage");
    }
    return std::make_unique<BlankStage>();
}

void CoverlumeView::buildMarks()
{
    m_marks.fiveStars = QString(5, QChar(0x2605));
    m_marks.twelvePipes = QStringLiteral("||||||||||||");
    m_marks.filledHeart = QString(QChar(0x2665));
    m_marks.emptyHeart = QString(QChar(0x2661));
    m_marks.slashedHeart = QString(QChar(0x2661)) + QChar(0x0338);

    const float font = m_stage->fontSizePoints();
    // The drifting themes' S reaches 22,118 points at 4K: the default cover
    // (512 pixels) and the mask are stretched by their layers, never made
    // that large. 2,048 is above every S of the themes that show them flat.
    constexpr float kMaxMarkSide = 2048.0f;
    const float image = std::min(m_stage->imageSizePoints(), kMaxMarkSide);

    m_marks.thumbsUpImage = loadResourceImage(QStringLiteral("thumbsUp"));
    m_marks.thumbsUpSize = QSizeF(0.8125 * font, font);
    if (m_marks.thumbsUpImage.isNull())
        qCInfo(lcCore, "unable to find imageNamed:thumbsUp");
    else
        m_marks.thumbsUpImage = scaledTo(m_marks.thumbsUpImage, m_marks.thumbsUpSize);

    m_marks.thumbsNeitherUpNorDownImage = loadResourceImage(QStringLiteral("thumbsNeitherUpNorDown"));
    m_marks.thumbsNeitherUpNorDownSize = QSizeF(1.875 * font, font);
    if (m_marks.thumbsNeitherUpNorDownImage.isNull())
        qCInfo(lcCore, "unable to find imageNamed:thumbsNeitherUpNorDown");
    else
        m_marks.thumbsNeitherUpNorDownImage = scaledTo(m_marks.thumbsNeitherUpNorDownImage,
                                                       m_marks.thumbsNeitherUpNorDownSize);

    m_marks.transparentMaskImage = scaledTo(loadResourceImage(QStringLiteral("transparent-mask")),
                                            QSizeF(image, image));
}

void CoverlumeView::setFrameSize(const QSizeF &size)
{
    if (size == m_frameSize)
        return;
    if (!sizeIsBiggerThanZero(size)) {
        qCInfo(lcCore, "view resized to %gx%g; keeping the views as they are", size.width(), size.height());
        return;
    }
    m_frameSize = size;
    logAt(m_services.defaults, 1, lcCore, "view resized to %gx%g", size.width(), size.height());

    m_stage->removeSubViews();
    m_stage->setUpViews();
    m_stage->addSubViews(m_nowPlaying->nowShowing());
    m_cycle.framesCount = m_cycle.CYCLE - 1;
    m_stage->relativeSizes();
    // The default artwork, the mask and the thumbs follow the new sizes.
    buildMarks();
}

void CoverlumeView::startAnimation()
{
    m_animating = true;
}

void CoverlumeView::stopAnimation()
{
    m_animating = false;
}

void CoverlumeView::animateOneFrame()
{
    const ThemeEntry *theme = themeEntry(m_themes.getTheme());
    if (!theme)
        return; // a theme number that selects no frame step: the frame does nothing
    m_frameStep.run(*theme, m_frameSize);
    ProgressSnapshot bar = m_nowPlaying->takeProgress();
    // Another length and a jump back: the next track's values, which wait
    // for its label (the layout, frame 1 of a cycle, takes them fresh).
    if (m_cycle.framesCount == 1)
        m_barHeld = false;
    else if (!m_barHeld && m_barShown.shown && bar.maximum != m_barShown.maximum
             && m_barShown.value - bar.value > 1.0)
        m_barHeld = true;
    if (m_barHeld) {
        bar = m_barShown;
    } else {
        m_barShown = bar;
    }
    m_stage->sync(bar);
}

void CoverlumeView::setArtworkImage(const QImage &image)
{
    m_artworkImage = image;
    m_cycle.framesCount = m_cycle.CYCLE + 1;
}

void CoverlumeView::updateTrackInfoFromBroadcaster()
{
    qCInfo(lcCore, "CoverlumeView updateTrackInfoFromBroadcaster");
    if (m_nowPlaying->acceptBroadcasterReport()
        && m_cycle.framesCount < m_cycle.CYCLE - FrameCycle::fadeFrames)
        m_cycle.framesCount = m_cycle.CYCLE - FrameCycle::holdStart;
}

void CoverlumeView::paint(QPainter &painter) const
{
    m_stage->paint(painter, m_frameSize);
}

QRegion CoverlumeView::renderDamage(QImage &frame, bool whole)
{
    return m_stage->renderDamage(frame, whole);
}

QRegion CoverlumeView::damage() const
{
    return m_stage->damage(m_frameSize);
}

void CoverlumeView::paintWindow(QPainter &painter)
{
    m_stage->paintWindow(painter, m_frameSize);
}

QImage CoverlumeView::snapshot(const QSize &pixelSize) const
{
    QImage image(pixelSize.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (sizeIsBiggerThanZero(m_frameSize))
        painter.scale(image.width() / m_frameSize.width(), image.height() / m_frameSize.height());
    paint(painter);
    return image;
}

QJsonObject CoverlumeView::state() const
{
    QJsonObject state{
        {QStringLiteral("theme"), int(m_themes.getTheme())},
        {QStringLiteral("framesCount"), m_cycle.framesCount},
        {QStringLiteral("cycle"), m_cycle.CYCLE},
        // As the views were given it.
        {QStringLiteral("fadeValue"), static_cast<double>(FrameCycle::clamped(m_cycle.alpha))},
        {QStringLiteral("firstRun"), m_cycle.firstRun},
        {QStringLiteral("triggerCycle"), m_cycle.triggerCycle},
        {QStringLiteral("currentPlayer"), static_cast<int>(m_nowPlaying->currentPlayer())},
        {QStringLiteral("frameSize"),
         QJsonObject{{QStringLiteral("width"), m_frameSize.width()},
                     {QStringLiteral("height"), m_frameSize.height()}}},
    };
    m_nowPlaying->describe(state);
    m_stage->describe(state);
    return state;
}
