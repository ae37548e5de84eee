#pragma once

#include <QRectF>
#include <QSizeF>
#include <QTime>

// The display cycle: its counters and the arithmetic of one cycle.
//
// A cycle of `CYCLE` frames lays the theme out on the frame after the counter
// was 0, fades in over frames 1…25, holds, and fades out over the last 25
// frames; the frame after the counter passes `CYCLE` resets it to 0. Other
// parts shorten a cycle by moving `framesCount` (to `CYCLE` − 26 for an
// immediate fade-out, `CYCLE` ± 1 for an immediate new layout) or by setting
// `triggerCycle`. Main thread only.
class FrameCycle
{
public:
    static constexpr int fadeFrames = 25;
    static constexpr int holdStart = 26;
    static constexpr int progressPeriod = 4;
    static constexpr int slowPeriod = 16;
    static constexpr int rebuildFrame = 3;
    static constexpr int driftStart = 4;
    static constexpr float driftSpanPoints = 400.0f;
    static constexpr int minimumCycle = 52;
    static constexpr int maximumCycle = 1000000;

    int framesCount = 1;
    int CYCLE = 600;
    bool triggerCycle = false;
    bool firstRun = true;
    // The fade value of the last frame, as computed before clamping.
    float alpha = 0.0f;

    // alpha for counter f in a cycle of length cycle: f / 25 rising, 1.0 in
    // the hold, falling to 0 over the last 25 frames (the fall wins).
    static float fadeValue(int f, int cycle);
    static float clamped(float alpha);

    // The player-check period 2^(8 − r); r outside 0…8 is clamped (logged once).
    static int sourceCheckPeriod(qint64 responsiveness);
    // The cycle length from the "cycle" setting, clamped to 52…1,000,000
    // (logged once), and lengthened for the Lyrics theme.
    static int cycleLength(bool settingExists, qint64 setting, bool lyricsTheme);

    // Linear interpolation in single precision; extrapolates past max.
    static float interpolateValueFrom(float from, float to, int frame, int max);
    // Where the full-screen clock stands at a given local time: on the
    // ellipse inscribed in the free area, like the hour hand of a watch.
    static QRectF positionOfClock(const QSizeF &bounds, const QTime &localTime);
    // True when the two rectangles overlap with positive area.
    static bool thisRectClashesWith(const QRectF &a, const QRectF &b);

    bool isFadeFrame(int f) const { return f < holdStart || f >= CYCLE - fadeFrames; }
};
