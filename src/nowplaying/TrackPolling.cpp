#include "nowplaying/TrackPolling.h"

#include "broadcaster/BroadcasterClient.h"
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

QString pausedText(int player)
{
    switch (player) {
    case 1: return QStringLiteral("Spotify Paused");
    case 2: return QStringLiteral("iTunes Paused");
    case 12: return QStringLiteral("Music Paused");
    case 3: return QStringLiteral("Snowtape Paused");
    case 4: return QStringLiteral("Ecoute Paused");
    case 6: return QStringLiteral("Radium Paused");
    case 7: return QStringLiteral("Swinsian Paused");
    case 9: return QStringLiteral("Hermes Paused");
    default: return QString();
    }
}

} // namespace

void TrackPolling::pauseCheck()
{
    NowPlayingState &s = m.state;
    const int old = s.currentPlayer;
    const int preferred = s.preferredPlayer;
    if (isLocalPlayer(preferred)) {
        if (!m.detection.isRunning(preferred))
            s.preferredPlayer = 0;
        else
            s.currentPlayer = m.detection.isPlaying(preferred) ? preferred : 0;
    }
    if (s.currentPlayer != old && isLocalPlayer(s.currentPlayer)) {
        m.scripts.setUpSomePlayerSpecificScriptsForPlayer(s.currentPlayer);
        m.scripts.setUpScriptsForPlayer(s.currentPlayer);
    }
    if (s.currentPlayer == 0 && m.defaults.boolValue(QStringLiteral("listenForBroadcaster")))
        m.broadcaster.start();
    if (s.preferredPlayer == 8
        && !(!m.broadcaster.getTrack().isEmpty() && m.broadcaster.hasKnownBroadcaster()))
        s.currentPlayer = 0;
}

bool TrackPolling::trackHasChanged()
{
    NowPlayingState &s = m.state;
    TrackRecord &t = s.track;
    const int player = s.currentPlayer;
    if (player == 0)
        return false;

    const bool radio = player == 3 || player == 6 || ((player == 2 || player == 12) && t.iTunesRadio);
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
    return jumpedBack;
}

bool TrackPolling::acceptBroadcasterReport()
{
    if (m.broadcaster.getTrack().isEmpty())
        return false;
    m.state.currentPlayer = 8;
    m.state.preferredPlayer = 8;
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
    if (s.currentPlayer == 0) {
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
    if (s.currentPlayer == 0 && !s.noPlayer) {
        const bool quiet = (userPaused && showPaused == 0) || (!userPaused && actionWhenPaused == 3);
        if (!quiet) {
            const QString text = pausedText(s.preferredPlayer);
            if (!text.isNull())
                t.trackString = AttributedString(text);
        }
    }

    // 5. A broadcaster without a title is paused.
    if (s.currentPlayer == 8 && (!t.trackString || t.trackString->isEmpty()))
        t.trackString = AttributedString(QStringLiteral("Paused"));

    // 6.
    if (layout != ThemeId::Text)
        m.artwork.fallbackArtworkStep();

    // 7. A broadcaster listener's first cycle starts blank rather than paused.
    if (m.defaults.boolValue(QStringLiteral("listenForBroadcaster")) && m.display.firstRun()
        && ((t.trackString && t.trackString->string() == QLatin1String("Paused"))
            || s.currentPlayer == 0)) {
        t.trackString = present(QString());
        dropArtwork();
    }
}

void TrackPolling::readSource(ThemeId layout)
{
    NowPlayingState &s = m.state;
    TrackRecord &t = s.track;
    ScriptSlots &slots = m.scripts.slots;
    const int player = s.currentPlayer;
    if (player == 0)
        return;

    t.trackString.reset();
    t.artistString.reset();
    t.albumString.reset();
    // Only an iTunes or Music stream keeps the radio flag.
    if (player != 2 && player != 12)
        t.iTunesRadio = false;

    const bool artwork = layout != ThemeId::Text;
    auto standard = [&](const QString &titleTrim) {
        if (artwork)
            m.artwork.perSourceArtworkStep();
        t.trackString = present(trimmed(textOf(slots.trackScript), titleTrim));
        t.artistString = present(textOf(slots.artistScript));
        t.albumString = present(textOf(slots.albumScript));
    };

    switch (player) {
    case 8:
        readBroadcaster();
        break;
    case 1:
        standard(kTrimMost);
        t.rating = run(slots.spotifyPopularityScript).int32Value();
        m.artwork.logSpotifyTrackArtwork();
        break;
    case 7:
        standard(kTrimStars);
        t.rating = run(slots.swinsianRatingScript).int32Value();
        break;
    case 3:
    case 5:
        standard(kTrimMost);
        break;
    case 4:
        standard(kTrimMost);
        t.rating = run(slots.ecouteRatingScript).int32Value();
        break;
    case 6:
        readRadium(artwork);
        break;
    case 9:
        standard(QString());
        t.rating = run(slots.hermesRatingScript).int32Value();
        break;
    case 10:
        standard(kTrimMost);
        t.rating = 0;
        break;
    case 11:
        if (layout == ThemeId::Classic)
            qCInfo(lcNowPlaying, "current player AUDIRVANA, getting information");
        standard(QString());
        break;
    case 2:
    case 12:
        readITunesOrMusic(layout);
        break;
    default:
        break;
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
    t.trackString = present(trimmed(textOf(slots.trackScript), keepTilde ? kTrimStars : kTrimMost));
    t.artistString = present(textOf(slots.artistScript));
    t.albumString = present(textOf(slots.albumScript));
    t.rating = run(slots.iTunesRatingScript).int32Value();
    t.loved = run(slots.iTunesLovedScript).booleanValue();
    t.disliked = run(slots.iTunesDislikedScript).booleanValue();
}

void TrackPolling::readBroadcaster()
{
    TrackRecord &t = m.state.track;
    BroadcasterClient &b = m.broadcaster;
    t.trackString = present(b.getTrack());
    t.artistString = present(b.getArtist());
    t.albumString = present(b.getAlbum());
    t.rating = b.getRating();
    t.loved = b.getLoved();
    t.disliked = b.getDisliked();
    m.artwork.perSourceArtworkStep();
}
