#include "lyrics/LrcText.h"

#include "platform/WebText.h"

#include <QRegularExpression>
#include <algorithm>
#include <numeric>

namespace {

constexpr qint64 kMaxMinutes = 9999;

// A time tag's inside, "mm:ss", "mm:ss.f…" or "mm:ss:ff"; -1 when it is not one.
qint64 tagTime(QStringView tag)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,4}):(\\d{1,2})(?:[.:](\\d{0,3}))?\\s*$"));
    const QRegularExpressionMatch m = form.match(tag.toString());
    if (!m.hasMatch())
        return -1;
    const qint64 minutes = m.capturedView(1).toLongLong();
    const qint64 seconds = m.capturedView(2).toLongLong();
    if (minutes > kMaxMinutes || seconds > 59)
        return -1;
    QString fraction = m.captured(3);
    // "5" is half a second, "05" five hundredths, "005" five thousandths.
    while (fraction.size() < 3)
        fraction.append(u'0');
    return (minutes * 60 + seconds) * 1000 + fraction.toLongLong();
}

// "[offset:+250]" → 250; nothing for any other tag.
std::optional<qint64> offsetTag(QStringView tag)
{
    static const QRegularExpression form(QStringLiteral("^\\s*offset\\s*:\\s*([+-]?\\d{1,7})\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(tag.toString());
    if (!m.hasMatch())
        return std::nullopt;
    return m.capturedView(1).toLongLong();
}

QString withoutWordTags(QStringView text)
{
    static const QRegularExpression word(QStringLiteral("<\\d{1,4}:\\d{1,2}(?:[.:]\\d{0,3})?>"));
    return text.toString().remove(word).trimmed();
}

} // namespace

std::optional<SyncedLines> LrcText::read(const QString &text)
{
    struct Timed
    {
        qint64 ms;
        QString text;
    };
    std::vector<Timed> timed;
    qint64 offset = 0;
    qsizetype start = 0;
    while (start <= text.size() && timed.size() < size_t(kMaxLines)) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        QStringView line = QStringView(text).sliced(start, end - start);
        start = end + 1;
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = line.trimmed();
        QList<qint64> times;
        while (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            if (close < 0)
                break;
            const QStringView tag = line.sliced(1, close - 1);
            line = line.sliced(close + 1).trimmed();
            const qint64 at = tagTime(tag);
            if (at >= 0)
                times.append(at);
            else if (const std::optional<qint64> shift = offsetTag(tag))
                offset = *shift;
        }
        // A line without a time tag (an ID tag, junk) is skipped.
        if (times.isEmpty())
            continue;
        const QString words = withoutWordTags(line).left(kMaxLineCharacters);
        for (qint64 at : std::as_const(times)) {
            if (timed.size() >= size_t(kMaxLines))
                break;
            timed.push_back({at, words});
        }
    }
    if (timed.empty())
        return std::nullopt;
    // A positive offset makes every line come earlier.
    for (Timed &line : timed)
        line.ms = std::max<qint64>(0, line.ms - offset);
    std::stable_sort(timed.begin(), timed.end(), [](const Timed &a, const Timed &b) { return a.ms < b.ms; });
    SyncedLines lines;
    lines.lines.reserve(qsizetype(timed.size()));
    lines.timesMs.reserve(qsizetype(timed.size()));
    for (Timed &line : timed) {
        lines.timesMs.append(line.ms);
        lines.lines.append(std::move(line.text));
    }
    return lines;
}

std::optional<SyncedLines> LrcText::readBytes(QByteArrayView bytes, QString *why)
{
    if (bytes.size() > kMaxFileBytes) {
        if (why)
            *why = QStringLiteral("larger than 1 MiB");
        return std::nullopt;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const std::optional<QString> text = WebText::decodeUtf8(bytes);
    if (!text) {
        if (why)
            *why = QStringLiteral("not UTF-8");
        return std::nullopt;
    }
    return read(*text);
}
