#include "render/Resample.h"

#include "platform/Log.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <vector>

namespace {

constexpr int kLobes = 3;
constexpr int kMaxSide = 16384;
constexpr float kPi = 3.14159265358979f;

float lanczos(float x)
{
    x = std::abs(x);
    if (x < 1e-6f)
        return 1.0f;
    if (x >= float(kLobes))
        return 0.0f;
    const float px = kPi * x;
    return float(kLobes) * std::sin(px) * std::sin(px / float(kLobes)) / (px * px);
}

// The taps of one output position: `count` source indices (already clamped
// to the source, so taps past an edge repeat the edge pixel and are merged
// with it) and their weights, from `offset` in the shared arrays.
struct Taps
{
    int count = 0;
    int offset = 0;
};

struct Filter
{
    std::vector<Taps> taps;
    std::vector<int> indices;
    std::vector<float> weights;
};

// Output positions 0 … outSize − 1 along an axis of `inSize` source pixels,
// both counted from the same origin, sampled at (j + 0.5) / s.
Filter makeFilter(int inSize, int outSize, float s)
{
    // Reducing widens the kernel, so every source pixel counts.
    const float stretch = std::max(1.0f, 1.0f / s);
    const float support = float(kLobes) * stretch;
    Filter filter;
    filter.taps.resize(std::size_t(outSize));
    for (int j = 0; j < outSize; ++j) {
        const float centre = (float(j) + 0.5f) / s; // in source pixels
        const int first = int(std::floor(centre - support + 0.5f));
        const int last = int(std::ceil(centre + support - 0.5f));
        Taps &t = filter.taps[std::size_t(j)];
        t.offset = int(filter.weights.size());
        float sum = 0;
        for (int i = first; i <= last; ++i) {
            // Source pixel i has its centre at i + 0.5; nearly whole
            // distances are whole (the kernel's zeros stay zeros).
            float d = (centre - (float(i) + 0.5f)) / stretch;
            const float nearest = std::round(d);
            if (std::abs(d - nearest) < 1e-5f)
                d = nearest;
            const float w = lanczos(d);
            sum += w;
            const int index = std::clamp(i, 0, inSize - 1);
            if (t.count > 0 && filter.indices.back() == index) {
                filter.weights.back() += w;
            } else {
                filter.indices.push_back(index);
                filter.weights.push_back(w);
                ++t.count;
            }
        }
        if (sum != 0.0f) {
            for (int k = 0; k < t.count; ++k)
                filter.weights[std::size_t(t.offset + k)] /= sum;
        }
    }
    return filter;
}

// B, G, R, A as floats, premultiplied: one SIMD register.
typedef float Pixel __attribute__((vector_size(16)));

// The filter's ringing may leave the gamut: alpha within 0 … 255 and every
// colour within 0 … alpha, or it wraps into speckles.
inline QRgb pack(Pixel p)
{
#if defined(__SSE2__)
    __m128 v = _mm_max_ps(__m128(p), _mm_setzero_ps());
    const __m128 alpha = _mm_min_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)), _mm_set1_ps(255.0f));
    v = _mm_min_ps(v, alpha);
    __m128i bytes = _mm_cvtps_epi32(v);
    bytes = _mm_packs_epi32(bytes, bytes);
    bytes = _mm_packus_epi16(bytes, bytes);
    return QRgb(_mm_cvtsi128_si32(bytes));
#else
    const float a = std::clamp(p[3], 0.0f, 255.0f);
    const auto channel = [a](float c) { return uint(std::clamp(c, 0.0f, a) + 0.5f); };
    return (channel(a) << 24) | (channel(p[2]) << 16) | (channel(p[1]) << 8) | channel(p[0]);
#endif
}

} // namespace

QImage Resample::lanczos3(const QImage &source, QSize wanted)
{
    const float wantedWidth = float(wanted.width());
    const float wantedHeight = float(wanted.height());
    if (wantedWidth == 0.0f || wantedHeight == 0.0f) {
        qCInfo(lcRender, "returning - one dimension is zero");
        return QImage();
    }
    if (source.isNull() || wanted.width() < 1 || wanted.height() < 1)
        return QImage();
    const int outW = std::min(wanted.width(), kMaxSide);
    const int outH = std::min(wanted.height(), kMaxSide);
    const QImage in = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int inW = in.width(), inH = in.height();
    const float s = std::max(float(double(wanted.width()) / inW), float(double(wanted.height()) / inH));

    // Columns: each source row (top-down) filtered to the output width, in
    // premultiplied float, B G R A.
    const Filter across = makeFilter(inW, outW, s);
    std::vector<Pixel> rows(std::size_t(inH) * std::size_t(outW));
    for (int y = 0; y < inH; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(in.constScanLine(y));
        Pixel *out = rows.data() + std::size_t(y) * std::size_t(outW);
        for (int x = 0; x < outW; ++x) {
            const Taps &t = across.taps[std::size_t(x)];
            float b = 0, g = 0, r = 0, a = 0;
            for (int k = 0; k < t.count; ++k) {
                const QRgb p = line[across.indices[std::size_t(t.offset + k)]];
                const float w = across.weights[std::size_t(t.offset + k)];
                b += w * float(qBlue(p));
                g += w * float(qGreen(p));
                r += w * float(qRed(p));
                a += w * float(qAlpha(p));
            }
            out[x] = Pixel{b, g, r, a};
        }
    }

    // Rows: output row j counted from the bottom samples the source from its
    // bottom edge, whose top-down row index is inH − 1 − i. One pixel is one
    // vector of four floats, so the sums run four channels at a time.
    const Filter up = makeFilter(inH, outH, s);
    QImage result(outW, outH, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull()) {
        qCWarning(lcRender, "resample: cannot make a %dx%d picture", outW, outH);
        return result;
    }
    std::vector<const Pixel *> from;
    for (int j = 0; j < outH; ++j) {
        const Taps &t = up.taps[std::size_t(j)];
        from.clear();
        for (int k = 0; k < t.count; ++k) {
            const int fromBottom = up.indices[std::size_t(t.offset + k)];
            from.push_back(rows.data() + std::size_t(inH - 1 - fromBottom) * std::size_t(outW));
        }
        const float *w = up.weights.data() + t.offset;
        QRgb *line = reinterpret_cast<QRgb *>(result.scanLine(outH - 1 - j));
        if (t.count == 2) { // most rows of a small source: between two rows
            const Pixel *a = from[0], *b = from[1];
            const float wa = w[0], wb = w[1];
            for (int x = 0; x < outW; ++x)
                line[x] = pack(wa * a[x] + wb * b[x]);
            continue;
        }
        for (int x = 0; x < outW; ++x) {
            Pixel sum = w[0] * from[0][x];
            for (int k = 1; k < t.count; ++k)
                sum += w[k] * from[std::size_t(k)][x];
            line[x] = pack(sum);
        }
    }
    return result;
}
