#include "platform/OsRelease.h"

#include <QFile>
#include <QStringList>

namespace {

constexpr qint64 maxOsReleaseBytes = 64 * 1024;
const QString defaultOsReleasePath = QStringLiteral("/etc/os-release");
const QString vendorOsReleasePath = QStringLiteral("/usr/lib/os-release");

// Values are shell-style: optionally in single or double quotes, with
// backslash escapes inside double quotes.
QString unquoted(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == QLatin1Char('\'') && value.back() == QLatin1Char('\''))
        return value.mid(1, value.size() - 2);
    if (value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"')) {
        const QString inner = value.mid(1, value.size() - 2);
        QString plain;
        plain.reserve(inner.size());
        for (qsizetype i = 0; i < inner.size(); ++i) {
            if (inner.at(i) == QLatin1Char('\\') && i + 1 < inner.size())
                ++i;
            plain.append(inner.at(i));
        }
        return plain;
    }
    return value;
}

// VERSION_ID's value, or a null string when the file or the key is missing.
QString readVersionId(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    const QString text = QString::fromUtf8(file.read(maxOsReleaseBytes));
    const QString key = QStringLiteral("VERSION_ID=");
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(key))
            return unquoted(trimmed.mid(key.size()));
    }
    return QString();
}

} // namespace

QString osMinorVersion(const QString &osReleasePath, const QString &fallback)
{
    QString versionId = readVersionId(osReleasePath);
    if (versionId.isNull() && osReleasePath == defaultOsReleasePath && !QFile::exists(osReleasePath))
        versionId = readVersionId(vendorOsReleasePath);
    if (versionId.isNull())
        return fallback;
    const QStringList components = versionId.split(QLatin1Char('.'));
    if (components.size() < 2)
        return fallback;
    return components.at(1);
}
