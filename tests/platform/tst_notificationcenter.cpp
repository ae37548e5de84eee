#include "platform/NotificationCenter.h"

#include <QStringList>
#include <QTest>

namespace {

// Three observers whose handlers note "observer:name" in one list; a hook
// lets a handler act on the centre during delivery.
struct Watchers
{
    NotificationCenter center;
    char addresses[3] = {};
    QStringList calls;
    std::function<void(int, const Notification &)> hook;

    const void *at(int i) const { return &addresses[i]; }
    void watch(int i, const QString &name)
    {
        center.addObserver(at(i), name, [this, i](const Notification &n) {
            calls << QChar(u'a' + i) + QStringLiteral(":") + n.name;
            if (hook)
                hook(i, n);
        });
    }
    QString take() { return std::exchange(calls, {}).join(u' '); }
};

} // namespace

class TestNotificationCenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversByNameInRegistrationOrder()
    {
        Watchers w;
        w.watch(0, "cover");
        w.watch(1, QString());
        w.watch(2, "other");
        w.hook = [&](int i, const Notification &n) {
            if (i == 0)
                w.calls << n.userInfo.value("k").toString();
        };
        w.center.post("cover", {{"k", "v"}});
        w.center.post("other");
        w.center.post("nobody");
        QCOMPARE(w.take(), QStringLiteral("a:cover v b:cover b:other c:other b:nobody"));
    }

    void removeObserverByNameOrEntirely()
    {
        Watchers w;
        w.watch(0, "x");
        w.watch(0, "y");
        w.watch(1, "x");
        QCOMPARE(w.center.observerCount(), 3);
        w.center.removeObserver(w.at(0), "x");
        w.center.post("x");
        w.center.post("y");
        QCOMPARE(w.take(), QStringLiteral("b:x a:y"));
        w.center.removeObserver(w.at(0));
        QVERIFY(!w.center.hasObserver(w.at(0)) && w.center.hasObserver(w.at(1)));
        w.center.post("y");
        QCOMPARE(w.take(), QString());
        QCOMPARE(w.center.observerCount(), 1);
    }

    void changesDuringDeliveryHoldAtOnce_data()
    {
        QTest::addColumn<int>("remover"); // the observer whose handler removes
        QTest::addColumn<int>("removed"); // the observer it removes
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("itself") << 1 << 1 << "a:n b:n c:n" << "a:n c:n";
        QTest::newRow("a later one") << 0 << 2 << "a:n b:n" << "a:n b:n";
        QTest::newRow("an earlier one") << 2 << 0 << "a:n b:n c:n" << "b:n c:n";
    }

    void changesDuringDeliveryHoldAtOnce()
    {
        QFETCH(int, remover);
        QFETCH(int, removed);
        Watchers w;
        for (int i = 0; i < 3; ++i)
            w.watch(i, "n");
        w.hook = [&](int i, const Notification &) {
            if (i == remover)
                w.center.removeObserver(w.at(removed));
        };
        w.center.post("n");
        QTEST(w.take(), "first");
        w.center.post("n");
        QTEST(w.take(), "second");
    }

    void handlersMayAddAndPostAgain()
    {
        // An observer added during a delivery waits for the next post.
        Watchers added;
        added.watch(0, "n");
        added.hook = [&](int i, const Notification &) {
            if (i == 0 && !added.center.hasObserver(added.at(1)))
                added.watch(1, "n");
        };
        added.center.post("n");
        QCOMPARE(added.take(), QStringLiteral("a:n"));
        added.center.post("n");
        QCOMPARE(added.take(), QStringLiteral("a:n b:n"));

        // A nested post is delivered at once; an observer that removes itself
        // in the nested delivery is not called again by the outer one.
        Watchers w;
        w.watch(0, "first");
        w.watch(1, QString());
        w.watch(2, "second");
        w.hook = [&](int i, const Notification &n) {
            if (i == 0)
                w.center.post("second", {{"depth", 2}});
            if (i == 1 && n.name == u"second")
                w.center.removeObserver(w.at(1));
            if (i == 2)
                w.calls << n.userInfo.value("depth").toString();
        };
        w.center.post("first");
        QCOMPARE(w.take(), QStringLiteral("a:first b:second c:second 2"));
    }

    void nullObserverOrHandlerIsIgnored()
    {
        NotificationCenter center;
        const char observer = 0;
        QTest::ignoreMessage(QtWarningMsg, "notification observer for \"n\" ignored: no handler");
        center.addObserver(&observer, "n", {});
        QTest::ignoreMessage(QtWarningMsg, "notification observer for \"n\" ignored: no observer");
        center.addObserver(nullptr, "n", [](const Notification &) {});
        QCOMPARE(center.observerCount(), 0);
        center.post("n");
    }

    void defaultCenterIsOneInstance()
    {
        QCOMPARE(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    }
};

QTEST_GUILESS_MAIN(TestNotificationCenter)
#include "tst_notificationcenter.moc"
