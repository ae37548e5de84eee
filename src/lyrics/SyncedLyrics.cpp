#include "lyrics/SyncedLyrics.h"

#include "platform/DefaultsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QUrlQuery>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace SyncedLyrics {

namespace {

QUrlQuery trackQuery(const Track &track, bool withExtras)
{
    QUrlQuery query;
    // Fully encoded: "&", "#", "+" and "=" in a title stay part of the value.
    const auto value = [](const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
    query.addQueryItem(u"track_name"_s, value(track.title));
    query.addQueryItem(u"artist_name"_s, value(track.artist));
    if (withExtras && !track.album.isEmpty())
        query.addQueryItem(u"album_name"_s, value(track.album));
    if (withExtras && track.durationSeconds > 0)
        query.addQueryItem(u"duration"_s, QString::number(track.durationSeconds));
    return query;
}

QUrl address(const QString &base, const QString &path, const QUrlQuery &query)
{
    QUrl url(base + path, QUrl::StrictMode);
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

// One entry of the service: "syncedLyrics" and "plainLyrics" text or null,
// "instrumental" a boolean (each may be missing).
std::optional<Answer> readEntry(const QJsonObject &entry, QString *why)
{
    Answer answer;
    const QJsonValue synced = entry.value("syncedLyrics"_L1);
    const QJsonValue plain = entry.value("plainLyrics"_L1);
    const QJsonValue instrumental = entry.value("instrumental"_L1);
    if (!(synced.isString() || synced.isNull() || synced.isUndefined())
        || !(plain.isString() || plain.isNull() || plain.isUndefined())
        || !(instrumental.isBool() || instrumental.isNull() || instrumental.isUndefined())) {
        if (why)
            *why = u"fields of unexpected types"_s;
        return std::nullopt;
    }
    answer.instrumental = instrumental.toBool();
    answer.plain = plain.toString();
    if (!answer.instrumental && synced.isString()) {
        if (std::optional<SyncedLines> lines = LrcText::read(synced.toString()))
            answer.synced = std::move(*lines);
    }
    return answer;
}

std::optional<QJsonDocument> json(const QByteArray &body, QString *why)
{
    if (body.size() > kMaxAnswerBytes) {
        if (why)
            *why = u"answer larger than 512 KiB"_s;
        return std::nullopt;
    }
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        if (why)
            *why = u"not JSON"_s;
        return std::nullopt;
    }
    return document;
}

QString keyOf(const Track &track)
{
    return QStringList{track.title, track.artist, track.album, QString::number(track.durationSeconds)}
        .join(QChar(0x1F));
}

} // namespace

Settings Settings::fromSettings(const DefaultsStore &defaults)
{
    Settings settings;
    if (defaults.contains(u"syncedLyrics"_s)) {
        // Read as the store coerces: true is 1, a text is its number.
        const qint64 mode = defaults.integerValue(u"syncedLyrics"_s);
        settings.mode = mode <= 0 ? Mode::Off : mode == 1 ? Mode::LocalFiles : Mode::LocalAndService;
    }
    QString base = defaults.stringValue(u"syncedLyricsBase"_s).trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    if (!base.isEmpty())
        settings.base = base;
    return settings;
}

std::optional<SyncedLines> localFile(const QString &location, QString *why)
{
    const QUrl url(location, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    const QFileInfo track(url.toLocalFile());
    const QString stem = track.dir().filePath(track.completeBaseName());
    for (const QString &extension : {u".lrc"_s, u".LRC"_s}) {
        const QFileInfo info(stem + extension);
        // A FIFO or a device would block the read or never end.
        if (!info.exists() || !info.isFile())
            continue;
        if (info.size() > LrcText::kMaxFileBytes) {
            if (why)
                *why = info.fileName() + u": larger than 1 MiB"_s;
            return std::nullopt;
        }
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly)) {
            if (why)
                *why = info.fileName() + u": "_s + file.errorString();
            return std::nullopt;
        }
        const QByteArray bytes = file.read(LrcText::kMaxFileBytes + 1);
        QString problem;
        std::optional<SyncedLines> lines = LrcText::readBytes(bytes, &problem);
        if (!lines && why && !problem.isEmpty())
            *why = info.fileName() + u": "_s + problem;
        return lines;
    }
    return std::nullopt;
}

