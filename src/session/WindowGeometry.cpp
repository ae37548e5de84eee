#include "session/WindowGeometry.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace WindowGeometry {

namespace {
constexpr int kShare = 60;       // per cent of the available width
constexpr int kLeastWidth = 960; // where the screen has room
const QSize kSmallest(320, 200);
const QSize kGrip(64, 32);
} // namespace

QSize initialContentSize(const QRect &available)
{
    if (available.width() <= 0 || available.height() <= 0)
        return QSize(kLeastWidth, kLeastWidth * 10 / 16);
    const double aspect = double(available.width()) / double(available.height());
    int width = std::max(available.width() * kShare / 100, std::min(kLeastWidth, available.width()));
    int height = int(std::lround(width / aspect));
    return QSize(width, height);
}

QString toText(const QRect &frame)
{
    return QStringLiteral("%1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
}

std::optional<QRect> restorable(const QString &text, const QList<QRect> &screens)
{
    const QStringList parts = text.simplified().split(QLatin1Char(' '));
    if (parts.size() != 4)
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).toInt(&ok);
        if (!ok || std::abs(values[i]) > 100000)
            return std::nullopt;
    }
    QRect frame(values[0], values[1], values[2], values[3]);
    if (frame.width() < kSmallest.width() || frame.height() < kSmallest.height())
        return std::nullopt;
    for (const QRect &screen : screens) {
        const QRect top(frame.x(), frame.y(), frame.width(), kGrip.height());
        const QRect onScreen = top.intersected(screen);
        if (onScreen.width() < kGrip.width() || onScreen.height() < kGrip.height())
            continue;
        // Larger than the screen it is on (it was moved to a smaller one): fitted.
        frame.setSize(frame.size().boundedTo(screen.size()));
        return frame;
    }
    return std::nullopt;
}

} // namespace WindowGeometry
