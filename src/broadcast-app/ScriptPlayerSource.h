#pragma once

#include "broadcast-server/PlayerSource.h"
#include "model/PlayerId.h"

#include <memory>

class NotificationCenter;
class PlayerScripts;
class ScriptService;

// The players of this computer as the display itself asks them: through the
// script service (simulated players or the bridge to the real ones), with
// the display's player scripts and the same player order. The service is
// not owned and must outlive this object. Main thread only.
class ScriptPlayerSource final : public PlayerSource
{
public:
    explicit ScriptPlayerSource(ScriptService &service);
    ~ScriptPlayerSource() override;
    ScriptPlayerSource(const ScriptPlayerSource &) = delete;
    ScriptPlayerSource &operator=(const ScriptPlayerSource &) = delete;

    std::optional<Track> playing() override;
    QByteArray artwork() override;
    bool perform(Command command) override;

private:
    PlayerId runningPlayer(bool mustPlay);
    bool isPlaying(PlayerId player);

    ScriptService &m_service;
    std::unique_ptr<NotificationCenter> m_center; // the scripts' registrations stay in here
    std::unique_ptr<PlayerScripts> m_scripts;
};
