#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Reading a file named by someone else (a player's artwork address, a
// file:// URL): opened without blocking, so that a FIFO or device cannot
// hold the caller, and checked on the opened descriptor, so that nothing
// swapped in after a check by name is read. Any thread.
namespace LocalFile {

// The whole file when it is a regular file of at most maxBytes; nothing,
// with the reason in *error, otherwise (also when it grows past the cap
// while being read, or is empty).
std::optional<QByteArray> readRegular(const QString &path, qint64 maxBytes, QString *error = nullptr);

} // namespace LocalFile
