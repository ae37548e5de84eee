// Idle full screen and the display-sleep hold: the power control on a
// scripted idle source and inhibitor, then the desktop's D-Bus services
// played by a stand-in of the tests' own on the private bus.

#include "input/IdleSource.h"
#include "input/SleepInhibitor.h"
#include "input/SystemPower.h"
#include "platform/DefaultsStore.h"
#include "core/RegisteredDefaults.h"
#include "support/Fakes.h"
#include "support/LogCapture.h"
#include "support/TimeFactor.h"
#include "../platform/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

const QString kPrevented = QStringLiteral("Coverlume has prevented display sleep or screensaver");
const QString kRevoked = QStringLiteral("Coverlume has revoked prevention of display sleep or screensaver");

// The screensaver service and GNOME's idle monitor as a desktop offers them,
// on a thread of its own so that the display's blocking idle readings are
// answered. It records the calls, and can refuse, hold its answers back
// (answer() lets them go) or hang for ever.
class FakeScreenSaver : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    enum Mode { Answer, Refuse, Hold };
    QAtomicInteger<qint64> idleMs = 0;
    QAtomicInt mode = Answer;
    QDBusConnection bus{QString()}; // where held answers go

    QStringList calls() const
    {
        QMutexLocker locker(&m_lock);
        return m_calls;
    }
    // Sends the answers held back.
    void answer()
    {
        QMetaObject::invokeMethod(this, [this] {
            for (const QDBusMessage &held : std::exchange(m_held, {}))
                bus.send(held.createReply(++m_cookie));
        });
    }

public Q_SLOTS:
    uint Inhibit(const QString &application, const QString &reason)
    {
        record(QStringLiteral("Inhibit %1: %2").arg(application, reason));
        if (refusedOrHeld())
            return 0;
        return ++m_cookie;
    }
    void UnInhibit(uint cookie) { record(QStringLiteral("UnInhibit %1").arg(cookie)); }
    uint GetSessionIdleTime()
    {
        record(QStringLiteral("GetSessionIdleTime"));
        return refusedOrHeld() ? 0 : uint(idleMs.loadRelaxed());
    }

private:
    void record(const QString &call)
    {
        QMutexLocker locker(&m_lock);
        m_calls << call;
    }
    bool refusedOrHeld()
    {
        if (mode == Answer)
            return false;
        setDelayedReply(true);
        if (mode == Refuse)
            connection().send(message().createErrorReply(QDBusError::AccessDenied, QStringLiteral("not now")));
        else
            m_held << message();
        return true;
    }

    mutable QMutex m_lock;
    QStringList m_calls;
    QList<QDBusMessage> m_held;
    uint m_cookie = 0;
};

class FakeIdleMonitor : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")
public:
    QAtomicInteger<qint64> idleMs = 0;
public Q_SLOTS:
    qulonglong GetIdletime() { return qulonglong(idleMs.loadRelaxed()); }
};

// The stand-ins on their own connection and thread.
struct Desktop
{
    QThread thread;
    FakeScreenSaver screenSaver;
    FakeIdleMonitor idleMonitor;
    QDBusConnection bus = privateConnection(QStringLiteral("desktop"));

    explicit Desktop(bool screenSaverService, bool idleMonitorService)
    {
        screenSaver.bus = bus;
        screenSaver.moveToThread(&thread);
        idleMonitor.moveToThread(&thread);
        thread.start();
        if (screenSaverService)
            start();
        if (idleMonitorService) {
            bus.registerObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), &idleMonitor,
                               QDBusConnection::ExportAllSlots);
            bus.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor"));
        }
    }
    ~Desktop()
    {
        bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        bus.unregisterService(QStringLiteral("org.gnome.Mutter.IdleMonitor"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
        bus.unregisterObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"));
        QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
        thread.quit();
        thread.wait();
    }
    void start()
    {
        bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver,
                           QDBusConnection::ExportAllSlots);
        bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
    }
    void stop()
    {
        bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    }
    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &call : screenSaver.calls())
            n += call.startsWith(prefix);
        return n;
    }
};

QDBusConnection display()
{
    return privateConnection(QStringLiteral("display"));
}

// A power control on its own settings and host.
struct Power
{
    QTemporaryDir dir;
    DefaultsStore defaults{dir.path()};
    FakeHost host;
    FakeNowPlaying nowPlaying;
    std::shared_ptr<ScriptedIdleSource> idle = std::make_shared<ScriptedIdleSource>();
    ScriptedInhibitor *inhibitor = nullptr;
    std::unique_ptr<SystemPower> power;

    explicit Power(const QVariantMap &settings = {}, std::unique_ptr<SleepInhibitor> other = nullptr)
    {
        registerAppDefaults(defaults);
        for (auto it = settings.begin(); it != settings.end(); ++it)
            defaults.set(it.key(), it.value());
        nowPlaying.current = 12;
        if (!other) {
            auto scripted = std::make_unique<ScriptedInhibitor>();
            inhibitor = scripted.get();
            other = std::move(scripted);
        }
        power = std::make_unique<SystemPower>(defaults, host, idle, std::move(other));
        power->setNowPlaying(&nowPlaying);
    }
};

} // namespace

