#include "nowplaying/PlayerDetection.h"

#include "broadcaster/BroadcasterClient.h"
#include "lyrics/HtmlText.h"
#include "model/PlayerTable.h"
#include "nowplaying/NowPlayingState.h"
#include "nowplaying/PlayerScripts.h"
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

// A process without a name is never running.
bool isListed(const QStringList &processes, const QString &name)
{
    return !name.isEmpty() && HtmlText::containsIgnoringCase(processes, name);
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

bool PlayerDetection::isRunning(PlayerId player) const
{
    return isListed(runningProcessesArray(), PlayerScripts::processName(player));
}

bool PlayerDetection::isPlaying(PlayerId player) const
{
    const PlayerTable::Facts *facts = PlayerTable::find(player);
    ScriptSlot *slot = m_scripts.slots.statusSlot(player);
    if (!facts || !slot)
        return false;
    // One run is enough to read every form of the answer.
    return facts->isPlayingAnswer(run(*slot));
}

void PlayerDetection::determinePlayer()
{
    const QStringList names = processItems();
    if (!m_state.broadcasterPlays()) {
        m_state.currentPlayer = PlayerId::None;
        m_state.preferredPlayer = PlayerId::None;
    }
    const bool listen = m_defaults.boolValue(QStringLiteral("listenForBroadcaster"));
    m_state.noPlayer = !listen;

    // Taken as stored: a number that is no player is never matched.
    const auto preferredSetting = static_cast<PlayerId>(m_defaults.intValue(QStringLiteral("preferredPlayer")));
    PlayerId candidate = PlayerId::None;
    bool found = false;
    for (const PlayerId player : PlayerTable::visitingOrder) {
        const PlayerTable::Facts &facts = *PlayerTable::find(player);
        if (!isListed(names, facts.processNameText())) {
            // A library that is gone gives no random covers.
            if (ScriptSlot *random = m_scripts.slots.randomArtworkSlot(player))
                random->reset();
            continue;
        }
        m_scripts.setUpSomePlayerSpecificScriptsForPlayer(player);
        m_state.noPlayer = false;
        candidate = player;
        if (facts.claimsPreference) {
            if (m_state.preferredPlayer == PlayerId::None)
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
    if (m_state.nothingPlays() && listen)
        m_broadcaster.start();
    if (isLocalPlayer(candidate) && m_state.preferredPlayer == PlayerId::None)
        m_state.preferredPlayer = candidate;
    // The keys act on the followed player, so its transport scripts must be
    // the ones built last.
    if (isLocalPlayer(m_state.preferredPlayer) && m_state.preferredPlayer != candidate)
        m_scripts.setUpSomePlayerSpecificScriptsForPlayer(m_state.preferredPlayer);
}

bool PlayerDetection::playerHasChanged(PlayerId oldPlayer)
{
    logAt(m_defaults, 3, lcNowPlaying, "has player changed from %i", static_cast<int>(oldPlayer));

    // Whether the old player still plays; when it does, nothing changed.
    auto stillPlaying = [this](PlayerId player) {
        if (!isRunning(player)) {
            m_state.currentPlayer = PlayerId::None;
            m_state.preferredPlayer = PlayerId::None;
            return false;
        }
        return isPlaying(player);
    };

    // Music, the broadcaster and numbers past the catalogue's are checked
    // through iTunes while iTunes is the followed player.
    const bool throughITunes = oldPlayer == PlayerId::Music || oldPlayer == PlayerId::Broadcaster
        || static_cast<int>(oldPlayer) > static_cast<int>(PlayerId::Music);
    if (throughITunes) {
        if (m_state.preferredPlayer == PlayerId::ITunes) {
            if (stillPlaying(PlayerId::ITunes))
                return false;
        } else if (oldPlayer == PlayerId::Music && stillPlaying(oldPlayer)) {
            return false;
        }
    } else if (isLocalPlayer(oldPlayer)) {
        if (stillPlaying(oldPlayer))
            return false;
    }
    determinePlayer();
    return m_state.currentPlayer != oldPlayer;
}
