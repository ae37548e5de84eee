#pragma once

#include "platform/ScriptService.h"
#include "players/PlayState.h"
#include "players/Scenario.h"
#include "players/ScriptVocabulary.h"

#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class FrameClock;
class NotificationCenter;
class SimulatedPlayer;

// The script service of the stand-in world: the eleven player applications,
// "System Events" and the volume settings, as a scenario file describes them.
//
// It answers exactly the script texts the real receivers understand (see
// ScriptVocabulary); any other text, an empty one, or one whose receiver is
// not running gives no result and an error message. Time is the frame
// clock's: playing positions advance 50 ms per frame, never by wall time,
// and timed events apply at their frame. Nothing runs between calls: each
// execute() and each read-out first catches up to clock.frame().
//
// When the current track or the play state of Spotify, iTunes or Music
// changes, the player's notification is posted to the notification centre
// given (if any), after the state has settled.
//
// Every execution is recorded (frame, text, answered); the record keeps the
// latest executionLimit entries. Neither the clock nor the centre is owned;
// both must outlive this object. Main thread only.
class SimulatedPlayers : public ScriptService
{
public:
    static constexpr qsizetype executionLimit = 200000;

    ~SimulatedPlayers() override;

    // Refuses a bad file with a message naming the file and what is wrong
    // ("scenario.json: players[1].tracks[0].duration: expected a number").
    static std::unique_ptr<SimulatedPlayers> load(const QString &path, const FrameClock &clock, QString *error);
    static std::unique_ptr<SimulatedPlayers> fromJson(const QByteArray &json, const QString &fileName,
                                                      const FrameClock &clock, QString *error);

    void setNotificationCenter(NotificationCenter *center); // where player notifications go (may be null)
    // "host:port" put into artwork addresses in place of "{server}"; refused
    // (false) unless the host is a loopback address. Default "127.0.0.1".
    bool setServerAddress(const QString &hostAndPort);

    bool compile(const QString &source) override;
    ScriptResult execute(const QString &source, QString *error = nullptr) override;
    // The current track's "location" and its exact position, as of the
    // last catching up (the scripts just run).
    PlayerFacts playerFacts(const QString &application) const override;

    // answered: the receiver ran and understood the text (its result may
    // still be a missing value).
    struct Execution { qint64 frame; QString script; bool answered; };
    const QList<Execution> &executions() const;
    qint64 droppedExecutions() const { return m_droppedExecutions; }
    void clearExecutions();
    // JSON lines: {"frame":N,"script":"…","answered":true}
    bool writeExecutionLog(const QString &path, QString *error) const;

    // Read-outs, after catching up to the clock.
    struct PlayerStatus
    {
        bool running = false;
        PlayState state = PlayState::Stopped;
        int trackIndex = 0;
        QString trackName;       // of the track at trackIndex
        double positionSeconds = 0;
        qint64 rating = 0;
        bool loved = false;
        bool disliked = false;
    };
    int volume() const;
    std::optional<PlayerStatus> player(const QString &name); // nothing for a player not in the scenario
    QStringList processNames();

    // The scenario's events at the display (keys, idle time), for the
    // session to apply at their frames.
    const QList<Scenario::DisplayEvent> &displayEvents() const { return m_displayEvents; }

private:
    SimulatedPlayers(Scenario scenario, const FrameClock &clock);

    void catchUp();
    void advanceAll(qint64 frames);
    void applyEvent(const Scenario::Event &event);
    void postChanges();
    SimulatedPlayer *find(const QString &name) const;
    ScriptResult runSystem(ScriptVocabulary::Operation operation);
    void reportUnknown(const QString &source);
    void record(const QString &source, bool answered);

    const FrameClock &m_clock;
    NotificationCenter *m_center = nullptr;
    QString m_serverAddress = QStringLiteral("127.0.0.1");
    std::vector<std::unique_ptr<SimulatedPlayer>> m_players;
    QStringList m_otherProcesses;
    QList<Scenario::Event> m_events;
    QList<Scenario::DisplayEvent> m_displayEvents;
    qsizetype m_nextEvent = 0;
    qint64 m_frame = 0;
    int m_volume;
    QList<Execution> m_executions;
    qint64 m_droppedExecutions = 0;
    QSet<QString> m_reportedUnknown;
    bool m_posting = false;
};
