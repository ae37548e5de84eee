#include "session/DisplaySession.h"

#include "lyrics/LyricsChain.h"
#include "nowplaying/NowPlayingEngine.h"
#include "nowplaying/PlayerArtwork.h"

#include "broadcaster/CoverlumeBroadcasterHelper.h"
#include "core/CoverlumeView.h"
#include "input/KeyRemote.h"
#include "input/KeyTable.h"
#include "input/SystemPower.h"
#include "platform/Log.h"
#include "platform/SessionBus.h"
#include "render/RenderStage.h"
#include "core/RegisteredDefaults.h"
#include "platform/DefaultsStore.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/SimulatedPlayers.h"
#include "players/mpris/MprisBridge.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QKeySequence>
#include <QSaveFile>
#include <cstdlib>
#include <unistd.h>

namespace {

quint32 seedFromTime()
{
    return quint32(QDateTime::currentMSecsSinceEpoch()) ^ (quint32(::getpid()) << 16);
}

bool commit(QSaveFile &file, const QString &what, QString *error)
{
    if (file.commit())
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1 to '%2': %3")
                     .arg(what, file.fileName(), file.errorString());
    return false;
}

bool open(QSaveFile &file, const QString &what, QString *error)
{
    if (file.open(QIODevice::WriteOnly))
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1 to '%2': %3")
                     .arg(what, file.fileName(), file.errorString());
    return false;
}

} // namespace

DisplaySession::DisplaySession(const SessionOptions &options)
    : m_options(options),
      m_defaults(std::make_unique<DefaultsStore>(options.configDir)),
      m_clock(options.clockStart ? std::make_unique<FrameClock>(*options.clockStart)
                                 : std::make_unique<FrameClock>()),
      m_localCenter(&NotificationCenter::defaultCenter()),
      m_frameSize(options.frameSize),
      m_headlessFullScreen(options.fullScreen)
{
    if (options.distributedInProcess)
        m_distributedCenter = std::make_unique<NotificationCenter>();
    else
        m_distributedCenter = std::make_unique<DistributedNotificationCenter>();
}

std::unique_ptr<DisplaySession> DisplaySession::create(const SessionOptions &options,
                                                       QString *error)
{
    ::srandom(options.seed ? *options.seed : seedFromTime());

    std::unique_ptr<DisplaySession> session(new DisplaySession(options));
    if (options.verbosity)
        session->m_defaults->setVolatile(QStringLiteral("verbosity"), *options.verbosity);
    registerAppDefaults(*session->m_defaults);
    // The broadcaster client saves the broadcasters it finds in this run's settings.
    CoverlumeBroadcasterHelper::sharedCoverlumeBroadcasterHelper().setDefaults(session->m_defaults.get());

    if (!session->loadScripts(options.playersFile, error))
        return nullptr;
    return session;
}

DisplaySession::~DisplaySession()
{
    // The view refers to every service; it must go before any of them.
    m_view.reset();
    CoverlumeBroadcasterHelper &broadcaster = CoverlumeBroadcasterHelper::sharedCoverlumeBroadcasterHelper();
    if (broadcaster.defaults() == m_defaults.get())
        broadcaster.setDefaults(nullptr);
}

bool DisplaySession::loadScripts(const QString &playersFile, QString *error)
{
    if (playersFile.isEmpty()) {
        // The real players; their notifications go where the view listens.
        m_scripts = std::make_unique<MprisBridge>(*m_defaults, m_distributedCenter.get());
        return true;
    }
    QString loadError;
    std::unique_ptr<SimulatedPlayers> players = SimulatedPlayers::load(playersFile, *m_clock, &loadError);
    if (!players) {
        if (error)
            *error = loadError.isEmpty()
                ? QStringLiteral("cannot load the players scenario '%1'").arg(playersFile)
                : loadError;
        return false;
    }
    players->setNotificationCenter(m_distributedCenter.get());
    m_players = players.get();
    m_scripts = std::move(players);
    return true;
}

