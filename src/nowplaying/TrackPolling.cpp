#include "nowplaying/TrackPolling.h"

#include "broadcaster/BroadcasterClient.h"
#include "model/PlayerTable.h"
#include "nowplaying/ArtworkSteps.h"
#include "nowplaying/NowPlaying.h"
#include "nowplaying/NowPlayingState.h"
#include "nowplaying/PlayerDetection.h"
#include "nowplaying/PlayerScripts.h"
#include "nowplaying/ProgressDetails.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"

#include <QRegularExpression>

namespace {

const QString kTrimMost = QStringLiteral("*'~");
const QString kTrimStars = QStringLiteral("*'");

// White space and line breaks off both ends, then the characters of `set`.
QString trimmed(const QString &text, const QString &set = QString())
{
    QString result = text.trimmed();
    qsizetype begin = 0;
    qsizetype end = result.size();
    while (begin < end && set.contains(result.at(begin)))
        ++begin;
    while (end > begin && set.contains(result.at(end - 1)))
        --end;
    return result.mid(begin, end - begin);
}

// The text of a slot's answer; empty when it gave none.
QString textOf(const ScriptSlot &slot)
{
    return run(slot).stringValue();
}

// A label line that is there, even when its text is empty.
std::optional<AttributedString> present(const QString &text)
{
    return AttributedString(text);
}

// What a player puts around its titles, as the characters to trim.
QString trimSet(PlayerTable::TitleMarks marks)
{
    switch (marks) {
    case PlayerTable::TitleMarks::Stars: return kTrimStars;
    case PlayerTable::TitleMarks::StarsAndTilde: return kTrimMost;
    case PlayerTable::TitleMarks::None: break;
    }
    return QString();
}

} // namespace

void TrackPolling::pauseCheck()
{
    NowPlayingState &s = m.state;
    const PlayerId old = s.currentPlayer;
    const PlayerId preferred = s.preferredPlayer;
    if (isLocalPlayer(preferred)) {
        if (!m.detection.isRunning(preferred))
            s.preferredPlayer = PlayerId::None;
        else
            s.currentPlayer = m.detection.isPlaying(preferred) ? preferred : PlayerId::None;
    }
    if (s.currentPlayer != old && isLocalPlayer(s.currentPlayer)) {
        m.scripts.setUpSomePlayerSpecificScriptsForPlayer(s.currentPlayer);
        m.scripts.setUpScriptsForPlayer(s.currentPlayer);
    }
    if (s.nothingPlays() && m.defaults.boolValue(QStringLiteral("listenForBroadcaster")))
        m.broadcaster.start();
    if (s.preferredPlayer == PlayerId::Broadcaster
        && !(!m.broadcaster.getTrack().isEmpty() && m.broadcaster.hasKnownBroadcaster()))
        s.currentPlayer = PlayerId::None;
}

bool TrackPolling::trackHasChanged()
{
    NowPlayingState &s = m.state;
    TrackRecord &t = s.track;
    if (s.nothingPlays())
        return false;

    const PlayerTable::Facts *facts = s.current();
    const bool radio = facts && (facts->radio || (facts->streams && t.iTunesRadio));
    if (radio) {
        const QString title = run(m.scripts.slots.trackScript).stringValue();
        if (title.isNull())
            return false;
        const bool changed = t.tempCopyTrackString.size() >= 2 && t.tempCopyTrackString != title;
        t.tempCopyTrackString = title;
        if (changed)
            t.positionInLyricsForRadio = 0;
        return changed;
    }

    const double current = s.progress.value;
    const bool jumpedBack = t.lastProgressIndValue - current > 1.0;
    t.lastProgressIndValue = current;
    // A backend that saw the player seek within the same track tells a jump
    // back from a new track; the simulated players tell no seeks.
    const int seeks = m.scripts.playerFacts(s.currentPlayer).seeks;
    const bool seekedBack = seeks > t.seeksSeen;
    t.seeksSeen = seeks;
    return jumpedBack && !seekedBack;
}

bool TrackPolling::acceptBroadcasterReport()
{
    if (m.broadcaster.getTrack().isEmpty())
        return false;
    m.state.currentPlayer = PlayerId::Broadcaster;
    m.state.preferredPlayer = PlayerId::Broadcaster;
    return true;
}

void TrackPolling::dropArtwork()
{
    m.artworkImage = QImage();
}

void TrackPolling::refresh(ThemeId layout)
{
    NowPlayingState &s = m.state;
    TrackRecord &t = s.track;
    const bool userPaused = m.defaults.boolValue(QStringLiteral("userPaused"));
    const int showPaused = m.defaults.intValue(QStringLiteral("showPaused"));
    const int actionWhenPaused = m.defaults.intValue(QStringLiteral("actionWhenPaused"));

    // 1.
    pauseCheck();

    // 2. Nothing plays.
    if (s.nothingPlays()) {
        if (layout != ThemeId::Text && !(userPaused && showPaused == 1))
            dropArtwork();
        if (layout == ThemeId::Classic)
            qCInfo(lcNowPlaying, m.artworkImage.isNull() ? "artworkImage is now nil"
                                                      : "we still have an artworkImage");
        t.trackString.reset();
        t.artistString.reset();
        t.albumString.reset();
    }

    // 3. What the source says.
    readSource(layout);

    // 4. Paused texts.
    if (s.nothingPlays() && !s.noPlayer) {
        const bool quiet = (userPaused && showPaused == 0) || (!userPaused && actionWhenPaused == 3);
        const PlayerTable::Facts *preferred = PlayerTable::find(s.preferredPlayer);
        if (!quiet && preferred && preferred->pausedText) {
            // A real player is named by its own name: "mpv Paused".
            const QString identity = m.scripts.playerFacts(preferred->id).identity.simplified().left(64);
            t.trackString = AttributedString(identity.isEmpty() ? preferred->pausedLabel()
                                                                : identity + QStringLiteral(" Paused"));
        }
    }

    // 5. A broadcaster without a title is paused.
    if (s.broadcasterPlays() && (!t.trackString || t.trackString->isEmpty()))
        t.trackString = AttributedString(QStringLiteral("Paused"));

    // 6.
    if (layout != ThemeId::Text)
        m.artwork.fallbackArtworkStep();

    // 7. A broadcaster listener's first cycle starts blank rather than paused.
    if (m.defaults.boolValue(QStringLiteral("listenForBroadcaster")) && m.display.firstRun()
        && ((t.trackString && t.trackString->string() == QLatin1String("Paused"))
            || s.nothingPlays())) {
        t.trackString = present(QString());
        dropArtwork();
    }
}

