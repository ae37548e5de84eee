#pragma once

#include <QString>
#include <QStringList>

// What coverlume-broadcast's command line asks for. Value type; any thread.
class BroadcastCommandLine
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, Fail };

    // arguments: program first, as QCoreApplication::arguments() gives them.
    static BroadcastCommandLine parse(const QStringList &arguments);
    static QString helpText();

    int exitStatus() const { return action == Action::Fail ? 2 : 0; }

    Action action = Action::Run;
    QString errorMessage; // "coverlume-broadcast: …", for Action::Fail

    QString listenAddress = QStringLiteral("127.0.0.1"); // loopback unless the user names another
    QString playersFile;   // empty: the real players
    bool allowCommands = false;
};