bool DisplaySession::isFullScreen() const
{
    return m_fullScreenSource ? m_fullScreenSource() : m_headlessFullScreen;
}

void DisplaySession::setWindowRequests(WindowRequests requests)
{
    m_requests = std::move(requests);
    m_windowed = true;
}

void DisplaySession::enterFullScreen()
{
    if (m_requests.enterFullScreen) {
        m_requests.enterFullScreen();
    } else if (!m_headlessFullScreen) {
        m_headlessFullScreen = true;
        fullScreenChanged(true);
    }
}

void DisplaySession::leaveFullScreen()
{
    if (m_requests.leaveFullScreen) {
        m_requests.leaveFullScreen();
    } else if (m_headlessFullScreen) {
        m_headlessFullScreen = false;
        fullScreenChanged(false);
    }
}

void DisplaySession::showWindow()
{
    if (m_requests.showWindow)
        m_requests.showWindow();
    else
        m_windowVisible = true;
}

void DisplaySession::hideWindow()
{
    if (m_requests.hideWindow)
        m_requests.hideWindow();
    else
        m_windowVisible = false;
}

void DisplaySession::raiseWindow()
{
    if (m_requests.raiseWindow)
        m_requests.raiseWindow();
}

void DisplaySession::hidePointerUntilMoved(bool hide)
{
    if (m_requests.hidePointerUntilMoved)
        m_requests.hidePointerUntilMoved(hide);
}

void DisplaySession::fullScreenChanged(bool fullScreen)
{
    logAt(*m_defaults, 1, lcSession, "%s full screen", fullScreen ? "entered" : "left");
    if (m_view && m_view->input())
        m_view->input()->setEnteredFullScreen(fullScreen ? m_clock->now() : QDateTime());
}

std::unique_ptr<SystemPower> DisplaySession::makePower()
{
    if (!m_idle) {
        if (m_windowed) {
            m_idle = makeSystemIdleSource(sessionBusIfReachable());
        } else {
            auto scripted = std::make_shared<ScriptedIdleSource>();
            m_scriptedIdle = scripted.get();
            m_idle = scripted;
        }
    }
    // A headless run keeps no display awake: its hold is granted at once
    // and shows only in the state.
    std::unique_ptr<SleepInhibitor> inhibitor = m_windowed ? makeSleepInhibitor(sessionBusIfReachable())
                                                           : std::make_unique<ScriptedInhibitor>();
    return std::make_unique<SystemPower>(*m_defaults, *this, m_idle, std::move(inhibitor));
}

void DisplaySession::applyDisplayEvents()
{
    if (!m_players)
        return;
    const QList<Scenario::DisplayEvent> &events = m_players->displayEvents();
    while (m_nextDisplayEvent < events.size() && events.at(m_nextDisplayEvent).frame <= m_clock->frame()) {
        const Scenario::DisplayEvent &event = events.at(m_nextDisplayEvent++);
        if (event.key.isEmpty()) {
            if (m_scriptedIdle)
                m_scriptedIdle->ms = event.idleMs;
            continue;
        }
        // A key is input: the desktop's idle time starts again.
        if (m_scriptedIdle)
            m_scriptedIdle->ms = 0;
        ViewInput *input = m_view ? m_view->input() : nullptr;
        if (!input)
            continue;
        const QKeySequence chord = QKeySequence::fromString(event.key, QKeySequence::PortableText);
        for (const std::unique_ptr<QKeyEvent> &stroke : strokesFor(chord[0])) {
            if (stroke->type() == QEvent::KeyPress)
                input->keyPressed(*stroke);
            else
                input->keyReleased(*stroke);
        }
    }
}

