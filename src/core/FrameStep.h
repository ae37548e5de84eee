#pragma once

#include <QSizeF>

class DefaultsStore;
class FrameClock;
class FrameCycle;
class NowPlaying;
class PowerControl;
class ThemeSettings;
class ThemeStage;
class ViewHost;
struct ThemeEntry;

// One frame of the display cycle, shared by every theme: the trigger, the
// player check, the layout at the start of a cycle, the fade value and its
// jumps, the progress and track polling, the end of a cycle, and the theme's
// own finish. It works on parts the view owns and owns none of them.
//
// The settings it reads on every frame (the player check's period, the
// theme's "keepStatic") are read once and again only after the store
// reports a change; those it reads now and then are read when needed.
class FrameStep
{
public:
    struct Parts
    {
        FrameCycle &cycle;
        ThemeSettings &themes;
        NowPlaying &nowPlaying;
        ThemeStage &stage;
        PowerControl &power;
        DefaultsStore &defaults;
        const ViewHost &host;
        const FrameClock &clock;
    };

    explicit FrameStep(Parts parts);
    ~FrameStep();
    FrameStep(const FrameStep &) = delete;
    FrameStep &operator=(const FrameStep &) = delete;

    void run(const ThemeEntry &theme, const QSizeF &bounds);

    // Layouts run so far (frames on which a cycle began).
    qint64 layoutsRun() const { return m_layouts; }
    // Times the settings were read afresh (once, and after each change).
    qint64 settingsReads() const { return m_settingsReads; }

private:
    struct Settings
    {
        int checkPeriod = 16;
        bool keepStatic = false;
    };
    const Settings &settings();
    void finish(const ThemeEntry &theme, int f, float alpha);
    void drift(int f);
    void endOfCycle(bool isStatic);

    Parts m;
    Settings m_settings;
    bool m_settingsCurrent = false;
    int m_listener = 0;
    qint64 m_layouts = 0;
    qint64 m_settingsReads = 0;
};
