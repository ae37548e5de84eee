#include "app/AppDelegate.h"
#include "platform/Log.h"
#include "session/CommandLine.h"
#include "session/HeadlessRun.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char **argv)
{
    Q_INIT_RESOURCE(resources);
    Log::installPlainHandler();

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

    if (commandLine.isHeadless()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return HeadlessRun::exec(commandLine);
    }
    QApplication app(argc, argv);
    AppDelegate delegate(commandLine);
    return delegate.exec();
}
