#pragma once

#include <QString>
#include <QVariantMap>
#include <QList>
#include <functional>

struct Notification
{
    QString name;
    QVariantMap userInfo;
};

// An observer registry for notifications posted inside this process.
// Observers are identified by an address (usually `this`); an empty name
// observes every notification. Delivery is synchronous, in registration
// order; an observer removed while a notification is being delivered is not
// called afterwards, one added meanwhile is first called for the next post.
// Handlers may post again (delivery nests) but must not destroy the centre
// that is calling them. The centre owns the handlers it holds; observers are
// only addresses and are never dereferenced. Main thread only.
class NotificationCenter
{
public:
    using Handler = std::function<void(const Notification &)>;

    NotificationCenter() = default;
    virtual ~NotificationCenter() = default;
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    // The application's own centre, living for the whole run.
    static NotificationCenter &defaultCenter();

    // A null observer or an empty handler is logged and ignored. Adding the
    // same observer and name twice calls it twice.
    void addObserver(const void *observer, const QString &name, Handler handler);
    void removeObserver(const void *observer);                     // every name
    void removeObserver(const void *observer, const QString &name);
    bool hasObserver(const void *observer) const;
    int observerCount() const; // registrations, not distinct observers

    virtual void post(const QString &name, const QVariantMap &userInfo = {});

protected:
    void deliver(const Notification &notification);
    // The names observed now; an empty name among them observes them all.
    QStringList observedNames() const;
    // After observers were added or removed.
    virtual void observersChanged() {}

private:
    struct Entry
    {
        const void *observer;
        QString name;
        Handler handler;
        quint64 serial;
    };
    QList<Entry> m_entries;
    quint64 m_nextSerial = 1;
};
