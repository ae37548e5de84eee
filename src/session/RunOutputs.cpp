#include "session/RunOutputs.h"

#include "session/CommandLine.h"
#include "session/DisplaySession.h"

#include <cstdio>

namespace {

bool report(bool written, const QString &error)
{
    if (!written)
        std::fprintf(stderr, "coverlume: %s\n", qUtf8Printable(error));
    return written;
}

} // namespace

int RunOutputs::write(const CommandLine &commandLine, const DisplaySession &session)
{
    bool allWritten = true;
    QString error;
    if (!commandLine.stateFile.isEmpty())
        allWritten &= report(session.writeState(commandLine.stateFile, &error), error);
    if (!commandLine.snapshotFile.isEmpty())
        allWritten &= report(session.writeSnapshot(commandLine.snapshotFile, &error), error);
    if (!commandLine.scriptLogFile.isEmpty())
        allWritten &= report(session.writeScriptLog(commandLine.scriptLogFile, &error), error);
    return allWritten ? 0 : 1;
}
