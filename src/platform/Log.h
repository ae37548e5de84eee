#pragma once

#include <QLoggingCategory>

class DefaultsStore;

// One logging category per source folder. Lines are written plain (no
// category prefix), one per message, to standard error, where the console
// window picks them up. Which diagnostic lines appear is decided by the
// "verbosity" setting through logAt() below; the categories only let a
// developer silence or route a whole folder with QT_LOGGING_RULES.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcPlayers)
Q_DECLARE_LOGGING_CATEGORY(lcCore)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcNowPlaying)
Q_DECLARE_LOGGING_CATEGORY(lcBroadcaster)
Q_DECLARE_LOGGING_CATEGORY(lcBroadcastServer)
Q_DECLARE_LOGGING_CATEGORY(lcRender)
Q_DECLARE_LOGGING_CATEGORY(lcArtwork)
Q_DECLARE_LOGGING_CATEGORY(lcText)
Q_DECLARE_LOGGING_CATEGORY(lcSession)
Q_DECLARE_LOGGING_CATEGORY(lcInput)
Q_DECLARE_LOGGING_CATEGORY(lcLyrics)

namespace Log {
// Installs the plain-line message handler.
void installPlainHandler();

// True when the "verbosity" setting (read as an integer, with the store's
// coercion) is at least `level`. Read afresh each call, so a change to the
// setting takes effect at the next line.
bool atLeast(const DefaultsStore &defaults, int level);
}

// A diagnostic line that appears only from a verbosity level on:
//     logAt(defaults, 3, lcCore, "setting up scripts");
// The message's arguments are not evaluated below that level.
#define logAt(defaults, level, category, ...)                                                      \
    if (!Log::atLeast((defaults), (level))) {                                                      \
    } else                                                                                         \
        qCInfo(category, __VA_ARGS__)
