#include "PrivateBus.h"
#include "platform/DBusValue.h"
#include "platform/DistributedNotificationCenter.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Collects what one observer receives.
struct Inbox
{
    QList<Notification> received;

    NotificationCenter::Handler handler()
    {
        return [this](const Notification &n) { received.append(n); };
    }
    int count(const QString &name) const
    {
        return int(std::count_if(received.cbegin(), received.cend(),
                                 [&name](const Notification &n) { return n.name == name; }));
    }
    QStringList names() const
    {
        QStringList all;
        for (const Notification &n : received) {
            if (!n.name.startsWith(QLatin1String("test.barrier.")))
                all << n.name;
        }
        return all;
    }
};


} // namespace

class TestDistributedNotificationCenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void postReachesAnotherConnection();
    void ownPostArrivesOnce();
    void removedObserverHearsNothing();
    void signalsFromOtherProgramsArePlain();
    void oversizedNameIsDropped();
    void valuesTheBusCannotCarryAreDropped();
    void userInfoOverBudgetIsDropped();
    void fallsBackToThisProcessWithoutBus();
    void defaultCentreUsesTheSessionBusOnlyWhenThere();

private:
    // Posts a barrier on `from` and waits until `inbox` (observing `to`) has
    // it: everything posted on `from` before has arrived by then.
    void passBarrier(DistributedNotificationCenter &from, DistributedNotificationCenter &to);

    int m_connections = 0;
    int m_barriers = 0;
    QStringList m_connectionNames;
};

void TestDistributedNotificationCenter::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("no private session bus (run through tests/with-private-bus.sh)");
}

void TestDistributedNotificationCenter::cleanup()
{
    for (const QString &name : std::as_const(m_connectionNames))
        QDBusConnection::disconnectFromBus(name);
    m_connectionNames.clear();
}

void TestDistributedNotificationCenter::passBarrier(DistributedNotificationCenter &from,
                                                    DistributedNotificationCenter &to)
{
    Inbox barrier;
    const int observer = 0;
    const QString name = QStringLiteral("test.barrier.%1").arg(++m_barriers);
    to.addObserver(&observer, name, barrier.handler());
    from.post(name);
    QTRY_COMPARE(barrier.received.size(), 1);
    to.removeObserver(&observer);
}

