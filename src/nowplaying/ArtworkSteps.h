#pragma once

// The artwork steps of a layout's now-playing refresh. The artwork side
// implements them; the refresh decides when they run.
class ArtworkSteps
{
public:
    virtual ~ArtworkSteps() = default;
    // The current source's artwork (player data, image address or the
    // broadcaster's bytes).
    virtual void perSourceArtworkStep() = 0;
    // Remembers the artwork address Spotify reports, for random covers.
    virtual void logSpotifyTrackArtwork() = 0;
    // What to show when no artwork was found.
    virtual void fallbackArtworkStep() = 0;
};

// Leaves the artwork as it is.
class UnchangedArtwork final : public ArtworkSteps
{
public:
    void perSourceArtworkStep() override {}
    void logSpotifyTrackArtwork() override {}
    void fallbackArtworkStep() override {}
};
