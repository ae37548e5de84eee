#pragma once

class CommandLine;

// A run without a window, for tests, benchmarks and theme work: builds the
// session, creates the view and runs the frames (back to back with
// --frames, else at 20 a second until SIGINT or SIGTERM), then writes the
// requested outputs. Needs a QGuiApplication on the offscreen platform.
// Main thread only.
class HeadlessRun
{
public:
    // The process exit status: 0 done, 1 an output could not be written,
    // 2 the players scenario could not be loaded. With --list-players it only
// prints the MPRIS players: 0, or 1 when there is no session bus.
    static int exec(const CommandLine &commandLine);
};
