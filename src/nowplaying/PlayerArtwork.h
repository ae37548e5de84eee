#pragma once

#include "artwork/ArtworkDecoder.h"
#include "artwork/ArtworkDownloader.h"
#include "artwork/ArtworkWorker.h"
#include "nowplaying/ArtworkSteps.h"
#include "nowplaying/ScriptSlots.h"

#include <QImage>
#include <QStringList>
#include <functional>

class BroadcasterClient;
class DefaultsStore;
class PlayerDetection;
class PlayerScripts;
struct NowPlayingState;

// Where the view's artwork comes from: the current player's artwork data or
// address, the broadcaster's bytes, a random cover from the library or from
// the Spotify addresses seen lately, or the built-in default image.
//
// It works on parts the engine and the view own (scripts, detection, state,
// settings, the view's artwork image) and on the broadcaster client; it owns
// only its decoder and downloader. "Sized" images are decoded to at most
// S × S pixels, S being what imageSize() answers (0 or no function: the
// natural size, within the decoder's caps). defaultArtwork() answers the
// built-in default image (no function, or a null image: there is none).
//
// Downloads and decoding run on its worker: a step takes the picture if it
// is finished and otherwise goes on without it (the fallback shows); when
// the picture arrives, arrived() is called, and the next layout shows it.
// Main thread only.
class PlayerArtwork final : public ArtworkSteps
{
public:
    struct Parts
    {
        PlayerScripts &scripts;
        const PlayerDetection &detection;
        const NowPlayingState &state;
        DefaultsStore &defaults;
        BroadcasterClient &broadcaster;
        QImage &artworkImage;
        std::function<float()> imageSize;
        std::function<QImage()> defaultArtwork;
        // A picture the last layout went without is finished.
        std::function<void()> arrived = {};
    };
    // A pseudo-random integer from 0 to 2^31 − 1.
    using Random = std::function<quint32()>;

    static constexpr int maxRecentSpotifyArtworks = 100;
    static constexpr int randomCoverAttempts = 10;
    static constexpr int maxArtworkSlot = 6;

    explicit PlayerArtwork(Parts parts, ArtworkDownloader downloader = ArtworkDownloader(),
                           Random random = {});

    // ArtworkSteps
    void perSourceArtworkStep() override;
    void logSpotifyTrackArtwork() override;
    void fallbackArtworkStep() override;

    // The iTunes or Music track's embedded artwork, stepping through its
    // images on successive calls when "multipleArtwork" is on.
    void getiTunesArtwork();
    // Spotify's artwork address of the current track, downloaded.
    void setSotifyAlbumCoverViaWebAPI();
    // The sized image at an address; null when it cannot be had (yet).
    QImage imageForSpotifyArtworkURL(const QString &address);
    // A random cover from iTunes, Music or the Spotify addresses seen; null
    // when none can be had. A pick still being made is shown by the next
    // call, which then picks no other.
    QImage getRandomCover();

    // The worker (headless runs set it to wait for small pictures).
    ArtworkWorker &worker() { return m_worker; }

    // The remembered Spotify addresses, oldest first, as stored.
    QStringList recentSpotifyArtworks() const;

private:
    struct Answer
    {
        QByteArray data;
        QString text;
        bool error = false;     // the run failed, or the slot is empty
        QString errorText;
    };
    Answer runSlot(const ScriptSlot &slot) const;
    const ScriptSlot &artworkSlot(quint64 number) const;
    int bound() const;
    // The finished picture; nullopt while the worker makes it.
    std::optional<QImage> picture(const QByteArray &bytes, bool sized);
    std::optional<QImage> downloaded(const QString &address, bool sized);
    // Up to `attempts` picks until one is a picture.
    QImage randomCover(int attempts, const std::function<std::optional<ArtworkWorker::Request>()> &pick);
    QImage randomCoverFrom(const ScriptSlot &slot);
    QImage randomSpotifyCover();
    void artworkFromScript(bool sized);
    void hermesArtwork();
    QImage defaultArtworkCopy() const;

    Parts m;
    ArtworkDecoder m_decoder;
    Random m_random;
    ArtworkWorker m_worker;
    // A random pick the worker was still making at the last call.
    std::optional<ArtworkWorker::Request> m_randomPick;
};
