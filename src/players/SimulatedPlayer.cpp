#include "players/SimulatedPlayer.h"

namespace {

using Op = ScriptVocabulary::Operation;

// A stream's position stops growing here; no run lasts long enough to notice.
constexpr qint64 maxPositionMs = qint64(1) << 50;

} // namespace

SimulatedPlayer::SimulatedPlayer(const PlayerProfile &profile, const Scenario::Player &setup)
    : m_profile(&profile),
      m_processName(setup.processName),
      m_running(setup.running),
      m_state(setup.state),
      m_statusAnswers(setup.statusAnswers),
      m_tracks(setup.tracks),
      m_track(setup.track),
      m_positionMs(setup.positionMs),
      m_library(setup.library)
{
    if (m_tracks.isEmpty())
        m_state = PlayState::Stopped; // nothing to play; the scenario reader refuses this already
}

const Scenario::Track *SimulatedPlayer::currentTrack() const
{
    if (!m_running || m_state == PlayState::Stopped || m_track < 0 || m_track >= m_tracks.size())
        return nullptr;
    return &m_tracks.at(m_track);
}

const Scenario::Track *SimulatedPlayer::trackAt(int index) const
{
    return index >= 0 && index < m_tracks.size() ? &m_tracks.at(index) : nullptr;
}

void SimulatedPlayer::advance(qint64 elapsedMs)
{
    if (!m_running || m_state != PlayState::Playing || m_tracks.isEmpty() || elapsedMs <= 0)
        return;
    // Whole laps of a list of finite tracks end where they began: skip them,
    // so that a long gap between two scripts costs no more than a short one.
    qint64 lapMs = 0;
    for (const Scenario::Track &track : std::as_const(m_tracks)) {
        if (track.durationMs <= 0) {
            lapMs = 0;
            break;
        }
        lapMs += track.durationMs;
    }
    while (elapsedMs > 0) {
        const qint64 durationMs = m_tracks.at(m_track).durationMs;
        if (durationMs <= 0) {
            m_positionMs = qMin(m_positionMs + elapsedMs, maxPositionMs);
            return;
        }
        const qint64 leftMs = qMax<qint64>(0, durationMs - m_positionMs);
        if (elapsedMs < leftMs) {
            m_positionMs += elapsedMs;
            return;
        }
        elapsedMs -= leftMs;
        moveTo(int((m_track + 1) % m_tracks.size()), 0);
        if (lapMs > 0 && elapsedMs >= lapMs)
            elapsedMs %= lapMs;
    }
}

bool SimulatedPlayer::apply(const Scenario::Event &event, QString *why)
{
    using Action = Scenario::Action;
    if (event.action == Action::Launch) {
        if (m_running) {
            *why = QStringLiteral("already running");
            return false;
        }
        m_running = true;
        setState(m_tracks.isEmpty() ? PlayState::Stopped : event.launchState);
        return true;
    }
    if (!m_running) {
        *why = QStringLiteral("not running");
        return false;
    }
    const bool needsTracks = event.action == Action::Resume || event.action == Action::Next
        || event.action == Action::Previous;
    if (needsTracks && m_tracks.isEmpty()) {
        *why = QStringLiteral("has no tracks");
        return false;
    }
    switch (event.action) {
    case Action::Pause:
        if (m_state == PlayState::Playing)
            setState(PlayState::Paused);
        break;
    case Action::Resume:
        setState(PlayState::Playing);
        break;
    case Action::Stop:
        setState(PlayState::Stopped);
        break;
    case Action::Next:
        step(+1);
        break;
    case Action::Previous:
        step(-1);
        break;
    case Action::Seek:
        m_positionMs = event.positionMs;
        break;
    case Action::Track:
        if (event.track) {
            m_tracks.append(*event.track);
            moveTo(int(m_tracks.size() - 1), event.positionMs);
        } else if (event.trackIndex >= 0 && event.trackIndex < m_tracks.size()) {
            moveTo(event.trackIndex, event.positionMs);
        } else {
            *why = QStringLiteral("has no track %1").arg(event.trackIndex);
            return false;
        }
        break;
    case Action::Quit:
        m_running = false;
        setState(PlayState::Stopped);
        break;
    case Action::Launch:
        break; // handled above
    }
    return true;
}

