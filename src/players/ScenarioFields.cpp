#include "players/ScenarioFields.h"

#include "players/Scenario.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>
#include <cmath>

QString ScenarioFields::megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
}

bool ScenarioFields::fail(const QString &path, const QString &what)
{
    if (error.isEmpty())
        error = path.isEmpty() ? QStringLiteral("%1: %2").arg(m_fileName, what)
                               : QStringLiteral("%1: %2: %3").arg(m_fileName, path, what);
    return false;
}

bool ScenarioFields::onlyKeys(const QJsonObject &object, const QString &path, const QSet<QString> &allowed)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!allowed.contains(it.key()))
            return fail(at(path, it.key()), QStringLiteral("unknown key"));
    }
    return true;
}

bool ScenarioFields::object(const QJsonValue &value, const QString &path, QJsonObject *out)
{
    if (!value.isObject())
        return fail(path, QStringLiteral("expected an object"));
    *out = value.toObject();
    return true;
}

bool ScenarioFields::array(const QJsonValue &value, const QString &path, qsizetype maxItems, QJsonArray *out)
{
    if (!value.isArray())
        return fail(path, QStringLiteral("expected a list"));
    *out = value.toArray();
    if (out->size() > maxItems)
        return fail(path, QStringLiteral("more than %1 items").arg(maxItems));
    return true;
}

bool ScenarioFields::string(const QJsonValue &value, const QString &path, QString *out, int maxLength)
{
    if (!value.isString())
        return fail(path, QStringLiteral("expected a string"));
    *out = value.toString();
    if (maxLength >= 0 && out->size() > maxLength)
        return fail(path, QStringLiteral("longer than %1 characters").arg(maxLength));
    // A free text is cut as a real player's would be, never splitting a pair.
    if (out->size() > Scenario::maxTextLength) {
        qsizetype n = Scenario::maxTextLength;
        if (out->at(n - 1).isHighSurrogate())
            --n;
        out->truncate(n);
    }
    return true;
}

bool ScenarioFields::name(const QJsonValue &value, const QString &path, QString *out)
{
    if (!string(value, path, out, Scenario::maxNameLength))
        return false;
    if (out->isEmpty())
        return fail(path, QStringLiteral("must not be empty"));
    return true;
}

bool ScenarioFields::boolean(const QJsonValue &value, const QString &path, bool *out)
{
    if (!value.isBool())
        return fail(path, QStringLiteral("expected true or false"));
    *out = value.toBool();
    return true;
}

bool ScenarioFields::integer(const QJsonValue &value, const QString &path, qint64 min, qint64 max, qint64 *out)
{
    if (!value.isDouble())
        return fail(path, QStringLiteral("expected a number"));
    const double number = value.toDouble();
    if (std::trunc(number) != number)
        return fail(path, QStringLiteral("expected a whole number"));
    if (number < double(min) || number > double(max))
        return fail(path, QStringLiteral("must be between %1 and %2").arg(min).arg(max));
    *out = qint64(number);
    return true;
}

bool ScenarioFields::seconds(const QJsonValue &value, const QString &path, qint64 *outMs)
{
    if (!value.isDouble())
        return fail(path, QStringLiteral("expected a number"));
    const double number = value.toDouble();
    if (!(number >= 0 && number <= Scenario::maxSeconds))
        return fail(path, QStringLiteral("must be between 0 and %1 seconds").arg(Scenario::maxSeconds));
    *outMs = qint64(std::llround(number * 1000));
    return true;
}

bool ScenarioFields::date(const QJsonValue &value, const QString &path, QDateTime *out)
{
    QString text;
    if (!string(value, path, &text))
        return false;
    *out = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!out->isValid())
        return fail(path, QStringLiteral("expected a date such as \"2019-05-17T21:30:00Z\""));
    return true;
}

bool ScenarioFields::state(const QJsonValue &value, const QString &path, PlayState *out)
{
    QString word;
    if (!string(value, path, &word))
        return false;
    const std::optional<PlayState> parsed = PlayStates::fromWord(word);
    if (!parsed)
        return fail(path, QStringLiteral("expected \"playing\", \"paused\" or \"stopped\""));
    *out = *parsed;
    return true;
}

// Artwork addresses are fetched by the display, so they must stay on this
// machine: http or https to a loopback host.
bool ScenarioFields::artworkUrl(const QJsonValue &value, const QString &path, QString *out)
{
    if (!string(value, path, out, 2048))
        return false;
    QString probe = *out;
    probe.replace(Scenario::serverPlaceholder, QStringLiteral("127.0.0.1"));
    const QUrl url(probe, QUrl::StrictMode);
    const QString host = url.host();
    const bool loopback = host.compare(u"localhost", Qt::CaseInsensitive) == 0
        || QHostAddress(host).isLoopback();
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") || !loopback)
        return fail(path, QStringLiteral("expected an http address on this machine (127.0.0.1, localhost or {server})"));
    return true;
}

bool ScenarioFields::imageFile(const QJsonValue &value, const QString &path, QByteArray *out)
{
    QString relative;
    if (!string(value, path, &relative, 4096))
        return false;
    if (relative.isEmpty())
        return fail(path, QStringLiteral("must not be empty"));
    const QFileInfo info(m_base.filePath(relative));
    if (!info.exists())
        return fail(path, QStringLiteral("no such file \"%1\"").arg(relative));
    if (!info.isFile())
        return fail(path, QStringLiteral("\"%1\" is not a file").arg(relative));
    const QString key = info.canonicalFilePath();
    const auto cached = m_images.constFind(key);
    if (cached != m_images.constEnd()) {
        *out = cached.value();
        return true;
    }
    QFile file(key);
    if (!file.open(QIODevice::ReadOnly))
        return fail(path, QStringLiteral("cannot read \"%1\": %2").arg(relative, file.errorString()));
    // Read one byte past the cap rather than trusting the size on disk.
    *out = file.read(Scenario::maxImageBytes + 1);
    if (out->size() > Scenario::maxImageBytes)
        return fail(path, QStringLiteral("\"%1\" is larger than %2").arg(relative, megabytes(Scenario::maxImageBytes)));
    m_imageBytes += out->size();
    if (m_imageBytes > Scenario::maxAllImageBytes)
        return fail(path, QStringLiteral("the images add up to more than %1").arg(megabytes(Scenario::maxAllImageBytes)));
    m_images.insert(key, *out);
    return true;
}

bool ScenarioFields::imageList(const QJsonValue &value, const QString &path, int maxItems, QList<QByteArray> *out)
{
    QJsonArray items;
    if (!array(value, path, maxItems, &items))
        return false;
    out->clear();
    for (qsizetype i = 0; i < items.size(); ++i) {
        QByteArray bytes;
        if (!imageFile(items.at(i), at(path, i), &bytes))
            return false;
        out->append(bytes);
    }
    return true;
}

bool ScenarioFields::fileLocation(const QJsonValue &value, const QString &path, QString *out)
{
    QString file;
    if (!string(value, path, &file, 4096))
        return false;
    if (file.isEmpty())
        return fail(path, QStringLiteral("expected a file path"));
    *out = QUrl::fromLocalFile(m_base.absoluteFilePath(file)).toString(QUrl::FullyEncoded);
    return true;
}
