#include "session/SessionOptions.h"

#include "session/CommandLine.h"

#include <limits>

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
        if (commandLine.frames) {
            options.waitForArtworkPixels = smallArtworkPixels;
            options.waitForArtworkMs = std::numeric_limits<int>::max();
        }
    }
    if (commandLine.size)
        options.frameSize = QSizeF(*commandLine.size);
    else
        options.frameSize = QSizeF(headlessWidth, headlessHeight);
    return options;
}
