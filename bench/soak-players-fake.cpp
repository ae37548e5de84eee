// The players soak's player (bench/soak-players.sh): an MPRIS player on the
// session bus (the soak's private one) that, CYCLES times, appears with a new
// track, waits until the display reads its properties (it follows the player
// again), stops answering for a random while, and vanishes. Prints one line
// per cycle and a summary; exit 1 when the display failed to follow it once.
//
//   soak_players_fake CYCLES SEED [LONGEST_HANG_MS]   (default 1500; 0: never hangs,
//                                                       the control run)

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>
#include <QVariantMap>
#include <algorithm>
#include <cstdio>

namespace {

const QString busName = QStringLiteral("org.mpris.MediaPlayer2.soakplayer");
const QString path = QStringLiteral("/org/mpris/MediaPlayer2");

// Answers Get and GetAll from two maps and every method with an empty reply;
// counts the property reads, and answers nothing while hanging.
class Player final : public QDBusVirtualObject
{
public:
    QVariantMap root{{QStringLiteral("Identity"), QStringLiteral("Soak Player")},
                     {QStringLiteral("DesktopEntry"), QStringLiteral("soakplayer")}};
    QVariantMap player;
    int reads = 0;
    bool hanging = false;

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (hanging)
            return true;
        const QList<QVariant> args = message.arguments();
        if (message.interface() == u"org.freedesktop.DBus.Properties") {
            const bool isRoot = args.value(0).toString() == u"org.mpris.MediaPlayer2";
            const QVariantMap &props = isRoot ? root : player;
            if (!isRoot)
                ++reads;
            if (message.member() == u"GetAll") {
                connection.send(message.createReply(QVariant(props)));
            } else if (message.member() == u"Get" && props.contains(args.value(1).toString())) {
                connection.send(message.createReply(QVariant::fromValue(QDBusVariant(props.value(args.value(1).toString())))));
            } else {
                connection.send(message.createErrorReply(QDBusError::InvalidArgs, args.value(1).toString()));
            }
            return true;
        }
        connection.send(message.createReply());
        return true;
    }
};

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: soak_players_fake CYCLES SEED [LONGEST_HANG_MS]\n");
        return 2;
    }
    const int cycles = QByteArray(argv[1]).toInt();
    const int longestHangMs = argc == 4 ? std::max(0, QByteArray(argv[3]).toInt()) : 1500;
    QRandomGenerator random(QByteArray(argv[2]).toUInt());
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    int followed = 0;
    qint64 slowestFollowMs = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        Player player;
        player.player = {
            {QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")},
            {QStringLiteral("Rate"), 1.0},
            {QStringLiteral("Position"), QVariant::fromValue<qlonglong>(1'000'000)},
            {QStringLiteral("CanControl"), true},
            {QStringLiteral("Metadata"),
             QVariantMap{{QStringLiteral("mpris:trackid"),
                          QVariant::fromValue(QDBusObjectPath(QStringLiteral("/soak/track/%1").arg(cycle)))},
                         {QStringLiteral("xesam:title"), QStringLiteral("Soak %1").arg(cycle)},
                         {QStringLiteral("xesam:artist"), QStringList{QStringLiteral("The Soakers")}},
                         {QStringLiteral("mpris:length"), QVariant::fromValue<qlonglong>(180'000'000)}}}};
        const QString connectionName = QStringLiteral("soak-%1").arg(cycle);
        {
            QDBusConnection connection = QDBusConnection::connectToBus(address, connectionName);
            connection.registerVirtualObject(path, &player, QDBusConnection::SingleNode);
            if (!connection.registerService(busName)) {
                std::fprintf(stderr, "cannot own %s\n", qPrintable(busName));
                return 2;
            }
            // The display follows the player again: it reads its properties.
            QElapsedTimer timer;
            timer.start();
            while (player.reads == 0 && timer.elapsed() < 10'000)
                spin(10);
            const bool ok = player.reads > 0;
            const qint64 followMs = timer.elapsed();
            followed += ok;
            slowestFollowMs = std::max(slowestFollowMs, followMs);
            spin(int(random.bounded(50, 300)));
            // Hangs: the display's calls go unanswered for a while.
            player.hanging = longestHangMs > 0;
            const int hangMs = longestHangMs > 0 ? int(random.bounded(std::min(100, longestHangMs), longestHangMs + 1))
                                                 : int(random.bounded(100, 1500));
            spin(hangMs);
            std::printf("cycle %d followed %s in %lld ms, hung %d ms\n", cycle, ok ? "yes" : "NO",
                        static_cast<long long>(followMs), hangMs);
            std::fflush(stdout);
            // Vanishes, mid-hang.
            connection.unregisterObject(path);
            connection.unregisterService(busName);
        }
        QDBusConnection::disconnectFromBus(connectionName);
        spin(int(random.bounded(20, 200)));
    }
    std::printf("cycles %d followed %d slowest-follow-ms %lld\n", cycles, followed,
                static_cast<long long>(slowestFollowMs));
    return followed == cycles ? 0 : 1;
}
