#include "core/FrameCycle.h"

#include "platform/Log.h"

#include <QtMath>
#include <cmath>

float FrameCycle::fadeValue(int f, int cycle)
{
    float alpha = f <= fadeFrames ? static_cast<float>(f) / fadeFrames : 1.0f;
    if (static_cast<qint64>(f) >= static_cast<qint64>(cycle) - fadeFrames) {
        const qint64 intoFadeOut = static_cast<qint64>(f) - (static_cast<qint64>(cycle) - fadeFrames);
        alpha = static_cast<float>(fadeFrames - intoFadeOut) / fadeFrames;
    }
    return alpha;
}

float FrameCycle::clamped(float alpha)
{
    if (!(alpha > 0.0f))
        return 0.0f;
    return alpha > 1.0f ? 1.0f : alpha;
}

int FrameCycle::sourceCheckPeriod(qint64 responsiveness)
{
    if (responsiveness < 0 || responsiveness > 8) {
        static bool logged = false;
        if (!logged) {
            qCWarning(lcCore, "responsivenessWhenInIdleMode %lld is outside 0…8; using %d",
                      static_cast<long long>(responsiveness), responsiveness < 0 ? 0 : 8);
            logged = true;
        }
        responsiveness = responsiveness < 0 ? 0 : 8;
    }
    return 1 << (8 - static_cast<int>(responsiveness));
}

int FrameCycle::cycleLength(bool settingExists, qint64 setting, bool lyricsTheme)
{
    qint64 cycle = settingExists ? setting : 600;
    if (cycle < minimumCycle || cycle > maximumCycle) {
        const qint64 bounded = cycle < minimumCycle ? minimumCycle : maximumCycle;
        static bool logged = false;
        if (!logged) {
            qCWarning(lcCore, "cycle %lld is outside %d…%d frames; using %lld",
                      static_cast<long long>(cycle), minimumCycle, maximumCycle,
                      static_cast<long long>(bounded));
            logged = true;
        }
        cycle = bounded;
    }
    if (lyricsTheme)
        cycle = static_cast<qint64>(static_cast<double>(cycle) * 1.66);
    return static_cast<int>(cycle);
}

float FrameCycle::interpolateValueFrom(float from, float to, int frame, int max)
{
    return from + static_cast<float>(frame) * ((to - from) / static_cast<float>(max));
}

QRectF FrameCycle::positionOfClock(const QSizeF &bounds, const QTime &localTime)
{
    const float width = static_cast<float>(bounds.width() * 3 / 18);
    const float height = static_cast<float>(bounds.height() / 12);
    float hour = static_cast<float>(localTime.hour());
    const float minute = static_cast<float>(localTime.minute());
    if (hour > 12)
        hour -= 12;
    const float t = hour + minute / 60;
    const double angle = (static_cast<double>(t) * 30) * M_PI / 180;
    const float cx = static_cast<float>((bounds.width() - width) * 0.5);
    const float cy = static_cast<float>((bounds.height() - height) * 0.5);
    return QRectF(cx + cx * std::sin(angle), cy + cy * std::cos(angle), width, height);
}

bool FrameCycle::thisRectClashesWith(const QRectF &a, const QRectF &b)
{
    // Overlap with positive area: an empty rectangle clashes with nothing,
    // even when it lies inside the other.
    if (!(a.width() > 0 && a.height() > 0 && b.width() > 0 && b.height() > 0))
        return false;
    return a.y() + a.height() > b.y() && b.y() + b.height() > a.y()
        && a.x() + a.width() > b.x() && b.x() + b.width() > a.x();
}
