#pragma once

#include "model/ThemeId.h"

#include <QImage>

class ArtworkSteps;
class BroadcasterClient;
class DefaultsStore;
class DisplayFacts;
class PlayerDetection;
class PlayerScripts;
class ProgressDetails;
struct NowPlayingState;

// Between detections: whether the followed player paused or resumed,
// whether the track changed, and the now-playing refresh every layout runs
// at the start of a cycle. Main thread only.
class TrackPolling
{
public:
    struct Parts
    {
        NowPlayingState &state;
        PlayerScripts &scripts;
        PlayerDetection &detection;
        ProgressDetails &details;
        DefaultsStore &defaults;
        const DisplayFacts &display;
        BroadcasterClient &broadcaster;
        ArtworkSteps &artwork;
        QImage &artworkImage;
    };

    explicit TrackPolling(Parts parts) : m(parts) {}

    // Re-reads the followed player's state: current when it plays, 0 when not.
    void pauseCheck();
    // True when the track changed since the last call: by the radio title for
    // radio sources, by the progress jumping back for all others.
    bool trackHasChanged();
    // The broadcaster reported; true when it named a track (it is now the source).
    bool acceptBroadcasterReport();

    // Reads title, artist, album, rating and marks from the current source,
    // with the paused texts and the artwork steps, for the layout of `layout`.
    void refresh(ThemeId layout);

private:
    void readSource(ThemeId layout);
    void readITunesOrMusic(ThemeId layout);
    void readRadium(bool artwork);
    void readBroadcaster();
    void dropArtwork();

    Parts m;
};
