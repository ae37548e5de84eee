#pragma once

// Small file helpers for tests that check what a run leaves on disk.
// Header only. A file that cannot be read reads as empty bytes or an empty
// object; writes report failure instead of asserting, so callers QVERIFY.

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace TestFiles {

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QJsonObject readJsonObject(const QString &path)
{
    return QJsonDocument::fromJson(readBytes(path)).object();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace TestFiles