ScriptResult SimulatedPlayer::run(const ScriptVocabulary::Entry &entry, const QString &serverAddress,
                                  QString *error)
{
    switch (entry.operation) {
    case Op::Status:
    case Op::TrackTitle: // Airfoil Satellite's status is its title
        return status(error);
    case Op::PlayPause:
        if (!m_tracks.isEmpty())
            setState(m_state == PlayState::Playing ? PlayState::Paused : PlayState::Playing);
        return ScriptResult();
    case Op::Play:
        if (!m_tracks.isEmpty())
            setState(PlayState::Playing);
        return ScriptResult();
    case Op::Pause:
        if (m_state == PlayState::Playing)
            setState(PlayState::Paused);
        return ScriptResult();
    case Op::Previous:
    case Op::Next:
        if (!currentTrack())
            return fail(error, QStringLiteral("%1 has no current track").arg(m_profile->name));
        step(entry.operation == Op::Next ? +1 : -1);
        return ScriptResult();
    case Op::RandomArtwork:
        return randomArtwork(error);
    case Op::SetRating:
    case Op::SetLoved:
    case Op::SetDisliked:
    case Op::ThumbsUp:
    case Op::ThumbsDown:
        edit(entry, error);
        return ScriptResult();
    default:
        break;
    }
    const Scenario::Track *track = currentTrack();
    // Airfoil Satellite only knows about a track while audio arrives.
    const bool titleOnlyWhilePlaying = m_profile->status == PlayerProfile::StatusStyle::TrackTitle
        && m_state != PlayState::Playing;
    if (!track || titleOnlyWhilePlaying)
        return fail(error, QStringLiteral("%1 has no current track").arg(m_profile->name));
    return read(entry, *track, serverAddress, error);
}

ScriptResult SimulatedPlayer::status(QString *error) const
{
    const auto answer = m_statusAnswers.constFind(m_state);
    if (answer != m_statusAnswers.constEnd()) {
        if (answer->isNone())
            return fail(error, QStringLiteral("%1 gives no status").arg(m_profile->name));
        return *answer;
    }
    const Scenario::Track *track = currentTrack();
    return m_profile->naturalStatus(m_state, track ? track->name : QString());
}

ScriptResult SimulatedPlayer::read(const ScriptVocabulary::Entry &entry, const Scenario::Track &track,
                                   const QString &serverAddress, QString *error) const
{
    const auto dateOrMissing = [](const QDateTime &when) {
        return when.isValid() ? ScriptResult::date(when) : ScriptResult();
    };
    switch (entry.operation) {
    case Op::Name:
        return ScriptResult::text(track.name);
    case Op::Artist:
        return ScriptResult::text(track.artist);
    case Op::Album:
    case Op::Station:
        return ScriptResult::text(track.album);
    case Op::Artwork:
        if (entry.argument < 1 || entry.argument > track.artworks.size()) {
            return fail(error, entry.argument == 1
                                   ? QStringLiteral("%1: the current track has no artwork").arg(m_profile->name)
                                   : QStringLiteral("%1: the current track has no artwork %2")
                                         .arg(m_profile->name)
                                         .arg(entry.argument));
        }
        return ScriptResult::bytes(track.artworks.at(entry.argument - 1));
    case Op::ArtworkUrl: {
        if (track.artworkUrl.isEmpty())
            return fail(error, QStringLiteral("%1: the current track has no artwork address").arg(m_profile->name));
        QString url = track.artworkUrl;
        return ScriptResult::text(url.replace(Scenario::serverPlaceholder, serverAddress));
    }
    case Op::Duration:
        if (m_profile->duration == PlayerProfile::DurationUnit::Milliseconds)
            return ScriptResult::integer(track.durationMs);
        return ScriptResult::real(double(track.durationMs) / 1000.0);
    case Op::Position:
        return ScriptResult::real(double(m_positionMs) / 1000.0);
    case Op::Rating:
        return ScriptResult::integer(track.rating);
    case Op::Loved:
        return ScriptResult::boolean(track.loved);
    case Op::Disliked:
        return ScriptResult::boolean(track.disliked);
    case Op::StreamTitle:
        return track.streamTitle ? ScriptResult::text(*track.streamTitle) : ScriptResult();
    case Op::Lyrics:
        return ScriptResult::text(track.lyrics);
    case Op::Kind:
        return ScriptResult::text(track.kind);
    case Op::Url:
        return ScriptResult::text(track.url);
    case Op::BitRate:
        return ScriptResult::integer(track.bitRate);
    case Op::SampleRate:
        return ScriptResult::integer(track.sampleRate);
    case Op::BitDepth:
        return ScriptResult::integer(track.bitDepth);
    case Op::Year:
        return ScriptResult::integer(track.year);
    case Op::PlayCount:
        return ScriptResult::integer(track.playCount);
    case Op::Popularity:
        return ScriptResult::integer(track.popularity);
    case Op::DateAdded:
        return dateOrMissing(track.dateAdded);
    case Op::PlayedDate:
        return dateOrMissing(track.playedDate);
    default:
        return fail(error, QStringLiteral("%1 cannot answer that").arg(m_profile->name));
    }
}

