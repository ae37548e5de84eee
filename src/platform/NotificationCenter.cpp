#include "platform/NotificationCenter.h"

#include "platform/Log.h"

#include <algorithm>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void *observer, const QString &name, Handler handler)
{
    if (!observer || !handler) {
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("notification observer for \"%1\" ignored: no %2")
                   .arg(name, observer ? QStringLiteral("handler") : QStringLiteral("observer"));
        return;
    }
    m_entries.append(Entry{observer, name, std::move(handler), m_nextSerial++});
    observersChanged();
}

void NotificationCenter::removeObserver(const void *observer)
{
    if (m_entries.removeIf([observer](const Entry &entry) { return entry.observer == observer; }) > 0)
        observersChanged();
}

void NotificationCenter::removeObserver(const void *observer, const QString &name)
{
    if (m_entries.removeIf([observer, &name](const Entry &entry) {
            return entry.observer == observer && entry.name == name;
        }) > 0)
        observersChanged();
}

QStringList NotificationCenter::observedNames() const
{
    QStringList names;
    for (const Entry &entry : m_entries)
        if (!names.contains(entry.name))
            names.append(entry.name);
    return names;
}

bool NotificationCenter::hasObserver(const void *observer) const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [observer](const Entry &entry) { return entry.observer == observer; });
}

int NotificationCenter::observerCount() const
{
    return int(m_entries.size());
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo)
{
    deliver(Notification{name, userInfo});
}

void NotificationCenter::deliver(const Notification &notification)
{
    // Handlers may add or remove observers, or post again, while this runs:
    // walk a snapshot (which also keeps each handler alive during its call)
    // and skip entries that were removed meanwhile. Entries are kept in serial
    // order, so a removed one is found by binary search.
    const QList<Entry> snapshot = m_entries;
    for (const Entry &entry : snapshot) {
        if (!entry.name.isEmpty() && entry.name != notification.name)
            continue;
        const auto live = std::lower_bound(m_entries.cbegin(), m_entries.cend(), entry.serial,
                                           [](const Entry &e, quint64 serial) { return e.serial < serial; });
        if (live == m_entries.cend() || live->serial != entry.serial)
            continue;
        entry.handler(notification);
    }
}
