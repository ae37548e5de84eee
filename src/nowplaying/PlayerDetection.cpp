#include "nowplaying/PlayerDetection.h"

#include "broadcaster/BroadcasterClient.h"
#include "nowplaying/NowPlayingState.h"
#include "nowplaying/PlayerScripts.h"
#include "nowplaying/SharedScripts.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"

#include <array>

namespace {

QString trimmed(const QString &name)
{
    auto strip = [](QChar c) { return c == u'"' || c == u'\'' || c == u' '; };
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && strip(name.at(begin)))
        ++begin;
    while (end > begin && strip(name.at(end - 1)))
        --end;
    return name.mid(begin, end - begin);
}

bool containsIgnoringCase(const QStringList &names, const QString &name)
{
    return !name.isEmpty() && names.contains(name, Qt::CaseInsensitive);
}

} // namespace

PlayerDetection::PlayerDetection(NowPlayingState &state, PlayerScripts &scripts,
                                 DefaultsStore &defaults, BroadcasterClient &broadcaster,
                                 const ScriptSlot &processList)
    : m_state(state)
    , m_scripts(scripts)
    , m_defaults(defaults)
    , m_broadcaster(broadcaster)
    , m_processList(processList)
{
}

QStringList PlayerDetection::processItems() const
{
    const ScriptResult result = run(m_processList);
    QStringList names;
    const int count = result.numberOfItems();
    names.reserve(count);
    for (int i = 1; i <= count; ++i) {
        const QString text = result.descriptorAtIndex(i).stringValue();
        if (!text.isNull())
            names << text;
    }
    return names;
}

QStringList PlayerDetection::runningProcessesArray() const
{
    QStringList names = processItems();
    for (QString &name : names)
        name = trimmed(name);
    return names;
}

bool PlayerDetection::isRunning(int player) const
{
    return containsIgnoringCase(runningProcessesArray(), PlayerScripts::processName(player));
}

bool PlayerDetection::isPlaying(int player) const
{
    ScriptSlot *slot = m_scripts.slots.statusSlot(player);
    if (!slot)
        return false;
    const ScriptResult answer = run(*slot);
    if (answer.isNone())
        return false;
    switch (player) {
    case 1:
        // Spotify answers either form; one run is enough to read both.
        return answer.stringValue() == QLatin1String("kPSP")
            || answer.stringValue() == QLatin1String("playing");
    case 3:
    case 6:
        return answer.booleanValue();
    case 4:
        return answer.stringValue() == QLatin1String("PSTl");
    case 9:
        return answer.stringValue() == QLatin1String("play");
    case 10:
        return !answer.stringValue().isEmpty();
    default:
        return answer.stringValue() == QLatin1String("kPSP");
    }
}

void PlayerDetection::determinePlayer()
{
    const QStringList names = processItems();
    if (m_state.currentPlayer != 8) {
        m_state.currentPlayer = 0;
        m_state.preferredPlayer = 0;
    }
    const bool listen = m_defaults.boolValue(QStringLiteral("listenForBroadcaster"));
    m_state.noPlayer = !listen;

    const int preferredSetting = m_defaults.intValue(QStringLiteral("preferredPlayer"));
    int candidate = 0;
    bool found = false;
    for (int player : SharedScripts::visitingOrder) {
        if (!containsIgnoringCase(names, PlayerScripts::processName(player))) {
            if (player == 2)
                m_scripts.slots.iTunesRandomArtworkScript.reset();
            if (player == 12)
                m_scripts.slots.musicRandomArtworkScript.reset();
            continue;
        }
        m_scripts.setUpSomePlayerSpecificScriptsForPlayer(player);
        m_state.noPlayer = false;
        candidate = player;
        if (player == 2 || player == 12) {
            if (m_state.preferredPlayer == 0)
                m_state.preferredPlayer = player;
        } else if (preferredSetting == player) {
            m_state.preferredPlayer = player;
        }
        if (isPlaying(player)) {
            m_state.currentPlayer = player;
            m_state.preferredPlayer = player;
            m_scripts.setUpScriptsForPlayer(player);
            found = true;
            break;
        }
    }
    if (found)
        return;
    if (m_state.currentPlayer == 0 && listen)
        m_broadcaster.start();
    if (candidate != 0 && m_state.preferredPlayer == 0)
        m_state.preferredPlayer = candidate;
    // The keys act on the followed player, so its transport scripts must be
    // the ones built last.
    if (isLocalPlayer(m_state.preferredPlayer) && m_state.preferredPlayer != candidate)
        m_scripts.setUpSomePlayerSpecificScriptsForPlayer(m_state.preferredPlayer);
}

bool PlayerDetection::playerHasChanged(int oldPlayer)
{
    logAt(m_defaults, 3, lcNowPlaying, "has player changed from %i", oldPlayer);

    // Whether the old player still plays; when it does, nothing changed.
    auto stillPlaying = [this](int player) {
        if (!isRunning(player)) {
            m_state.currentPlayer = 0;
            m_state.preferredPlayer = 0;
            return false;
        }
        return isPlaying(player);
    };

    if (oldPlayer == 12 || oldPlayer == 8 || oldPlayer > 12) {
        if (m_state.preferredPlayer == 2) {
            if (stillPlaying(2))
                return false;
        } else if (oldPlayer == 12 && stillPlaying(12)) {
            return false;
        }
    } else if (isLocalPlayer(oldPlayer)) {
        if (stillPlaying(oldPlayer))
            return false;
    }
    determinePlayer();
    return m_state.currentPlayer != oldPlayer;
}
