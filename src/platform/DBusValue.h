#pragma once

#include <QVariant>
#include <QVariantMap>

// Conversion of values at the D-Bus edge, so that nothing above it sees a
// QDBusArgument, QDBusVariant or other QtDBus wrapper.
//
// Incoming: QtDBus hands nested containers over as QDBusArgument and variants
// inside containers as QDBusVariant. plainMap() turns them into QVariantMap
// and QVariantList, object paths and signatures into strings, and drops file
// descriptors. It also tallies the approximate marshalled size and gives up
// once the budget is spent, so an oversized message costs no more work.
//
// Outgoing: busMap() drops values D-Bus cannot carry (invalid and null
// QVariants) and turns QVariantHash into QVariantMap, at any depth.
//
// Any thread, as long as each argument is read by one thread only.
namespace DBusValue {

// Nesting deeper than this is cut off (the bus allows 64 containers).
constexpr int maxDepth = 64;

// The plain form of a demarshalled map; *withinBudget (when given) is set
// to false, and an empty map returned, when the values exceed budgetBytes.
QVariantMap plainMap(const QVariantMap &map, qint64 budgetBytes, bool *withinBudget = nullptr);

// The plain form of one demarshalled value, without a budget.
QVariant plainValue(const QVariant &value);

QVariantMap busMap(const QVariantMap &map);

} // namespace DBusValue
