#pragma once

#include <QNetworkRequest>
#include <QString>
#include <QUrl>

// How every request to a broadcaster is built, for the asynchronous
// exchange and the synchronous fetches alike: no cache, no cookies, a
// 10-second time-out of silence, "User-Agent" "Coverlume/Pro", an explicit
// "Host" header, and redirects handed to the sender to check and follow.
// Pure functions; any thread.
namespace BroadcasterRequest {

inline constexpr int timeoutMs = 10'000;
// A now-playing body is a dozen short lines; artwork is one image.
inline constexpr qint64 maxTextBodyBytes = 64 * 1024;
inline constexpr qint64 maxArtworkBytes = 20 * 1024 * 1024;

// The address as a strict URL; when the text is not one, its UTF-8
// percent-encoded form (reserved characters and "%" left alone). Invalid
// when neither is a URL.
QUrl makeUrl(const QString &address);

// "host:port" when the URL names a port, else the host alone.
QByteArray hostHeader(const QUrl &url);

QNetworkRequest makeRequest(const QUrl &url);

// http or https: anything else gets no HTTP answer.
bool isHttp(const QUrl &url);

} // namespace BroadcasterRequest