void TrackPolling::readSource(ThemeId layout)
{
    NowPlayingState &s = m.state;
    TrackRecord &t = s.track;
    ScriptSlots &slots = m.scripts.slots;
    const PlayerId player = s.currentPlayer;
    if (s.nothingPlays())
        return;

    t.trackString.reset();
    t.artistString.reset();
    t.albumString.reset();
    const PlayerTable::Facts *facts = s.current();
    // Only a stream keeps the radio flag.
    if (!facts || !facts->streams)
        t.iTunesRadio = false;

    const bool artwork = layout != ThemeId::Text;
    if (s.broadcasterPlays()) {
        readBroadcaster();
    } else if (!facts) {
        // not a player: nothing to read
    } else if (facts->streams) {
        readITunesOrMusic(layout);
    } else if (player == PlayerId::Radium) {
        readRadium(artwork);
    } else {
        if (player == PlayerId::Audirvana && layout == ThemeId::Classic)
            qCInfo(lcNowPlaying, "current player AUDIRVANA, getting information");
        if (artwork)
            m.artwork.perSourceArtworkStep();
        t.trackString = present(trimmed(textOf(slots.trackScript), trimSet(facts->titleMarks)));
        t.artistString = present(textOf(slots.artistScript));
        t.albumString = present(textOf(slots.albumScript));
        if (const ScriptSlot *rating = slots.ratingSlot(player))
            t.rating = run(*rating).int32Value();
        else if (player == PlayerId::AirfoilSatellite)
            t.rating = 0; // it relays other players' tracks, without their ratings
        if (facts->artwork == PlayerTable::ArtworkSource::DataThenAddress)
            m.artwork.logSpotifyTrackArtwork();
    }

    // Library details follow every source, so none are left from the last one.
    m.details.setUpProStrings();
}

void TrackPolling::readRadium(bool artwork)
{
    TrackRecord &t = m.state.track;
    if (artwork)
        m.artwork.perSourceArtworkStep();
    static const QRegularExpression separators(QStringLiteral("[\\-\\[\\]]"));
    const QStringList pieces = textOf(m.scripts.slots.trackScript).split(separators);
    if (pieces.size() >= 2) {
        t.artistString = present(pieces.at(0).trimmed());
        t.trackString = present(trimmed(pieces.at(1), kTrimMost));
    } else {
        t.artistString = present(pieces.value(0).trimmed());
        t.trackString = present(QString());
    }
    t.albumString = present(textOf(m.scripts.slots.albumScript));
}

void TrackPolling::readITunesOrMusic(ThemeId layout)
{
    TrackRecord &t = m.state.track;
    ScriptSlots &slots = m.scripts.slots;
    const QString stream = run(slots.iTunesRadioScript).stringValue();
    if (!stream.isEmpty()) {
        const QStringList pieces = stream.split(QStringLiteral(" - "));
        t.artistString = present(pieces.value(0));
        t.albumString = present(pieces.size() >= 3 ? pieces.at(1) : QString());
        t.trackString = present(pieces.size() >= 2 ? trimmed(pieces.last(), kTrimMost) : QString());
        t.iTunesRadio = true;
        return;
    }
    t.iTunesRadio = false;
    if (layout != ThemeId::Text)
        m.artwork.perSourceArtworkStep();
    const bool keepTilde = layout == ThemeId::Classic || layout == ThemeId::CoverOnly;
    const PlayerTable::Facts &facts = *m.state.current();
    t.trackString = present(trimmed(textOf(slots.trackScript), keepTilde ? kTrimStars : trimSet(facts.titleMarks)));
    t.artistString = present(textOf(slots.artistScript));
    t.albumString = present(textOf(slots.albumScript));
    t.rating = run(*slots.ratingSlot(facts.id)).int32Value();
    const ScriptResult loved = run(slots.iTunesLovedScript);
    const ScriptResult disliked = run(slots.iTunesDislikedScript);
    t.marksKnown = !loved.isNone() || !disliked.isNone();
    t.loved = loved.booleanValue();
    t.disliked = disliked.booleanValue();
}

void TrackPolling::readBroadcaster()
{
    TrackRecord &t = m.state.track;
    BroadcasterClient &b = m.broadcaster;
    t.trackString = present(b.getTrack());
    t.artistString = present(b.getArtist());
    t.albumString = present(b.getAlbum());
    t.rating = b.getRating();
    t.marksKnown = true;
    t.loved = b.getLoved();
    t.disliked = b.getDisliked();
    m.artwork.perSourceArtworkStep();
}
