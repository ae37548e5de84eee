#include "nowplaying/PlayerArtwork.h"

#include "artwork/ImageBytes.h"
#include "broadcaster/BroadcasterClient.h"
#include "nowplaying/NowPlayingState.h"
#include "nowplaying/PlayerDetection.h"
#include "nowplaying/PlayerScripts.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"

#include <QRandomGenerator>
#include <QUrl>
#include <cmath>

namespace {

const QString kRecentSpotifyArtworks = QStringLiteral("recentSpotifyArtworks");
// Longer texts are no artwork address worth remembering.
constexpr qsizetype kMaxAddressLength = 4096;

quint32 systemRandom()
{
    return QRandomGenerator::global()->bounded(quint32(2147483648u));
}

} // namespace

PlayerArtwork::PlayerArtwork(Parts parts, ArtworkDownloader downloader, Random random)
    : m(std::move(parts))
    , m_random(random ? std::move(random) : Random(systemRandom))
    , m_worker(m_decoder, downloader)
{
    m_worker.setArrivalHandler([this] {
        if (m.arrived)
            m.arrived();
    });
}

PlayerArtwork::Answer PlayerArtwork::runSlot(const ScriptSlot &slot) const
{
    Answer answer;
    if (!slot) {
        // An empty slot asks nobody: it counts as a failed run, not as an
        // answer without artwork.
        answer.error = true;
        answer.errorText = QStringLiteral("no script");
        return answer;
    }
    QString error;
    const ScriptResult result = slot->execute(&error);
    answer.error = !error.isEmpty();
    answer.errorText = error;
    answer.data = result.data();
    answer.text = result.stringValue();
    return answer;
}

const ScriptSlot &PlayerArtwork::artworkSlot(quint64 number) const
{
    ScriptSlots &s = m.scripts.slots;
    switch (number) {
    case 2: return s.iTunesArtScript2;
    case 3: return s.iTunesArtScript3;
    case 4: return s.iTunesArtScript4;
    case 5: return s.iTunesArtScript5;
    case 6: return s.iTunesArtScript6;
    default: return s.artScript;
    }
}

int PlayerArtwork::bound() const
{
    return m_decoder.boundFor(m.imageSize ? m.imageSize() : 0.f);
}

std::optional<QImage> PlayerArtwork::picture(const QByteArray &bytes, bool sized)
{
    if (bytes.isEmpty())
        return QImage();
    return m_worker.picture({bytes, QUrl(), sized ? bound() : 0});
}

std::optional<QImage> PlayerArtwork::downloaded(const QString &address, bool sized)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || !ArtworkDownloader::isAcceptedAddress(url))
        return QImage();
    return m_worker.picture({QByteArray(), url, sized ? bound() : 0});
}

void PlayerArtwork::getiTunesArtwork()
{
    m.artworkImage = QImage();
    if (!m.defaults.boolValue(QStringLiteral("multipleArtwork"))) {
        logAt(m.defaults, 3, lcNowPlaying, "multipleArtwork preference is off. collecting first image");
        const Answer answer = runSlot(m.scripts.slots.artScript);
        if (answer.error)
            qCInfo(lcNowPlaying, "error fetching artwork: %s", qPrintable(answer.errorText));
        if (ImageBytes::holdsImageData(answer.data)) {
            const std::optional<QImage> image = picture(answer.data, true);
            m.artworkImage = image.value_or(QImage());
            if (image && image->isNull())
                qCInfo(lcNowPlaying, "unable to make NSImage from image data");
        }
        return;
    }

    quint64 &number = m.scripts.artworkNumber;
    Answer kept;
    for (int attempt = 0; attempt < 7; ++attempt) {
        // The count starts at 1 once a set is built; anything else asks for
        // the front artwork.
        if (number < 1 || number > quint64(maxArtworkSlot))
            number = 1;
        logAt(m.defaults, 3, lcNowPlaying, "attempting to collect artwork number %llu", number);
        kept = runSlot(artworkSlot(number));
        if (kept.error) {
            logAt(m.defaults, 3, lcNowPlaying, "nothing received for artwork %llu", number);
            number = 1;
            continue;
        }
        number = number + 1 > quint64(maxArtworkSlot) ? 1 : number + 1;
        break;
    }
    if (ImageBytes::holdsImageData(kept.data)) {
        const std::optional<QImage> image = picture(kept.data, true);
        m.artworkImage = image.value_or(QImage());
        if (image && image->isNull())
            qCInfo(lcNowPlaying, "unable to make NSImage from image data");
    }
}

