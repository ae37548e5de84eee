#include "players/PlayState.h"

std::optional<PlayState> PlayStates::fromWord(const QString &word)
{
    if (word == u"stopped")
        return PlayState::Stopped;
    if (word == u"paused")
        return PlayState::Paused;
    if (word == u"playing")
        return PlayState::Playing;
    return std::nullopt;
}

QString PlayStates::word(PlayState state)
{
    switch (state) {
    case PlayState::Stopped:
        return QStringLiteral("stopped");
    case PlayState::Paused:
        return QStringLiteral("paused");
    case PlayState::Playing:
        return QStringLiteral("playing");
    }
    return QString();
}
