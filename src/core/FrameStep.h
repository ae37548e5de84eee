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

    explicit FrameStep(Parts parts) : m(parts) {}

    void run(const ThemeEntry &theme, const QSizeF &bounds);

private:
    void finish(const ThemeEntry &theme, int f, float alpha);
    void drift(int f);
    void endOfCycle(bool isStatic);

    Parts m;
};
