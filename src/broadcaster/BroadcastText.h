#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The text side of the broadcaster protocol: a now-playing body is UTF-8
// with one "key : value" line per field. Both the client (reading bodies)
// and the companion broadcaster (writing them) use these rules, so they
// cannot drift apart. Pure functions; any thread.
namespace BroadcastText {

// The separator between a key and its value: space, colon, space.
inline constexpr QLatin1String separator{" : "};

// Splits a body into its fields. Lines are split at every line separator
// (LF, CR, and the Unicode ones); a line holding exactly one separator
// gives one field, any other line is ignored. Keys and values are kept
// untrimmed; a key given twice keeps its last value. An empty or
// undecodable body gives no fields.
QHash<QString, QString> parseBody(const QByteArray &body);

// The leading decimal integer of a text, after optional white space and an
// optional sign ("320 kbps" is 320). Unreadable text, and a number that
// does not fit 64 bits, read as 0.
qint64 integerValue(const QString &text);

// True when the text starts with Y, y, T, t or a digit 1 to 9, after
// optional white space, an optional sign and leading zeros.
bool booleanValue(const QString &text);

// The longest value a field line carries, in UTF-16 units.
inline constexpr qsizetype maxValueLength = 64 * 1024;

// A value made safe for one field line, in one pass: cut to
// maxValueLength, line breaks become spaces, and a colon with spaces on both
// sides loses the shorter run (the one before it on a tie: " : " becomes
// ": "), so the line always splits in exactly two. Other spaces are kept.
QString cleanValue(const QString &value);

// "key : value\n" with the value cleaned.
QString fieldLine(const QString &key, const QString &value);

} // namespace BroadcastText
