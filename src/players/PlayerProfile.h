#pragma once

#include "model/PlayerTable.h"
#include "platform/ScriptResult.h"
#include "players/PlayState.h"

#include <QList>
#include <QString>

// The nature of one of the eleven stand-in player applications: how its
// status script answers, in which unit it reports durations, and which
// notification it broadcasts when its track or play state changes, all as
// its PlayerTable row says. Profiles are constants, in catalogue order;
// find() hands out pointers that live for the whole program. Any thread.
class PlayerProfile
{
public:
    using StatusStyle = PlayerTable::StatusStyle;
    using DurationUnit = PlayerTable::DurationUnit;

    QString name;             // the catalogue name, also the default process name
    StatusStyle status;
    DurationUnit duration;
    QString notification;     // empty for players that broadcast nothing
    const PlayerTable::Facts *facts; // the whole row

    // The answer of the status script in a state; title is the current
    // track's name (only the track-title style uses it).
    ScriptResult naturalStatus(PlayState state, const QString &title) const;

    // nullptr for a name that is not one of the eleven (exact spelling).
    static const PlayerProfile *find(const QString &name);
    static const QList<PlayerProfile> &all();
    static QStringList names();
};
