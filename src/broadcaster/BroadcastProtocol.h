#pragma once

#include <QLatin1String>
#include <QtGlobal>

// Where a broadcaster answers and what it answers to: the display's client
// sends these requests and the companion serves them, so both take them from
// here. The text of the answers is BroadcastText's.
namespace BroadcastProtocol {

inline constexpr quint16 port = 45055;

// GET paths after the base address "http://ADDRESS:45055". The base address
// alone answers the now-playing text.
inline constexpr QLatin1String nowPlayingPath{"/"};
inline constexpr QLatin1String artworkPath{"/artwork"};
inline constexpr QLatin1String playPausePath{"/playpause"};
inline constexpr QLatin1String previousPath{"/prev"};
inline constexpr QLatin1String nextPath{"/next"};
inline constexpr QLatin1String volumeUpPath{"/volumeup"};
inline constexpr QLatin1String volumeDownPath{"/volumedown"};

} // namespace BroadcastProtocol
