#include "PrivateBus.h"
#include "platform/DBusValue.h"
#include "platform/DistributedNotificationCenter.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What one observer receives, barriers left out.
struct Inbox
{
    QList<Notification> received;
    NotificationCenter::Handler handler()
    {
        return [this](const Notification &n) {
            if (!n.name.startsWith(QLatin1String("test.barrier.")))
                received.append(n);
        };
    }
    QStringList names() const
    {
        QStringList all;
        for (const Notification &n : received)
            all << n.name;
        return all;
    }
};

} // namespace

class TestDistributedNotificationCenter : public QObject
{
    Q_OBJECT

private:
    int m_connections = 0;
    int m_barriers = 0;
    QStringList m_connectionNames;
    const int m_observer = 0;

    QDBusConnection connection()
    {
        m_connectionNames << QStringLiteral("tst-dnc-%1").arg(++m_connections);
        return privateConnection(m_connectionNames.last());
    }

    // Posts a barrier on `from` and waits until `to` has it: everything
    // posted on `from` before has arrived by then.
    bool passBarrier(DistributedNotificationCenter &from, DistributedNotificationCenter &to)
    {
        int passed = 0;
        const int observer = 0;
        const QString name = QStringLiteral("test.barrier.%1").arg(++m_barriers);
        to.addObserver(&observer, name, [&passed](const Notification &) { ++passed; });
        from.post(name);
        const bool arrived = QTest::qWaitFor([&] { return passed > 0; }, 5000);
        to.removeObserver(&observer);
        return arrived;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("no private session bus (run through tests/with-private-bus.sh)");
    }

    void cleanup()
    {
        for (const QString &name : std::as_const(m_connectionNames))
            QDBusConnection::disconnectFromBus(name);
        m_connectionNames.clear();
    }

    void postReachesAnotherConnectionWithItsValues()
    {
        const QDBusConnection busB = connection();
        DistributedNotificationCenter sender(connection());
        DistributedNotificationCenter receiver(busB);
        QVERIFY(sender.isOnBus() && receiver.isOnBus());
        Inbox inbox, own;
        receiver.addObserver(&m_observer, QStringLiteral("CoverlumeAlbumCoverChanged"), inbox.handler());
        sender.addObserver(&m_observer, QString(), own.handler());
        QVERIFY(roundTrip(busB));

        const QByteArray tiff = QByteArray("II*\0\x08\0\0\0", 8) + QByteArray(3000, '\xab');
        const QVariantMap nested{{"depth", 2}, {"inner", QVariantMap{{"deeper", "yes"}}}};
        const QVariantMap userInfo{{"cover", tiff}, {"object", "Coverlume"}, {"count", 42}, {"ratio", 0.25},
                                   {"loved", true}, {"nested", nested},
                                   {"list", QVariantList{1, "two", QVariantMap{{"three", 3}}}}};
        sender.post(QStringLiteral("CoverlumeAlbumCoverChanged"), userInfo);
        QTRY_COMPARE(inbox.received.size(), 1);

        // Every value keeps its type; nested containers arrive as plain maps
        // and lists, not QtDBus wrappers.
        const QVariantMap got = inbox.received.first().userInfo;
        QCOMPARE(inbox.received.first().name, QStringLiteral("CoverlumeAlbumCoverChanged"));
        QCOMPARE(got, userInfo);
        for (auto it = userInfo.cbegin(); it != userInfo.cend(); ++it)
            QCOMPARE(got.value(it.key()).typeId(), it.value().typeId());
        QCOMPARE(got.value("list").toList().at(2).typeId(), QMetaType::QVariantMap);

        // Once removed, the observer hears nothing more.
        receiver.removeObserver(&m_observer);
        sender.post(QStringLiteral("CoverlumeAlbumCoverChanged"));
        QVERIFY(passBarrier(sender, receiver));
        QCOMPARE(inbox.received.size(), 1);
        // The sender hears its own posts once each: anything still on its way
        // would arrive before its own barrier comes back.
        QVERIFY(passBarrier(sender, sender));
        QCOMPARE(own.names(), QStringList(2, QStringLiteral("CoverlumeAlbumCoverChanged")));
        QCOMPARE(own.received.first().userInfo, userInfo);
    }

    // The bus hands over only the names observed, each once: a catch-all
    // observer beside named ones hears every post, and nothing twice.
    void onlyObservedNamesComeFromTheBusOnceEach()
    {
        const QDBusConnection busB = connection();
        DistributedNotificationCenter sender(connection());
        DistributedNotificationCenter receiver(busB);
        Inbox named, all;
        const int other = 0;
        receiver.addObserver(&m_observer, QStringLiteral("test.a"), named.handler());
        QVERIFY(roundTrip(busB));
        sender.post(QStringLiteral("test.b"), {{"cover", QByteArray(1 << 20, 'x')}});
        sender.post(QStringLiteral("test.a"));
        QTRY_COMPARE(named.names(), QStringList{"test.a"});

        receiver.addObserver(&other, QString(), all.handler());
        QVERIFY(roundTrip(busB));
        sender.post(QStringLiteral("test.a"));
        sender.post(QStringLiteral("test.b"));
        QTRY_COMPARE(all.names(), (QStringList{"test.a", "test.b"}));
        receiver.removeObserver(&other);
        QVERIFY(roundTrip(busB));
        sender.post(QStringLiteral("test.a"));
        QTRY_COMPARE(named.names(), (QStringList{"test.a", "test.a", "test.a"}));
        QVERIFY(passBarrier(sender, receiver));
        QCOMPARE(named.received.size(), 3);
        QCOMPARE(all.received.size(), 2);
    }