class TestSystemPower : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void idleUnits()
    {
        QCOMPARE(SystemPower::idleUnits(323196), 300);
        QCOMPARE(SystemPower::idleUnits(323197), 301);
        QCOMPARE(SystemPower::idleUnits(-1), -1);
        QCOMPARE(SystemPower::idleUnits(qint64(1) << 40), (qint64(1) << 40) * 1'000'000 >> 30); // no 32-bit overflow
    }

    void idleGoesFullScreen_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<qint64>("tareMs");
        QTest::addColumn<qint64>("idleMs");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<bool>("goes");

        const QVariantMap after300{{"fullScreenAfterSystemIdleTime", 300}};
        QTest::newRow("300 units") << after300 << qint64(0) << qint64(323196) << 12 << false << false;
        QTest::newRow("301 units") << after300 << qint64(0) << qint64(323197) << 12 << false << true;
        QTest::newRow("counted from the tare") << after300 << qint64(5000) << qint64(323197) << 12 << false << false;
        QTest::newRow("unreadable") << after300 << qint64(0) << qint64(-1) << 12 << false << false;
        QTest::newRow("already full screen") << after300 << qint64(0) << qint64(999999) << 12 << true << false;
        QTest::newRow("switched off") << QVariantMap{{"fullScreenAfterSystemIdleTime", 0}} << qint64(0)
                                      << qint64(999999) << 12 << false << false;
        QVariantMap noMusic = after300;
        noMusic.insert("noMusicNoAutoFullScreen", true);
        QTest::newRow("no music, not by itself") << noMusic << qint64(0) << qint64(999999) << 0 << false << false;
        QTest::newRow("music plays") << noMusic << qint64(0) << qint64(999999) << 12 << false << true;
    }

    void idleGoesFullScreen()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(qint64, tareMs);
        QFETCH(qint64, idleMs);
        QFETCH(int, current);
        QFETCH(bool, fullScreen);
        QFETCH(bool, goes);
        Power p(settings);
        p.nowPlaying.current = current;
        p.host.fullScreen = fullScreen;
        p.idle->ms = tareMs;
        p.power->tareSystemIdle();
        p.idle->ms = idleMs;
        p.power->checkSystemIdle();
        QCOMPARE(p.host.requests, goes ? QStringList{"enterFullScreen"} : QStringList{});
    }

    void activity_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<QStringList>("requests");
        const QVariantMap leave{{"exitFullScreenAfterActivity", true}, {"displayFloatingWindow", false}};
        QTest::newRow("leaves and hides") << leave << true << QStringList{"leaveFullScreen", "hideWindow"};
        QTest::newRow("not full screen") << leave << false << QStringList{};
        QTest::newRow("leaves and shows") << QVariantMap{{"exitFullScreenAfterActivity", true}, {"displayFloatingWindow", true}}
                                          << true << QStringList{"leaveFullScreen", "showWindow", "raiseWindow"};
        QTest::newRow("shows the pointer") << QVariantMap{{"exitFullScreenAfterActivity", false},
                                                          {"hideMouseCursorInFullScreen", true}}
                                           << true << QStringList{"showPointer"};
        QTest::newRow("nothing to do") << QVariantMap{{"exitFullScreenAfterActivity", false},
                                                      {"hideMouseCursorInFullScreen", false}}
                                       << true << QStringList{};
    }

    void activity()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(bool, fullScreen);
        QFETCH(QStringList, requests);
        Power p(settings);
        p.host.fullScreen = fullScreen;
        p.power->systemActivity();
        QCOMPARE(p.host.requests, requests);
    }

    // One hold at a time, one line each way; a refusal is asked again, a
    // lost hold is taken anew.
    void oneHoldAtATime()
    {
        LogCapture log;
        Power p;
        p.power->allowSleep(); // nothing held: nothing happens
        p.power->preventSleep();
        p.power->preventSleep();
        QCOMPARE(p.inhibitor->holds, 1);
        QCOMPARE(log.lines().count(kPrevented), 1);
        QVERIFY(p.power->sleepPrevented());

        p.inhibitor->lose();
        QVERIFY(!p.power->sleepPrevented());
        p.power->preventSleep();
        QCOMPARE(p.inhibitor->holds, 2);

        p.power->allowSleep();
        p.power->allowSleep();
        QCOMPARE(log.lines().count(kRevoked), 1);
        QVERIFY(!p.inhibitor->held);

        p.inhibitor->refuse = true;
        p.power->preventSleep();
        QVERIFY(!p.power->sleepPrevented());
        p.inhibitor->refuse = false;
        p.power->preventSleep();
        QVERIFY(p.power->sleepPrevented());
    }

    void idleFromTheDesktop_data()
    {
        QTest::addColumn<bool>("monitor");
        QTest::addColumn<bool>("screenSaver");
        QTest::addColumn<qint64>("expected");
        QTest::addColumn<int>("backend");
        QTest::newRow("GNOME's idle monitor first") << true << true << qint64(70000) << int(DBusIdleSource::Backend::IdleMonitor);
        QTest::newRow("the screensaver service") << false << true << qint64(4000) << int(DBusIdleSource::Backend::ScreenSaver);
        QTest::newRow("neither") << false << false << qint64(-1) << int(DBusIdleSource::Backend::None);
    }

    void idleFromTheDesktop()
    {
        QFETCH(bool, monitor);
        QFETCH(bool, screenSaver);
        QFETCH(qint64, expected);
        QFETCH(int, backend);
        Desktop desktop(screenSaver, monitor);
        desktop.idleMonitor.idleMs = 70000;
        desktop.screenSaver.idleMs = 4000;
        DBusIdleSource idle(display());
        QCOMPARE(idle.idleMs(), expected);
        QCOMPARE(int(idle.backend()), backend);
        desktop.idleMonitor.idleMs = 80000;
        desktop.screenSaver.idleMs = 5000;
        QCOMPARE(idle.idleMs(), expected < 0 ? -1 : expected + (monitor ? 10000 : 1000));
    }

    // A service that does not answer costs one time-out, not one a frame.
    void aHangingServiceCostsItsTimeOut()
    {
        Desktop desktop(true, false);
        desktop.screenSaver.mode = FakeScreenSaver::Hold;
        DBusIdleSource idle(display());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(idle.idleMs(), -1);
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(idle.idleMs(), -1); // left alone for a while: not asked again
        QCOMPARE(desktop.count("GetSessionIdleTime"), 1);
        QCOMPARE(int(idle.backend()), int(DBusIdleSource::Backend::Unprobed));
    }

    void holdsAtTheScreenSaverService()
    {
        LogCapture log;
        Desktop desktop(true, false);
        QVERIFY(ScreenSaverInhibitor::available(display()));
        Power p({}, std::make_unique<ScreenSaverInhibitor>(display()));
        p.power->preventSleep();
        p.power->preventSleep(); // asked already: no second Inhibit
        QTRY_VERIFY(p.power->sleepPrevented());
        p.power->preventSleep();
        QCOMPARE(desktop.screenSaver.calls(), QStringList{"Inhibit Coverlume: Coverlume in full-screen mode"});
        QCOMPARE(log.lines().count(kPrevented), 1);

        // The service restarts: the hold went with it, and is asked anew.
        desktop.stop();
        QTRY_VERIFY(!p.power->sleepPrevented());
        desktop.start();
        p.power->preventSleep();
        QTRY_VERIFY(p.power->sleepPrevented());
        QCOMPARE(desktop.count("Inhibit"), 2);

        // A view replaced while holding gives its hold back.
        p.power.reset();
        QTRY_COMPARE(desktop.count("UnInhibit 2"), 1);
    }

    // An answer that comes after the hold was given up is given back, also
    // when the control is gone by then; a refusal is asked again.
    void lateAnswersAreGivenBack()
    {
        Desktop desktop(true, false);
        desktop.screenSaver.mode = FakeScreenSaver::Hold;
        Power p({}, std::make_unique<ScreenSaverInhibitor>(display()));
        p.power->preventSleep();
        QTRY_COMPARE(desktop.count("Inhibit"), 1);
        p.power->allowSleep();
        desktop.screenSaver.answer();
        QTRY_COMPARE(desktop.count("UnInhibit 1"), 1);
        QVERIFY(!p.power->sleepPrevented());

        p.power->preventSleep();
        QTRY_COMPARE(desktop.count("Inhibit"), 2);
        p.power.reset();
        desktop.screenSaver.answer();
        QTRY_COMPARE(desktop.count("UnInhibit 2"), 1);

        desktop.screenSaver.mode = FakeScreenSaver::Refuse;
        Power refused({}, std::make_unique<ScreenSaverInhibitor>(display()));
        refused.power->preventSleep();
        QTRY_COMPARE(desktop.count("Inhibit"), 3);
        desktop.screenSaver.mode = FakeScreenSaver::Answer;
        QTRY_VERIFY_WITH_TIMEOUT((refused.power->preventSleep(), refused.power->sleepPrevented()), TimeFactor::ms(5000));
        QCOMPARE(desktop.count("Inhibit"), 4);
    }

    void noServiceNoHold()
    {
        QVERIFY(!ScreenSaverInhibitor::available(display()));
        LogCapture log;
        Power p({}, std::make_unique<NoInhibitor>());
        p.power->preventSleep();
        p.power->preventSleep();
        QVERIFY(!p.power->sleepPrevented());
        QCOMPARE(log.lines().filter("cannot be held off").size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSystemPower)
#include "tst_systempower.moc"
