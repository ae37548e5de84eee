#pragma once

#include <QImage>
#include <QSize>

// High-quality resampling for the blurred backgrounds. Pure functions, any
// thread.
namespace Resample {

// `source` scaled by one factor s, the larger of wanted / source on the two
// axes, so that it covers `wanted`, with a separable Lanczos-3 filter whose
// edges repeat the border pixels. The result is `wanted` large: output pixel
// j, counted from the bottom-left corner, samples the source at (j + 0.5) / s
// from its bottom-left corner, so the overflow of the other axis is cut from
// the right and, in top-down rows, from the top. Works premultiplied in
// float; the filter's ringing is clamped to the representable colours.
// A null source or a wanted side below 1 gives a null image (a zero side is
// logged); a side above 16,384 pixels is capped there.
QImage lanczos3(const QImage &source, QSize wanted);

} // namespace Resample
