#include "render/Resample.h"

#include "platform/Log.h"

#include <algorithm>
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

// The taps of one output position: `count` weights from source index `first`
// (indices outside the source are clamped to its edge when applied).
struct Taps
{
    int first = 0;
    int count = 0;
    int offset = 0; // into the shared weight array
};

struct Filter
{
    std::vector<Taps> taps;
    std::vector<float> weights;
};

// Output positions 0 … outSize − 1 along an axis of the source,
// both counted from the same origin, sampled at (j + 0.5) / s.
Filter makeFilter(int outSize, float s)
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
        t.first = first;
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
            filter.weights.push_back(w);
            sum += w;
        }
        t.count = last - first + 1;
        if (sum != 0.0f) {
            for (int k = 0; k < t.count; ++k)
                filter.weights[std::size_t(t.offset + k)] /= sum;
        }
    }
    return filter;
}

int clampIndex(int i, int size)
{
    return std::clamp(i, 0, size - 1);
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
    const Filter across = makeFilter(outW, s);
    std::vector<float> rows(std::size_t(inH) * std::size_t(outW) * 4);
    for (int y = 0; y < inH; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(in.constScanLine(y));
        float *out = rows.data() + std::size_t(y) * std::size_t(outW) * 4;
        for (int x = 0; x < outW; ++x) {
            const Taps &t = across.taps[std::size_t(x)];
            float b = 0, g = 0, r = 0, a = 0;
            for (int k = 0; k < t.count; ++k) {
                const QRgb p = line[clampIndex(t.first + k, inW)];
                const float w = across.weights[std::size_t(t.offset + k)];
                b += w * float(qBlue(p));
                g += w * float(qGreen(p));
                r += w * float(qRed(p));
                a += w * float(qAlpha(p));
            }
            out[4 * x] = b;
            out[4 * x + 1] = g;
            out[4 * x + 2] = r;
            out[4 * x + 3] = a;
        }
    }

    // Rows: output row j counted from the bottom samples the source from its
    // bottom edge, whose top-down row index is inH − 1 − i.
    const Filter up = makeFilter(outH, s);
    QImage result(outW, outH, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull()) {
        qCWarning(lcRender, "resample: cannot make a %dx%d picture", outW, outH);
        return result;
    }
    std::vector<float> sum(std::size_t(outW) * 4);
    for (int j = 0; j < outH; ++j) {
        const Taps &t = up.taps[std::size_t(j)];
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int k = 0; k < t.count; ++k) {
            const int fromBottom = clampIndex(t.first + k, inH);
            const float *row = rows.data() + std::size_t(inH - 1 - fromBottom) * std::size_t(outW) * 4;
            const float w = up.weights[std::size_t(t.offset + k)];
            float *acc = sum.data();
            for (std::size_t i = 0, n = sum.size(); i < n; ++i)
                acc[i] += w * row[i];
        }
        QRgb *line = reinterpret_cast<QRgb *>(result.scanLine(outH - 1 - j));
        for (int x = 0; x < outW; ++x) {
            // The ringing may leave the gamut: alpha within 0 … 255 and
            // every colour within 0 … alpha, or it wraps into speckles.
            const float a = std::clamp(sum[std::size_t(4 * x + 3)], 0.0f, 255.0f);
            const auto channel = [&](int c) {
                return int(std::clamp(sum[std::size_t(4 * x + c)], 0.0f, a) + 0.5f);
            };
            const int alpha = int(a + 0.5f);
            line[x] = qRgba(std::min(channel(2), alpha), std::min(channel(1), alpha), std::min(channel(0), alpha),
                            alpha);
        }
    }
    return result;
}
