#pragma once

#include "broadcaster/BroadcasterClient.h"
#include "broadcaster/BroadcasterHelperDelegate.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class ArpSource;
class BroadcasterFetcher;
class DefaultsStore;
class NotificationCenter;
class QNetworkAccessManager;
class QObject;

// The broadcaster client: finds broadcasters among the neighbours in the
// ARP table and the saved "knownBroadcasters", probes each on port 45055,
// follows the one that answers with a track by polling it every 3 seconds
// on a thread of its own, keeps the fields it last reported, and posts
// "com.quillmoor.Coverlume.BroadcasterPlayerInfo" to the in-process centre
// when the track changes or a showing broadcaster is lost.
//
// The application uses the one shared instance; tests make their own. The
// ARP source and the settings store are installed by the owner and not
// owned by default: with no ARP source only the saved list is probed, with
// no store nothing is saved. The centre must outlive this object.
//
// Threads: everything but the polling thread runs on the main thread
// (start, the getters, the exchange callbacks, getArtwork and the commands,
// which block their caller for at most 10 seconds without running an event
// loop). The polling thread only reads the known address under a lock and
// hands each poll to the main thread. stop() (and the destructor) stop and
// join it; a thread left running is never destroyed by this object.
class CoverlumeBroadcasterHelper final : public BroadcasterClient, public BroadcasterHelperDelegate
{
public:
    static constexpr int port = 45055;
    static constexpr int pollIntervalMs = 3000;
    static const QString playerInfoNotification; // "com.quillmoor.Coverlume.BroadcasterPlayerInfo"

    struct Options
    {
        int pollIntervalMs = CoverlumeBroadcasterHelper::pollIntervalMs;
        // Milliseconds on a monotonic clock; empty: the steady clock.
        std::function<qint64()> monotonicMs;
        // Empty: NotificationCenter::defaultCenter().
        NotificationCenter *center = nullptr;
    };

    // The application's instance, created on first use (thread-safe) and
    // kept for the life of the process.
    static CoverlumeBroadcasterHelper &sharedCoverlumeBroadcasterHelper();

    CoverlumeBroadcasterHelper();
    explicit CoverlumeBroadcasterHelper(Options options);
    ~CoverlumeBroadcasterHelper() override;
    CoverlumeBroadcasterHelper(const CoverlumeBroadcasterHelper &) = delete;
    CoverlumeBroadcasterHelper &operator=(const CoverlumeBroadcasterHelper &) = delete;

    void setArpSource(std::unique_ptr<ArpSource> source); // null: none
    void setDefaults(DefaultsStore *defaults);            // null: none; not owned
    DefaultsStore *defaults() const { return m_defaults; }
    // Stops and joins the polling thread; later starts do not restart it.
    void stop();

    // "http://ADDRESS:45055" for a dotted-quad address; empty for anything else.
    static QString baseAddress(const QString &ipv4);
    static bool isBaseAddress(const QString &text);
    // Adds a broadcaster to the saved "knownBroadcasters" by hand, given as
    // an IPv4 address ("192.168.1.7") or its base address. False, with the
    // reason, for anything else; true (with the base address) when added or
    // already there.
    static bool addKnownBroadcaster(DefaultsStore &defaults, const QString &address,
                                    QString *base, QString *error);

    // BroadcasterClient
    void start() override;
    bool hasKnownBroadcaster() const override { return !m_knownBroadcaster.isEmpty(); }
    QString getTrack() const override { return m_track; }
    QString getArtist() const override { return m_artist; }
    QString getAlbum() const override { return m_album; }
    int getRating() const override;
    bool getLoved() const override { return m_loved; }
    bool getDisliked() const override { return m_disliked; }
    QByteArray getArtwork() override;
    double getDuration() const override { return double(m_duration); }
    double getBookmark() const override;
    QString getPlayer() const override { return m_player; }
    QVariant getBitrate() const override { return reported(m_bitrate); }
    QVariant getBitdepth() const override { return reported(m_bitdepth); }
    QVariant getSamplerate() const override { return reported(m_samplerate); }
    QVariant getKind() const override { return reported(m_kind); }
    void sendPlayPause() override;
    void sendPrev() override;
    void sendNext() override;
    void sendVolumeUp() override;
    void sendVolumeDown() override;

    QString getSpotifyID() const { return m_spotifyID; }
    qint64 getPopularity() const { return m_popularity; }
    qint64 bookmarkSeconds() const { return m_bookmark; } // as last reported
    QString knownBroadcaster() const { return m_knownBroadcaster; } // empty: none
    QStringList knownBroadcasters() const { return m_knownBroadcasters; }
    bool isStarted() const { return m_started; }
    int pollingThreadsStarted() const { return m_threadsStarted; }
    int syncRequestsSent() const;

    // BroadcasterHelperDelegate
    void helperURLDidReceiveData(CoverlumeBroadcasterHelperURL *exchange,
                                 const QHash<QString, QString> &fields,
                                 const QString &fromURL) override;
    void helperURLReceivedNoData(CoverlumeBroadcasterHelperURL *exchange,
                                 const QString &fromURL) override;

private:
    static QVariant reported(const QString &text);

    void resetFields();
    void findBroadcastService();
    void readCompleted(const QString &arpText);
    QStringList savedBroadcasters();
    void saveBroadcasters();
    void probe(const QString &address);
    void setKnownBroadcaster(const QString &address);
    void maintenanceLoop();
    void pollKnownBroadcaster();
    std::optional<QByteArray> fetch(const QString &path, qint64 maxBytes);
    void sendCommand(const QString &path);
    QNetworkAccessManager &manager();
    qint64 nowMs() const;

    Options m_options;
    NotificationCenter *m_center;
    std::unique_ptr<ArpSource> m_arp;
    DefaultsStore *m_defaults = nullptr;

    // Now-playing fields, main thread.
    QString m_track, m_artist, m_album, m_spotifyID, m_bitrate, m_bitdepth, m_samplerate, m_kind, m_player;
    qint64 m_bookmark = 0, m_duration = 0, m_rating = 0, m_popularity = 0;
    bool m_loved = false, m_disliked = false;
    std::optional<qint64> m_lastBookmarkMs;

    // Written on the main thread under the lock; the polling thread reads it.
    QString m_knownBroadcaster;
    mutable QMutex m_knownLock;

    QStringList m_knownBroadcasters; // in the order first seen
    QHash<QString, int> m_inFlight;  // exchanges running, per address
    QSet<QString> m_reportedSkips;

    // Main-thread context of the exchanges and the polls handed over.
    QObject *m_context;
    QNetworkAccessManager *m_manager = nullptr;
    std::unique_ptr<BroadcasterFetcher> m_fetcher;

    bool m_started = false;
    int m_threadsStarted = 0;
    std::thread m_thread;
    std::mutex m_sleepLock;
    std::condition_variable m_wake;
    bool m_stopping = false;
};