#define CONNECTION(var)                                                                   \
    const QString var##Name = QStringLiteral("tst-dnc-%1").arg(++m_connections);          \
    m_connectionNames << var##Name;                                                       \
    QDBusConnection var = privateConnection(var##Name);                                   \
    QVERIFY(var.isConnected())

void TestDistributedNotificationCenter::postReachesAnotherConnection()
{
    CONNECTION(busA);
    CONNECTION(busB);
    DistributedNotificationCenter sender(busA);
    DistributedNotificationCenter receiver(busB);
    QVERIFY(sender.isOnBus());
    QVERIFY(receiver.isOnBus());
    QVERIFY(roundTrip(busB));

    Inbox inbox;
    const int observer = 0;
    receiver.addObserver(&observer, QStringLiteral("CoverlumeAlbumCoverChanged"), inbox.handler());

    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff.append(QByteArray(3000, '\xab'));
    const QVariantMap nested{{QStringLiteral("depth"), 2},
                             {QStringLiteral("inner"), QVariantMap{{QStringLiteral("deeper"), QStringLiteral("yes")}}}};
    const QVariantMap userInfo{
        {QStringLiteral("cover"), tiff},
        {QStringLiteral("object"), QStringLiteral("Coverlume")},
        {QStringLiteral("count"), 42},
        {QStringLiteral("ratio"), 0.25},
        {QStringLiteral("loved"), true},
        {QStringLiteral("nested"), nested},
        {QStringLiteral("list"), QVariantList{1, QStringLiteral("two"), QVariantMap{{QStringLiteral("three"), 3}}}},
    };
    sender.post(QStringLiteral("CoverlumeAlbumCoverChanged"), userInfo);
    QTRY_COMPARE(inbox.received.size(), 1);

    const Notification &n = inbox.received.first();
    QCOMPARE(n.name, QStringLiteral("CoverlumeAlbumCoverChanged"));
    QCOMPARE(n.userInfo.value(QStringLiteral("cover")).typeId(), QMetaType::QByteArray);
    QCOMPARE(n.userInfo.value(QStringLiteral("cover")).toByteArray(), tiff);
    QCOMPARE(n.userInfo.value(QStringLiteral("object")).toString(), QStringLiteral("Coverlume"));
    QCOMPARE(n.userInfo.value(QStringLiteral("count")).toInt(), 42);
    QCOMPARE(n.userInfo.value(QStringLiteral("ratio")).toDouble(), 0.25);
    QCOMPARE(n.userInfo.value(QStringLiteral("loved")).typeId(), QMetaType::Bool);
    // Nested containers arrive as plain maps and lists, not QtDBus wrappers.
    QCOMPARE(n.userInfo.value(QStringLiteral("nested")).typeId(), QMetaType::QVariantMap);
    QCOMPARE(n.userInfo.value(QStringLiteral("nested")).toMap(), nested);
    const QVariant list = n.userInfo.value(QStringLiteral("list"));
    QCOMPARE(list.typeId(), QMetaType::QVariantList);
    QCOMPARE(list.toList().at(1).toString(), QStringLiteral("two"));
    QCOMPARE(list.toList().at(2).typeId(), QMetaType::QVariantMap);
    QCOMPARE(list.toList().at(2).toMap().value(QStringLiteral("three")).toInt(), 3);
}

void TestDistributedNotificationCenter::ownPostArrivesOnce()
{
    CONNECTION(busA);
    DistributedNotificationCenter center(busA);
    Inbox inbox;
    const int observer = 0;
    center.addObserver(&observer, QString(), inbox.handler());

    center.post(QStringLiteral("mine"), {{QStringLiteral("n"), 1}});
    QTRY_COMPARE(inbox.count(QStringLiteral("mine")), 1);
    // Anything still on its way would arrive before a later post comes back.
    center.post(QStringLiteral("later"));
    QTRY_COMPARE(inbox.count(QStringLiteral("later")), 1);
    QCOMPARE(inbox.count(QStringLiteral("mine")), 1);
    QCOMPARE(inbox.received.first().userInfo.value(QStringLiteral("n")).toInt(), 1);
}

void TestDistributedNotificationCenter::removedObserverHearsNothing()
{
    CONNECTION(busA);
    CONNECTION(busB);
    DistributedNotificationCenter sender(busA);
    DistributedNotificationCenter receiver(busB);
    Inbox inbox;
    const int observer = 0;
    receiver.addObserver(&observer, QStringLiteral("com.apple.Music.playerInfo"), inbox.handler());
    QVERIFY(roundTrip(busB));
    sender.post(QStringLiteral("com.apple.Music.playerInfo"));
    QTRY_COMPARE(inbox.received.size(), 1);

    receiver.removeObserver(&observer);
    sender.post(QStringLiteral("com.apple.Music.playerInfo"));
    passBarrier(sender, receiver);
    QCOMPARE(inbox.received.size(), 1);
}

void TestDistributedNotificationCenter::signalsFromOtherProgramsArePlain()
{
    CONNECTION(raw);
    CONNECTION(busB);
    DistributedNotificationCenter receiver(busB);
    QVERIFY(roundTrip(busB));
    Inbox inbox;
    const int observer = 0;
    receiver.addObserver(&observer, QString(), inbox.handler());

    // Built by hand, as another program would: a variant holding a variant
    // holding a map, and an array of doubly wrapped variants.
    QDBusArgument pairs;
    pairs.beginArray(QMetaType::fromType<QDBusVariant>());
    pairs << QDBusVariant(QVariant::fromValue(QDBusVariant(QStringLiteral("doubly wrapped"))));
    pairs.endArray();
    const QVariantMap userInfo{{QStringLiteral("wrapped"), QVariant::fromValue(QDBusVariant(QVariantMap{{QStringLiteral("k"), 7}}))},
                               {QStringLiteral("pairs"), QVariant::fromValue(pairs)}};
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/com/quillmoor/Coverlume/Notifications"),
                                                     QStringLiteral("com.quillmoor.Coverlume.Notifications"),
                                                     QStringLiteral("Posted"));
    signal << QStringLiteral("com.spotify.client.PlaybackStateChanged") << userInfo;
    QVERIFY(raw.send(signal));
    QTRY_COMPARE(inbox.received.size(), 1);

    const QVariantMap got = inbox.received.first().userInfo;
    QCOMPARE(got.value(QStringLiteral("wrapped")).typeId(), QMetaType::QVariantMap);
    QCOMPARE(got.value(QStringLiteral("wrapped")).toMap().value(QStringLiteral("k")).toInt(), 7);
    const QVariantList list = got.value(QStringLiteral("pairs")).toList();
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.first().typeId(), QMetaType::QString);
    QCOMPARE(list.first().toString(), QStringLiteral("doubly wrapped"));
}

