#pragma once

// Idle tracking and the display-sleep assertion, as the frame cycle calls
// them at the end of every display cycle. Main thread only.
class PowerControl
{
public:
    virtual ~PowerControl() = default;
    virtual void tareSystemIdle() = 0;
    virtual void checkSystemIdle() = 0;
    virtual void preventSleep() = 0;
    virtual void allowSleep() = 0;
    // The user is back (a key, the pointer, the window losing focus).
    virtual void systemActivity() = 0;
};

// Does nothing: for hosts that neither go full screen on idle nor keep the
// display awake.
class InertPowerControl final : public PowerControl
{
public:
    void tareSystemIdle() override {}
    void checkSystemIdle() override {}
    void preventSleep() override {}
    void allowSleep() override {}
    void systemActivity() override {}
};
