#include "players/PlayerProfile.h"

#include <QStringList>

namespace {

QList<PlayerProfile> makeProfiles()
{
    QList<PlayerProfile> profiles;
    for (const PlayerTable::Facts &row : PlayerTable::all())
        profiles.append({row.nameText(), row.status, row.duration, row.notificationName(), &row});
    return profiles;
}

QString pick(PlayState state, const char *playing, const char *paused, const char *stopped)
{
    switch (state) {
    case PlayState::Playing:
        return QString::fromLatin1(playing);
    case PlayState::Paused:
        return QString::fromLatin1(paused);
    case PlayState::Stopped:
        break;
    }
    return QString::fromLatin1(stopped);
}

} // namespace

ScriptResult PlayerProfile::naturalStatus(PlayState state, const QString &title) const
{
    switch (status) {
    case StatusStyle::StateCodes:
        return ScriptResult::text(pick(state, "kPSP", "kPSp", "kPSS"));
    case StatusStyle::Playing:
        return ScriptResult::boolean(state == PlayState::Playing);
    case StatusStyle::HermesWords:
        return ScriptResult::text(pick(state, "play", "pause", "stop"));
    case StatusStyle::EcouteCodes:
        return ScriptResult::text(pick(state, "PSTl", "PSTp", "PSTs"));
    case StatusStyle::TrackTitle:
        return ScriptResult::text(state == PlayState::Playing ? title : QStringLiteral(""));
    }
    return ScriptResult();
}

const QList<PlayerProfile> &PlayerProfile::all()
{
    static const QList<PlayerProfile> profiles = makeProfiles();
    return profiles;
}

const PlayerProfile *PlayerProfile::find(const QString &name)
{
    for (const PlayerProfile &profile : all()) {
        if (profile.name == name)
            return &profile;
    }
    return nullptr;
}

QStringList PlayerProfile::names()
{
    QStringList result;
    for (const PlayerProfile &profile : all())
        result << profile.name;
    return result;
}