    void foreignSignalsArePlainAndWhatTheBusCannotCarryIsDropped()
    {
        const QDBusConnection raw = connection(), busB = connection();
        DistributedNotificationCenter sender(connection());
        DistributedNotificationCenter receiver(busB);
        Inbox inbox;
        receiver.addObserver(&m_observer, QString(), inbox.handler());
        QVERIFY(roundTrip(busB));

        // Built by hand, as another program would: a variant holding a variant
        // holding a map, and an array of doubly wrapped variants.
        QDBusArgument pairs;
        pairs.beginArray(QMetaType::fromType<QDBusVariant>());
        pairs << QDBusVariant(QVariant::fromValue(QDBusVariant(QStringLiteral("doubly wrapped"))));
        pairs.endArray();
        const QVariantMap userInfo{{"wrapped", QVariant::fromValue(QDBusVariant(QVariantMap{{"k", 7}}))},
                                   {"pairs", QVariant::fromValue(pairs)}};
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/com/quillmoor/Coverlume/Notifications"),
                                                         QStringLiteral("com.quillmoor.Coverlume.Notifications"),
                                                         QStringLiteral("Posted"));
        signal << QStringLiteral("com.spotify.client.PlaybackStateChanged") << userInfo;
        QVERIFY(raw.send(signal));
        QTRY_COMPARE(inbox.received.size(), 1);

        const QVariantMap got = inbox.received.first().userInfo;
        QCOMPARE(got.value("wrapped").typeId(), QMetaType::QVariantMap);
        QCOMPARE(got.value("wrapped").toMap().value("k").toInt(), 7);
        const QVariantList list = got.value("pairs").toList();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().typeId(), QMetaType::QString);
        QCOMPARE(list.first().toString(), QStringLiteral("doubly wrapped"));
        inbox.received.clear();

        // The receiver, observing every name, hears the oversized one and
        // drops it; the sender, observing none, is not handed it at all.
        QTest::ignoreMessage(QtWarningMsg, "notification with a name of 257 characters dropped");
        sender.post(QString(257, u'n'));
        sender.post(QString(256, u'm'));
        sender.post(QStringLiteral("partly empty"),
                    {{"missing", QVariant()}, {"null", QVariant::fromValue(nullptr)},
                     {"hash", QVariantHash{{"h", 1}}}, {"list", QVariantList{QVariant(), 5}}, {"kept", "yes"}});
        QVERIFY(passBarrier(sender, receiver));
        QCOMPARE(inbox.names(), (QStringList{QString(256, u'm'), "partly empty"}));
        const QVariantMap partly = inbox.received.last().userInfo;
        QCOMPARE(partly.keys(), (QStringList{"hash", "kept", "list"}));
        QCOMPARE(partly.value("hash").toMap().value("h").toInt(), 1);
        QCOMPARE(partly.value("list").toList(), QVariantList{5});

        // The size budget is checked while converting; a small one shows where it bites.
        const QVariantMap big{{"a", QByteArray(100, 'x')}, {"b", QVariantList{QString(100, u'y')}}};
        bool within = false;
        QCOMPARE(DBusValue::plainMap(big, 1000, &within), big);
        QVERIFY(within);
        QVERIFY(DBusValue::plainMap(big, 150, &within).isEmpty());
        QVERIFY(!within);
    }

    void withoutASessionBusNotificationsStayInThisProcess()
    {
        {
            DistributedNotificationCenter center;
            QVERIFY(center.isOnBus());
        }
        // With no address and no user bus socket there is nothing to connect
        // to, and nothing may be launched to provide one.
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

        Inbox inbox;
        center.addObserver(&m_observer, QStringLiteral("CoverlumeAlbumCoverChanged"), inbox.handler());
        center.post(QStringLiteral("CoverlumeAlbumCoverChanged"), {{"cover", QByteArray("tiff")}});
        // Delivered at once, and nothing more is queued to come.
        QCOMPARE(inbox.received.size(), 1);
        QCOMPARE(inbox.received.first().userInfo.value("cover").toByteArray(), QByteArray("tiff"));
        QCoreApplication::processEvents();
        QCOMPARE(inbox.received.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDistributedNotificationCenter)
#include "tst_distributednotificationcenter.moc"
