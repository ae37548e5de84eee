#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

// What the command line asks for, parsed without running anything.
//
// An option left out reads as "not given" (an empty path, an empty
// optional, false); the run then uses its own default: the real players,
// a window, frames forever, a view shaped from the screen (1280x800 when
// headless), a seed from the time, the live clock, the standard settings
// directory, and the stored "verbosity".
//
// Outputs (--snapshot, --state, --script-log) are written once the run
// ends: after the last of --frames, or when the application quits. That
// holds in a window too, where --frames quits after that many frames.
//
// Value type; any thread.
class CommandLine
{
public:
    enum class Action {
        Run,
        ShowHelp,    // print helpText() to standard output, exit 0
        ShowVersion, // print versionText() to standard output, exit 0
        Fail,        // print errorMessage to standard error, exit 2
    };

    // Frames and sizes beyond these are refused rather than attempted.
    static constexpr qint64 maxFrames = 1'000'000'000;
    static constexpr int maxSidePoints = 8192;

    // arguments: as QCoreApplication::arguments() gives them, program first.
    static CommandLine parse(const QStringList &arguments);

    static QString helpText();
    static QString versionText(); // "<version> (<build>)"

    // The exit status that goes with the action when the run does not start.
    int exitStatus() const;
    // Listing the players needs no window either.
    bool isHeadless() const { return offscreen || listPlayers; }

    Action action = Action::Run;
    QString errorMessage; // one line, "coverlume: …", for Action::Fail

    QString playersFile;
    bool offscreen = false;
    std::optional<qint64> frames;
    QString snapshotFile;
    std::optional<QSize> size;
    std::optional<quint32> seed;
    std::optional<QDateTime> now;
    bool fullscreen = false;
    QString configDir;
    QString scriptLogFile;
    QString stateFile;
    std::optional<int> verbosity;
    // --add-broadcaster: the base address to save in "knownBroadcasters"
    // before exiting; empty when not asked.
    QString addBroadcaster;
    bool listPlayers = false; // print the MPRIS players and exit 0
};
