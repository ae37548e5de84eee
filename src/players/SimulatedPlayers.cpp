#include "players/SimulatedPlayers.h"

#include "platform/FrameClock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "players/PlayerProfile.h"
#include "players/SimulatedPlayer.h"
#include "players/VolumeStep.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QUrl>

namespace {

constexpr int maxReportedUnknown = 100;

// Script texts hold carriage returns; a log line must stay one line.
QString oneLine(QString text)
{
    return text.replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n"));
}

QByteArray jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2); // strip the brackets around the one item
}

} // namespace

SimulatedPlayers::SimulatedPlayers(Scenario scenario, const FrameClock &clock)
    : m_clock(clock),
      m_otherProcesses(scenario.processes),
      m_events(scenario.events),
      m_displayEvents(scenario.displayEvents),
      m_volume(scenario.volume)
{
    for (const Scenario::Player &setup : std::as_const(scenario.players)) {
        const PlayerProfile *profile = PlayerProfile::find(setup.name);
        if (profile) // the scenario reader accepts catalogue names only
            m_players.push_back(std::make_unique<SimulatedPlayer>(*profile, setup));
    }
}

SimulatedPlayers::~SimulatedPlayers() = default;

std::unique_ptr<SimulatedPlayers> SimulatedPlayers::load(const QString &path, const FrameClock &clock,
                                                         QString *error)
{
    std::optional<Scenario> scenario = Scenario::load(path, error);
    if (!scenario)
        return nullptr;
    qCInfo(lcPlayers, "simulated players: %d players and %d events from %s", int(scenario->players.size()),
           int(scenario->events.size()), qPrintable(path));
    return std::unique_ptr<SimulatedPlayers>(new SimulatedPlayers(std::move(*scenario), clock));
}

std::unique_ptr<SimulatedPlayers> SimulatedPlayers::fromJson(const QByteArray &json, const QString &fileName,
                                                             const FrameClock &clock, QString *error)
{
    std::optional<Scenario> scenario = Scenario::parse(json, fileName, error);
    if (!scenario)
        return nullptr;
    return std::unique_ptr<SimulatedPlayers>(new SimulatedPlayers(std::move(*scenario), clock));
}

void SimulatedPlayers::setNotificationCenter(NotificationCenter *center)
{
    m_center = center;
}

bool SimulatedPlayers::setServerAddress(const QString &hostAndPort)
{
    const QUrl url(QStringLiteral("http://") + hostAndPort, QUrl::StrictMode);
    const QString host = url.host();
    const bool loopback = host.compare(u"localhost", Qt::CaseInsensitive) == 0
        || QHostAddress(host).isLoopback();
    if (!url.isValid() || !loopback || !url.path().isEmpty() || !url.userInfo().isEmpty())
        return false;
    m_serverAddress = hostAndPort;
    return true;
}

bool SimulatedPlayers::compile(const QString &source)
{
    return ScriptVocabulary::find(source) != nullptr;
}

ScriptResult SimulatedPlayers::execute(const QString &source, QString *error)
{
    catchUp();
    QString message;
    ScriptResult result;
    const ScriptVocabulary::Entry *entry = source.isEmpty() ? nullptr : ScriptVocabulary::find(source);
    if (source.isEmpty()) {
        message = QStringLiteral("empty script");
    } else if (!entry) {
        message = QStringLiteral("unknown script");
        reportUnknown(source);
    } else if (entry->receiver.isEmpty() || entry->receiver == u"System Events") {
        result = runSystem(entry->operation);
    } else {
        SimulatedPlayer *player = find(entry->receiver);
        if (!player || !player->isRunning())
            message = QStringLiteral("%1 is not running").arg(entry->receiver);
        else
            result = player->run(*entry, m_serverAddress, &message);
    }
    record(source, message.isEmpty());
    if (error)
        *error = message;
    postChanges();
    return result;
}

const QList<SimulatedPlayers::Execution> &SimulatedPlayers::executions() const
{
    return m_executions;
}

void SimulatedPlayers::clearExecutions()
{
    m_executions.clear();
    m_droppedExecutions = 0;
}

