#pragma once

// Small file helpers for tests that check what a run leaves on disk.
// Header only. A file that cannot be read reads as empty bytes or an empty
// object; writeBytes() reports failure, so callers QVERIFY, and written()
// stops the test binary, for set-up that nothing can go on without.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Creates the folder it goes in when missing.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The path written, for chaining into arguments.
inline QString written(const QString &path, const QByteArray &bytes)
{
    if (!writeBytes(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

} // namespace TestFiles
