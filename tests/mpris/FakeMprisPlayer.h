#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QFileInfo>
#include <QMutex>
#include <QSignalSpy>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include "players/mpris/MprisPlayer.h"
#include "support/TimeFactor.h"

// Only the bus tests/with-private-bus.sh made for this run: its socket sits
// beside the run's own runtime folder. Tests that start real players check it.
inline bool onPrivateBus()
{
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return address.startsWith(QLatin1String("unix:path=")) && !runtime.isEmpty()
        && QFileInfo(address.mid(10).section(QLatin1Char(','), 0, 0)).absolutePath()
               == QFileInfo(runtime).absolutePath();
}

// Proves that everything the player on busName sent to this process before
// now has been handled: a call to it on the same connection is answered
// after its earlier signals and replies, and handled after them in turn.
inline bool busBarrier(const QString &busName)
{
    QDBusMessage call = QDBusMessage::createMethodCall(busName, QStringLiteral("/org/mpris/MediaPlayer2"),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << QStringLiteral("org.mpris.MediaPlayer2") << QStringLiteral("Identity");
    QDBusPendingCallWatcher watcher(QDBusConnection::sessionBus().asyncCall(call, 5000));
    QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
    return finished.wait(TimeFactor::ms(10000));
}

// Waits until no player of the bridge has a change still settling, so
// that every notification it is going to post has been posted.
inline bool allSettled(QObject *bridge)
{
    for (MprisPlayer *player : bridge->findChildren<MprisPlayer *>()) {
        QSignalSpy settled(player, &MprisPlayer::settled);
        if (player->isSettling() && !settled.wait(TimeFactor::ms(5000)))
            return false;
    }
    return true;
}

// An MPRIS player of the tests' own on the private bus. It answers from a
// worker thread, so that a caller blocking the main thread still gets its
// answer. Properties are set from the test; setProperties() also sends
// PropertiesChanged. hang() stops it from answering at all. addName()
// gives it a second bus name on a connection of its own that answers but
// never signals, as players do that own a name and its instance form.
// Thread-safe.
class FakeMprisPlayer final : public QDBusVirtualObject
{
public:
    static constexpr auto path = "/org/mpris/MediaPlayer2";

    FakeMprisPlayer(const QString &suffix, const QString &identity, const QVariantMap &player)
        : m_busName(QStringLiteral("org.mpris.MediaPlayer2.") + suffix),
          m_connection(QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                     QStringLiteral("fake-") + suffix)),
          m_root{{QStringLiteral("Identity"), identity}},
          m_player(player)
    {
        m_thread.start();
        moveToThread(&m_thread);
        m_connection.registerVirtualObject(QLatin1String(path), this, QDBusConnection::SingleNode);
        m_connection.registerService(m_busName);
    }

    ~FakeMprisPlayer() override
    {
        vanish();
        m_thread.quit();
        m_thread.wait();
    }

    QString busName() const { return m_busName; }
    // busBarrier() and allSettled(): what this player sent has had its effect.
    bool drained(QObject *bridge) const { return busBarrier(m_busName) && allSettled(bridge); }

    void addName(const QString &suffix)
    {
        const QString name = QStringLiteral("org.mpris.MediaPlayer2.") + suffix;
        m_second = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                 QStringLiteral("fake-") + suffix);
        m_second.registerVirtualObject(QLatin1String(path), this, QDBusConnection::SingleNode);
        m_second.registerService(name);
    }

    void vanish()
    {
        if (m_second.isConnected()) {
            QDBusConnection::disconnectFromBus(m_second.name());
            m_second = QDBusConnection(QString());
        }
        if (!m_connection.isConnected())
            return;
        m_connection.unregisterObject(QLatin1String(path));
        m_connection.unregisterService(m_busName);
        QDBusConnection::disconnectFromBus(m_connection.name());
        m_connection = QDBusConnection(QString());
    }

    // Position reads are answered only at releasePositionReads(), with the
    // value they had when asked: a slow player's late answer.
    void holdPositionReads()
    {
        QMutexLocker lock(&m_mutex);
        m_holdPosition = true;
    }
    int heldPositionReads() const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_heldReplies.size());
    }
    void releasePositionReads()
    {
        QMutexLocker lock(&m_mutex);
        m_holdPosition = false;
        for (const QDBusMessage &reply : std::as_const(m_heldReplies))
            m_connection.send(reply);
        m_heldReplies.clear();
    }

    void hang()
    {
        QMutexLocker lock(&m_mutex);
        m_hanging = true;
    }

    void setProperties(const QVariantMap &changed, const QStringList &invalidated = {})
    {
        {
            QMutexLocker lock(&m_mutex);
            for (auto it = changed.cbegin(); it != changed.cend(); ++it)
                m_player.insert(it.key(), it.value());
        }
        QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(path),
                                                         QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << QVariant::fromValue(changed)
               << QVariant::fromValue(invalidated);
        QMetaObject::invokeMethod(this, [this, signal] { m_connection.send(signal); },
                                  Qt::BlockingQueuedConnection);
    }

    // Changes a property without telling anyone (then invalidated() or a poll).
    void setQuietly(const QString &name, const QVariant &value)
    {
        QMutexLocker lock(&m_mutex);
        m_player.insert(name, value);
    }

    void seeked(qint64 positionUs)
    {
        setQuietly(QStringLiteral("Position"), QVariant::fromValue<qlonglong>(positionUs));
        QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(path),
                                                         QStringLiteral("org.mpris.MediaPlayer2.Player"),
                                                         QStringLiteral("Seeked"));
        signal << QVariant::fromValue<qlonglong>(positionUs);
        m_connection.send(signal);
    }

    QStringList calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        QMutexLocker lock(&m_mutex);
        if (m_hanging)
            return true; // never answers
        const QList<QVariant> args = message.arguments();
        if (message.interface() == u"org.freedesktop.DBus.Properties") {
            const QVariantMap &props = args.value(0).toString() == u"org.mpris.MediaPlayer2" ? m_root : m_player;
            if (message.member() == u"GetAll") {
                connection.send(message.createReply(QVariant(props)));
                return true;
            }
            if (message.member() == u"Get") {
                const QString name = args.value(1).toString();
                if (!props.contains(name)) {
                    connection.send(message.createErrorReply(QDBusError::InvalidArgs, name));
                    return true;
                }
                const QDBusMessage reply = message.createReply(QVariant::fromValue(QDBusVariant(props.value(name))));
                if (m_holdPosition && name == u"Position")
                    m_heldReplies << reply;
                else
                    connection.send(reply);
                return true;
            }
        }
        m_calls << message.member();
        connection.send(message.createReply());
        return true;
    }