QUrl getAddress(const QString &base, const Track &track)
{
    return address(base, u"/api/get"_s, trackQuery(track, true));
}

QUrl searchAddress(const QString &base, const Track &track)
{
    return address(base, u"/api/search"_s, trackQuery(track, false));
}

std::optional<Answer> readGet(const QByteArray &body, QString *why)
{
    const std::optional<QJsonDocument> document = json(body, why);
    if (!document)
        return std::nullopt;
    if (!document->isObject()) {
        if (why)
            *why = u"expected an object"_s;
        return std::nullopt;
    }
    return readEntry(document->object(), why);
}

std::optional<Answer> readSearch(const QByteArray &body, qint64 durationSeconds, QString *why)
{
    const std::optional<QJsonDocument> document = json(body, why);
    if (!document)
        return std::nullopt;
    if (!document->isArray()) {
        if (why)
            *why = u"expected an array"_s;
        return std::nullopt;
    }
    for (const QJsonValue &value : document->array()) {
        if (!value.isObject())
            continue;
        const QJsonObject entry = value.toObject();
        const QJsonValue duration = entry.value("duration"_L1);
        if (durationSeconds > 0
            && (!duration.isDouble() || std::abs(duration.toDouble() - double(durationSeconds)) > kDurationSlackSeconds))
            continue;
        std::optional<Answer> answer = readEntry(entry, nullptr);
        if (answer && !answer->synced.isEmpty())
            return answer;
    }
    return Answer{};
}

Get webGet(QNetworkAccessManager *manager, const std::atomic<bool> *cancel, int timeoutMs)
{
    return [manager, cancel, timeoutMs](const QUrl &url) {
        BoundedGet::Options options;
        options.deadline = std::chrono::milliseconds(timeoutMs);
        options.maxBytes = kMaxAnswerBytes;
        options.userAgent = QByteArrayLiteral("Coverlume/" COVERLUME_VERSION);
        options.readErrorBodies = false;
        options.cancel = cancel;
        return BoundedGet::get(QNetworkRequest(url), options, manager);
    };
}

Answer Service::lookup(const QString &base, const Track &track)
{
    if (track.title.isEmpty() || track.artist.isEmpty())
        return {};
    const QString key = keyOf(track);
    if (const auto known = m_known.constFind(key); known != m_known.constEnd())
        return *known;
    if (m_known.size() >= kMaxRemembered)
        m_known.clear();
    // Remembered before asking, so that a failure is not asked again.
    m_known.insert(key, Answer{});
    bool notFound = false;
    std::optional<Answer> answer = ask(getAddress(base, track), false, track.durationSeconds, &notFound);
    if (!answer && notFound && (!track.album.isEmpty() || track.durationSeconds > 0))
        answer = ask(searchAddress(base, track), true, track.durationSeconds, &notFound);
    const Answer found = answer.value_or(Answer{});
    m_known.insert(key, found);
    return found;
}

std::optional<Answer> Service::ask(const QUrl &url, bool search, qint64 durationSeconds, bool *notFound)
{
    ++m_requests;
    const BoundedGet::Result result = m_get(url);
    *notFound = result.status == 404;
    if (!result.ok) {
        if (!*notFound && m_log)
            m_log(u"synced lyrics: %1: %2"_s.arg(url.path(), result.timedOut ? u"timed out"_s : result.error));
        return std::nullopt;
    }
    QString why;
    std::optional<Answer> answer = search ? readSearch(result.body, durationSeconds, &why) : readGet(result.body, &why);
    if (!answer && m_log)
        m_log(u"synced lyrics: %1: %2"_s.arg(url.path(), why));
    return answer;
}

} // namespace SyncedLyrics
