#include "BroadcastCommandLine.h"
#include "broadcaster/BroadcastServer.h"
#include "broadcaster/CoverlumeBroadcasterHelper.h"
#include "broadcaster/PlayerReport.h"
#include "platform/FrameClock.h"
#include "platform/Log.h"
#include "players/SimulatedPlayers.h"
#include "players/mpris/MprisBridge.h"
#include "platform/DefaultsStore.h"
#include "session/QuitOnSignal.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

QByteArray imageType(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG"))
        return "image/png";
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (bytes.startsWith("GIF8"))
        return "image/gif";
    return "application/octet-stream";
}

// What each path answers. Commands act only when the user allowed them.
BroadcastServer::Response respond(PlayerReport &report, bool allowCommands, const QString &path)
{
    BroadcastServer::Response response;
    if (path == QLatin1String("/")) {
        response.body = report.nowPlayingBody();
        return response;
    }
    if (path == QLatin1String("/artwork")) {
        response.body = report.artwork();
        if (response.body.isEmpty()) {
            response.status = 404;
            response.body = "no artwork\n";
        } else {
            response.contentType = imageType(response.body);
        }
        return response;
    }
    static const QHash<QString, PlayerReport::Command> commands = {
        {QStringLiteral("/playpause"), PlayerReport::Command::PlayPause},
        {QStringLiteral("/prev"), PlayerReport::Command::Previous},
        {QStringLiteral("/next"), PlayerReport::Command::Next},
        {QStringLiteral("/volumeup"), PlayerReport::Command::VolumeUp},
        {QStringLiteral("/volumedown"), PlayerReport::Command::VolumeDown},
    };
    const auto command = commands.constFind(path);
    if (command == commands.constEnd()) {
        response.status = 404;
        response.body = "not found\n";
    } else if (!allowCommands) {
        response.status = 403;
        response.body = "commands are off (start with --allow-commands)\n";
    } else if (!report.perform(*command)) {
        response.status = 503;
        response.body = "no player\n";
    } else {
        response.body = "OK\n";
    }
    return response;
}

} // namespace

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

    PlayerReport report(*scripts);
    BroadcastServer server([&report, allow = commandLine.allowCommands](const QString &path) {
        return respond(report, allow, path);
    });
    QString error;
    if (!server.listen(QHostAddress(commandLine.listenAddress), CoverlumeBroadcasterHelper::port, &error)) {
        std::fprintf(stderr, "coverlume-broadcast: %s\n", qUtf8Printable(error));
        return 1;
    }
    qCInfo(lcBroadcaster, "serving on http://%s:%d/%s", qUtf8Printable(commandLine.listenAddress),
           CoverlumeBroadcasterHelper::port,
           commandLine.allowCommands ? " (commands allowed)" : "");
    return app.exec();
}
