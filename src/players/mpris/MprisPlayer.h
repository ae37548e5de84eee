#pragma once

#include "players/PlayState.h"
#include "players/mpris/ArtFetcher.h"
#include "players/mpris/MprisTrack.h"
#include "players/mpris/PositionClock.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QDBusPendingCallWatcher;

// The cache of one MPRIS player: its identity, play state, track, position
// and the artwork bytes of its current track. Filled once by loadAsync()
// (whose answers are taken as they come, or at once by takeLoaded()), then
// kept current by the player's own signals
// (PropertiesChanged, Seeked) and by asynchronous position polls; reads
// never go to the bus. A burst of signals settles (settleMs, or until the
// new art is read, at most maxSettleMs) before settled() tells the owner
// that the state or track really changed; until then state() answers the
// state of the last settling. A player that leaves Playing is given
// flipHoldMs to come back (some stop for a moment between two tracks), so
// such a flip never shows. Metadata is read again now and then while
// playing (metadataPollMs, after a seek, and when the position passes the
// known length), since some players correct a length without a signal.
// Every call to the player is asynchronous: the first reading waits up to
// loadTimeoutMs for its answers, every other call callTimeoutMs. Main
// thread only.
class MprisPlayer : public QObject
{
    Q_OBJECT
public:
    static constexpr int callTimeoutMs = 250;
    // A player busy at start-up may answer its first reading late; it
    // joins then.
    static constexpr int loadTimeoutMs = 25'000;
    static constexpr int settleMs = 100;
    static constexpr int maxSettleMs = 300;
    static constexpr int flipHoldMs = 250;
    static constexpr int metadataPollMs = 10'000;

    // How an art address becomes the list of addresses to try (Spotify's
    // announced address has answered 404; its image host is the fallback).
    using ArtCandidates = std::function<QStringList(const QString &artUrl)>;

    // owner: the unique name that owns busName (empty: unknown).
    MprisPlayer(const QDBusConnection &connection, const QString &busName, const QString &owner,
                QNetworkAccessManager *network, ArtCandidates candidates, QObject *parent = nullptr);

    // Asks for everything without waiting. An answer is applied when it
    // arrives (a change it brings settles as any other), unless
    // takeLoaded() took it first; a player that never answers stays empty
    // (stopped, no track).
    void loadAsync();
    // Applies the answers of loadAsync() that have arrived by now, as a
    // first reading that needs no settling; true once both have.
    bool takeLoaded();
    // Asks for the position, unless a request is still out.
    void pollPosition();
    // The poll while playing: the position, and the metadata when it is due.
    void poll();

    const QString &busName() const { return m_busName; }
    // The unique name signals are matched on (the bus name when unknown).
    const QString &owner() const { return m_owner; }
    // The calls of loadAsync(), to wait for.
    QList<QDBusPendingCall> pendingLoads() const { return {m_loads[0], m_loads[1]}; }
    const QString &identity() const { return m_identity; }
    // Seeked signals seen since the current track began.
    int seeksInTrack() const { return int(m_seeks - m_seeksBeforeTrack); }
    // As of the last settling: a change still settling is not answered yet.
    PlayState state() const { return isSettling() ? m_settledState : m_state; }
    const MprisTrack &track() const { return m_track; }
    qint64 positionUs() const;
    // Running: anything but stopped without a track.
    bool isRunning() const { return state() != PlayState::Stopped || !m_track.isEmpty(); }
    // Monotonic ms when it was last seen playing; -1 never.
    qint64 lastPlayingMs() const;

    // The artwork of the current track: the bytes, the address that served
    // them; both empty when there is none (yet).
    const QByteArray &artBytes() const { return m_artBytes; }
    const QString &artAddress() const { return m_artAddress; }
    bool isFetchingArt() const { return m_art.isBusy(); }

    // How many PropertiesChanged signals arrived from the player (saturates).
    int signalsSeen() const { return m_signalsSeen; }
    // A change is waiting to settle: settled() is still to come.
    bool isSettling() const { return m_settleStartNs >= 0; }

    // Transport: fire and forget, bounded.
    void call(const QString &method);

    static qint64 monotonicNs();
    // Moves every player's clock on, as if that much time had passed (for
    // tests of what time does to positions, without waiting for it).
    static void skipTimeForTesting(qint64 ms);
    // Stops every player's clock (settling included) until called with
    // false, so that a test decides when a settling window ends.
    static void freezeTimeForTesting(bool frozen);

Q_SIGNALS:
    void settled();

private Q_SLOTS:
    void onPropertiesChanged(const QString &interface, const QVariantMap &changed,
                             const QStringList &invalidated);
    void onSeeked(qlonglong positionUs);

private:
    void applyRoot(const QVariantMap &properties);
    void applyPlayer(const QVariantMap &properties);
    void applyMetadata(const QVariantMap &metadata);
    void applyStatus(const QString &status);
    void fetchArt();
    void changed(bool leftPlaying = false);
    void settleTick();
    qint64 settleDueNs() const;
    void applyLoad(int index);
    void getProperty(const QString &interface, const QString &name);
    void pollMetadata();

    QDBusConnection m_connection;
    QString m_busName;
    // The first reading: the root and the player interface.
    QDBusPendingCall m_loads[2] = {QDBusPendingCall::fromError(QDBusError()),
                                   QDBusPendingCall::fromError(QDBusError())};
    bool m_loadApplied[2] = {true, true};
    QString m_owner;
    QString m_identity;
    PlayState m_state = PlayState::Stopped;
    PlayState m_settledState = PlayState::Stopped;
    MprisTrack m_track;
    PositionClock m_clock;
    ArtFetcher m_art;
    ArtCandidates m_candidates;
    QByteArray m_artBytes;
    QString m_artAddress;
    QString m_artRequested;
    bool m_pollOut = false;
    bool m_metadataOut = false;
    qint64 m_metadataReadNs = -1;
    qint64 m_lengthPassedUs = -1; // the length the position was last seen past
    // Counts Seeked signals: a position asked for before the latest seek is stale.
    quint64 m_seeks = 0;
    quint64 m_seeksBeforeTrack = 0; // m_seeks when the current track began
    qint64 m_lastPlayingNs = -1;
    QTimer m_settle;
    qint64 m_settleStartNs = -1;
    qint64 m_lastChangeNs = -1;
    qint64 m_holdUntilNs = -1;
    int m_signalsSeen = 0;
};
