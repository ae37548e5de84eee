// Frame benchmark: runs a scenario headless, frame after frame, and reports
// the per-frame time of the frame step (p50, p99, maximum).
//
//   bench_frames [--frames N] [--players FILE] [--theme N] [--scripts] [--size WxH]
//                [--effect E] [--artwork-size A] [--threads N]
//
// The `create` line is the view's creation (what it does before the first
// layout). With --size the view is that size and every frame is also drawn
// as the window draws it (only the damage, into a picture standing for the
// window's backing store); the whole frame (frame step and drawing) is then
// summed up by kind: the layout frame, fade frames, drift frames (the hold
// frames in which a drifting cover moves), progress frames (the other hold
// frames that take up the bar) and the other hold frames, each with the
// projections it built; then one full-frame blit as the reference, the
// cover notification's data (bytes, time to encode on its thread), and the
// resident memory (read before the blit's source is made).
// --threads N caps Qt's global thread pool, over which the drawing spreads
// large fills and blends, at N threads (as is without it).
//
// With --scripts it also prints how often each script ran per 1,000 frames,
// after the first cycle (the steady state).
// The run uses a scripted clock, a fixed seed and a settings directory of its
// own, so two runs of the same build do the same work.
#include "BenchFigures.h"
#include "HangingSite.h"
#include "core/CoverlumeView.h"
#include "platform/DefaultsStore.h"
#include "players/SimulatedPlayers.h"
#include "render/Compositor.h"
#include "render/CoverNotifier.h"
#include "render/RenderStage.h"
#include "session/DisplaySession.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QGuiApplication>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThreadPool>
#include <algorithm>
#include <cstdio>

namespace {

using BenchFigures::percentileMs;
using BenchFigures::residentKiB;

// "tell app \"iTunes\"\rplayer position\rend tell" reads "iTunes: player position".
QString scriptLabel(const QString &script)
{
    const QStringList lines = script.split(QRegularExpression(QStringLiteral("[\r\n]")));
    const QRegularExpression tell(QStringLiteral("^tell app(?:lication)? \"([^\"]+)\"$"));
    const QRegularExpressionMatch match = tell.match(lines.value(0));
    if (!match.hasMatch())
        return QStringLiteral("volume: ") + lines.value(4).trimmed();
    return match.captured(1) + QStringLiteral(": ") + lines.value(1).trimmed();
}

void printScriptTraffic(const SimulatedPlayers &players, qint64 fromFrame, qint64 frames)
{
    QMap<QString, qint64> counts;
    for (const SimulatedPlayers::Execution &execution : players.executions()) {
        if (execution.frame > fromFrame)
            ++counts[scriptLabel(execution.script)];
    }
    QList<QPair<qint64, QString>> rows;
    qint64 total = 0;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        rows.append({it.value(), it.key()});
        total += it.value();
    }
    std::sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    const double scale = 1000.0 / static_cast<double>(frames - fromFrame);
    std::printf("script executions per 1,000 frames (frames %lld to %lld):\n",
                static_cast<long long>(fromFrame + 1), static_cast<long long>(frames));
    for (const auto &row : rows)
        std::printf("  %8.1f  %s\n", static_cast<double>(row.first) * scale, qPrintable(row.second));
    std::printf("  %8.1f  in all\n", static_cast<double>(total) * scale);
}

struct Kind
{
    QList<qint64> ns;
    qint64 cacheBuilds = 0;
};

void printKind(const char *kind, QList<qint64> ns, qint64 cacheBuilds = -1)
{
    std::sort(ns.begin(), ns.end());
    std::printf("  %-9s p50 %8.3f ms  p99 %8.3f ms  max %8.3f ms  (%lld frames", kind, percentileMs(ns, 0.50),
                percentileMs(ns, 0.99), ns.isEmpty() ? 0.0 : static_cast<double>(ns.last()) / 1e6,
                static_cast<long long>(ns.size()));
    if (cacheBuilds >= 0)
        std::printf(", %lld cache builds", static_cast<long long>(cacheBuilds));
    std::printf(")\n");
}

