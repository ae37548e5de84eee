#pragma once

#include "broadcaster/BroadcastProtocol.h"
#include "broadcaster/BroadcasterClient.h"
#include "broadcaster/BroadcasterHelperDelegate.h"
#include "broadcaster/BroadcasterReport.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class ArpSource;
class BroadcasterCommands;
class BroadcasterDiscovery;
class BroadcasterPoller;
class DefaultsStore;
class NotificationCenter;
class QObject;

// The broadcaster client: finds broadcasters among the neighbours in the
// ARP table and the saved "knownBroadcasters", probes each on port 45055,
// follows the one that answers with a track by polling it every 3 seconds
// on a thread of its own, keeps the fields it last reported, and posts
// "com.quillmoor.Coverlume.BroadcasterPlayerInfo" to the in-process centre
// when the track changes or a showing broadcaster is lost.
//
// The application uses the one shared instance; tests make their own. The
// ARP source (owned) and the settings store (not owned) are installed by the
// owner: with no ARP source only the saved list is probed, with no store
// nothing is saved. The centre must outlive this object.
//
// Threads: everything but the polling thread runs on the main thread
// (start, the getters, the exchange callbacks and the commands, which
// block their caller for at most 10 seconds without running an event loop;
// getArtwork only hands over the bytes a fetch thread brought for the
// current track, asked for when the track arrived). The polling thread only reads the known address under a lock and
// hands each poll to the main thread. stop() (and the destructor) stop and
// join it; a thread left running is never destroyed by this object.
//
// The work is done by its parts: BroadcasterDiscovery (the table, the saved
// list, the probes), BroadcasterPoller (the thread), BroadcasterReport (the
// fields) and BroadcasterCommands (artwork and keys); this class ties them
// to the known broadcaster and the notification.
class CoverlumeBroadcasterHelper final : public BroadcasterClient, public BroadcasterHelperDelegate
{
public:
    static constexpr int port = BroadcastProtocol::port;
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
    DefaultsStore *defaults() const;
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
    QString getTrack() const override { return m_report.track; }
    QString getArtist() const override { return m_report.artist; }
    QString getAlbum() const override { return m_report.album; }
    int getRating() const override;
    bool getLoved() const override { return m_report.loved; }
    bool getDisliked() const override { return m_report.disliked; }
    QByteArray getArtwork() override;
    double getDuration() const override { return double(m_report.duration); }
    double getBookmark() const override;
    QString getPlayer() const override { return m_report.player; }
    QVariant getBitrate() const override { return reported(m_report.bitrate); }
    QVariant getBitdepth() const override { return reported(m_report.bitdepth); }
    QVariant getSamplerate() const override { return reported(m_report.samplerate); }
    QVariant getKind() const override { return reported(m_report.kind); }
    void sendPlayPause() override;
    void sendPrev() override;
    void sendNext() override;
    void sendVolumeUp() override;
    void sendVolumeDown() override;

    QString getSpotifyID() const { return m_report.spotifyID; }
    qint64 getPopularity() const { return m_report.popularity; }
    qint64 bookmarkSeconds() const { return m_report.bookmark; } // as last reported
    const BroadcasterReport &report() const { return m_report; }
    QString knownBroadcaster() const { return m_knownBroadcaster; } // empty: none
    QString commandAddress() const; // the known broadcaster, from any thread
    QStringList knownBroadcasters() const;
    bool isStarted() const;
    int pollingThreadsStarted() const;
    int pollCycles() const;       // the polling thread's wake-ups dealt with so far
    int probesSent() const;       // asynchronous exchanges started
    int syncRequestsSent() const; // artwork and key requests sent

    // BroadcasterHelperDelegate
    void helperURLDidReceiveData(CoverlumeBroadcasterHelperURL *exchange,
                                 const QHash<QString, QString> &fields,
                                 const QString &fromURL) override;
    void helperURLReceivedNoData(CoverlumeBroadcasterHelperURL *exchange,
                                 const QString &fromURL) override;

private:
    static QVariant reported(const QString &text);

    void setKnownBroadcaster(const QString &address);
    void pollKnownBroadcaster();
    void requestArtwork(const QString &address);
    void forgetArtwork();
    qint64 nowMs() const;

    Options m_options;
    NotificationCenter *m_center;
    BroadcasterReport m_report; // main thread
    QByteArray m_artwork;       // main thread: the current track's, once arrived
    int m_artworkRequest = 0;   // main thread: which request m_artwork may come from

    // Written on the main thread under the lock; the polling thread reads it.
    QString m_knownBroadcaster;
    mutable QMutex m_knownLock;

    // Main-thread context of the exchanges and the polls handed over.
    QObject *m_context;
    std::unique_ptr<BroadcasterDiscovery> m_discovery;
    std::unique_ptr<BroadcasterPoller> m_poller;
    std::unique_ptr<BroadcasterCommands> m_commands;
};
