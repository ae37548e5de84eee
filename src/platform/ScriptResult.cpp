#include "platform/ScriptResult.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 int32Min = std::numeric_limits<qint32>::min();
constexpr qint64 int32Max = std::numeric_limits<qint32>::max();

qint32 int32OrZero(qint64 value)
{
    return value < int32Min || value > int32Max ? 0 : qint32(value);
}

// Truncation toward zero; NaN, infinities and values outside 32 bits read as 0.
qint32 int32FromReal(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double truncated = std::trunc(value);
    if (truncated < double(int32Min) || truncated > double(int32Max))
        return 0;
    return qint32(truncated);
}

// The leading number of a text: optional white space, an optional sign,
// digits, an optional fraction (dropped). "245.7 kbps" reads as 245,
// anything without leading digits as 0.
qint32 int32FromText(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    qint64 magnitude = 0;
    bool anyDigit = false;
    for (; i < n && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        anyDigit = true;
        magnitude = magnitude * 10 + (text.at(i).unicode() - u'0');
        if (magnitude > int32Max + 1)
            return 0; // out of range; stop before the accumulator can overflow
    }
    if (!anyDigit)
        return 0;
    return int32OrZero(negative ? -magnitude : magnitude);
}

QString textFromReal(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

ScriptResult ScriptResult::text(const QString &value) { return ScriptResult(Value(value)); }
ScriptResult ScriptResult::integer(qint64 value) { return ScriptResult(Value(value)); }
ScriptResult ScriptResult::real(double value) { return ScriptResult(Value(value)); }
ScriptResult ScriptResult::boolean(bool value) { return ScriptResult(Value(value)); }
ScriptResult ScriptResult::bytes(const QByteArray &value) { return ScriptResult(Value(value)); }
ScriptResult ScriptResult::date(const QDateTime &value) { return ScriptResult(Value(value)); }
ScriptResult ScriptResult::list(const List &items) { return ScriptResult(Value(items)); }

bool ScriptResult::isNone() const
{
    return std::holds_alternative<std::monostate>(m_value);
}

bool ScriptResult::isList() const
{
    return std::holds_alternative<List>(m_value);
}

QString ScriptResult::stringValue() const
{
    if (const auto *v = std::get_if<QString>(&m_value))
        return *v;
    if (const auto *v = std::get_if<qint64>(&m_value))
        return QString::number(*v);
    if (const auto *v = std::get_if<double>(&m_value))
        return textFromReal(*v);
    if (const auto *v = std::get_if<bool>(&m_value))
        return *v ? QStringLiteral("true") : QStringLiteral("false");
    if (const auto *v = std::get_if<QDateTime>(&m_value))
        return v->isValid() ? v->toString(Qt::ISODate) : QString();
    if (const auto *v = std::get_if<List>(&m_value))
        return v->size() == 1 ? v->first().stringValue() : QString();
    return QString();
}

qint32 ScriptResult::int32Value() const
{
    if (const auto *v = std::get_if<qint64>(&m_value))
        return int32OrZero(*v);
    if (const auto *v = std::get_if<double>(&m_value))
        return int32FromReal(*v);
    if (const auto *v = std::get_if<QString>(&m_value))
        return int32FromText(*v);
    if (const auto *v = std::get_if<bool>(&m_value))
        return *v ? 1 : 0;
    if (const auto *v = std::get_if<List>(&m_value))
        return v->size() == 1 ? v->first().int32Value() : 0;
    return 0;
}

bool ScriptResult::booleanValue() const
{
    if (const auto *v = std::get_if<bool>(&m_value))
        return *v;
    if (const auto *v = std::get_if<qint64>(&m_value))
        return *v != 0;
    if (const auto *v = std::get_if<double>(&m_value))
        return *v != 0.0 && !std::isnan(*v);
    if (const auto *v = std::get_if<QString>(&m_value)) {
        const QString word = v->trimmed();
        return word.compare(u"true", Qt::CaseInsensitive) == 0
            || word.compare(u"yes", Qt::CaseInsensitive) == 0;
    }
    if (const auto *v = std::get_if<List>(&m_value))
        return v->size() == 1 && v->first().booleanValue();
    return false;
}

QByteArray ScriptResult::data() const
{
    if (const auto *v = std::get_if<QByteArray>(&m_value))
        return *v;
    if (const auto *v = std::get_if<QString>(&m_value))
        return v->toUtf8();
    if (const auto *v = std::get_if<List>(&m_value))
        return v->size() == 1 ? v->first().data() : QByteArray();
    return QByteArray();
}

std::optional<QDateTime> ScriptResult::dateValue() const
{
    if (const auto *v = std::get_if<QDateTime>(&m_value))
        return v->isValid() ? std::optional<QDateTime>(*v) : std::nullopt;
    if (const auto *v = std::get_if<List>(&m_value))
        return v->size() == 1 ? v->first().dateValue() : std::nullopt;
    return std::nullopt;
}

int ScriptResult::numberOfItems() const
{
    if (isNone())
        return 0;
    if (const auto *v = std::get_if<List>(&m_value))
        return int(qMin<qsizetype>(v->size(), std::numeric_limits<int>::max()));
    return 1;
}

ScriptResult ScriptResult::descriptorAtIndex(int oneBased) const
{
    if (oneBased < 1 || isNone())
        return ScriptResult();
    if (const auto *v = std::get_if<List>(&m_value))
        return oneBased <= v->size() ? v->at(oneBased - 1) : ScriptResult();
    return oneBased == 1 ? *this : ScriptResult();
}

bool ScriptResult::operator==(const ScriptResult &other) const
{
    return m_value == other.m_value;
}
