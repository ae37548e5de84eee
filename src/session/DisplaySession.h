#pragma once

#include "core/ViewHost.h"
#include "session/FrameTimings.h"
#include "session/SessionOptions.h"

#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>

class CoverlumeView;
class DefaultsStore;
class IdleSource;
class ScriptedIdleSource;
class SystemPower;
class FrameClock;
class NotificationCenter;
class ScriptService;
class SimulatedPlayers;

// One run of the display, with or without a window: the settings store,
// the clock, the script-service backend (simulated players, or the real
// players through the MPRIS bridge), both
// notification centres, and the current display view, which it replaces on
// request. It is the view's host: full screen is what the window reports
// through the source the application sets, or the headless option.
//
// Owns everything it builds except the in-process centre, which is the
// application's default centre. The view is null until the first
// addNewCoverlumeView(). Main thread only.
class DisplaySession final : public ViewHost
{
public:
    // Seeds the random draws, opens the settings, registers the defaults
    // (and starts unpaused), and loads the players scenario if one is named.
    // Null, with the loader's message in *error, when the scenario cannot
    // be loaded.
    static std::unique_ptr<DisplaySession> create(const SessionOptions &options, QString *error);
    ~DisplaySession() override;
    DisplaySession(const DisplaySession &) = delete;
    DisplaySession &operator=(const DisplaySession &) = delete;

    DefaultsStore &defaults() { return *m_defaults; }
    const FrameClock &clock() const { return *m_clock; }
    ScriptService &scripts() { return *m_scripts; }
    SimulatedPlayers *simulatedPlayers() const { return m_players; } // null without a scenario
    NotificationCenter &localCenter() { return *m_localCenter; }
    NotificationCenter &distributedCenter() { return *m_distributedCenter; }
    CoverlumeView *view() const { return m_view.get(); }

    // The size the next view is created with, in points.
    QSizeF frameSize() const { return m_frameSize; }
    void setFrameSize(const QSizeF &size) { m_frameSize = size; }
    // The window's size changed: the current view is rebuilt at this size
    // and later views are made at it too. A size not above zero is ignored.
    void resizeView(const QSizeF &size);

    // Windowed runs answer isFullScreen() from the window; an empty source
    // falls back to the headless flag, which starts from the option and
    // follows the view's requests.
    void setFullScreenSource(std::function<bool()> source) { m_fullScreenSource = std::move(source); }
    bool isFullScreen() const override;

    // What the view asks of its window, as the application carries it out.
    // A request left empty changes the headless state instead. Setting them
    // makes the session windowed: later views read the desktop's idle time
    // and hold off its display sleep; headless views read the scenario's.
    struct WindowRequests
    {
        std::function<void()> enterFullScreen, leaveFullScreen, showWindow, hideWindow, raiseWindow;
        std::function<void(bool hide)> hidePointerUntilMoved;
    };
    void setWindowRequests(WindowRequests requests);
    void enterFullScreen() override;
    void leaveFullScreen() override;
    void showWindow() override;
    void hideWindow() override;
    void raiseWindow() override;
    void hidePointerUntilMoved(bool hide) override;
    // The window entered (true) or left full screen; the view's pointer
    // handling hears when.
    void fullScreenChanged(bool fullScreen);
    bool isWindowVisible() const { return m_windowVisible; }

    // Replaces the view by a new one of frameSize() that shows the old one's
    // artwork at once (the first view gets none).
    void addNewCoverlumeView();

    // One frame: the clock moves on, then the view animates. Timed into
    // frameTimings(). Does nothing without a view.
    void runFrame();
    const FrameTimings &frameTimings() const { return m_timings; }

    // On quit: the view stops hearing distributed notifications.
    void leaveDistributedCenter();

    // Outputs. Each is written whole or not at all; false with the reason.
    bool writeState(const QString &path, QString *error) const;
    bool writeSnapshot(const QString &path, QString *error) const;
    bool writeScriptLog(const QString &path, QString *error) const;

private:
    explicit DisplaySession(const SessionOptions &options);
    bool loadScripts(const QString &playersFile, QString *error);
    std::unique_ptr<SystemPower> makePower();
    void applyDisplayEvents();

    SessionOptions m_options;
    std::unique_ptr<DefaultsStore> m_defaults;
    std::unique_ptr<FrameClock> m_clock;
    NotificationCenter *m_localCenter;
    std::unique_ptr<NotificationCenter> m_distributedCenter;
    std::unique_ptr<ScriptService> m_scripts;
    SimulatedPlayers *m_players = nullptr; // m_scripts, when it is the simulation
    // Declared last: the view uses everything above and goes first.
    std::unique_ptr<CoverlumeView> m_view;
    QSizeF m_frameSize;
    std::function<bool()> m_fullScreenSource;
    WindowRequests m_requests;
    bool m_windowed = false;
    bool m_headlessFullScreen = false;
    bool m_windowVisible = true;
    std::shared_ptr<IdleSource> m_idle;   // one for the session: probed once
    ScriptedIdleSource *m_scriptedIdle = nullptr; // m_idle, when the scenario sets it
    SystemPower *m_power = nullptr;       // the current view's
    qsizetype m_nextDisplayEvent = 0;
    FrameTimings m_timings;
};
