#include "nowplaying/NowPlayingEngine.h"

#include "broadcaster/BroadcasterClient.h"
#include "lyrics/LyricsChain.h"
#include "nowplaying/ArtworkSteps.h"
#include "nowplaying/PlayerArtwork.h"

#include <QJsonArray>

namespace {

QJsonValue lineValue(const std::optional<AttributedString> &line)
{
    return line ? QJsonValue(line->string()) : QJsonValue(QJsonValue::Null);
}

} // namespace

NowPlayingEngine::NowPlayingEngine(Services s, std::unique_ptr<ArtworkSteps> artwork)
    // The player artwork keeps references to the scripts and detection built
    // below; it uses none of them before the first rebuild.
    : m_broadcaster(s.broadcaster)
    , m_artworkImage(s.artworkImage)
    , m_artwork(artwork ? std::move(artwork)
                        : std::make_unique<PlayerArtwork>(PlayerArtwork::Parts{
                              m_scripts, m_detection, m_state, s.defaults, s.broadcaster,
                              s.artworkImage, s.imageSize, s.defaultArtworkImage,
                              // A picture that arrives after its layout is
                              // shown by the next, as a player's news is.
                              s.startNewCycle}))
    , m_scripts(s.scripts, s.distributedCenter, s.observer,
                [startNewCycle = s.startNewCycle](const QString &) {
                    if (startNewCycle)
                        startNewCycle();
                })
    , m_detection(m_state, m_scripts, s.defaults, s.broadcaster, s.processList)
    , m_details({m_state, m_scripts, s.display, s.broadcaster})
    , m_polling({m_state, m_scripts, m_detection, m_details, s.defaults, s.display, s.broadcaster,
                 *m_artwork, s.artworkImage})
    , m_lyrics(std::make_unique<LyricsChain>(s.defaults, &m_playerLyrics))
{
}

NowPlayingEngine::~NowPlayingEngine() = default;

PlayerArtwork *NowPlayingEngine::playerArtwork()
{
    return dynamic_cast<PlayerArtwork *>(m_artwork.get());
}

LyricsSource *NowPlayingEngine::lyrics()
{
    return m_lyrics.get();
}

NowShowing NowPlayingEngine::refresh(ThemeId layout)
{
    m_polling.refresh(layout);
    m_lyricsTiming = layout == ThemeId::Lyrics ? m_details.lyricsTiming() : NowShowing::LyricsTiming();
    return nowShowing();
}

NowShowing NowPlayingEngine::nowShowing() const
{
    const TrackRecord &t = m_state.track;
    NowShowing showing;
    showing.player = m_state.currentPlayer;
    if (showing.player == PlayerId::Broadcaster)
        showing.broadcastPlayer = m_broadcaster.getPlayer();
    showing.track = t.trackString;
    showing.artist = t.artistString;
    showing.album = t.albumString;
    showing.rating = t.rating;
    showing.loved = t.loved;
    showing.disliked = t.disliked;
    showing.marksKnown = t.marksKnown;
    if (m_state.nothingPlays()) {
        const QString paused = t.trackString ? t.trackString->string().simplified() : QString();
        const QString reason = m_scripts.playerFacts(m_state.preferredPlayer).noPlayerReason;
        showing.idleHint = !paused.isEmpty() ? paused
            : !reason.isEmpty()              ? reason
                                             : QStringLiteral("Start a music player, such as mpv, to see it here");
    }
    showing.stream = t.iTunesRadio;
    showing.detailLines = m_details.detailLines();
    showing.artwork = m_artworkImage;
    showing.lyricsTiming = m_lyricsTiming;
    showing.lyricsTiming.readingPosition = t.positionInLyricsForRadio;
    return showing;
}

ProgressSnapshot NowPlayingEngine::takeProgress()
{
    ProgressModel &bar = m_state.progress;
    return ProgressSnapshot{!bar.hidden, bar.maximum, bar.value};
}

void NowPlayingEngine::describe(QJsonObject &state) const
{
    const TrackRecord &t = m_state.track;
    state.insert(QStringLiteral("preferredPlayer"), static_cast<int>(m_state.preferredPlayer));
    state.insert(QStringLiteral("noPlayer"), m_state.noPlayer);
    state.insert(QStringLiteral("track"), lineValue(t.trackString));
    state.insert(QStringLiteral("artist"), lineValue(t.artistString));
    state.insert(QStringLiteral("album"), lineValue(t.albumString));
    state.insert(QStringLiteral("rating"), t.rating);
    state.insert(QStringLiteral("loved"), t.marksKnown ? QJsonValue(t.loved) : QJsonValue());
    state.insert(QStringLiteral("disliked"), t.marksKnown ? QJsonValue(t.disliked) : QJsonValue());
    state.insert(QStringLiteral("radio"), t.iTunesRadio);
    state.insert(QStringLiteral("scriptsSetUpFor"), static_cast<int>(m_scripts.scriptsSetUpFor));
    QJsonArray details;
    for (const AttributedString *line : {&t.releaseYearString, &t.kindString, &t.bitrateString,
                                         &t.samplerateString, &t.bitdepthString, &t.dateAddedString,
                                         &t.lastPlayedString, &t.playCountString}) {
        if (!line->isEmpty())
            details.append(line->string());
    }
    state.insert(QStringLiteral("details"), details);
    state.insert(QStringLiteral("progress"),
                 QJsonObject{{QStringLiteral("maximum"), m_state.progress.maximum},
                             {QStringLiteral("value"), m_state.progress.value},
                             {QStringLiteral("shown"), !m_state.progress.hidden}});
}
