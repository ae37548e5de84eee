#pragma once

class CommandLine;
class DisplaySession;

// Writes what the command line asked to keep from a run (--state,
// --snapshot, --script-log), each one even when another fails. A failure is
// told in one line on standard error. Main thread only.
class RunOutputs
{
public:
    // 0 when every requested output was written, else 1.
    static int write(const CommandLine &commandLine, const DisplaySession &session);
};
