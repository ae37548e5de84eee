#include "lyrics/HtmlText.h"

#include <QHash>
#include <vector>

namespace HtmlText {

namespace {

constexpr Entity kEntities[] = {
#include "lyrics/HtmlEntities.inc"
};
static_assert(std::size(kEntities) == 253);

// The table by reference text; the names are unique, so this finds what a
// scan in table order would.
const QHash<QStringView, char16_t> &entityIndex()
{
    static const QHash<QStringView, char16_t> index = [] {
        QHash<QStringView, char16_t> built;
        built.reserve(std::size(kEntities));
        for (const Entity &entity : kEntities)
            built.insert(QStringView(entity.reference), entity.unit);
        return built;
    }();
    return index;
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The unit of a numeric reference's digits, or 0 when they are not all
// digits, are none, or fall outside 1 to 65534.
char16_t numericUnit(QStringView digits, int base)
{
    if (digits.isEmpty())
        return 0;
    qint64 value = 0; // at most 8 digits fit in a reference of 10 units
    for (QChar c : digits) {
        const int digit = digitValue(c, base);
        if (digit < 0)
            return 0;
        value = value * base + digit;
    }
    return value >= 1 && value <= 65534 ? char16_t(value) : 0;
}

// The unit a candidate "&…;" stands for, or 0.
char16_t decodeReference(QStringView candidate)
{
    if (candidate.size() < 4 || candidate.size() > 10)
        return 0;
    if (candidate.at(1) != u'#')
        return entityIndex().value(candidate, 0);
    const QChar third = candidate.at(2);
    if (third == u'x' || third == u'X')
        return numericUnit(candidate.sliced(3, candidate.size() - 4), 16);
    return numericUnit(candidate.sliced(2, candidate.size() - 3), 10);
}

QString removeAll(QString text, QStringView piece)
{
    return text.remove(piece.toString());
}

} // namespace

std::span<const Entity> entityTable()
{
    return kEntities;
}

QString unescapeString(const QString &text)
{
    QString result = text;
    result.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    result.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    return result;
}

QString unescapeFromHtml(const QString &text)
{
    qsizetype amp = text.lastIndexOf(u'&');
    if (amp < 0)
        return text;
    const QStringView input(text);
    struct Replacement
    {
        qsizetype at;
        qsizetype length;
        char16_t unit;
    };
    std::vector<Replacement> replacements; // from the end towards the start
    qsizetype limit = input.size();
    while (amp >= 0) {
        // A candidate longer than 10 units never decodes, so the ";" is
        // looked for no further than that.
        const qsizetype searchEnd = std::min(limit, amp + 10);
        const qsizetype semicolon = input.sliced(0, searchEnd).indexOf(u';', amp);
        if (semicolon >= 0) {
            const QStringView candidate = input.sliced(amp, semicolon - amp + 1);
            if (const char16_t unit = decodeReference(candidate))
                replacements.push_back({amp, candidate.size(), unit});
        }
        limit = amp;
        amp = amp > 0 ? input.sliced(0, amp).lastIndexOf(u'&') : -1;
    }
    if (replacements.empty())
        return text;
    QString result;
    result.reserve(input.size());
    qsizetype from = 0;
    for (auto it = replacements.rbegin(); it != replacements.rend(); ++it) {
        result.append(input.sliced(from, it->at - from));
        result.append(QChar(it->unit));
        from = it->at + it->length;
    }
    result.append(input.sliced(from));
    return result;
}

QString stripATags(const QString &text)
{
    static const QString open = QStringLiteral("<a href");
    const QStringView input(text);
    QString result;
    result.reserve(text.size());
    // Appending unit by unit finds the first "<a href" of the text as it
    // stands after every removal, as a repeated search from the start would
    // (a removal may join two halves into a new one).
    for (qsizetype i = 0; i < input.size(); ++i) {
        result.append(input.at(i));
        if (!result.endsWith(open))
            continue;
        const qsizetype close = input.indexOf(u'>', i + 1);
        if (close < 0) {
            result.append(input.sliced(i + 1));
            break;
        }
        result.chop(open.size());
        i = close;
    }
    return removeAll(std::move(result), u"</a>");
}

QString cleanForAddress(const QString &text)
{
    QString result = text;
    result.remove(u'&');
    result.remove(u'?');
    result.replace(u'\'', QStringLiteral("%27"));
    result.replace(u'`', QStringLiteral("%27"));
    result.replace(QChar(0x2019), QStringLiteral("%27"));
    result.replace(u' ', QStringLiteral("%20"));
    return result;
}

bool containsIgnoringCase(const QStringList &list, const QString &text)
{
    return list.contains(text, Qt::CaseInsensitive);
}

} // namespace HtmlText
