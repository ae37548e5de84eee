#pragma once

#include "players/PlayState.h"

#include <QByteArray>
#include <QDir>
#include <QHash>
#include <QJsonValue>
#include <QList>
#include <QSet>
#include <QString>
#include <limits>

class QDateTime;

// The field readers of a scenario document: each checks one JSON value and
// names its place in the file when it is wrong ("demo.json: players[1].name:
// must not be empty"). The first failure is kept in error and ends the
// reading. Image files are read once each and counted against the caps.
class ScenarioFields
{
public:
    static constexpr qint64 maxJsonInteger = qint64(1) << 53; // exact in a JSON number
    static constexpr qint64 int32Min = std::numeric_limits<qint32>::min();
    static constexpr qint64 int32Max = std::numeric_limits<qint32>::max();

    ScenarioFields(QString fileName, QDir base) : m_fileName(std::move(fileName)), m_base(std::move(base)) {}

    QString error;

    static QString megabytes(qint64 bytes);

protected:
    bool fail(const QString &path, const QString &what);
    static QString at(const QString &path, const QString &key)
    {
        return path.isEmpty() ? key : path + u'.' + key;
    }
    static QString at(const QString &path, qsizetype index)
    {
        return QStringLiteral("%1[%2]").arg(path).arg(index);
    }

    bool onlyKeys(const QJsonObject &object, const QString &path, const QSet<QString> &allowed);
    bool object(const QJsonValue &value, const QString &path, QJsonObject *out);
    bool array(const QJsonValue &value, const QString &path, qsizetype maxItems, QJsonArray *out);
    bool string(const QJsonValue &value, const QString &path, QString *out, int maxLength = -1);
    bool name(const QJsonValue &value, const QString &path, QString *out);
    bool boolean(const QJsonValue &value, const QString &path, bool *out);
    bool integer(const QJsonValue &value, const QString &path, qint64 min, qint64 max, qint64 *out);
    bool seconds(const QJsonValue &value, const QString &path, qint64 *outMs);
    bool date(const QJsonValue &value, const QString &path, QDateTime *out);
    bool state(const QJsonValue &value, const QString &path, PlayState *out);
    bool artworkUrl(const QJsonValue &value, const QString &path, QString *out);
    bool imageFile(const QJsonValue &value, const QString &path, QByteArray *out);
    bool imageList(const QJsonValue &value, const QString &path, int maxItems, QList<QByteArray> *out);
    // A file path, relative to the scenario's folder, as a "file://" address.
    bool fileLocation(const QJsonValue &value, const QString &path, QString *out);

private:
    QString m_fileName;
    QDir m_base;
    QHash<QString, QByteArray> m_images; // by canonical path: one copy per file
    qint64 m_imageBytes = 0;
};
