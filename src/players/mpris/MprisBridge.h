#pragma once

#include "platform/ScriptService.h"
#include "players/PlayState.h"
#include "players/ScriptVocabulary.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QHash>
#include <QObject>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <memory>

class DefaultsStore;
class MprisPlayer;
class QDeadlineTimer;
class NotificationCenter;
class QNetworkAccessManager;

// The script service backed by the MPRIS players on the session bus.
//
// Each catalogue name is played by at most one MPRIS player, its stand-in
// (PlayerMapping decides who may stand for which name; when several may,
// the one followed stays until it stops while another plays, else the
// playing one, else the one that played last). Bus names that belong to
// one player are one player: names of one process with one Identity (or,
// where the process is unknown, a name and its instance form, "vlc" and
// "vlc.instance42"); of those, the name the player signals on is followed. Scripts are answered from
// the players' caches only, never by a bus call, so execute() costs a table
// look-up. The caches are filled when the bridge is built: every player is
// asked at once, and the bridge waits for the answers firstFillMs in all;
// players that answer later join then. The players' signals and
// asynchronous polls keep them current from the event loop. When a stand-in changes, or the stand-in for
// Spotify, iTunes or Music changes its state or track, the player's own
// notification is posted on the given centre (none posted when it is null).
//
// Settings read: "playerMapping", "ignoredPlayers", and the artwork hosts
// "spotifyArtworkHost" and "spotifyImageHost" (stand-ins for tests).
//
// Without a session bus it logs one line and no player runs. Owns its
// players, its network manager and the folder of kept artwork copies; the
// settings store and the centre are not owned and must outlive it. Main
// thread only.
class MprisBridge final : public QObject, public ScriptService
{
    Q_OBJECT
public:
    static constexpr int positionPollMs = 1000;
    // The whole first fill waits this long at most, however many players
    // there are and whether they answer or not.
    static constexpr int firstFillMs = 300;
    static constexpr int maxPlayers = 256;

    struct PlayerInfo
    {
        QString busName;
        QString identity;
        QString standsFor; // empty when ignored or a proxy
        bool ignored = false;
        bool followed = false;
        int signalsSeen = 0; // PropertiesChanged signals received from it
        PlayState state = PlayState::Stopped;
        QString reason;         // why it is followed or not, in words
        QStringList otherNames; // further bus names of the same player
    };

    // On the session bus, if one can be reached.
    MprisBridge(DefaultsStore &defaults, NotificationCenter *center, QObject *parent = nullptr);
    MprisBridge(DefaultsStore &defaults, NotificationCenter *center,
                const QDBusConnection &connection, QObject *parent = nullptr);
    ~MprisBridge() override;

    bool isOnBus() const { return m_connection.isConnected(); }

    bool compile(const QString &source) override;
    ScriptResult execute(const QString &source, QString *error = nullptr) override;
    PlayerFacts playerFacts(const QString &application) const override;

    // Every MPRIS player seen, one entry for the names of one player,
    // sorted by bus name.
    QList<PlayerInfo> players() const;
    // The bus name standing for a catalogue name; empty for none.
    QString standIn(const QString &name) const;
    // One line per player in aligned columns: bus name, Identity, play
    // state, the name it stands for, and why it is or is not followed.
    static QString listing(const QList<PlayerInfo> &players);

    // The notification posted for a catalogue name; empty for none.
    static QString notificationFor(const QString &name);

private:
    void start();
    // A question to the bus itself (name: its one argument, if any).
    QDBusPendingCall busCall(const QString &method, const QString &name) const;
    static void waitForAnswers(const QList<QDBusPendingCall> &calls, const QDeadlineTimer &budget);
    void addPlayer(const QString &busName, const QString &owner, quint32 process);
    void askProcessOf(const QString &busName, const QString &owner);
    bool sameProcessPlayer(const MprisPlayer *a, const MprisPlayer *b) const;
    // The players, the names of one player grouped, in bus-name order.
    QList<QList<MprisPlayer *>> groups() const;
    // The one name of a group that is followed.
    MprisPlayer *lead(const QList<MprisPlayer *> &group) const;
    void removePlayer(const QString &busName);
    // Picks the stand-ins again; announce: post for each name whose
    // stand-in changed (at start-up nothing is posted).
    void choose(bool announce = true);
    MprisPlayer *pick(const QList<MprisPlayer *> &candidates, const QString &current) const;
    void onSettled(MprisPlayer *player);
    void post(const QString &name, MprisPlayer *player);
    QStringList artCandidates(const QString &artUrl) const;
    ScriptResult answer(const ScriptVocabulary::Entry &entry, const MprisPlayer &player,
                        QString *error);
    QString keptArtAddress(const MprisPlayer &player);
    MprisPlayer *standInPlayer(const QString &name) const;

private Q_SLOTS:
    void onNameOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);

private:
    DefaultsStore &m_defaults;
    NotificationCenter *m_center;
    QDBusConnection m_connection;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QHash<QString, MprisPlayer *> m_players;   // by bus name; children of this
    QHash<QString, quint32> m_processes;       // bus name -> process id; 0 unknown
    QHash<QString, QString> m_chosen;          // catalogue name -> bus name
    QHash<QString, QString> m_posted;          // catalogue name -> what the last post showed
    QTimer m_poll;
    std::unique_ptr<QTemporaryDir> m_artDir;
    QThreadPool m_volume; // volume steps, in order; waited for on destruction
};
