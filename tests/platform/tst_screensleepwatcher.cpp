#include "PrivateBus.h"
#include "platform/ScreenSleepWatcher.h"
#include "support/LogCapture.h"

#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

namespace {

const char sleepLine[] = "CL received NSWorkspaceScreensDidSleepNotification";
const char wakeLine[] = "CL received NSWorkspaceScreensDidWakeNotification";

} // namespace

class TestScreenSleepWatcher : public QObject
{
    Q_OBJECT

private:
    // Emits a signal as the desktop would, from a connection of its own.
    bool emitSignal(const QString &path, const QString &interface, const QString &name, bool value);

    QDBusConnection m_desktop{QString()};
    QDBusConnection m_session{QString()};
    QDBusConnection m_system{QString()};

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("no private session bus (run through tests/with-private-bus.sh)");
        m_desktop = privateConnection(QStringLiteral("desktop"));
        m_session = privateConnection(QStringLiteral("watcher-session"));
        // logind's signal is sent on the private bus too, standing in for the
        // system bus the test must not touch.
        m_system = privateConnection(QStringLiteral("watcher-system"));
        QVERIFY(m_desktop.isConnected() && m_session.isConnected() && m_system.isConnected());
    }

    void cleanupTestCase()
    {
        for (const char *name : {"desktop", "watcher-session", "watcher-system"})
            QDBusConnection::disconnectFromBus(QLatin1String(name));
    }

    void screenSaverSignals_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("interface");
        QTest::newRow("freedesktop") << "/org/freedesktop/ScreenSaver" << "org.freedesktop.ScreenSaver";
        QTest::newRow("KDE") << "/ScreenSaver" << "org.freedesktop.ScreenSaver";
        QTest::newRow("GNOME") << "/org/gnome/ScreenSaver" << "org.gnome.ScreenSaver";
    }

    void screenSaverSignals()
    {
        QFETCH(QString, path);
        QFETCH(QString, interface);
        ScreenSleepWatcher watcher(m_session, m_system);
        QVERIFY(watcher.watchesSessionBus());
        QVERIFY(watcher.watchesSystemBus());
        QVERIFY(roundTrip(m_session));
        QSignalSpy slept(&watcher, &ScreenSleepWatcher::screensDidSleep);
        QSignalSpy woke(&watcher, &ScreenSleepWatcher::screensDidWake);

        QTest::ignoreMessage(QtInfoMsg, sleepLine);
        QVERIFY(emitSignal(path, interface, QStringLiteral("ActiveChanged"), true));
        QTRY_COMPARE(slept.count(), 1);
        QVERIFY(watcher.screensAsleep());

        // The same state again, from any interface, is not news. Signals from one
        // sender arrive in order, so the wake below proves these were seen.
        QVERIFY(emitSignal(path, interface, QStringLiteral("ActiveChanged"), true));
        QVERIFY(emitSignal(QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
                           QStringLiteral("ActiveChanged"), true));

        QTest::ignoreMessage(QtInfoMsg, wakeLine);
        QVERIFY(emitSignal(path, interface, QStringLiteral("ActiveChanged"), false));
        QTRY_COMPARE(woke.count(), 1);
        QCOMPARE(slept.count(), 1);
        QVERIFY(!watcher.screensAsleep());
    }

    void suspendAndScreenSaverTogether()
    {
        ScreenSleepWatcher watcher(m_session, m_system);
        QVERIFY(roundTrip(m_session) && roundTrip(m_system));
        QSignalSpy slept(&watcher, &ScreenSleepWatcher::screensDidSleep);
        QSignalSpy woke(&watcher, &ScreenSleepWatcher::screensDidWake);
        const QString login = QStringLiteral("/org/freedesktop/login1");
        const QString manager = QStringLiteral("org.freedesktop.login1.Manager");

        QTest::ignoreMessage(QtInfoMsg, sleepLine);
        QVERIFY(emitSignal(login, manager, QStringLiteral("PrepareForSleep"), true));
        QTRY_COMPARE(slept.count(), 1);

        // Locked while suspended: resuming leaves the screens asleep until the
        // screen saver goes away.
        QVERIFY(emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("ActiveChanged"), true));
        QVERIFY(emitSignal(login, manager, QStringLiteral("PrepareForSleep"), false));
        QTest::ignoreMessage(QtInfoMsg, wakeLine);
        QVERIFY(emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("ActiveChanged"), false));
        QTRY_COMPARE(woke.count(), 1);
        QCOMPARE(slept.count(), 1);
    }

    void missingBusesLogOneLine()
    {
        LogCapture capture;
        {
            ScreenSleepWatcher watcher(QDBusConnection(QStringLiteral("absent-session")),
                                       QDBusConnection(QStringLiteral("absent-system")));
            QVERIFY(!watcher.watchesSessionBus());
            QVERIFY(!watcher.watchesSystemBus());
        }
        QCOMPARE(capture.lines(), QStringList{QStringLiteral("screen sleep not watched on the session bus or the system bus")});

        capture.clear();
        {
            // The system bus of the test environment points at nothing.
            ScreenSleepWatcher watcher(m_session, QDBusConnection::systemBus());
            QVERIFY(watcher.watchesSessionBus());
            QVERIFY(!watcher.watchesSystemBus());
        }
        QCOMPARE(capture.lines(), QStringList{QStringLiteral("screen sleep not watched on the system bus")});
    }
};

bool TestScreenSleepWatcher::emitSignal(const QString &path, const QString &interface, const QString &name,
                                        bool value)
{
    QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
    signal << value;
    return m_desktop.send(signal);
}

QTEST_GUILESS_MAIN(TestScreenSleepWatcher)
#include "tst_screensleepwatcher.moc"
