#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The two text rules every exchange over HTTP shares. Pure; any thread.
namespace WebText {

// The address with every character that may not appear in one
// percent-encoded as UTF-8. The reserved and unreserved characters stay,
// and so does "%", so escapes already in the text are kept (and a "#" still
// starts a fragment).
QString percentEncodeAddress(const QString &address);

// The bytes as UTF-8, or nothing when they are not valid UTF-8: no silent
// repair with replacement characters. Empty bytes give an empty text.
std::optional<QString> decodeUtf8(QByteArrayView bytes);

} // namespace WebText
