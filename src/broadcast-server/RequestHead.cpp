#include "broadcast-server/RequestHead.h"

#include <QList>
#include <QUrl>

RequestHead RequestHead::parse(QByteArrayView received)
{
    RequestHead head;
    head.method = "?";
    // Only the first maxBytes + 1 bytes can matter: one more than the limit
    // is enough to know the head is too large.
    const QByteArrayView bytes = received.first(std::min<qsizetype>(received.size(), maxBytes + 1));
    qsizetype end = bytes.indexOf(QByteArrayView("\r\n\r\n"));
    if (end < 0)
        end = bytes.indexOf(QByteArrayView("\n\n"));
    if (end < 0 || end > maxBytes) {
        head.outcome = bytes.size() > maxBytes ? Outcome::TooLarge : Outcome::Incomplete;
        return head;
    }

    const qsizetype lineEnd = bytes.indexOf('\n');
    const QByteArray requestLine = bytes.first(lineEnd).toByteArray().trimmed();
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts.at(2).startsWith("HTTP/1.") || !parts.at(1).startsWith('/')) {
        head.outcome = Outcome::Malformed;
        return head;
    }
    head.method = parts.at(0).left(16);
    const QUrl target(QString::fromLatin1(parts.at(1)), QUrl::StrictMode);
    if (!target.isValid()) {
        head.path = QString::fromLatin1(parts.at(1));
        head.outcome = Outcome::BadTarget;
        return head;
    }
    head.path = target.path(QUrl::FullyDecoded);
    head.outcome = head.method == "GET" || head.method == "HEAD" ? Outcome::Complete : Outcome::NotAllowed;
    return head;
}
