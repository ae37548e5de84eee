#pragma once

#include <QString>

// The operating system's minor version, read from os-release (the
// freedesktop.org file naming the distribution and its version).
//
// Returns the second dot-separated component of VERSION_ID, quotes removed
// ("22.04" gives "04"). When the file or the key is missing, or VERSION_ID
// has a single component (Debian's "12"), the fallback is returned. When the
// default path is missing, /usr/lib/os-release is read instead, as the file's
// own documentation asks. Any thread; reads at most 64 KiB of the file.
QString osMinorVersion(const QString &osReleasePath = QStringLiteral("/etc/os-release"),
                       const QString &fallback = QStringLiteral("9"));
