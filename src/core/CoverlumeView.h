#pragma once

#include "core/FrameCycle.h"
#include "core/FrameStep.h"
#include "core/PowerControl.h"
#include "core/StageContext.h"
#include "core/ThemeSettings.h"
#include "core/ThemeStage.h"
#include "core/ViewInput.h"
#include "nowplaying/NowPlaying.h"

#include <QImage>
#include <QJsonObject>
#include <QSizeF>
#include <functional>
#include <memory>

class BroadcasterClient;
class CoverlumeView;
class DefaultsStore;
class FrameClock;
class NotificationCenter;
class Script;
class ScriptService;
class ViewHost;

// The services a display view uses and does not own. All must outlive it.
struct ViewServices
{
    DefaultsStore &defaults;
    ScriptService &scripts;
    NotificationCenter &localCenter;       // this process's notifications
    NotificationCenter &distributedCenter; // notifications between applications
    const FrameClock &clock;
    ViewHost &host;
    // The process-wide broadcaster client; null: the display reaches no
    // broadcaster.
    BroadcasterClient *broadcaster = nullptr;
};

// The parts a view owns. Any left empty is built by the view itself (the
// now-playing engine on the view's script service); tests put fakes here.
struct ViewParts
{
    std::unique_ptr<NowPlaying> nowPlaying;
    std::unique_ptr<ThemeStage> stage;
    std::unique_ptr<PowerControl> power;
    // Makes the stage when `stage` is empty; neither given: a BlankStage.
    // Called once in the view's constructor, before the view builds its
    // views; the context's references are the view's.
    std::function<std::unique_ptr<ThemeStage>(const StageContext &)> makeStage;
    // Makes the keyboard and pointer handling, last in the view's
    // constructor; none: the view takes no input.
    std::function<std::unique_ptr<ViewInput>(CoverlumeView &)> makeInput;
};

// The display: one per window. It owns its theme settings reader, its frame
// cycle, its now-playing engine and its views, and runs one frame each time
// the host calls animateOneFrame(). Main thread only.
class CoverlumeView
{
public:
    CoverlumeView(const QSizeF &frameSize, ViewServices services, ViewParts parts = {});
    ~CoverlumeView(); // leaves both notification centres
    CoverlumeView(const CoverlumeView &) = delete;
    CoverlumeView &operator=(const CoverlumeView &) = delete;

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_animating; }

    // One frame: the current theme's frame step, or nothing when the theme
    // selects none.
    void animateOneFrame();
    // The frame step, for what it counts (layouts run, settings reads).
    const FrameStep &frameStep() const { return m_frameStep; }

    QImage getArtworkImage() const { return m_artworkImage; }
    // Stores the artwork and ends the current cycle on the next frame.
    void setArtworkImage(const QImage &image);

    void paint(QPainter &painter) const;
    QImage snapshot(const QSize &pixelSize) const;
    // Brings the window's retained picture up to date (see
    // ThemeStage::renderDamage); returns the region redrawn, in view points.
    QRegion renderDamage(QImage &frame, bool whole);
    // The window drawing without a picture of its own (see ThemeStage::damage).
    QRegion damage() const;
    void paintWindow(QPainter &painter);

    // The window's size changed: the views are rebuilt for the new size and
    // the running cycle ends on the next frame, so the one after lays the
    // theme out afresh. A size that is not above zero, or the current one,
    // changes nothing.
    void setFrameSize(const QSizeF &size);

    // What the view holds now, for --state and tests.
    QJsonObject state() const;

    QSizeF frameSize() const { return m_frameSize; }
    ThemeSettings &themeSettings() { return m_themes; }
    const FrameCycle &cycle() const { return m_cycle; }
    FrameCycle &cycle() { return m_cycle; }
    NowPlaying &nowPlaying() { return *m_nowPlaying; }
    PowerControl &power() { return *m_power; }
    const ViewServices &services() const { return m_services; }
    // The keyboard and pointer handling; null when the view takes no input.
    ViewInput *input() { return m_input.get(); }
    ThemeStage &stage() { return *m_stage; }
    const QString &osVersion() const { return m_osVersion; }

    // The scripts every player shares, built with the view.
    const Script *allRunningProcessesScript() const { return m_allRunningProcessesScript.get(); }
    const Script *volumeUpScript() const { return m_volumeUpScript.get(); }
    const Script *volumeDownScript() const { return m_volumeDownScript.get(); }

    // Called by the in-process broadcaster notification.
    void updateTrackInfoFromBroadcaster();

    // The rating and loved marks, and the images the layouts draw with.
    using Marks = ViewMarks;
    const Marks &marks() const { return m_marks; }

private:
    // What the engine reads of this view: the cycle's first run and the
    // current theme's switches, read at the time of asking.
    class Facts final : public DisplayFacts
    {
    public:
        Facts(const FrameCycle &cycle, const ThemeSettings &themes) : m_cycle(cycle), m_themes(themes) {}
        bool firstRun() const override { return m_cycle.firstRun; }
        bool showProgress() const override { return m_themes.getShowProgressForCurrentTheme(); }
        std::optional<QVariantMap> detailSwitches() const override { return m_themes.settingsForCurrentTheme(); }

    private:
        const FrameCycle &m_cycle;
        const ThemeSettings &m_themes;
    };

    std::unique_ptr<NowPlaying> makeEngine(const ViewServices &services);
    void buildMarks();
    std::unique_ptr<ThemeStage> makeStage(ViewParts &parts);

    ViewServices m_services;
    ThemeSettings m_themes;
    FrameCycle m_cycle;
    // The bar as last handed to the stage, and whether it is held: the
    // player moved on to another track before the cycle noticed, and the
    // label still shows the last one until the next layout.
    ProgressSnapshot m_barShown;
    bool m_barHeld = false;
    Facts m_facts{m_cycle, m_themes};
    // Declared before the engine, which keeps references to them.
    QImage m_artworkImage;
    std::unique_ptr<Script> m_allRunningProcessesScript;
    std::unique_ptr<Script> m_volumeUpScript;
    std::unique_ptr<Script> m_volumeDownScript;
    std::unique_ptr<NowPlaying> m_nowPlaying;
    std::unique_ptr<ThemeStage> m_stage;
    std::unique_ptr<PowerControl> m_power;
    FrameStep m_frameStep;
    Marks m_marks;
    std::unique_ptr<ViewInput> m_input; // made last, goes first

    QSizeF m_frameSize;
    QString m_osVersion;
    bool m_animating = false;
};
