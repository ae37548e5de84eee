#pragma once

#include "model/ThemeId.h"
#include "nowplaying/ArtworkSteps.h"
#include "nowplaying/NowPlaying.h"
#include "nowplaying/NowPlayingState.h"
#include "nowplaying/PlayerDetection.h"
#include "nowplaying/PlayerLyrics.h"
#include "nowplaying/PlayerScripts.h"
#include "nowplaying/ProgressDetails.h"
#include "nowplaying/TrackPolling.h"

#include <functional>
#include <memory>

class BroadcasterClient;
class LyricsChain;
class DefaultsStore;
class NotificationCenter;
class PlayerArtwork;
class ScriptService;

// The now-playing engine of a display view: the player scripts, detection,
// pause and track polling, the refresh, progress and details, all through
// the script service, so it works the same on simulated and real players.
//
// It works on parts the view owns (settings, what it tells of the display,
// the artwork) and on the process-wide broadcaster client; it owns its
// scripts, its state and its artwork steps. Main thread only.
class NowPlayingEngine final : public NowPlaying
{
public:
    struct Services
    {
        ScriptService &scripts;
        DefaultsStore &defaults;
        NotificationCenter &distributedCenter;
        const void *observer; // the view, as the player notifications' observer
        const DisplayFacts &display;
        BroadcasterClient &broadcaster;
        const ScriptSlot &processList; // built by the view
        QImage &artworkImage;          // the view's artwork
        // The layout's artwork side S in points (0 or none: not laid out
        // yet) and the built-in default artwork (none: a null image); both
        // read when a rebuild needs them.
        std::function<float()> imageSize = {};
        std::function<QImage()> defaultArtworkImage = {};
        // A player's own notification asks for a new cycle: the view ends
        // the running one early and the next layout reads the new data.
        std::function<void()> startNewCycle = {};
    };

    // Without artwork steps of the caller's, the player artwork is used.
    explicit NowPlayingEngine(Services services, std::unique_ptr<ArtworkSteps> artwork = {});
    ~NowPlayingEngine() override;

    // NowPlaying
    PlayerId currentPlayer() const override { return m_state.currentPlayer; }
    PlayerId preferredPlayer() const override { return m_state.preferredPlayer; }
    bool noPlayer() const override { return m_state.noPlayer; }
    void determinePlayer() override { m_detection.determinePlayer(); }
    bool playerHasChanged(PlayerId oldPlayer) override { return m_detection.playerHasChanged(oldPlayer); }
    bool trackHasChanged() override { return m_polling.trackHasChanged(); }
    void pauseCheck() override { m_polling.pauseCheck(); }
    void updateProgIndValues() override { m_details.updateProgIndValues(); }
    void resetLastProgressValue() override { m_state.track.lastProgressIndValue = 0; }
    bool acceptBroadcasterReport() override { return m_polling.acceptBroadcasterReport(); }
    void describe(QJsonObject &state) const override;

    // Lyrics lookup: the player's own step joins as the chain's first step
    // (null until then); the web steps follow.
    LyricsSource *lyrics() override;

    NowShowing refresh(ThemeId layout) override;
    NowShowing nowShowing() const override;
    ProgressSnapshot takeProgress() override;
    void setLyricsReadingPosition(int position) override { m_state.track.positionInLyricsForRadio = position; }

    NowPlayingState &state() { return m_state; }
    const NowPlayingState &state() const { return m_state; }
    PlayerScripts &scripts() { return m_scripts; }
    PlayerDetection &detection() { return m_detection; }
    ProgressDetails &details() { return m_details; }
    // The player artwork steps; null when the caller gave steps of its own.
    PlayerArtwork *playerArtwork();

private:
    BroadcasterClient &m_broadcaster;
    const QImage &m_artworkImage;
    NowPlayingState m_state;
    std::unique_ptr<ArtworkSteps> m_artwork;
    PlayerScripts m_scripts;
    PlayerDetection m_detection;
    ProgressDetails m_details;
    TrackPolling m_polling;
    // The player's own words, the chain's first step: declared before the
    // chain, which asks it until it is destroyed.
    PlayerLyrics m_playerLyrics{m_scripts.slots};
    std::unique_ptr<LyricsChain> m_lyrics; // lyrics lookup
    // Read at each Lyrics layout's refresh.
    NowShowing::LyricsTiming m_lyricsTiming;
};
