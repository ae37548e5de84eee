#pragma once

#include "lyrics/LrcText.h"
#include "platform/BoundedGet.h"

#include <QHash>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class DefaultsStore;

// Timed lyrics for one track: a ".lrc" file beside a local track, then (when
// switched on) the synced-lyrics web service. Runs on a worker thread; the
// settings are read on the main thread into `Settings`.
namespace SyncedLyrics {

constexpr qint64 kMaxAnswerBytes = 512 * 1024;
constexpr int kTimeoutMs = 10000;
constexpr qint64 kDurationSlackSeconds = 2;
constexpr int kMaxRemembered = 1000;

enum class Mode { Off = 0, LocalFiles = 1, LocalAndService = 2 };

struct Settings
{
    Mode mode = Mode::LocalFiles;
    QString base = QStringLiteral("https://lrclib.net"); // no trailing "/"

    // "syncedLyrics" (0, 1 or 2; default 1) and "syncedLyricsBase".
    static Settings fromSettings(const DefaultsStore &defaults);
};

struct Track
{
    QString title, artist, album;
    qint64 durationSeconds = 0; // 0: unknown
    QString location;           // the player's address of the file; may be empty
};

// What was found. `synced` empty: no timed lines (or an instrumental).
struct Answer
{
    SyncedLines synced;
    QString plain;        // the service's untimed text, when it has one
    bool instrumental = false;
};

// The ".lrc" beside a "file://" location, read when it is a regular file of
// at most 1 MiB (same name, extension replaced by ".lrc" or ".LRC"). `why`
// gets one line when a file was there but could not be used.
std::optional<SyncedLines> localFile(const QString &location, QString *why = nullptr);

// The service's addresses.
QUrl getAddress(const QString &base, const Track &track);
QUrl searchAddress(const QString &base, const Track &track);

// The service's answers. Nothing when the body is not the expected JSON
// shape (`why` says what was wrong).
std::optional<Answer> readGet(const QByteArray &body, QString *why = nullptr);
// The first entry with timed lyrics whose duration is within 2 s of the
// track's (the first with timed lyrics when that is unknown).
std::optional<Answer> readSearch(const QByteArray &body, qint64 durationSeconds, QString *why = nullptr);

// One exchange: the bounded GET on the worker, or a stand-in of it.
using Get = std::function<BoundedGet::Result(const QUrl &url)>;
Get webGet(QNetworkAccessManager *manager, const std::atomic<bool> *cancel, int timeoutMs = kTimeoutMs);

// The service, asked at most once per track (title, artist, album and
// duration) over the lifetime of the object, whatever the answer. Worker
// thread only.
class Service
{
public:
    using Log = std::function<void(const QString &line)>;
    Service(Get get, Log log) : m_get(std::move(get)), m_log(std::move(log)) {}

    Answer lookup(const QString &base, const Track &track);
    int requestsMade() const { return m_requests; }

private:
    std::optional<Answer> ask(const QUrl &url, bool search, qint64 durationSeconds, bool *notFound);

    Get m_get;
    Log m_log;
    QHash<QString, Answer> m_known;
    int m_requests = 0;
};

} // namespace SyncedLyrics