void DisplaySession::addNewCoverlumeView()
{
    // A first view has nothing to carry over and starts without artwork.
    const QImage heldArtwork = m_view ? m_view->getArtworkImage() : QImage();
    leaveDistributedCenter();

    ViewParts parts;
    parts.power = makePower();
    SystemPower *nextPower = static_cast<SystemPower *>(parts.power.get());
    parts.makeStage = [](const StageContext &context) -> std::unique_ptr<ThemeStage> {
        return std::make_unique<RenderStage>(context);
    };
    parts.makeInput = [nextPower](CoverlumeView &view) -> std::unique_ptr<ViewInput> {
        nextPower->setNowPlaying(&view.nowPlaying());
        return std::make_unique<KeyRemote>(view);
    };
    auto next = std::make_unique<CoverlumeView>(
        m_frameSize,
        ViewServices{*m_defaults, *m_scripts, *m_localCenter, *m_distributedCenter, *m_clock, *this,
                     &CoverlumeBroadcasterHelper::sharedCoverlumeBroadcasterHelper()},
        std::move(parts));
    m_power = nextPower;
    m_view = std::move(next); // the old view is dropped here, with its hold on sleep
    if (m_options.waitForLyrics) {
        if (auto *chain = dynamic_cast<LyricsChain *>(m_view->nowPlaying().lyrics()))
            chain->setWaitForAnswers(true);
    }
    if (auto *engine = dynamic_cast<NowPlayingEngine *>(&m_view->nowPlaying())) {
        if (PlayerArtwork *artwork = engine->playerArtwork())
            artwork->worker().waitForSmallPictures(m_options.waitForArtworkPixels, m_options.waitForArtworkMs);
    }
    m_view->startAnimation();
    m_view->setArtworkImage(heldArtwork);
}

void DisplaySession::resizeView(const QSizeF &size)
{
    if (!(size.width() > 0 && size.height() > 0))
        return;
    m_frameSize = size;
    if (m_view)
        m_view->setFrameSize(size);
}

void DisplaySession::runFrame()
{
    if (!m_view)
        return;
    QElapsedTimer timer;
    timer.start();
    m_clock->beginFrame();
    applyDisplayEvents();
    m_view->animateOneFrame();
    m_timings.record(timer.nsecsElapsed());
}

void DisplaySession::leaveDistributedCenter()
{
    if (m_view)
        m_distributedCenter->removeObserver(m_view.get());
}

bool DisplaySession::writeState(const QString &path, QString *error) const
{
    if (!m_view) {
        if (error)
            *error = QStringLiteral("no display view to write the state of");
        return false;
    }
    QSaveFile file(path);
    if (!open(file, QStringLiteral("the state"), error))
        return false;
    QJsonObject state = m_view->state();
    state.insert(QStringLiteral("fullScreen"), isFullScreen());
    state.insert(QStringLiteral("windowVisible"), m_windowVisible);
    state.insert(QStringLiteral("sleepPrevented"), m_power && m_power->sleepPrevented());
    // How the frames went: how many ran, and the longest step in milliseconds.
    state.insert(QStringLiteral("framesRun"), m_timings.count());
    state.insert(QStringLiteral("longestFrameMs"), double(m_timings.maxNs()) / 1e6);
    file.write(QJsonDocument(state).toJson(QJsonDocument::Indented));
    return commit(file, QStringLiteral("the state"), error);
}

bool DisplaySession::writeSnapshot(const QString &path, QString *error) const
{
    if (!m_view) {
        if (error)
            *error = QStringLiteral("no display view to take a snapshot of");
        return false;
    }
    const QImage image = m_view->snapshot(m_view->frameSize().toSize());
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("the display gave no picture for '%1'").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!open(file, QStringLiteral("the snapshot"), error))
        return false;
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        if (error)
            *error = QStringLiteral("cannot encode the snapshot for '%1'").arg(path);
        return false;
    }
    return commit(file, QStringLiteral("the snapshot"), error);
}

bool DisplaySession::writeScriptLog(const QString &path, QString *error) const
{
    if (!m_players) {
        if (error)
            *error = QStringLiteral("no simulated players, so no script log for '%1'").arg(path);
        return false;
    }
    QString logError;
    if (m_players->writeExecutionLog(path, &logError))
        return true;
    if (error)
        *error = logError.isEmpty() ? QStringLiteral("cannot write the script log to '%1'").arg(path)
                                    : logError;
    return false;
}
