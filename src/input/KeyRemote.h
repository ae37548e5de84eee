#pragma once

#include "core/ViewInput.h"
#include "model/PlayerId.h"
#include "nowplaying/ScriptSlots.h"

#include <QDateTime>
#include <QTimer>
#include <memory>

class CoverlumeView;
class NotificationCenter;
class PlayerScripts;
class BroadcasterCourier;

// The display as a remote control: the space bar plays or pauses, the
// arrows go back, forward and change the volume, the digits and the slash
// rate the playing track or mark it, the modifier with S saves a picture of
// the display. Every other key, and the pointer, means the user is back
// (the power control decides what that does).
//
// Commands go to the followed source: the player's own scripts, built here
// for that player before each command, or the broadcaster's paths, sent
// without waiting for its answer. After a command the cycle jumps into its
// fade-out so the next layout shows the new state soon.
//
// Owned by the view it commands; main thread only.
class KeyRemote final : public ViewInput
{
public:
    // How long after entering full screen pointer moves are ignored (the
    // jump of the pointer that comes with it).
    static constexpr qint64 fullScreenSettleMs = 600;
    // How long after the window lost focus the user counts as back.
    static constexpr int resignDelayMs = 250;

    // courier: where the broadcaster's commands go; null: the shared one.
    explicit KeyRemote(CoverlumeView &view, BroadcasterCourier *courier = nullptr);
    ~KeyRemote() override;

    void keyPressed(const QKeyEvent &event) override;
    void keyReleased(const QKeyEvent &event) override;
    void pointerMoved(const QMouseEvent &event) override;
    void focusLost() override { windowDidResignKey(); }
    void setEnteredFullScreen(const QDateTime &when) override { m_enteredFullScreen = when; }

    void keyDown(int code, quint32 flags);
    void keyUp(int code);
    void flagsChanged(quint32 flags);
    void mouseMoved();
    void windowDidResignKey();

    void spacePressed();
    void leftArrowPressed();
    void rightArrowPressed();
    void volumeUp();
    void volumeDown();

    bool modifierDown() const { return m_modifierDown; }

private:
    bool ratingKeysLive(quint32 flags) const;
    // True when the key was one of the rating keys (and so is done with).
    bool rate(int code);
    void takeShot();
    void aboutToRunPPScript();
    void jumpToFadeOut();
    bool isRunning(PlayerId player);
    // The player's transport slots, built for it afresh.
    const ScriptSlots &transportFor(PlayerId player);
    bool sendToBroadcaster(int command);

    CoverlumeView &m_view;
    BroadcasterCourier &m_courier;
    // Player notifications of these scripts go nowhere: the engine listens.
    std::unique_ptr<NotificationCenter> m_quiet;
    std::unique_ptr<PlayerScripts> m_scripts;
    bool m_modifierDown = false;
    QDateTime m_enteredFullScreen;
    qint64 m_taredAtFrame = -1;
    QTimer m_resign; // dies with the view, so never reaches a replaced one
};