void PlayerArtwork::setSotifyAlbumCoverViaWebAPI()
{
    const QString address = runSlot(m.scripts.slots.spotifyArtURLScript).text;
    if (address.isEmpty())
        return;
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) {
        qCInfo(lcNowPlaying, "setSotifyAlbumCoverViaWebAPI unable to make a url with %s",
               qPrintable(address));
        return;
    }
    const std::optional<QImage> image = downloaded(address, false);
    if (image && !image->isNull())
        m.artworkImage = *image;
    // Still on its way: the next layout has it.
    if (image && m.artworkImage.isNull())
        qCInfo(lcNowPlaying, "attempted to set artwork image from url provided by Spotify (%s) but failed",
               qPrintable(address));
}

QImage PlayerArtwork::imageForSpotifyArtworkURL(const QString &address)
{
    return downloaded(address, true).value_or(QImage());
}

QStringList PlayerArtwork::recentSpotifyArtworks() const
{
    QStringList addresses;
    const QVariantList stored = m.defaults.arrayValue(kRecentSpotifyArtworks);
    for (const QVariant &entry : stored) {
        if (entry.typeId() != QMetaType::QString)
            continue;
        const QString address = entry.toString();
        if (!address.isEmpty() && address.size() <= kMaxAddressLength && !addresses.contains(address))
            addresses << address;
    }
    return addresses;
}

void PlayerArtwork::logSpotifyTrackArtwork()
{
    const QString address = runSlot(m.scripts.slots.spotifyArtURLScript).text;
    if (address.isEmpty() || address.size() > kMaxAddressLength)
        return;
    // Nothing new: the settings file is not written on every rebuild.
    if (recentSpotifyArtworks().contains(address))
        return;
    // Oldest first: a new address goes to the end and the oldest make room,
    // in the list the file holds now (another display may add to it too).
    m.defaults.update(kRecentSpotifyArtworks, [&address](const QVariant &stored) {
        QStringList addresses;
        for (const QVariant &entry : stored.toList()) {
            const QString kept = entry.typeId() == QMetaType::QString ? entry.toString() : QString();
            if (!kept.isEmpty() && kept.size() <= kMaxAddressLength && !addresses.contains(kept))
                addresses << kept;
        }
        if (!addresses.contains(address))
            addresses << address;
        while (addresses.size() > maxRecentSpotifyArtworks)
            addresses.removeFirst();
        return QVariant(QVariantList(addresses.cbegin(), addresses.cend()));
    });
}

QImage PlayerArtwork::randomCover(int attempts, const std::function<std::optional<ArtworkWorker::Request>()> &pick)
{
    // The pick the worker was making last time is shown once it is done,
    // rather than drawing another that would have to be waited for too.
    if (m_randomPick) {
        const std::optional<QImage> image = m_worker.picture(*m_randomPick);
        if (!image)
            return {};
        m_randomPick.reset();
        if (!image->isNull())
            return *image;
    }
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const std::optional<ArtworkWorker::Request> request = pick();
        if (!request)
            return {};
        const std::optional<QImage> image = m_worker.picture(*request);
        if (!image) {
            m_randomPick = request;
            return {};
        }
        if (!image->isNull())
            return *image;
    }
    return {};
}

QImage PlayerArtwork::randomCoverFrom(const ScriptSlot &slot)
{
    if (!slot)
        return {};
    return randomCover(randomCoverAttempts, [this, &slot]() -> std::optional<ArtworkWorker::Request> {
        return ArtworkWorker::Request{runSlot(slot).data, QUrl(), bound()};
    });
}

