#include "session/HeadlessRun.h"

#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "players/mpris/MprisBridge.h"
#include "session/CommandLine.h"
#include "session/DisplaySession.h"
#include "session/FramePump.h"
#include "session/QuitOnSignal.h"
#include "session/RunOutputs.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

int listPlayers(const CommandLine &commandLine)
{
    DefaultsStore defaults(commandLine.configDir);
    const MprisBridge bridge(defaults, nullptr);
    if (!bridge.isOnBus()) {
        std::fprintf(stderr, "coverlume: no session bus, so no players\n");
        return 1;
    }
    const QList<MprisBridge::PlayerInfo> players = bridge.players();
    if (players.isEmpty())
        std::fputs("no MPRIS players on the session bus\n", stdout);
    std::fputs(qUtf8Printable(MprisBridge::listing(players)), stdout);
    return 0;
}

} // namespace

int HeadlessRun::exec(const CommandLine &commandLine)
{
    if (commandLine.listPlayers)
        return listPlayers(commandLine);

    // Watch for SIGINT and SIGTERM from the start, so that a stop request
    // that comes early still ends the run in order.
    QuitOnSignal quitOnSignal;
    bool quitRequested = false;
    QObject::connect(&quitOnSignal, &QuitOnSignal::quitRequested, [&quitRequested] {
        quitRequested = true;
        QCoreApplication::quit();
    });

    QString error;
    std::unique_ptr<DisplaySession> session =
        DisplaySession::create(SessionOptions::fromCommandLine(commandLine), &error);
    if (!session) {
        std::fprintf(stderr, "coverlume: %s\n", qUtf8Printable(error));
        return 2;
    }
    qCInfo(lcSession, "Coverlume Standalone version: %s", qUtf8Printable(CommandLine::versionText()));

    session->addNewCoverlumeView();

    FramePump pump([&session] { session->runFrame(); }, {});
    QObject::connect(&quitOnSignal, &QuitOnSignal::quitRequested, &pump, &FramePump::stop);

    // A quit request may already have come while the view was being built.
    QCoreApplication::processEvents();
    if (!quitRequested && commandLine.frames) {
        pump.runBackToBack(*commandLine.frames);
    } else if (!quitRequested) {
        pump.start();
        QCoreApplication::exec();
        pump.stop();
        qCInfo(lcSession, "%s", qUtf8Printable(pump.summary()));
    }

    session->leaveDistributedCenter();
    return RunOutputs::write(commandLine, *session);
}
