#pragma once

#include <QLoggingCategory>

// One logging category per subsystem. Lines are written plain (no category
// prefix), one per message, to standard error, where the console window
// picks them up. Which diagnostic lines appear is decided by the callers
// with the "verbosity" setting; the categories only let a developer silence
// or route a whole subsystem with QT_LOGGING_RULES.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcPlayers)
Q_DECLARE_LOGGING_CATEGORY(lcCore)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcNowPlaying)
Q_DECLARE_LOGGING_CATEGORY(lcBroadcaster)

namespace Log {
// Installs the plain-line message handler.
void installPlainHandler();
}
