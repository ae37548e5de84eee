#include "core/FrameStep.h"

#include "core/FrameCycle.h"
#include "core/PowerControl.h"
#include "core/ThemeSettings.h"
#include "core/ThemeStage.h"
#include "core/ThemeTable.h"
#include "core/ViewHost.h"
#include "nowplaying/NowPlaying.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"

FrameStep::FrameStep(Parts parts) : m(parts)
{
    m_listener = m.defaults.addChangeListener([this] { m_settingsCurrent = false; });
}

FrameStep::~FrameStep()
{
    m.defaults.removeChangeListener(m_listener);
}

const FrameStep::Settings &FrameStep::settings()
{
    if (!m_settingsCurrent) {
        m_settings.checkPeriod = FrameCycle::sourceCheckPeriod(
            m.defaults.integerValue(QStringLiteral("responsivenessWhenInIdleMode")));
        m_settings.keepStatic = m.themes.getStaticForCurrentTheme();
        m_settingsCurrent = true;
        ++m_settingsReads;
    }
    return m_settings;
}

void FrameStep::run(const ThemeEntry &theme, const QSizeF &bounds)
{
    FrameCycle &c = m.cycle;
    const int L = c.CYCLE;

    // 1. A player notification asked for fresh data: fade out now.
    if (c.triggerCycle) {
        if (c.framesCount < L - FrameCycle::fadeFrames)
            c.framesCount = L - FrameCycle::fadeFrames - 1;
        m.nowPlaying.resetLastProgressValue();
        m.nowPlaying.pauseCheck();
        c.triggerCycle = false;
    }

    // 2. The player check, on the counter as it stands before this frame.
    const int period = settings().checkPeriod;
    bool sourceChanged = false;
    if (c.framesCount % period == 0)
        sourceChanged = m.nowPlaying.playerHasChanged(m.nowPlaying.currentPlayer());

    // 3. Count the frame; lay the theme out when a new cycle begins.
    const int before = c.framesCount;
    ++c.framesCount;
    if (before == 0) {
        ++m_layouts;
        // Every layout reads the source first, then lays itself out.
        const NowShowing showing = m.nowPlaying.refresh(theme.layoutAs);
        // The bar starts with the values of the track the label shows.
        if (theme.pollsProgress)
            m.nowPlaying.updateProgIndValues();
        m.stage.layout(theme.layoutAs, showing);
        if (const std::optional<int> reading = m.stage.lyricsReadingPosition())
            m.nowPlaying.setLyricsReadingPosition(*reading);
    }

    // 4. The fade value, computed once.
    float alpha = FrameCycle::fadeValue(c.framesCount, L);

    // 5. A static theme loops over its hold instead of fading out.
    bool isStatic = false;
    if (settings().keepStatic && c.framesCount == L - FrameCycle::holdStart) {
        c.framesCount = FrameCycle::holdStart;
        isStatic = true;
    }

    // 6. The tiles of the drawing themes age every frame.
    if (theme.drawing != ThemeEntry::Drawing::None) {
        if (!m.stage.isMosaicHidden())
            m.stage.ageTiles();
        if (theme.drawing == ThemeEntry::Drawing::Mosaic)
            m.stage.setMosaicTransparency(alpha);
        else
            m.stage.setLyricTransparency(alpha);
    }

    // 7. Another source took over: end the cycle at once.
    if (sourceChanged) {
        c.framesCount = L + 1;
        // The change check keeps the progress it saw; let it see the new
        // source's, or the old player's position reads as a jump back and
        // cuts the new player's first cycle short.
        m.nowPlaying.updateProgIndValues();
        m.nowPlaying.trackHasChanged();
        alpha = 0.0f;
    }

    // 8. Progress. The fade-out keeps the values of the track it fades out:
    // the next track's would show under the last one's label.
    if (c.framesCount % FrameCycle::progressPeriod == 0 && theme.pollsProgress
        && c.framesCount < L - FrameCycle::fadeFrames)
        m.nowPlaying.updateProgIndValues();

    // 9. Clock and track change.
    if (c.framesCount % FrameCycle::slowPeriod == 0) {
        if (m.defaults.boolValue(QStringLiteral("showClock")))
            m.stage.placeClock(FrameCycle::positionOfClock(bounds, m.clock.now().time()));
        if (c.framesCount < L - FrameCycle::fadeFrames && !sourceChanged
            && m.nowPlaying.currentPlayer() != PlayerId::None) {
            if (m.nowPlaying.trackHasChanged() && c.framesCount < L - FrameCycle::fadeFrames) {
                // From inside the fade-in, the fade-out starts where the fade-in stood.
                c.framesCount = c.framesCount < FrameCycle::fadeFrames
                    ? L - c.framesCount
                    : L - FrameCycle::holdStart;
            }
        }
    }

    // 10. The moving cover follows the raw fade value in the fade frames.
    if (theme.coverFollowsAlpha
        && (c.framesCount < FrameCycle::holdStart || c.framesCount >= L - FrameCycle::fadeFrames))
        m.stage.setLayerOpacity(ThemeStage::Layer::Cover, alpha);

    // 11. End of the cycle.
    if (isStatic || c.framesCount > L)
        endOfCycle(isStatic);

    c.alpha = alpha;
    // 12. The theme's own finish, on the counter as it now stands.
    finish(theme, c.framesCount, FrameCycle::clamped(alpha));
}

