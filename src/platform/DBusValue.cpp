#include "platform/DBusValue.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QVariantHash>
#include <QVariantList>

#include <limits>

namespace {

// Walks one demarshalled value, counting bytes against a budget. Once the
// budget is spent every further value reads as invalid.
class PlainConverter
{
public:
    explicit PlainConverter(qint64 budgetBytes) : m_left(budgetBytes) {}

    bool withinBudget() const { return m_left >= 0; }

    QVariant convert(const QVariant &value, int depth)
    {
        if (!withinBudget() || depth > DBusValue::maxDepth)
            return QVariant();
        const int type = value.metaType().id();
        if (type == qMetaTypeId<QDBusArgument>())
            return fromArgument(qvariant_cast<QDBusArgument>(value), depth + 1);
        if (type == qMetaTypeId<QDBusVariant>())
            return convert(qvariant_cast<QDBusVariant>(value).variant(), depth + 1);
        if (type == qMetaTypeId<QDBusObjectPath>())
            return counted(qvariant_cast<QDBusObjectPath>(value).path());
        if (type == qMetaTypeId<QDBusSignature>())
            return counted(qvariant_cast<QDBusSignature>(value).signature());
        if (type == qMetaTypeId<QDBusUnixFileDescriptor>())
            return QVariant();
        switch (type) {
        case QMetaType::QString:
            return counted(value.toString());
        case QMetaType::QByteArray:
            spend(4 + value.toByteArray().size());
            return value;
        case QMetaType::QStringList: {
            const QStringList strings = value.toStringList();
            spend(8);
            for (const QString &string : strings)
                spend(4 + string.size());
            return value;
        }
        case QMetaType::QVariantList: {
            QVariantList list;
            spend(8);
            for (const QVariant &item : value.toList())
                list.append(convert(item, depth + 1));
            return list;
        }
        case QMetaType::QVariantMap: {
            QVariantMap map;
            spend(8);
            const QVariantMap source = value.toMap();
            for (auto it = source.cbegin(); it != source.cend(); ++it)
                map.insert(counted(it.key()).toString(), convert(it.value(), depth + 1));
            return map;
        }
        default:
            spend(8);
            return value;
        }
    }

private:
    QVariant counted(const QString &string)
    {
        spend(4 + string.size());
        return string;
    }

    void spend(qint64 bytes) { m_left -= bytes; }

    QVariant fromArgument(const QDBusArgument &argument, int depth)
    {
        if (depth > DBusValue::maxDepth)
            return QVariant();
        switch (argument.currentType()) {
        case QDBusArgument::BasicType:
        case QDBusArgument::VariantType:
            return convert(argument.asVariant(), depth);
        case QDBusArgument::ArrayType: {
            QVariantList list;
            spend(8);
            argument.beginArray();
            while (!argument.atEnd() && withinBudget())
                list.append(convert(argument.asVariant(), depth + 1));
            argument.endArray();
            return list;
        }
        case QDBusArgument::StructureType: {
            QVariantList fields;
            spend(8);
            argument.beginStructure();
            while (!argument.atEnd() && withinBudget())
                fields.append(convert(argument.asVariant(), depth + 1));
            argument.endStructure();
            return fields;
        }
        case QDBusArgument::MapType: {
            QVariantMap map;
            spend(8);
            argument.beginMap();
            while (!argument.atEnd() && withinBudget()) {
                argument.beginMapEntry();
                const QVariant key = convert(argument.asVariant(), depth + 1);
                const QVariant value = convert(argument.asVariant(), depth + 1);
                argument.endMapEntry();
                map.insert(key.toString(), value);
            }
            argument.endMap();
            return map;
        }
        case QDBusArgument::MapEntryType:
        case QDBusArgument::UnknownType:
            break;
        }
        return QVariant();
    }

    qint64 m_left;
};

QVariant busValue(const QVariant &value, int depth);

QVariantMap busMapAt(const QVariantMap &map, int depth)
{
    QVariantMap result;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QVariant value = busValue(it.value(), depth + 1);
        if (value.isValid())
            result.insert(it.key(), value);
    }
    return result;
}

QVariant busValue(const QVariant &value, int depth)
{
    if (!value.isValid() || depth > DBusValue::maxDepth)
        return QVariant();
    switch (value.metaType().id()) {
    case QMetaType::Nullptr:
        return QVariant();
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        QVariantMap map;
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            map.insert(it.key(), it.value());
        return busMapAt(map, depth);
    }
    case QMetaType::QVariantMap:
        return busMapAt(value.toMap(), depth);
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant &item : value.toList()) {
            const QVariant converted = busValue(item, depth + 1);
            if (converted.isValid())
                list.append(converted);
        }
        return list;
    }
    default:
        return value;
    }
}

} // namespace

namespace DBusValue {

QVariantMap plainMap(const QVariantMap &map, qint64 budgetBytes, bool *withinBudget)
{
    PlainConverter converter(budgetBytes);
    const QVariantMap plain = converter.convert(map, 0).toMap();
    if (withinBudget)
        *withinBudget = converter.withinBudget();
    return converter.withinBudget() ? plain : QVariantMap();
}

QVariant plainValue(const QVariant &value)
{
    PlainConverter converter(std::numeric_limits<qint64>::max());
    return converter.convert(value, 0);
}

QVariantMap busMap(const QVariantMap &map)
{
    return busMapAt(map, 0);
}

} // namespace DBusValue
