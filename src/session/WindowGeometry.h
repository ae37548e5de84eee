#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// The display window's first size and the place it is remembered at between
// runs, as plain geometry (the application applies it to its window).
namespace WindowGeometry {

// The settings key the window's normal geometry is kept under.
inline const QString settingsKey = QStringLiteral("windowFrame");

// The first content size on a screen with this available area: 60 % of its
// width (at least 960 points where the screen has room for it) in the
// screen's own shape.
QSize initialContentSize(const QRect &available);

// "x y width height", as kept in the settings.
QString toText(const QRect &frame);
// A kept geometry worth restoring: well formed, of a sensible size (at
// least 320 × 200), shrunk to the screen it is on, and with enough of its
// top edge on one of the screens' available areas to be grabbed (64 × 32).
// None when it is not, e.g. after a screen was removed.
std::optional<QRect> restorable(const QString &text, const QList<QRect> &screens);

} // namespace WindowGeometry
