// Blur step benchmark: the blurred backgrounds' three steps timed apart
// (reduction of the artwork, the brightness judgement, the Lanczos
// enlargement to the view) beside Qt's smooth scaling of the same small
// image to the same size, which enlarges bilinearly: the reference.
//
//   bench_blur [--runs N] [--artwork SIDE] [--save DIR]
//
// For 3 × 2 (the Blur theme) and 12 × 8 (Ken Burns Blur) at 1920 × 1080 and
// 3840 × 2160, each step p50 and p99 over the runs. With --save the two
// enlargements of each size are written to DIR as PNGs, to be looked at
// side by side.
#include "BenchFigures.h"
#include "render/BlurBackground.h"
#include "render/Resample.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#include <functional>

namespace {

using BenchFigures::percentileMs;

// A picture with detail everywhere, so the reduction has work to do.
QImage artwork(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, QColor(30, 40, 120));
    gradient.setColorAt(1, QColor(220, 120, 60));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        painter.setBrush(QColor::fromHsv((i * 37) % 360, 160, 230, 120));
        painter.drawEllipse(QPointF((i * 97) % side, (i * 61) % side), side / 8.0, side / 8.0);
    }
    return image;
}

void report(const char *step, const QList<qint64> &ns)
{
    std::printf("    %-12s p50 %8.3f ms  p99 %8.3f ms\n", step, percentileMs(ns, 0.50), percentileMs(ns, 0.99));
}

QList<qint64> timed(int runs, const std::function<void()> &work)
{
    QList<qint64> ns;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        work();
        ns << timer.nsecsElapsed();
    }
    return ns;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("runs of each step"), QStringLiteral("N"),
                      QStringLiteral("20")});
    parser.addOption({QStringLiteral("artwork"), QStringLiteral("artwork side in pixels"), QStringLiteral("SIDE"),
                      QStringLiteral("1200")});
    parser.addOption({QStringLiteral("save"), QStringLiteral("write the enlargements here"), QStringLiteral("DIR")});
    parser.process(app);
    const QString saveDir = parser.value(QStringLiteral("save"));
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const QImage cover = artwork(std::clamp(parser.value(QStringLiteral("artwork")).toInt(), 16, 4096));

    std::printf("blur steps, artwork %dx%d, %d runs each\n", cover.width(), cover.height(), runs);
    for (const QSize reduced : {QSize(3, 2), QSize(12, 8)}) {
        for (const QSize view : {QSize(1920, 1080), QSize(3840, 2160)}) {
            std::printf("  %dx%d to %dx%d:\n", reduced.width(), reduced.height(), view.width(), view.height());
            QImage small;
            report("reduction", timed(runs, [&] { small = BlurBackground::reduce(cover, reduced); }));
            volatile float brightness = 0;
            report("brightness", timed(runs, [&] { brightness = BlurBackground::meanBrightness(small); }));
            QImage big;
            report("enlargement", timed(runs, [&] { big = Resample::lanczos3(small, view); }));
            const QString name = QStringLiteral("%1/wash-%2x%3-%4x%5-%6.png")
                                     .arg(saveDir)
                                     .arg(reduced.width())
                                     .arg(reduced.height())
                                     .arg(view.width())
                                     .arg(view.height());
            if (!saveDir.isEmpty())
                big.save(name.arg(QStringLiteral("lanczos")));
            report("qt smooth", timed(runs, [&] {
                       big = small.scaled(view, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                   }));
            if (!saveDir.isEmpty())
                big.save(name.arg(QStringLiteral("qt")));
        }
    }
    return 0;
}
