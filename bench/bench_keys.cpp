// The frame while keys arrive, and the cost of one idle reading.
//
//   bench_keys [--players FILE] [--frames N]
//       Frames at 20 a second with one key each (transport, rating,
//       volume in turn), on the simulated players of FILE, or without
//       --players on the real players of the session bus (run it under
//       tests/with-private-bus.sh with mpv playing). Prints the frame time
//       (key included): p50, p99 and the longest. --no-keys: the same frames
//       without keys, for comparison. BENCH_KEYS_EACH set in the
//       environment prints each key's own time.
//   bench_keys --idle
//       One idle reading on each source there is here: the X server's
//       extension (with Qt on xcb, e.g. under Xvfb), and the D-Bus services
//       as a stand-in plays them on this bus (run it under
//       tests/with-private-bus.sh).
#include "BenchFigures.h"
#include "core/CoverlumeView.h"
#include "input/IdleSource.h"
#include "platform/DefaultsStore.h"
#include "session/DisplaySession.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

// GNOME's idle monitor and the screensaver service, answering at once.
class StandInIdle : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")
public Q_SLOTS:
    qulonglong GetIdletime() { return 1234; }
};

class StandInScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public Q_SLOTS:
    uint GetSessionIdleTime() { return 1234; }
};

void time(const char *name, IdleSource &source)
{
    QList<qint64> ns;
    QElapsedTimer timer;
    qint64 last = 0;
    for (int i = 0; i < 2000; ++i) {
        timer.start();
        last = source.idleMs();
        ns << timer.nsecsElapsed();
    }
    std::printf("%-28s p50 %.3f ms, p99 %.3f ms (reads %lld)\n", name, BenchFigures::percentileMs(ns, 0.5),
                BenchFigures::percentileMs(ns, 0.99), qlonglong(last));
}

int idleFigures()
{
    if (auto x11 = XcbIdleSource::create())
        time("X11 screensaver extension", *x11);
    else
        std::printf("X11 screensaver extension: not here (Qt runs on %s)\n", qPrintable(QGuiApplication::platformName()));

    QThread thread;
    StandInIdle monitor;
    StandInScreenSaver screenSaver;
    monitor.moveToThread(&thread);
    screenSaver.moveToThread(&thread);
    thread.start();
    QDBusConnection services =
        QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("stand-in"));
    if (!services.isConnected()) {
        std::printf("no session bus: no D-Bus figures\n");
    } else {
        const QDBusConnection display = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("display"));
        services.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver,
                                QDBusConnection::ExportAllSlots);
        services.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
        DBusIdleSource fdo(display);
        time("screensaver service", fdo);
        services.registerObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), &monitor,
                                QDBusConnection::ExportAllSlots);
        services.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor"));
        DBusIdleSource gnome(display);
        time("GNOME idle monitor", gnome);
        services.unregisterService(QStringLiteral("org.gnome.Mutter.IdleMonitor"));
        services.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        DBusIdleSource none(display);
        time("neither (probed once)", none);
    }
    thread.quit();
    thread.wait();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--idle")))
        return idleFigures();
    const qsizetype playersAt = args.indexOf(QStringLiteral("--players"));
    const qsizetype framesAt = args.indexOf(QStringLiteral("--frames"));
    const int frames = framesAt > 0 ? args.value(framesAt + 1).toInt() : 1200;
    const bool keys = !args.contains(QStringLiteral("--no-keys"));

    QTemporaryDir dir;
    SessionOptions options;
    options.configDir = dir.path();
    options.playersFile = playersAt > 0 ? args.value(playersAt + 1) : QString();
    options.seed = 1;
    options.frameSize = QSizeF(1280, 800);
    options.distributedInProcess = !options.playersFile.isEmpty();
    QString error;
    std::unique_ptr<DisplaySession> session = DisplaySession::create(options, &error);
    if (!session) {
        std::fprintf(stderr, "bench_keys: %s\n", qPrintable(error));
        return 2;
    }
    // The rating keys need the modifier Alt, and hearts shown.
    session->defaults().set(QStringLiteral("modifier"), 2);
    session->addNewCoverlumeView();

    const QStringList chords{"Space", "Alt+4", "Up", "Right", "Alt+/", "Down", "Left", "Alt+3", "Space"};
    QList<qint64> ns, keyNs;
    int frame = 0;
    QTimer pump;
    pump.setInterval(50);
    QObject::connect(&pump, &QTimer::timeout, [&] {
        QElapsedTimer timer;
        timer.start();
        const QKeyCombination chord =
            QKeySequence::fromString(chords.at(frame % chords.size()), QKeySequence::PortableText)[0];
        if (ViewInput *input = keys ? session->view()->input() : nullptr) {
            if (chord.keyboardModifiers() & Qt::AltModifier)
                input->keyPressed(QKeyEvent(QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier));
            input->keyPressed(QKeyEvent(QEvent::KeyPress, chord.key(), chord.keyboardModifiers()));
            input->keyReleased(QKeyEvent(QEvent::KeyRelease, chord.key(), chord.keyboardModifiers()));
            if (chord.keyboardModifiers() & Qt::AltModifier)
                input->keyReleased(QKeyEvent(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier));
        }
        keyNs << timer.nsecsElapsed();
        if (qEnvironmentVariableIsSet("BENCH_KEYS_EACH"))
            std::printf("%s %.2f\n", qPrintable(chords.at(frame % chords.size())), keyNs.last() / 1e6);
        session->runFrame();
        ns << timer.nsecsElapsed();
        if (++frame == frames)
            app.quit();
    });
    pump.start();
    app.exec();
    std::printf("%d frames, %s (%s): p50 %.2f ms, p99 %.2f ms, longest %.2f ms\n", frames, keys ? "one key each" : "no keys",
                options.playersFile.isEmpty() ? "real players" : "simulated players",
                BenchFigures::percentileMs(ns, 0.5), BenchFigures::percentileMs(ns, 0.99),
                BenchFigures::percentileMs(ns, 1.0));
    std::printf("  the keys alone: p50 %.2f ms, p99 %.2f ms, longest %.2f ms\n", BenchFigures::percentileMs(keyNs, 0.5),
                BenchFigures::percentileMs(keyNs, 0.99), BenchFigures::percentileMs(keyNs, 1.0));
    return 0;
}

#include "bench_keys.moc"
