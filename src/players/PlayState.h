#pragma once

#include <QString>
#include <optional>

// What a stand-in player is doing. Stopped means it has no current track:
// track scripts then fail, as they do against a real stopped player.
enum class PlayState { Stopped, Paused, Playing };

namespace PlayStates {
// The scenario words "stopped", "paused", "playing"; nothing for other text.
std::optional<PlayState> fromWord(const QString &word);
QString word(PlayState state);
}
