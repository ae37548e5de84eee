#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The head of one HTTP/1.x request as the companion reads it, parsed from the
// bytes received so far. A pure function of its input: any LAN host may send
// these bytes, so nothing here trusts a length, a count or an encoding.
//
// Bad input gives an outcome, never more: a head over `maxBytes` without its
// end is TooLarge, a request line that is not "METHOD /target HTTP/1.x" is
// Malformed, a target that is not a valid URL is BadTarget, anything but GET
// and HEAD is NotAllowed. `method` is cut to 16 bytes.
struct RequestHead
{
    enum class Outcome { Incomplete, Complete, TooLarge, Malformed, BadTarget, NotAllowed };

    static constexpr qsizetype maxBytes = 8 * 1024;

    Outcome outcome = Outcome::Incomplete;
    QByteArray method;  // as sent, at most 16 bytes; "?" when unreadable
    QString path;       // the target's path, decoded, without the query

    static RequestHead parse(QByteArrayView received);
};