bool SimulatedPlayers::writeExecutionLog(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    for (const Execution &execution : m_executions) {
        QByteArray line = "{\"frame\":" + QByteArray::number(execution.frame) + ",\"script\":"
            + jsonString(execution.script) + ",\"answered\":" + (execution.answered ? "true" : "false") + "}\n";
        file.write(line);
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

int SimulatedPlayers::volume() const
{
    return m_volume;
}

std::optional<SimulatedPlayers::PlayerStatus> SimulatedPlayers::player(const QString &name)
{
    catchUp();
    postChanges();
    const SimulatedPlayer *player = find(name);
    if (!player)
        return std::nullopt;
    PlayerStatus status;
    status.running = player->isRunning();
    status.state = player->state();
    status.trackIndex = player->trackIndex();
    status.positionSeconds = double(player->positionMs()) / 1000.0;
    if (const Scenario::Track *track = player->trackAt(player->trackIndex())) {
        status.trackName = track->name;
        status.rating = track->rating;
        status.loved = track->loved;
        status.disliked = track->disliked;
    }
    return status;
}

QStringList SimulatedPlayers::processNames()
{
    catchUp();
    postChanges();
    QStringList names = m_otherProcesses;
    for (const auto &player : m_players) {
        if (player->isRunning())
            names << player->processName();
    }
    return names;
}

void SimulatedPlayers::catchUp()
{
    const qint64 now = m_clock.frame();
    while (m_nextEvent < m_events.size() && m_events.at(m_nextEvent).frame <= now) {
        const Scenario::Event event = m_events.at(m_nextEvent++);
        if (event.frame > m_frame) {
            advanceAll(event.frame - m_frame);
            m_frame = event.frame;
        }
        applyEvent(event);
    }
    if (now > m_frame) {
        advanceAll(now - m_frame);
        m_frame = now;
    }
}

void SimulatedPlayers::advanceAll(qint64 frames)
{
    const qint64 elapsedMs = qMin(frames, Scenario::maxFrame) * FrameClock::frameIntervalMs;
    for (const auto &player : m_players)
        player->advance(elapsedMs);
}

void SimulatedPlayers::applyEvent(const Scenario::Event &event)
{
    if (event.player < 0 || event.player >= int(m_players.size()))
        return;
    SimulatedPlayer &player = *m_players.at(size_t(event.player));
    QString why;
    if (!player.apply(event, &why)) {
        qCInfo(lcPlayers, "simulated players: event at frame %lld left out: %s %s", event.frame,
               qPrintable(player.profile().name), qPrintable(why));
    }
}

// Observers may run scripts while a notification is delivered; their
// changes are posted by the same loop, never by a nested one.
void SimulatedPlayers::postChanges()
{
    if (m_posting)
        return;
    m_posting = true;
    for (int round = 0; round < 8; ++round) {
        bool any = false;
        for (const auto &player : m_players) {
            if (!player->takeChange())
                continue;
            any = true;
            const QString &name = player->profile().notification;
            if (m_center && !name.isEmpty())
                m_center->post(name, player->notificationInfo());
        }
        if (!any)
            break;
    }
    m_posting = false;
}

SimulatedPlayer *SimulatedPlayers::find(const QString &name) const
{
    for (const auto &player : m_players) {
        if (player->profile().name == name)
            return player.get();
    }
    return nullptr;
}

ScriptResult SimulatedPlayers::runSystem(ScriptVocabulary::Operation operation)
{
    using Op = ScriptVocabulary::Operation;
    switch (operation) {
    case Op::ProcessList: {
        ScriptResult::List names;
        for (const QString &name : std::as_const(m_otherProcesses))
            names << ScriptResult::text(name);
        for (const auto &player : m_players) {
            if (player->isRunning())
                names << ScriptResult::text(player->processName());
        }
        return ScriptResult::list(names);
    }
    case Op::VolumeUp:
        m_volume = steppedVolume(m_volume, true);
        return ScriptResult();
    case Op::VolumeDown:
        m_volume = steppedVolume(m_volume, false);
        return ScriptResult();
    default:
        return ScriptResult();
    }
}

void SimulatedPlayers::reportUnknown(const QString &source)
{
    if (m_reportedUnknown.size() >= maxReportedUnknown || m_reportedUnknown.contains(source))
        return;
    m_reportedUnknown.insert(source);
    qCWarning(lcPlayers, "simulated players: unknown script \"%s\"", qPrintable(oneLine(source)));
}

void SimulatedPlayers::record(const QString &source, bool answered)
{
    if (m_executions.size() >= executionLimit) {
        // Drop the older half at once, so recording stays cheap per script.
        const qsizetype drop = executionLimit / 2;
        m_executions.remove(0, drop);
        m_droppedExecutions += drop;
    }
    m_executions.append({m_clock.frame(), source, answered});
}

PlayerFacts SimulatedPlayers::playerFacts(const QString &application) const
{
    PlayerFacts facts;
    const SimulatedPlayer *player = find(application);
    const Scenario::Track *track = player ? player->currentTrack() : nullptr;
    if (!track)
        return facts;
    facts.location = track->location;
    facts.positionMs = player->positionMs();
    return facts;
}
