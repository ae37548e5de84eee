#include "session/SessionOptions.h"

#include "session/CommandLine.h"

SessionOptions SessionOptions::fromCommandLine(const CommandLine &commandLine)
{
    SessionOptions options;
    options.configDir = commandLine.configDir;
    options.playersFile = commandLine.playersFile;
    options.verbosity = commandLine.verbosity;
    options.seed = commandLine.seed;
    options.clockStart = commandLine.now;
    if (commandLine.isHeadless()) {
        if (!options.clockStart)
            options.clockStart = QDateTime::currentDateTime();
        options.fullScreen = commandLine.fullscreen;
        options.distributedInProcess = true;
        options.waitForLyrics = commandLine.frames.has_value();
        options.waitForArtworkPixels = commandLine.frames ? smallArtworkPixels : 0;
    }
    if (commandLine.size)
        options.frameSize = QSizeF(*commandLine.size);
    else
        options.frameSize = QSizeF(headlessWidth, headlessHeight);
    return options;
}