void FrameStep::endOfCycle(bool isStatic)
{
    FrameCycle &c = m.cycle;
    c.firstRun = false;
    if (!isStatic)
        c.framesCount = 0;
    if (m.nowPlaying.playerHasChanged(m.nowPlaying.currentPlayer())) {
        m.nowPlaying.updateProgIndValues();
        m.nowPlaying.trackHasChanged();
    }
    m.power.checkSystemIdle();
    if (m.nowPlaying.currentPlayer() != PlayerId::None
        && m.defaults.boolValue(QStringLiteral("blockSleepInFullScreen"))
        && m.host.isFullScreen())
        m.power.preventSleep();
    else
        m.power.allowSleep();
}

void FrameStep::finish(const ThemeEntry &theme, int f, float alpha)
{
    using Layer = ThemeStage::Layer;
    using Finish = ThemeEntry::Finish;
    ThemeStage &s = m.stage;
    const bool fadeFrame = m.cycle.isFadeFrame(f);

    switch (theme.finish) {
    case Finish::FadeCoverAndReflection:
        if (!fadeFrame)
            return;
        if (f == FrameCycle::rebuildFrame) {
            s.reZonkCoverView();
            s.reZonkReflectionView();
        }
        s.setLayerOpacity(Layer::Label, alpha);
        s.setLayerOpacity(Layer::Reflection, alpha);
        s.setLayerOpacity(Layer::Cover, alpha);
        s.setProgressTransparency(alpha);
        return;
    case Finish::FadeCover:
    case Finish::FadeCoverAndBackground:
        if (!fadeFrame)
            return;
        s.setLayerOpacity(Layer::Label, alpha);
        s.setLayerOpacity(Layer::Cover, alpha);
        s.setProgressTransparency(alpha);
        if (theme.finish == Finish::FadeCoverAndBackground)
            s.setLayerOpacity(Layer::Reflection, alpha);
        return;
    case Finish::FadeLabel:
        if (!fadeFrame)
            return;
        s.setLabelHidden(f <= 1);
        s.setLayerOpacity(Layer::Label, alpha);
        s.setProgressTransparency(alpha);
        return;
    case Finish::Drift:
        if (f == FrameCycle::rebuildFrame) {
            s.reZonkCoverView();
            s.setCoverHidden(false);
        }
        if (f >= FrameCycle::driftStart)
            drift(f);
        s.setLayerOpacity(Layer::Label, alpha);
        return;
    case Finish::Tiles:
        s.setProgressTransparency(alpha);
        s.setLayerOpacity(Layer::Label, alpha);
        s.setLayerOpacity(Layer::Cover, alpha);
        return;
    }
}

void FrameStep::drift(int f)
{
    const QPointF start = m.stage.randomPoint();
    const QPointF direction = m.stage.kenBurnsDirection();
    const float spanX = FrameCycle::driftSpanPoints * static_cast<float>(direction.x());
    const float spanY = FrameCycle::driftSpanPoints * static_cast<float>(direction.y());
    const float x = FrameCycle::interpolateValueFrom(static_cast<float>(start.x()),
                                                     static_cast<float>(start.x() + spanX), f,
                                                     m.cycle.CYCLE);
    const float y = FrameCycle::interpolateValueFrom(static_cast<float>(start.y()),
                                                     static_cast<float>(start.y() + spanY), f,
                                                     m.cycle.CYCLE);
    m.stage.setCoverOrigin(QPointF(x, y));
}
