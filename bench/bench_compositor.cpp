// Compositor benchmark: the cost of the frames the display draws most, at
// 1920×1080 and 3840×2160, into a retained picture of the view.
//
//   bench_compositor [--frames N]
//
// hold    nothing changed (the frame asks whether to redraw, and does not)
// fade    the cover, its reflection and the label change opacity
// blit    one full-frame image drawn over another: the reference
// Each prints p50 and p99 in milliseconds over N frames (default 400).
#include "BenchFigures.h"
#include "render/CLProgressIndicator.h"
#include "render/Compositor.h"
#include "render/LayerTree.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using BenchFigures::percentileMs;
using BenchFigures::residentKiB;

QList<qint64> timeFrames(int frames, const std::function<void(int)> &frame)
{
    QList<qint64> times;
    times.reserve(frames);
    QElapsedTimer timer;
    for (int i = 0; i < frames; ++i) {
        timer.start();
        frame(i);
        times.append(timer.nsecsElapsed());
    }
    return times;
}

QImage picture(QSize size, QColor a, QColor b)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, a);
    gradient.setColorAt(1, b);
    painter.fillRect(image.rect(), gradient);
    return image;
}

void report(const char *what, const QList<qint64> &times)
{
    std::printf("  %-6s p50 %8.3f ms   p99 %8.3f ms\n", what, percentileMs(times, 0.5), percentileMs(times, 0.99));
}

void run(QSize view, int frames)
{
    const double h = view.height();
    const double s = h / 2.4; // the Classic artwork size
    LayerTree tree;
    tree.setViewSize(QSizeF(view));
    tree.root().setBackgroundColor(Qt::black);

    const auto turn = Transform3D::perspective(1.0 / 600).rotated(0.3 * 20 * M_PI / 180, 0, 1, 0);
    Layer reflection;
    reflection.setFrame(QRectF(view.width() * 0.55, h * 0.3 - s, s, 1.29 * s));
    reflection.setContents(picture(QSize(int(s), int(1.3 * s)), QColor(60, 60, 90, 120), QColor(0, 0, 0, 0)));
    reflection.setAnchorPoint(QPointF(1.0, 1.4));
    reflection.setTransform(turn);
    Layer cover;
    cover.setFrame(QRectF(view.width() * 0.55, h * 0.3, s, s));
    cover.setContents(picture(QSize(int(s), int(s)), QColor(200, 120, 60), QColor(30, 30, 60)));
    cover.setAnchorPoint(QPointF(1.0, 0.8));
    cover.setTransform(turn);
    Layer label;
    label.setFrame(QRectF(h / 20, h * 0.3 + 40, view.width() * 0.5 - h / 20, h * 0.3));
    label.setContents(picture(label.frame().size().toSize(), QColor(255, 255, 255, 200), QColor(255, 255, 255, 0)));
    CLProgressIndicator bar;
    bar.setFrame(QRectF(h / 20, h * 0.3, view.width() * 0.5 - h / 20, 0.6 * h / 35));
    bar.setMaxValue(240);
    bar.setDoubleValue(100);
    bar.setShowTime(2);
    bar.setTransparency(1.0f);
    for (Layer *layer : {static_cast<Layer *>(&reflection), &cover, &label, static_cast<Layer *>(&bar)})
        tree.root().addSublayer(layer);

    Compositor compositor(tree);
    QImage frame(view, QImage::Format_ARGB32_Premultiplied);
    compositor.renderDamage(frame); // the layout frame builds the caches

    std::printf("%dx%d\n", view.width(), view.height());
    report("hold", timeFrames(frames, [&](int) {
        if (compositor.needsRedraw())
            compositor.renderDamage(frame);
    }));
    int builds = 0;
    report("fade", timeFrames(frames, [&](int i) {
        const float alpha = float(i % 20) / 20.0f;
        cover.setOpacity(alpha);
        reflection.setOpacity(alpha);
        label.setOpacity(alpha);
        if (compositor.needsRedraw())
            compositor.renderDamage(frame);
        builds += compositor.lastStatistics().cacheBuilds;
    }));
    const QImage source = picture(view, Qt::darkBlue, Qt::black);
    QImage target(view, QImage::Format_ARGB32_Premultiplied);
    report("blit", timeFrames(frames, [&](int) {
        QPainter painter(&target);
        painter.drawImage(QPoint(0, 0), source);
    }));
    std::printf("  projections rebuilt during the fades: %d\n", builds);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    int frames = 400;
    const QStringList arguments = app.arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--frames"));
    if (at >= 0 && at + 1 < arguments.size())
        frames = std::max(1, arguments.at(at + 1).toInt());
    run(QSize(1920, 1080), frames);
    run(QSize(3840, 2160), frames);
    return 0;
}
