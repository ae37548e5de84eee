#include "broadcaster/BroadcastText.h"

#include "platform/WebText.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace BroadcastText {

namespace {

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A: // line feed
    case 0x000B: // vertical tab
    case 0x000C: // form feed
    case 0x000D: // carriage return
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

// Index of the first character after white space and an optional sign;
// *negative tells the sign.
qsizetype skipSpaceAndSign(const QString &text, bool *negative)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    *negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        *negative = text.at(i) == u'-';
        ++i;
    }
    return i;
}

} // namespace

QHash<QString, QString> parseBody(const QByteArray &body)
{
    QHash<QString, QString> fields;
    fields.reserve(12);
    if (body.isEmpty())
        return fields;
    const std::optional<QString> decoded = WebText::decodeUtf8(body);
    if (!decoded)
        return fields; // undecodable: no text at all
    const QString &text = *decoded;

    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text.at(i)))
            continue;
        const QStringView line = QStringView(text).mid(lineStart, i - lineStart);
        lineStart = i + 1;
        const qsizetype at = line.indexOf(separator);
        if (at < 0 || line.indexOf(separator, at + separator.size()) >= 0)
            continue; // none, or more than one separator
        fields.insert(line.left(at).toString(), line.mid(at + separator.size()).toString());
    }
    return fields;
}

qint64 integerValue(const QString &text)
{
    bool negative = false;
    qsizetype i = skipSpaceAndSign(text, &negative);
    // Accumulate as a negative number, whose range is one larger.
    qint64 value = 0;
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        const int digit = text.at(i).unicode() - u'0';
        if (value < (lowest + digit) / 10)
            return 0; // overflow
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == lowest)
        return 0; // one past the largest positive value
    return -value;
}

bool booleanValue(const QString &text)
{
    bool negative = false;
    qsizetype i = skipSpaceAndSign(text, &negative);
    while (i < text.size() && text.at(i) == u'0')
        ++i;
    if (i >= text.size())
        return false;
    const QChar c = text.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

QString cleanValue(const QString &value)
{
    // Cap first, never splitting a surrogate pair.
    qsizetype n = std::min(value.size(), maxValueLength);
    if (n < value.size() && n > 0 && value.at(n - 1).isHighSurrogate())
        --n;
    const auto spaceAt = [&](qsizetype i) {
        return i < n && (value.at(i) == u' ' || isLineBreak(value.at(i)));
    };
    QString clean;
    clean.reserve(n);
    // One pass over runs of spaces. A colon with spaces on both sides would
    // make a second separator: the shorter run beside it goes (the one
    // before it on a tie, so " : " becomes ": "), every other space stays.
    qsizetype i = 0;
    while (i < n) {
        if (!spaceAt(i)) {
            clean += value.at(i++);
            continue;
        }
        qsizetype end = i;
        while (spaceAt(end))
            ++end;
        const qsizetype before = end - i;
        qsizetype after = 0;
        if (end < n && value.at(end) == u':') {
            while (spaceAt(end + 1 + after))
                ++after;
        }
        if (after > 0 && before <= after) {
            i = end; // the colon and the run after it follow as they are
            continue;
        }
        clean.append(QString(before, u' '));
        if (after > 0) {
            clean += u':';
            i = end + 1 + after;
        } else {
            i = end;
        }
    }
    return clean;
}

QString fieldLine(const QString &key, const QString &value)
{
    return key + separator + cleanValue(value) + u'\n';
}

} // namespace BroadcastText
