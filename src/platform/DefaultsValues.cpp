#include "platform/DefaultsStore.h"

// How a stored value reads as a boolean, a number or a text: the store
// coerces numbers and booleans into each other, and a text into either by
// its leading number or a yes/no word, as the settings' readers expect.

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace {

// "YES", "true", "no" and "false" in any case; anything else is a number.
std::optional<bool> booleanWord(const QString &text)
{
    const QString word = text.trimmed();
    for (const char *yes : {"yes", "true"}) {
        if (word.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
            return true;
    }
    for (const char *no : {"no", "false"}) {
        if (word.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
            return false;
    }
    return std::nullopt;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The leading number of a text: optional white space and sign, digits and,
// when fractions are allowed, a decimal part and an exponent. Empty when the
// text does not start with a number.
std::string leadingNumber(const QString &text, bool allowFraction)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    std::string number;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        if (text.at(i) == QLatin1Char('-'))
            number.push_back('-');
        ++i;
    }
    bool digits = false;
    for (; i < n && isDigit(text.at(i)); ++i, digits = true)
        number.push_back(char(text.at(i).unicode()));
    if (allowFraction && i < n && text.at(i) == QLatin1Char('.')) {
        number.push_back('.');
        for (++i; i < n && isDigit(text.at(i)); ++i, digits = true)
            number.push_back(char(text.at(i).unicode()));
    }
    if (!digits)
        return std::string();
    if (allowFraction && i + 1 < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+'))
            exponent.push_back(char(text.at(j++).unicode()));
        if (j < n && isDigit(text.at(j))) {
            for (; j < n && isDigit(text.at(j)); ++j)
                exponent.push_back(char(text.at(j).unicode()));
            number += exponent;
        }
    }
    return number;
}

qint64 integerFromText(const QString &text)
{
    if (const auto word = booleanWord(text))
        return *word ? 1 : 0;
    const std::string number = leadingNumber(text, false);
    if (number.empty())
        return 0;
    qint64 value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range)
        return number.front() == '-' ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return value;
}

double doubleFromText(const QString &text)
{
    if (const auto word = booleanWord(text))
        return *word ? 1.0 : 0.0;
    const std::string number = leadingNumber(text, true);
    if (number.empty())
        return 0.0;
    // Locale-independent, unlike strtod; out of range saturates to infinity
    // and underflows to zero.
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        const bool negative = number.front() == '-';
        const auto exponentAt = number.find('e');
        const bool tiny = exponentAt != std::string::npos && number.size() > exponentAt + 1
            && number[exponentAt + 1] == '-';
        const double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        return negative ? -magnitude : magnitude;
    }
    return value;
}

// Truncation toward zero that is defined for every double.
qint64 saturatedInteger(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value < -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(std::trunc(value));
}

float saturatedFloat(double value)
{
    constexpr double largest = std::numeric_limits<float>::max();
    if (value > largest)
        return std::numeric_limits<float>::infinity();
    if (value < -largest)
        return -std::numeric_limits<float>::infinity();
    return float(value); // NaN stays NaN
}

bool isIntegerType(int type)
{
    switch (type) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isUnsigned64Type(int type)
{
    return type == QMetaType::ULongLong || (type == QMetaType::ULong && sizeof(ulong) == 8);
}

bool isFloatingType(int type)
{
    return type == QMetaType::Double || type == QMetaType::Float;
}

QString textOf(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QByteArray)
        return QString::fromUtf8(value.toByteArray());
    return value.toString();
}

bool isTextType(int type)
{
    return type == QMetaType::QString || type == QMetaType::QByteArray;
}

} // namespace

QString DefaultsStore::stringValue(const QString &key) const
{
    const QVariant value = object(key);
    const int type = value.metaType().id();
    if (isTextType(type))
        return textOf(value);
    if (type == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (isIntegerType(type))
        return QString::number(value.toLongLong());
    if (isUnsigned64Type(type))
        return QString::number(value.toULongLong());
    if (isFloatingType(type))
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return QString();
}

bool DefaultsStore::toBool(const QVariant &value)
{
    const int type = value.metaType().id();
    if (type == QMetaType::Bool)
        return value.toBool();
    if (isFloatingType(type)) {
        const double number = value.toDouble();
        return number != 0.0 && !std::isnan(number);
    }
    if (isTextType(type)) {
        const QString text = textOf(value);
        if (const auto word = booleanWord(text))
            return *word;
        return doubleFromText(text) != 0.0;
    }
    return toInteger(value) != 0;
}

qint64 DefaultsStore::toInteger(const QVariant &value)
{
    const int type = value.metaType().id();
    if (type == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    if (isIntegerType(type))
        return value.toLongLong();
    if (isUnsigned64Type(type)) {
        const quint64 number = value.toULongLong();
        return number > quint64(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max()
                                                                     : qint64(number);
    }
    if (isFloatingType(type))
        return saturatedInteger(value.toDouble());
    if (isTextType(type))
        return integerFromText(textOf(value));
    return 0;
}

double DefaultsStore::toDouble(const QVariant &value)
{
    const int type = value.metaType().id();
    if (type == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    if (isIntegerType(type))
        return double(value.toLongLong());
    if (isUnsigned64Type(type))
        return double(value.toULongLong());
    if (isFloatingType(type))
        return value.toDouble();
    if (isTextType(type))
        return doubleFromText(textOf(value));
    return 0.0;
}

float DefaultsStore::toFloat(const QVariant &value)
{
    return saturatedFloat(toDouble(value));
}