// Runs the frames as the window does and sums them up by kind.
void runDrawn(DisplaySession &session, int frames, const QSize &size, bool eachLayout)
{
    CoverlumeView &view = *session.view();
    auto *stage = dynamic_cast<RenderStage *>(&view.stage());
    // The window's backing store: the view draws its damage into it.
    QImage picture(size, QImage::Format_RGB32);
    const auto draw = [&view, &picture]() {
        const QRegion damage = view.damage();
        if (damage.isEmpty())
            return false;
        QPainter painter(&picture);
        painter.setClipRegion(damage);
        for (const QRect &rect : damage)
            painter.fillRect(rect, Qt::black);
        view.paintWindow(painter);
        return true;
    };
    draw();
    Kind layout, fade, drift, progress, hold;
    QElapsedTimer timer;
    for (int i = 0; i < frames; ++i) {
        const int before = view.cycle().framesCount;
        timer.start();
        session.runFrame();
        const qint64 stepNs = timer.nsecsElapsed();
        const bool drawn = draw();
        const qint64 ns = timer.nsecsElapsed();
        if (before == 0 && eachLayout)
            std::printf("  layout at frame %d: step %.3f ms, drawing %.3f ms, %d cache builds\n", i + 1,
                        static_cast<double>(stepNs) / 1e6, static_cast<double>(ns - stepNs) / 1e6,
                        stage && drawn ? stage->compositor().lastStatistics().cacheBuilds : 0);
        const int f = view.cycle().framesCount;
        Kind &kind = before == 0                             ? layout
            : view.cycle().isFadeFrame(f)                    ? fade
            : f >= FrameCycle::driftStart && !view.stage().kenBurnsDirection().isNull() ? drift
            : f % FrameCycle::progressPeriod == 0            ? progress
                                                             : hold;
        kind.ns << ns;
        if (stage && drawn)
            kind.cacheBuilds += stage->compositor().lastStatistics().cacheBuilds;
        // What the window's event loop does between frames (the cover
        // notification goes out from there).
        QCoreApplication::processEvents();
    }
    std::printf("whole frames at %dx%d (frame step and drawing):\n", size.width(), size.height());
    printKind("layout", layout.ns, layout.cacheBuilds);
    printKind("fade", fade.ns, fade.cacheBuilds);
    printKind("drift", drift.ns, drift.cacheBuilds);
    printKind("progress", progress.ns, progress.cacheBuilds);
    printKind("hold", hold.ns, hold.cacheBuilds);

    const long resident = residentKiB();
    QImage source(size, QImage::Format_RGB32);
    source.fill(QColor(20, 40, 60));
    QList<qint64> blit;
    for (int i = 0; i < 50; ++i) {
        timer.start();
        QPainter painter(&picture);
        painter.drawImage(0, 0, source);
        painter.end();
        blit << timer.nsecsElapsed();
    }
    printKind("blit", blit);
    if (stage) {
        CoverNotifier &cover = stage->coverNotifier();
        while (!cover.isIdle())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        std::printf("cover %lld bytes, encoded in %.3f ms on its thread (%d encodings)\n",
                    static_cast<long long>(cover.lastBytes()), static_cast<double>(cover.lastEncodeNs()) / 1e6,
                    cover.encodings());
    }
    std::printf("resident %ld KiB\n", resident);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("frames"), QStringLiteral("frames to run"), QStringLiteral("N"),
                      QStringLiteral("6000")});
    parser.addOption({QStringLiteral("players"), QStringLiteral("scenario file"), QStringLiteral("FILE"),
                      QStringLiteral(COVERLUME_SOURCE_DIR "/scenarios/demo.json")});
    parser.addOption({QStringLiteral("theme"), QStringLiteral("theme number"), QStringLiteral("N"),
                      QStringLiteral("0")});
    parser.addOption({QStringLiteral("scripts"), QStringLiteral("print the script traffic")});
    parser.addOption({QStringLiteral("size"), QStringLiteral("view size, drawn as the window draws it"),
                      QStringLiteral("WxH")});
    parser.addOption({QStringLiteral("hanging-lyrics"),
                      QStringLiteral("point every lyrics source at a site that never answers")});
    parser.addOption({QStringLiteral("synced-lines"),
                      QStringLiteral("play one track with a .lrc of N timed lines beside it (instead of --players)"),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("effect"), QStringLiteral("the 3D effect setting"), QStringLiteral("E")});
    parser.addOption({QStringLiteral("artwork-size"), QStringLiteral("the artwork size setting"), QStringLiteral("A")});
    parser.addOption({QStringLiteral("each-layout"),
                      QStringLiteral("with --size: a line for every layout frame (frame step, drawing, cache builds)")});
    parser.addOption({QStringLiteral("threads"), QStringLiteral("cap Qt's global thread pool (the drawing's helpers)"),
                      QStringLiteral("N")});
    parser.process(app);
    if (parser.isSet(QStringLiteral("threads")))
        QThreadPool::globalInstance()->setMaxThreadCount(std::max(1, parser.value(QStringLiteral("threads")).toInt()));
    std::printf("drawing threads: %d (global pool)\n", QThreadPool::globalInstance()->maxThreadCount());

    QTemporaryDir config;
    SessionOptions options;
    options.configDir = config.path();
    options.playersFile = parser.value(QStringLiteral("players"));
    if (parser.isSet(QStringLiteral("synced-lines"))) {
        // One long track, a line every 2 s, played from its middle.
        const int lines = std::max(1, parser.value(QStringLiteral("synced-lines")).toInt());
        QByteArray lrc;
        for (int i = 0; i < lines; ++i)
            lrc += QStringLiteral("[%1:%2.00]line %3 of the timed words\n").arg(2 * i / 60).arg(2 * i % 60, 2, 10, QChar(u'0')).arg(i).toUtf8();
        QFile lrcFile(config.filePath(QStringLiteral("track.lrc")));
        QFile scenario(config.filePath(QStringLiteral("synced.json")));
        if (!lrcFile.open(QIODevice::WriteOnly) || lrcFile.write(lrc) != lrc.size() || !scenario.open(QIODevice::WriteOnly))
            return 2;
        scenario.write(QStringLiteral(R"({"players": [{"name": "Spotify", "state": "playing", "position": %1, "tracks": [)"
                                      R"({"name": "Long", "artist": "Band", "duration": %2, "location": "track.ogg"}]}]})")
                           .arg(lines)
                           .arg(2 * lines + 60)
                           .toUtf8());
        scenario.close();
        options.playersFile = scenario.fileName();
    }
    options.clockStart = QDateTime(QDate(2026, 12, 6), QTime(20, 0));
    options.seed = 1;
    options.distributedInProcess = true;
    QString error;
    std::unique_ptr<DisplaySession> session = DisplaySession::create(options, &error);
    if (!session) {
        std::fprintf(stderr, "bench_frames: %s\n", qPrintable(error));
        return 2;
    }
    session->defaults().set(QStringLiteral("theme"), parser.value(QStringLiteral("theme")).toInt());
    std::unique_ptr<HangingSite> hanging;
    if (parser.isSet(QStringLiteral("hanging-lyrics"))) {
        hanging = std::make_unique<HangingSite>();
        for (const char *key : {"lyricsWikiBase", "bingBase", "azLyricsBase", "metroLyricsBase", "metalArchivesBase",
                                "syncedLyricsBase"})
            session->defaults().set(QString::fromLatin1(key), hanging->root());
        session->defaults().set(QStringLiteral("syncedLyrics"), 2);
    }
    if (parser.isSet(QStringLiteral("effect")))
        session->defaults().set(QStringLiteral("3Deffect"), parser.value(QStringLiteral("effect")).toDouble());
    if (parser.isSet(QStringLiteral("artwork-size")))
        session->defaults().set(QStringLiteral("imageSize"), parser.value(QStringLiteral("artwork-size")).toDouble());
    QSize size;
    if (parser.isSet(QStringLiteral("size"))) {
        const QStringList sides = parser.value(QStringLiteral("size")).split(QLatin1Char('x'));
        size = QSize(sides.value(0).toInt(), sides.value(1).toInt());
        if (sides.size() != 2 || size.width() <= 0 || size.height() <= 0 || size.width() > 16384
            || size.height() > 16384) {
            std::fprintf(stderr, "bench_frames: --size wants WxH, as in 1920x1080\n");
            return 2;
        }
        session->setFrameSize(QSizeF(size));
    }
    QElapsedTimer created;
    created.start();
    session->addNewCoverlumeView();
    std::printf("  %-9s %8.3f ms\n", "create", static_cast<double>(created.nsecsElapsed()) / 1e6);

    const int frames = parser.value(QStringLiteral("frames")).toInt();
    if (size.isValid()) {
        runDrawn(*session, frames, size, parser.isSet(QStringLiteral("each-layout")));
    } else {
        for (int i = 0; i < frames; ++i)
            session->runFrame();
    }

    QList<qint64> figures = session->frameTimings().recentNs();
    std::sort(figures.begin(), figures.end());
    const double meanMs = session->frameTimings().count()
        ? static_cast<double>(session->frameTimings().totalNs()) / 1e6 / static_cast<double>(session->frameTimings().count())
        : 0;
    std::printf("frames %lld  theme %d  mean %.4f ms  p50 %.4f ms  p99 %.4f ms  max %.4f ms\n",
                static_cast<long long>(session->frameTimings().count()),
                int(session->view()->themeSettings().getTheme()), meanMs, percentileMs(figures, 0.50),
                percentileMs(figures, 0.99), static_cast<double>(session->frameTimings().maxNs()) / 1e6);
    if (parser.isSet(QStringLiteral("scripts")) && session->simulatedPlayers())
        printScriptTraffic(*session->simulatedPlayers(), 601, frames);
    return 0;
}
