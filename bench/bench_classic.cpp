// Classic theme benchmark: the display view with its real engine on a
// simulated player, drawn by the theme stage into a retained picture, at
// 1920×1080 and 3840×2160.
//
//   bench_classic [--frames N]
//
// layout  the first frame of a cycle: source refresh, layout, drawing
// fade    a fade-in frame (label, cover, reflection and bar opacity)
// hold    a frame in the hold (nothing changes but the bar, every 4th)
// blit    one full-frame image drawn over another: the reference
// Each prints p50 and p99 in milliseconds; then the resident memory.
#include "BenchFigures.h"
#include "core/CoverlumeView.h"
#include "core/RegisteredDefaults.h"
#include "core/ViewHost.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/SimulatedPlayers.h"
#include "render/Compositor.h"
#include "render/RenderStage.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using BenchFigures::percentileMs;
using BenchFigures::residentKiB;

class WindowedHost final : public ViewHost
{
public:
    bool isFullScreen() const override { return false; }
};

void report(const char *what, const QSize &size, const QList<qint64> &ns)
{
    std::printf("%-7s %4dx%-4d p50 %8.3f ms  p99 %8.3f ms  (%lld frames)\n", what, size.width(), size.height(),
                percentileMs(ns, 0.5), percentileMs(ns, 0.99), static_cast<long long>(ns.size()));
}

const QByteArray kScenario = R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
    {"name": "Lantern Row", "artist": "The Harbour Lights", "album": "Harbour Lights", "duration": 3600,
     "rating": 60}]}]})";

void run(const QSize &size, int frames)
{
    QTemporaryDir dir;
    DefaultsStore defaults(dir.path());
    registerAppDefaults(defaults);
    defaults.set(QStringLiteral("theme"), 0);
    FrameClock clock(QDateTime(QDate(2026, 12, 6), QTime(20, 0), Qt::UTC));
    NotificationCenter local, distributed;
    WindowedHost host;
    QString error;
    auto players = SimulatedPlayers::fromJson(kScenario, QStringLiteral("bench.json"), clock, &error);
    if (!players)
        qFatal("bad scenario: %s", qPrintable(error));
    RenderStage *stage = nullptr;
    ViewParts parts;
    parts.makeStage = [&stage](const StageContext &context) {
        auto made = std::make_unique<RenderStage>(context);
        stage = made.get();
        return made;
    };
    CoverlumeView view(QSizeF(size), ViewServices{defaults, *players, local, distributed, clock, host, nullptr},
                       std::move(parts));
    view.startAnimation();
    QImage artwork(1400, 1400, QImage::Format_ARGB32_Premultiplied);
    artwork.fill(QColor(180, 90, 60));
    {
        QPainter p(&artwork);
        p.setBrush(QColor(240, 220, 200));
        p.drawEllipse(300, 300, 800, 800);
    }
    view.setArtworkImage(artwork);

    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::black);
    QElapsedTimer timer;
    QList<qint64> layout, fade, hold;
    const int cycles = std::max(3, frames / 100);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        view.cycle().framesCount = 0; // the next frame lays the theme out
        for (int f = 1; f <= 100; ++f) {
            clock.beginFrame();
            timer.start();
            view.animateOneFrame();
            stage->compositor().renderDamage(picture);
            const qint64 ns = timer.nsecsElapsed();
            if (f == 1)
                layout << ns;
            else if (f < FrameCycle::holdStart)
                fade << ns;
            else
                hold << ns;
        }
    }
    report("layout", size, layout);
    report("fade", size, fade);
    report("hold", size, hold);

    QImage source(size, QImage::Format_ARGB32_Premultiplied);
    source.fill(QColor(20, 40, 60));
    QList<qint64> blit;
    for (int i = 0; i < 50; ++i) {
        timer.start();
        QPainter p(&picture);
        p.drawImage(0, 0, source);
        p.end();
        blit << timer.nsecsElapsed();
    }
    report("blit", size, blit);
    std::printf("resident %ld KiB at %dx%d\n", residentKiB(), size.width(), size.height());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    int frames = 400;
    const QStringList args = app.arguments();
    if (const qsizetype i = args.indexOf(QStringLiteral("--frames")); i >= 0 && i + 1 < args.size())
        frames = std::max(100, args.at(i + 1).toInt());
    run(QSize(1920, 1080), frames);
    run(QSize(3840, 2160), frames);
    return 0;
}