void TestDistributedNotificationCenter::oversizedNameIsDropped()
{
    CONNECTION(busA);
    CONNECTION(busB);
    DistributedNotificationCenter sender(busA);
    DistributedNotificationCenter receiver(busB);
    Inbox inbox;
    const int observer = 0;
    receiver.addObserver(&observer, QString(), inbox.handler());
    QVERIFY(roundTrip(busB));

    // Both centres hear it, and both drop it.
    QTest::ignoreMessage(QtWarningMsg, "notification with a name of 257 characters dropped");
    QTest::ignoreMessage(QtWarningMsg, "notification with a name of 257 characters dropped");
    sender.post(QString(257, QLatin1Char('n')));
    sender.post(QString(256, QLatin1Char('m')));
    passBarrier(sender, receiver);
    QCOMPARE(inbox.names(), QStringList{QString(256, QLatin1Char('m'))});
}

void TestDistributedNotificationCenter::valuesTheBusCannotCarryAreDropped()
{
    CONNECTION(busA);
    DistributedNotificationCenter center(busA);
    Inbox inbox;
    const int observer = 0;
    center.addObserver(&observer, QString(), inbox.handler());
    QVariantHash hash{{QStringLiteral("h"), 1}};
    center.post(QStringLiteral("partly empty"),
                {{QStringLiteral("missing"), QVariant()},
                 {QStringLiteral("null"), QVariant::fromValue(nullptr)},
                 {QStringLiteral("hash"), hash},
                 {QStringLiteral("list"), QVariantList{QVariant(), 5}},
                 {QStringLiteral("kept"), QStringLiteral("yes")}});
    QTRY_COMPARE(inbox.received.size(), 1);
    const QVariantMap got = inbox.received.first().userInfo;
    QCOMPARE(got.keys(), (QStringList{QStringLiteral("hash"), QStringLiteral("kept"), QStringLiteral("list")}));
    QCOMPARE(got.value(QStringLiteral("hash")).toMap().value(QStringLiteral("h")).toInt(), 1);
    QCOMPARE(got.value(QStringLiteral("list")).toList(), QVariantList{5});
}

void TestDistributedNotificationCenter::userInfoOverBudgetIsDropped()
{
    // The budget is checked while converting; a small one shows where it bites.
    const QVariantMap userInfo{{QStringLiteral("a"), QByteArray(100, 'x')},
                               {QStringLiteral("b"), QVariantList{QString(100, QLatin1Char('y'))}}};
    bool within = false;
    QCOMPARE(DBusValue::plainMap(userInfo, 1000, &within), userInfo);
    QVERIFY(within);
    QVERIFY(DBusValue::plainMap(userInfo, 150, &within).isEmpty());
    QVERIFY(!within);
}

void TestDistributedNotificationCenter::fallsBackToThisProcessWithoutBus()
{
    QTest::ignoreMessage(QtInfoMsg, "no session bus: notifications stay in this process");
    DistributedNotificationCenter center(QDBusConnection(QStringLiteral("never-connected")));
    QVERIFY(!center.isOnBus());
    Inbox inbox;
    const int observer = 0;
    center.addObserver(&observer, QStringLiteral("CoverlumeAlbumCoverChanged"), inbox.handler());
    center.post(QStringLiteral("CoverlumeAlbumCoverChanged"), {{QStringLiteral("cover"), QByteArray("tiff")}});
    // Delivered at once, and only once.
    QCOMPARE(inbox.received.size(), 1);
    QCOMPARE(inbox.received.first().userInfo.value(QStringLiteral("cover")).toByteArray(), QByteArray("tiff"));
    QTest::qWait(50);
    QCOMPARE(inbox.received.size(), 1);
}

void TestDistributedNotificationCenter::defaultCentreUsesTheSessionBusOnlyWhenThere()
{
    {
        DistributedNotificationCenter center;
        QVERIFY(center.isOnBus());
    }
    // With no address and no user bus socket there is nothing to connect to,
    // and nothing may be launched to provide one.
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir emptyRuntime;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(emptyRuntime.path()));
    QTest::ignoreMessage(QtInfoMsg, "no session bus: notifications stay in this process");
    DistributedNotificationCenter center;
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("XDG_RUNTIME_DIR", runtime);
    QVERIFY(!center.isOnBus());
}

QTEST_GUILESS_MAIN(TestDistributedNotificationCenter)
#include "tst_distributednotificationcenter.moc"
