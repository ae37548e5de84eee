#include "BroadcastCommandLine.h"
#include "ScriptPlayerSource.h"
#include "broadcast-server/BroadcastServer.h"
#include "broadcast-server/PlayerReport.h"
#include "broadcaster/BroadcastProtocol.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/Log.h"
#include "players/SimulatedPlayers.h"
#include "players/mpris/MprisBridge.h"
#include "session/QuitOnSignal.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

int main(int argc, char **argv)
{
    Log::installPlainHandler();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const BroadcastCommandLine commandLine = BroadcastCommandLine::parse(arguments);
    switch (commandLine.action) {
    case BroadcastCommandLine::Action::ShowHelp:
        std::fputs(qUtf8Printable(BroadcastCommandLine::helpText()), stdout);
        return 0;
    case BroadcastCommandLine::Action::ShowVersion:
        std::printf("coverlume-broadcast %s\n", COVERLUME_VERSION);
        return 0;
    case BroadcastCommandLine::Action::Fail:
        std::fprintf(stderr, "%s\n", qUtf8Printable(commandLine.errorMessage));
        return commandLine.exitStatus();
    case BroadcastCommandLine::Action::Run:
        break;
    }

    // Each waiting client holds a descriptor: make room for every slot and
    // waiting place the server keeps, where the hard limit allows.
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 4096) {
        files.rlim_cur = std::min<rlim_t>(4096, files.rlim_max);
        setrlimit(RLIMIT_NOFILE, &files);
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("coverlume-broadcast"));
    QuitOnSignal quitOnSignal;
    QObject::connect(&quitOnSignal, &QuitOnSignal::quitRequested, &app, &QCoreApplication::quit);

    // The simulated players keep time in frames; a live clock moves them on
    // at the display's pace.
    FrameClock clock;
    QTimer frames;
    QObject::connect(&frames, &QTimer::timeout, [&clock] { clock.beginFrame(); });
    frames.start(FrameClock::frameIntervalMs);

    // The player mapping and ignore settings are the display's own.
    DefaultsStore defaults;
    std::unique_ptr<ScriptService> scripts;
    if (!commandLine.playersFile.isEmpty()) {
        QString error;
        scripts = SimulatedPlayers::load(commandLine.playersFile, clock, &error);
        if (!scripts) {
            std::fprintf(stderr, "coverlume-broadcast: %s\n", qUtf8Printable(error));
            return 2;
        }
    } else {
        scripts = std::make_unique<MprisBridge>(defaults, nullptr);
    }

    ScriptPlayerSource players(*scripts);
    PlayerReport report(players, commandLine.allowCommands);
    BroadcastServer server([&report](const QString &path) { return report.respond(path); });
    QString error;
    if (!server.listen(QHostAddress(commandLine.listenAddress), BroadcastProtocol::port, &error)) {
        std::fprintf(stderr, "coverlume-broadcast: %s\n", qUtf8Printable(error));
        return 1;
    }
    qCInfo(lcBroadcastServer, "serving on http://%s:%d/%s", qUtf8Printable(commandLine.listenAddress),
           BroadcastProtocol::port,
           commandLine.allowCommands ? " (commands allowed)" : "");
    return app.exec();
}
