#include "app/AppDelegate.h"
#include "broadcaster/CoverlumeBroadcasterHelper.h"
#include "broadcaster/SystemArpSource.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "platform/NetworkPolicy.h"
#include "session/CommandLine.h"
#include "session/HeadlessRun.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// --add-broadcaster: saves the address in the settings and exits.
int addBroadcaster(const CommandLine &commandLine)
{
    DefaultsStore defaults(commandLine.configDir);
    QString base;
    QString error;
    if (!CoverlumeBroadcasterHelper::addKnownBroadcaster(defaults, commandLine.addBroadcaster, &base, &error)) {
        std::fprintf(stderr, "coverlume: %s\n", qUtf8Printable(error));
        return 1;
    }
    std::printf("coverlume: broadcaster %s saved\n", qUtf8Printable(base));
    return 0;
}

// The client finds broadcasters in this computer's neighbour table; only
// the application reads it. It stops polling before the application goes.
CoverlumeBroadcasterHelper &setUpBroadcaster()
{
    CoverlumeBroadcasterHelper &broadcaster = CoverlumeBroadcasterHelper::sharedCoverlumeBroadcasterHelper();
    broadcaster.setArpSource(std::make_unique<SystemArpSource>());
    return broadcaster;
}

} // namespace

int main(int argc, char **argv)
{
    Q_INIT_RESOURCE(resources);
    Log::installPlainHandler();
    NetworkPolicy::applyEnvironment();

    // Parsed before any application object, so --help works without a display.
    const CommandLine commandLine = CommandLine::parse(argumentsOf(argc, argv));
    switch (commandLine.action) {
    case CommandLine::Action::ShowHelp:
        std::fputs(qUtf8Printable(CommandLine::helpText()), stdout);
        return 0;
    case CommandLine::Action::ShowVersion:
        std::printf("coverlume %s\n", qUtf8Printable(CommandLine::versionText()));
        return 0;
    case CommandLine::Action::Fail:
        std::fprintf(stderr, "%s\n", qUtf8Printable(commandLine.errorMessage));
        return commandLine.exitStatus();
    case CommandLine::Action::Run:
        break;
    }

    QCoreApplication::setApplicationName(QStringLiteral("Coverlume"));
    QCoreApplication::setApplicationVersion(QStringLiteral(COVERLUME_VERSION));
    // The desktop entry's name: docks match the window to it (Wayland's
    // app_id, the X11 window's desktop file) and show its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillmoor.Coverlume"));

    if (!commandLine.addBroadcaster.isEmpty()) {
        QCoreApplication app(argc, argv);
        return addBroadcaster(commandLine);
    }

    if (commandLine.isHeadless()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        CoverlumeBroadcasterHelper &broadcaster = setUpBroadcaster();
        const int status = HeadlessRun::exec(commandLine);
        broadcaster.stop();
        return status;
    }
    QApplication app(argc, argv);
    // Installed, the icon comes from the theme; a build tree has none.
    const QIcon icon = QIcon::fromTheme(QStringLiteral("com.quillmoor.Coverlume"));
    if (!icon.isNull())
        QApplication::setWindowIcon(icon);
    CoverlumeBroadcasterHelper &broadcaster = setUpBroadcaster();
    AppDelegate delegate(commandLine);
    const int status = delegate.exec();
    broadcaster.stop();
    return status;
}