QImage PlayerArtwork::randomSpotifyCover()
{
    // One pick: an address that fails is not replaced by another.
    return randomCover(1, [this]() -> std::optional<ArtworkWorker::Request> {
        const QStringList addresses = recentSpotifyArtworks();
        if (addresses.isEmpty())
            return std::nullopt;
        const double r = double(m_random() & 0x7fffffffu);
        const qsizetype count = addresses.size();
        qsizetype index = qsizetype(std::floor(r / 2147483647.0 * double(count)));
        if (index >= count)
            index = count - 1;
        const QUrl url(addresses.at(index), QUrl::StrictMode);
        return ArtworkWorker::Request{QByteArray(), url, bound()};
    });
}

QImage PlayerArtwork::getRandomCover()
{
    if (m.detection.isItunesRunning()) {
        qCInfo(lcNowPlaying, "iTunes running");
        if (!m.scripts.slots.iTunesRandomArtworkScript)
            qCInfo(lcNowPlaying, "but random script is nil!");
        return randomCoverFrom(m.scripts.slots.iTunesRandomArtworkScript);
    }
    if (m.detection.isMusicRunning())
        return randomCoverFrom(m.scripts.slots.musicRandomArtworkScript);
    if (m.detection.isSpotifyRunning())
        return randomSpotifyCover();
    return {};
}

void PlayerArtwork::artworkFromScript(bool sized)
{
    const Answer answer = runSlot(m.scripts.slots.artScript);
    if (answer.error)
        qCInfo(lcNowPlaying, "error fetching artwork: %s", qPrintable(answer.errorText));
    if (ImageBytes::holdsImageData(answer.data))
        m.artworkImage = picture(answer.data, sized).value_or(QImage());
}

void PlayerArtwork::hermesArtwork()
{
    const Answer answer = runSlot(m.scripts.slots.artScript);
    if (answer.error)
        qCInfo(lcNowPlaying, "error fetching artwork: %s", qPrintable(answer.errorText));
    if (!ImageBytes::holdsImageData(answer.data))
        return;
    // Fetched now, at layout, so that drawing never waits on the network.
    m.artworkImage = downloaded(runSlot(m.scripts.slots.artScript).text, true).value_or(QImage());
}

void PlayerArtwork::perSourceArtworkStep()
{
    if (m.state.broadcasterPlays()) {
        m.artworkImage = QImage();
        m.artworkImage = picture(m.broadcaster.getArtwork(), false).value_or(QImage());
        return;
    }
    const PlayerTable::Facts *facts = m.state.current();
    if (!facts)
        return;
    switch (facts->artwork) {
    case PlayerTable::ArtworkSource::DataThenAddress:
        m.artworkImage = QImage();
        artworkFromScript(true);
        if (m.artworkImage.isNull())
            setSotifyAlbumCoverViaWebAPI();
        return;
    case PlayerTable::ArtworkSource::Library:
        // A stream has no artwork of its own: the last image stays.
        if (!m.state.track.iTunesRadio)
            getiTunesArtwork();
        return;
    case PlayerTable::ArtworkSource::Address:
        m.artworkImage = QImage();
        hermesArtwork();
        return;
    case PlayerTable::ArtworkSource::Data:
        m.artworkImage = QImage();
        artworkFromScript(true);
        return;
    }
}

QImage PlayerArtwork::defaultArtworkCopy() const
{
    // Shared, not copied: the picture is large, and one that keeps its key
    // is sized and encoded by the stage only once.
    return m.defaultArtwork ? m.defaultArtwork() : QImage();
}

void PlayerArtwork::fallbackArtworkStep()
{
    if (!m.artworkImage.isNull() || m.defaults.boolValue(QStringLiteral("userPaused")))
        return;
    const int actionWhenPaused = m.defaults.intValue(QStringLiteral("actionWhenPaused"));
    // 1 and 2 (a lookup on the web, which the display does not make) both
    // show the built-in picture; 0 shows none.
    if (!m.state.nothingPlays() && m.defaults.intValue(QStringLiteral("defaultArtwork")) != 0)
        m.artworkImage = defaultArtworkCopy();
    if (m.state.nothingPlays()) {
        if (actionWhenPaused == 1)
            m.artworkImage = defaultArtworkCopy();
        if (actionWhenPaused == 2)
            m.artworkImage = getRandomCover();
    }
    if (m.state.noPlayer && actionWhenPaused == 0)
        m.artworkImage = QImage();
}
