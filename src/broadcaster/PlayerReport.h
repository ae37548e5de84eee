#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class NotificationCenter;
class PlayerScripts;
class ScriptService;

// What the companion broadcaster serves: this computer's now-playing data,
// read through the script service (simulated players or the bridge to the
// real ones) with the same scripts and the same player order as the
// display. The service is not owned and must outlive this object. Main
// thread only.
class PlayerReport
{
public:
    enum class Command { PlayPause, Previous, Next, VolumeUp, VolumeDown };

    explicit PlayerReport(ScriptService &service);
    ~PlayerReport();
    PlayerReport(const PlayerReport &) = delete;
    PlayerReport &operator=(const PlayerReport &) = delete;

    // The now-playing body: UTF-8 "key : value" lines. While nothing plays
    // the track line is empty, which the displays read as paused.
    QByteArray nowPlayingBody();
    // The current track's artwork bytes; empty when there are none.
    QByteArray artwork();
    // Acts on the player that plays, or else the first one running; false
    // when there is none (the volume keys need no player).
    bool perform(Command command);

    // The player playing now, by catalogue id; 0 for none.
    int playingPlayer();

private:
    int runningPlayer(bool mustPlay);
    bool isPlaying(int player);

    ScriptService &m_service;
    std::unique_ptr<NotificationCenter> m_center; // the scripts' registrations stay in here
    std::unique_ptr<PlayerScripts> m_scripts;
};
