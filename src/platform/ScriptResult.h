#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

// The answer of one script execution: a value of one kind, or none.
// Reads coerce as the players' answers need them; a missing result reads as
// no value everywhere (null text, 0, false, empty bytes, no items).
//
//   stringValue   text as is; numbers in decimal ("245", "245.5"); booleans
//                 "true"/"false"; dates as ISO 8601; null for bytes and lists
//                 (a one-item list reads as its item)
//   int32Value    integers; reals truncated toward zero; text by its leading
//                 number; booleans 1/0; anything outside 32 bits reads as 0
//   booleanValue  booleans; non-zero numbers; "true"/"yes" text
//   data          bytes as is; text as UTF-8
//   dateValue     dates only
//   list reads    a list is itself; any single value is a one-item list;
//                 items are taken by 1-based index
class ScriptResult
{
public:
    using List = QList<ScriptResult>;

    ScriptResult() = default; // none
    static ScriptResult text(const QString &value);
    static ScriptResult integer(qint64 value);
    static ScriptResult real(double value);
    static ScriptResult boolean(bool value);
    static ScriptResult bytes(const QByteArray &value);
    static ScriptResult date(const QDateTime &value);
    static ScriptResult list(const List &items);

    bool isNone() const;
    bool isList() const;

    QString stringValue() const;
    qint32 int32Value() const;
    bool booleanValue() const;
    QByteArray data() const;
    std::optional<QDateTime> dateValue() const;

    int numberOfItems() const;                      // after coercion to a list
    ScriptResult descriptorAtIndex(int oneBased) const; // none when out of range

    bool operator==(const ScriptResult &other) const;

private:
    using Value = std::variant<std::monostate, QString, qint64, double, bool, QByteArray,
                               QDateTime, List>;
    explicit ScriptResult(Value value) : m_value(std::move(value)) {}
    Value m_value;
};