// "some track of user playlist" picks round robin, so runs repeat exactly.
ScriptResult SimulatedPlayer::randomArtwork(QString *error)
{
    if (m_library) {
        if (m_library->isEmpty())
            return fail(error, QStringLiteral("%1: the library is empty").arg(m_profile->name));
        const qsizetype pick = m_nextCover++ % m_library->size();
        return ScriptResult::bytes(m_library->at(pick));
    }
    if (m_tracks.isEmpty())
        return fail(error, QStringLiteral("%1: the library is empty").arg(m_profile->name));
    const qsizetype pick = m_nextCover++ % m_tracks.size();
    const Scenario::Track &track = m_tracks.at(pick);
    if (track.artworks.isEmpty())
        return fail(error, QStringLiteral("%1: the chosen track has no artwork").arg(m_profile->name));
    return ScriptResult::bytes(track.artworks.first());
}

bool SimulatedPlayer::edit(const ScriptVocabulary::Entry &entry, QString *error)
{
    Scenario::Track *track = editableTrack();
    if (!track) {
        fail(error, QStringLiteral("%1 has no current track").arg(m_profile->name));
        return false;
    }
    switch (entry.operation) {
    case Op::SetRating:
        track->rating = entry.argument;
        break;
    // Loved and disliked exclude each other, as they do in the player.
    case Op::SetLoved:
        track->loved = entry.argument != 0;
        if (track->loved)
            track->disliked = false;
        break;
    case Op::SetDisliked:
        track->disliked = entry.argument != 0;
        if (track->disliked)
            track->loved = false;
        break;
    case Op::ThumbsUp:
        track->rating = 1;
        track->disliked = false;
        break;
    case Op::ThumbsDown:
        track->rating = 0;
        track->disliked = true;
        break;
    default:
        return false;
    }
    return true;
}

Scenario::Track *SimulatedPlayer::editableTrack()
{
    return currentTrack() ? &m_tracks[m_track] : nullptr;
}

bool SimulatedPlayer::takeChange()
{
    const bool changed = m_changed;
    m_changed = false;
    return changed;
}

QVariantMap SimulatedPlayer::notificationInfo() const
{
    static const QString stateWords[] = {QStringLiteral("Stopped"), QStringLiteral("Paused"),
                                         QStringLiteral("Playing")};
    QVariantMap info{{QStringLiteral("Player State"), stateWords[int(m_state)]}};
    if (const Scenario::Track *track = currentTrack()) {
        info.insert(QStringLiteral("Name"), track->name);
        info.insert(QStringLiteral("Artist"), track->artist);
        info.insert(QStringLiteral("Album"), track->album);
        if (!track->url.isEmpty())
            info.insert(QStringLiteral("Track ID"), track->url);
    }
    return info;
}

void SimulatedPlayer::setState(PlayState state)
{
    if (state != m_state)
        m_changed = true;
    m_state = state;
}

void SimulatedPlayer::moveTo(int index, qint64 positionMs)
{
    m_track = index;
    m_positionMs = positionMs;
    m_changed = true;
}

void SimulatedPlayer::step(int delta)
{
    const int count = int(m_tracks.size());
    if (count > 0)
        moveTo(((m_track + delta) % count + count) % count, 0);
}

ScriptResult SimulatedPlayer::fail(QString *error, const QString &message) const
{
    if (error)
        *error = message;
    return ScriptResult();
}
