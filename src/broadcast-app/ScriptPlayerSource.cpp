#include "ScriptPlayerSource.h"

#include "model/PlayerTable.h"
#include "nowplaying/PlayerScripts.h"
#include "nowplaying/SharedScripts.h"
#include "platform/NotificationCenter.h"

namespace {

QString stripped(const QString &name)
{
    QString text = name;
    while (!text.isEmpty() && (text.front() == u'"' || text.front() == u'\'' || text.front() == u' '))
        text.remove(0, 1);
    while (!text.isEmpty() && (text.back() == u'"' || text.back() == u'\'' || text.back() == u' '))
        text.chop(1);
    return text;
}

} // namespace

ScriptPlayerSource::ScriptPlayerSource(ScriptService &service)
    : m_service(service)
    , m_center(std::make_unique<NotificationCenter>())
    , m_scripts(std::make_unique<PlayerScripts>(service, *m_center, this, [](const QString &) {}))
{
}

ScriptPlayerSource::~ScriptPlayerSource() = default;

bool ScriptPlayerSource::isPlaying(PlayerId player)
{
    ScriptSlot *slot = m_scripts->slots.statusSlot(player);
    const PlayerTable::Facts *facts = PlayerTable::find(player);
    return slot && facts && facts->isPlayingAnswer(run(*slot));
}

PlayerId ScriptPlayerSource::runningPlayer(bool mustPlay)
{
    const ScriptResult list = m_service.execute(SharedScripts::processList());
    QStringList names;
    for (int i = 1; i <= list.numberOfItems(); ++i)
        names << stripped(list.descriptorAtIndex(i).stringValue());
    for (PlayerId player : PlayerTable::visitingOrder) {
        if (!names.contains(PlayerScripts::processName(player), Qt::CaseInsensitive))
            continue;
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(player);
        if (!mustPlay || isPlaying(player))
            return player;
    }
    return PlayerId::None;
}

std::optional<PlayerSource::Track> ScriptPlayerSource::playing()
{
    const PlayerId player = runningPlayer(true);
    if (player == PlayerId::None)
        return std::nullopt;

    m_scripts->setUpScriptsForPlayer(player);
    const ScriptSlots &s = m_scripts->slots;
    const bool spotify = player == PlayerId::Spotify;
    const bool libraryMarks = player == PlayerId::ITunes || player == PlayerId::Music;
    Track track;
    track.duration = run(s.durationScript).int32Value();
    if (spotify)
        track.duration /= 1000; // Spotify counts milliseconds
    if (libraryMarks)
        track.rating = run(s.iTunesRatingScript).int32Value();
    else if (player == PlayerId::Swinsian)
        track.rating = run(s.swinsianRatingScript).int32Value();
    else if (player == PlayerId::Hermes)
        track.rating = run(s.hermesRatingScript).int32Value();
    else if (player == PlayerId::Ecoute)
        track.rating = run(s.ecouteRatingScript).int32Value();

    track.title = run(s.trackScript).stringValue();
    track.artist = run(s.artistScript).stringValue();
    track.album = run(s.albumScript).stringValue();
    if (spotify)
        track.spotifyID = run(s.spotifyURIScript).stringValue();
    track.bitRate = run(s.bitRateScript).int32Value();
    track.bitDepth = run(s.bitDepthScript).int32Value();
    track.sampleRate = run(s.sampleRateScript).int32Value();
    track.kind = run(s.kindScript).stringValue();
    track.playerName = PlayerScripts::processName(player).toLower();
    track.bookmark = run(s.bookmarkScript).int32Value();
    if (spotify)
        track.popularity = run(s.spotifyPopularityScript).int32Value();
    if (libraryMarks) {
        const ScriptResult loved = run(s.iTunesLovedScript);
        const ScriptResult disliked = run(s.iTunesDislikedScript);
        track.marksKnown = !loved.isNone() || !disliked.isNone();
        track.loved = loved.booleanValue();
        track.disliked = disliked.booleanValue();
    }
    return track;
}

QByteArray ScriptPlayerSource::artwork()
{
    const PlayerId player = runningPlayer(true);
    if (player == PlayerId::None)
        return {};
    m_scripts->setUpScriptsForPlayer(player);
    const ScriptResult answer = run(m_scripts->slots.artScript);
    // Only image data is served; a player answering an address (Hermes)
    // has its artwork fetched by no one here.
    if (answer.isNone() || !answer.stringValue().isNull())
        return {};
    return answer.data();
}

bool ScriptPlayerSource::perform(Command command)
{
    if (command == Command::VolumeUp || command == Command::VolumeDown) {
        // Setting the volume answers nothing, so there is nothing to check.
        m_service.execute(command == Command::VolumeUp ? SharedScripts::volumeUp() : SharedScripts::volumeDown());
        return true;
    }
    PlayerId player = runningPlayer(true);
    if (player == PlayerId::None)
        player = runningPlayer(false);
    if (player == PlayerId::None)
        return false;
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(player);
    const ScriptSlots &s = m_scripts->slots;
    switch (command) {
    case Command::PlayPause: run(s.PPScript); break;
    case Command::Previous: run(s.prevScript); break;
    case Command::Next: run(s.nextScript); break;
    default: break;
    }
    return true;
}
