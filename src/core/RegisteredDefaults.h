#pragma once

#include <QVariantMap>

class DefaultsStore;

// The built-in value of every setting the display reads, registered at
// launch under the user's own values.
QVariantMap registeredDefaults();

// Registers the table and starts the run unpaused ("userPaused" NO).
void registerAppDefaults(DefaultsStore &defaults);