private:
    QString m_busName;
    QDBusConnection m_connection;
    QDBusConnection m_second{QString()};
    mutable QMutex m_mutex;
    QVariantMap m_root;
    QVariantMap m_player;
    QStringList m_calls;
    bool m_hanging = false;
    bool m_holdPosition = false;
    QList<QDBusMessage> m_heldReplies;
    QThread m_thread;
};

// Many MPRIS names on one connection of their own that answer nothing:
// every call is held until release(), which answers them all at once (as
// one player, "Held", paused), as a process stuck at start-up that comes
// back. Thread-safe.
class HeldNames final : public QDBusVirtualObject
{
public:
    explicit HeldNames(int count)
        : m_connection(QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                     QStringLiteral("held-names")))
    {
        m_thread.start();
        moveToThread(&m_thread);
        m_connection.registerVirtualObject(QLatin1String(FakeMprisPlayer::path), this, QDBusConnection::SingleNode);
        for (int i = 0; i < count; ++i)
            m_connection.registerService(name(i));
    }
    ~HeldNames() override
    {
        m_connection.unregisterObject(QLatin1String(FakeMprisPlayer::path));
        QDBusConnection::disconnectFromBus(m_connection.name());
        m_thread.quit();
        m_thread.wait();
    }
    static QString name(int i) { return QStringLiteral("org.mpris.MediaPlayer2.held%1").arg(i); }

    int held() const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_held.size());
    }
    void release()
    {
        QMutexLocker lock(&m_mutex);
        m_releasing = true;
        for (const QDBusMessage &message : std::as_const(m_held))
            answer(message);
        m_held.clear();
    }

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        QMutexLocker lock(&m_mutex);
        if (m_releasing)
            answer(message);
        else
            m_held << message;
        return true;
    }

private:
    void answer(const QDBusMessage &message)
    {
        if (message.member() != u"GetAll") {
            m_connection.send(message.createErrorReply(QDBusError::NotSupported, message.member()));
            return;
        }
        const bool root = message.arguments().value(0).toString() == u"org.mpris.MediaPlayer2";
        const QVariantMap meta{{QStringLiteral("xesam:title"), QStringLiteral("Held")}};
        const QVariantMap props = root ? QVariantMap{{QStringLiteral("Identity"), QStringLiteral("Held")}}
                                       : QVariantMap{{QStringLiteral("PlaybackStatus"), QStringLiteral("Paused")},
                                                     {QStringLiteral("Metadata"), meta}};
        m_connection.send(message.createReply(QVariant(props)));
    }

    QDBusConnection m_connection;
    mutable QMutex m_mutex;
    QList<QDBusMessage> m_held;
    bool m_releasing = false;
    QThread m_thread;
};
