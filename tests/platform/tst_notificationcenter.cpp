#include "platform/NotificationCenter.h"

#include <QStringList>
#include <QTest>

namespace {

// Distinct observer addresses.
struct Observers
{
    char a = 0, b = 0, c = 0;
};

} // namespace

class TestNotificationCenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversByNameInRegistrationOrder();
    void removeObserverByNameOrEntirely();
    void observerRemovedDuringDeliveryIsNotCalled_data();
    void observerRemovedDuringDeliveryIsNotCalled();
    void observerAddedDuringDeliveryWaitsForNextPost();
    void handlerMayPostAgain();
    void nullObserverOrHandlerIsIgnored();
    void defaultCenterIsOneInstance();
};

void TestNotificationCenter::deliversByNameInRegistrationOrder()
{
    NotificationCenter center;
    Observers o;
    QStringList calls;
    center.addObserver(&o.a, QStringLiteral("cover"), [&](const Notification &n) {
        calls << QStringLiteral("a:") + n.name + QLatin1Char(':') + n.userInfo.value(QStringLiteral("k")).toString();
    });
    center.addObserver(&o.b, QString(), [&](const Notification &n) { calls << QStringLiteral("b:") + n.name; });
    center.addObserver(&o.c, QStringLiteral("other"), [&](const Notification &n) { calls << QStringLiteral("c:") + n.name; });

    center.post(QStringLiteral("cover"), {{QStringLiteral("k"), QStringLiteral("v")}});
    center.post(QStringLiteral("other"));
    center.post(QStringLiteral("nobody"));
    QCOMPARE(calls, (QStringList{QStringLiteral("a:cover:v"), QStringLiteral("b:cover"), QStringLiteral("b:other"),
                                 QStringLiteral("c:other"), QStringLiteral("b:nobody")}));
}

void TestNotificationCenter::removeObserverByNameOrEntirely()
{
    NotificationCenter center;
    Observers o;
    int aCalls = 0, bCalls = 0;
    center.addObserver(&o.a, QStringLiteral("x"), [&](const Notification &) { ++aCalls; });
    center.addObserver(&o.a, QStringLiteral("y"), [&](const Notification &) { ++aCalls; });
    center.addObserver(&o.b, QStringLiteral("x"), [&](const Notification &) { ++bCalls; });
    QCOMPARE(center.observerCount(), 3);

    center.removeObserver(&o.a, QStringLiteral("x"));
    center.post(QStringLiteral("x"));
    center.post(QStringLiteral("y"));
    QCOMPARE(aCalls, 1);
    QCOMPARE(bCalls, 1);
    QVERIFY(center.hasObserver(&o.a));

    center.removeObserver(&o.a);
    QVERIFY(!center.hasObserver(&o.a));
    QVERIFY(center.hasObserver(&o.b));
    center.post(QStringLiteral("y"));
    QCOMPARE(aCalls, 1);
    QCOMPARE(center.observerCount(), 1);
}

void TestNotificationCenter::observerRemovedDuringDeliveryIsNotCalled_data()
{
    QTest::addColumn<int>("remover");   // index of the observer whose handler removes
    QTest::addColumn<int>("removed");   // index of the observer it removes
    QTest::addColumn<QStringList>("calledFirst");
    QTest::addColumn<QStringList>("calledSecond");
    QTest::newRow("itself") << 1 << 1 << QStringList{"a", "b", "c"} << QStringList{"a", "c"};
    QTest::newRow("a later one") << 0 << 2 << QStringList{"a", "b"} << QStringList{"a", "b"};
    QTest::newRow("an earlier one") << 2 << 0 << QStringList{"a", "b", "c"} << QStringList{"b", "c"};
}

void TestNotificationCenter::observerRemovedDuringDeliveryIsNotCalled()
{
    QFETCH(int, remover);
    QFETCH(int, removed);
    NotificationCenter center;
    Observers o;
    const void *addresses[] = {&o.a, &o.b, &o.c};
    const QString names[] = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QStringList calls;
    for (int i = 0; i < 3; ++i) {
        center.addObserver(addresses[i], QStringLiteral("n"), [&, i](const Notification &) {
            calls << names[i];
            if (i == remover)
                center.removeObserver(addresses[removed]);
        });
    }
    center.post(QStringLiteral("n"));
    QTEST(calls, "calledFirst");
    calls.clear();
    center.post(QStringLiteral("n"));
    QTEST(calls, "calledSecond");
}

void TestNotificationCenter::observerAddedDuringDeliveryWaitsForNextPost()
{
    NotificationCenter center;
    Observers o;
    int lateCalls = 0;
    center.addObserver(&o.a, QStringLiteral("n"), [&](const Notification &) {
        if (!center.hasObserver(&o.b))
            center.addObserver(&o.b, QStringLiteral("n"), [&](const Notification &) { ++lateCalls; });
    });
    center.post(QStringLiteral("n"));
    QCOMPARE(lateCalls, 0);
    center.post(QStringLiteral("n"));
    QCOMPARE(lateCalls, 1);
}

void TestNotificationCenter::handlerMayPostAgain()
{
    NotificationCenter center;
    Observers o;
    QStringList calls;
    center.addObserver(&o.a, QStringLiteral("first"), [&](const Notification &) {
        calls << QStringLiteral("a:first");
        center.post(QStringLiteral("second"), {{QStringLiteral("depth"), 2}});
    });
    center.addObserver(&o.b, QString(), [&](const Notification &n) {
        calls << QStringLiteral("b:") + n.name;
        // Removing itself in the nested delivery must hold for the outer one too.
        if (n.name == QLatin1String("second"))
            center.removeObserver(&o.b);
    });
    center.addObserver(&o.c, QStringLiteral("second"), [&](const Notification &n) {
        calls << QStringLiteral("c:second:") + n.userInfo.value(QStringLiteral("depth")).toString();
    });
    center.post(QStringLiteral("first"));
    QCOMPARE(calls, (QStringList{QStringLiteral("a:first"), QStringLiteral("b:second"), QStringLiteral("c:second:2")}));
}

void TestNotificationCenter::nullObserverOrHandlerIsIgnored()
{
    NotificationCenter center;
    Observers o;
    QTest::ignoreMessage(QtWarningMsg, "notification observer for \"n\" ignored: no handler");
    center.addObserver(&o.a, QStringLiteral("n"), {});
    QTest::ignoreMessage(QtWarningMsg, "notification observer for \"n\" ignored: no observer");
    center.addObserver(nullptr, QStringLiteral("n"), [](const Notification &) {});
    QCOMPARE(center.observerCount(), 0);
    center.post(QStringLiteral("n"));
}

void TestNotificationCenter::defaultCenterIsOneInstance()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    QCOMPARE(&center, &NotificationCenter::defaultCenter());
    Observers o;
    int calls = 0;
    center.addObserver(&o.a, QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo"),
                       [&](const Notification &) { ++calls; });
    NotificationCenter::defaultCenter().post(QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo"));
    center.removeObserver(&o.a);
    QCOMPARE(calls, 1);
}

QTEST_GUILESS_MAIN(TestNotificationCenter)
#include "tst_notificationcenter.moc"
