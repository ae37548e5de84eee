#pragma once

#include "platform/ScriptResult.h"
#include "players/PlayState.h"
#include "players/PlayerProfile.h"
#include "players/Scenario.h"
#include "players/ScriptVocabulary.h"

#include <QVariantMap>

// One stand-in player application: whether it runs, what it plays, where
// in the track it is, and its answers to its own script texts.
//
// Time comes from outside (advance); the player never reads a clock, so a
// run is the same every time. Positions are whole milliseconds. The track
// list wraps around: after the last track comes the first. A track with no
// duration is a stream and never ends. Owned by SimulatedPlayers; main
// thread only.
class SimulatedPlayer
{
public:
    SimulatedPlayer(const PlayerProfile &profile, const Scenario::Player &setup);

    const PlayerProfile &profile() const { return *m_profile; }
    const QString &processName() const { return m_processName; }
    bool isRunning() const { return m_running; }
    PlayState state() const { return m_state; }
    int trackIndex() const { return m_track; }
    qint64 positionMs() const { return m_positionMs; }
    // The track being played or paused; nullptr while stopped or not running.
    const Scenario::Track *currentTrack() const;
    // Any track of the list; nullptr out of range.
    const Scenario::Track *trackAt(int index) const;

    // Lets elapsedMs of playing time pass (nothing happens unless playing).
    void advance(qint64 elapsedMs);

    // Applies a timed event; false, with the reason, when it cannot apply
    // (the player is not running, has no tracks, is already running).
    bool apply(const Scenario::Event &event, QString *why);

    // Runs one operation of this player's vocabulary. serverAddress fills
    // the placeholder of artwork addresses. A failure gives no result and
    // sets *error; a missing value gives no result and leaves it empty.
    ScriptResult run(const ScriptVocabulary::Entry &entry, const QString &serverAddress, QString *error);

    // True once after the current track or the play state changed.
    bool takeChange();
    // What the player's notification carries about the current track.
    QVariantMap notificationInfo() const;

private:
    ScriptResult status(QString *error) const;
    ScriptResult read(const ScriptVocabulary::Entry &entry, const Scenario::Track &track,
                      const QString &serverAddress, QString *error) const;
    ScriptResult randomArtwork(QString *error);
    bool edit(const ScriptVocabulary::Entry &entry, QString *error);
    Scenario::Track *editableTrack();
    void setState(PlayState state);
    void moveTo(int index, qint64 positionMs);
    void step(int delta);
    ScriptResult fail(QString *error, const QString &message) const;

    const PlayerProfile *m_profile;
    QString m_processName;
    bool m_running;
    PlayState m_state;
    QMap<PlayState, ScriptResult> m_statusAnswers;
    QList<Scenario::Track> m_tracks;
    int m_track;
    qint64 m_positionMs;
    std::optional<QList<QByteArray>> m_library;
    qsizetype m_nextCover = 0;
    bool m_changed = false;
};
