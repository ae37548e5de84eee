// The bridge against MPRIS players of the tests' own on the private bus:
// the Spotify forms, several players for one name, the settings, and
// players that behave badly.
#include "support/Pixels.h"
#include "FakeMprisPlayer.h"

#include "platform/DefaultsStore.h"
#include "platform/NotificationCenter.h"
#include "players/mpris/ArtFetcher.h"
#include "players/mpris/MprisBridge.h"
#include "players/mpris/MprisPlayer.h"

#include <QBuffer>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QString kP = QStringLiteral("org.mpris.MediaPlayer2.");

QString script(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QByteArray pngBytes(QColor colour)
{
    return Pixels::pngBytes(QSize(16, 16), colour);
}

QVariantMap metadata(const QString &title, const QString &artist, const QString &album,
                     const QVariant &length = QVariant::fromValue<qlonglong>(200'000'000),
                     const QString &art = QString())
{
    QVariantMap m{{QStringLiteral("xesam:title"), title},
                  {QStringLiteral("xesam:artist"), QStringList{artist}},
                  {QStringLiteral("xesam:album"), album},
                  {QStringLiteral("mpris:length"), length}};
    if (!art.isEmpty())
        m.insert(QStringLiteral("mpris:artUrl"), art);
    return m;
}

QVariantMap playing(const QVariantMap &meta, const QString &status = QStringLiteral("Playing"))
{
    return {{QStringLiteral("PlaybackStatus"), status},
            {QStringLiteral("Metadata"), meta},
            {QStringLiteral("Position"), QVariant::fromValue<qlonglong>(0)},
            {QStringLiteral("Rate"), 1.0}};
}

// A loopback web server answering each path with fixed bytes, 404 otherwise.
class StandInServer : public QTcpServer
{
public:
    QHash<QString, QByteArray> pages;
    QStringList asked;

    StandInServer()
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QList<QByteArray> line = socket->readLine().split(' ');
                    const QString path = QString::fromLatin1(line.value(1));
                    asked << path;
                    const bool found = pages.contains(path);
                    const QByteArray body = pages.value(path, QByteArrayLiteral("not found"));
                    socket->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n")
                                  + QByteArray("Content-Length: ") + QByteArray::number(body.size())
                                  + "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
};

} // namespace

class TestMprisBridge : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DefaultsStore> m_defaults;
    NotificationCenter m_center;
    QStringList m_posted;

    std::unique_ptr<MprisBridge> makeBridge()
    {
        auto bridge = std::make_unique<MprisBridge>(*m_defaults, &m_center);
        return bridge;
    }

private Q_SLOTS:
    void init()
    {
        m_defaults = std::make_unique<DefaultsStore>(m_dir.path());
        m_posted.clear();
        m_center.removeObserver(this);
        m_center.addObserver(this, QString(), [this](const Notification &n) { m_posted << n.name; });
    }

    void spotifyAnswersInItsOwnForms()
    {
        StandInServer artworkHost, imageHost;
        imageHost.pages.insert(QStringLiteral("/image/ab12"), pngBytes(Qt::green));
        m_defaults->set(QStringLiteral("spotifyArtworkHost"), artworkHost.base());
        m_defaults->set(QStringLiteral("spotifyImageHost"), imageHost.base());

        QVariantMap meta = metadata(QStringLiteral("Song"), QStringLiteral("Band"), QStringLiteral("LP"),
                                    QVariant::fromValue<qulonglong>(215'000'000),
                                    QStringLiteral("https://open.spotify.com/image/ab12"));
        meta.insert(QStringLiteral("mpris:trackid"), QStringLiteral("spotify:track:xyz"));
        meta.insert(QStringLiteral("xesam:autoRating"), 0.42);
        FakeMprisPlayer spotify(QStringLiteral("spotify"), QStringLiteral("Spotify"), playing(meta));
        FakeMprisPlayer daemon(QStringLiteral("spotifyd"), QStringLiteral("spotifyd"),
                               playing(metadata(QStringLiteral("Other"), QString(), QString()), QStringLiteral("Paused")));
        auto bridge = makeBridge();
        // The display finds its player itself at start-up: nothing is posted.
        QVERIFY2(m_posted.isEmpty(), qPrintable(m_posted.join(u',')));

        QCOMPARE(bridge->standIn(QStringLiteral("Spotify")), kP + "spotify");
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "spotifyd"); // not Spotify
        QCOMPARE(bridge->execute(script(u"tell app \"Spotify\"\rplayer state \r end tell")).stringValue(),
                 QStringLiteral("kPSP"));
        QCOMPARE(bridge->execute(script(u"tell application \"Spotify\"\rduration of current track\rend tell"))
                     .int32Value(), 215000);
        QCOMPARE(bridge->execute(script(u"tell app \"Spotify\"\rartist of current track \r end tell")).stringValue(),
                 QStringLiteral("Band"));
        QCOMPARE(bridge->execute(script(u"tell application \"Spotify\"\rpopularity of current track\rend tell"))
                     .int32Value(), 42);
        QCOMPARE(bridge->execute(script(u"tell application \"Spotify\"\rspotify url of current track\rend tell"))
                     .stringValue(), QStringLiteral("spotify:track:xyz"));
        const ScriptResult processes =
            bridge->execute(script(u"tell application \"System Events\"\rname of every process\rend tell"));
        QCOMPARE(processes.numberOfItems(), 2);
        QCOMPARE(processes.descriptorAtIndex(1).stringValue(), QStringLiteral("Spotify"));

        // The announced address answers 404; the image host serves it.
        const QString artScript = script(u"tell app \"Spotify\"\rartwork of current track \r end tell");
        QTRY_COMPARE_WITH_TIMEOUT(bridge->execute(artScript).data(), pngBytes(Qt::green), 5000);
        QCOMPARE(artworkHost.asked, QStringList{QStringLiteral("/image/ab12")});
        QCOMPARE(bridge->execute(script(u"tell application \"Spotify\"\rartwork url of current track\rend tell"))
                     .stringValue(), imageHost.base() + QStringLiteral("/image/ab12"));

        // Position stuck at 0 while playing: the extrapolated value wins.
        const QString position = script(u"tell application \"Spotify\"\rplayer position\rend tell");
        QTRY_VERIFY_WITH_TIMEOUT(bridge->execute(position).int32Value() >= 2, 4000);

        // Commands reach the player; ratings are refused.
        bridge->execute(script(u"tell application \"Spotify\"\rnext track\rend tell"));
        QTRY_COMPARE_WITH_TIMEOUT(spotify.calls(), QStringList{QStringLiteral("Next")}, 2000);

        // A pause alone (no metadata in the signal) reaches the display
        // once, with Spotify's paused code.
        m_posted.clear();
        const QString state = script(u"tell app \"Spotify\"\rplayer state \r end tell");
        spotify.setProperties({{QStringLiteral("PlaybackStatus"), QStringLiteral("Paused")}});
        QTRY_COMPARE_WITH_TIMEOUT(m_posted, QStringList{QStringLiteral("com.spotify.client.PlaybackStateChanged")}, 2000);
        QCOMPARE(bridge->execute(state).stringValue(), QStringLiteral("kPSp"));
        QTest::qWait(MprisPlayer::maxSettleMs + 200);
        QCOMPARE(m_posted.size(), 1);
        // Back to playing: "kPSP", never "playing".
        spotify.setProperties({{QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}});
        QTRY_COMPARE_WITH_TIMEOUT(m_posted.size(), 2, 2000);
        QCOMPARE(bridge->execute(state).stringValue(), QStringLiteral("kPSP"));
    }

    void severalPlayersForOneNameTakeTurnsStickily()
    {
        FakeMprisPlayer a(QStringLiteral("alpha"), QStringLiteral("Alpha"),
                          playing(metadata(QStringLiteral("A1"), QStringLiteral("x"), QStringLiteral("y"))));
        FakeMprisPlayer b(QStringLiteral("beta"), QStringLiteral("Beta"),
                          playing(metadata(QStringLiteral("B1"), QStringLiteral("x"), QStringLiteral("y")),
                                  QStringLiteral("Paused")));
        FakeMprisPlayer idle(QStringLiteral("idle"), QStringLiteral("Idle"),
                             {{QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")}});
        auto bridge = makeBridge();
        const QString name = script(u"tell app \"Music\"\rname of current track \r end tell");
        const QString state = script(u"tell app \"Music\"\rplayer state \r end tell");
        const QString music = QStringLiteral("com.apple.Music.playerInfo");
        auto signalsFrom = [&bridge](const QString &busName) {
            for (const MprisBridge::PlayerInfo &info : bridge->players()) {
                if (info.busName == busName)
                    return info.signalsSeen;
            }
            return -1;
        };
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "alpha");
        QCOMPARE(bridge->execute(name).stringValue(), QStringLiteral("A1"));

        // Both play: the followed one stays, and the display is not disturbed.
        b.setProperties({{QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}});
        QTRY_COMPARE_WITH_TIMEOUT(signalsFrom(kP + "beta"), 1, 2000);
        QTest::qWait(MprisPlayer::maxSettleMs + 200);
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "alpha");
        QVERIFY2(m_posted.isEmpty(), qPrintable(m_posted.join(u',')));

        // A pauses while B plays: B takes over, told once.
        a.setProperties({{QStringLiteral("PlaybackStatus"), QStringLiteral("Paused")}});
        QTRY_COMPARE_WITH_TIMEOUT(bridge->standIn(QStringLiteral("Music")), kP + "beta", 2000);
        QCOMPARE(bridge->execute(name).stringValue(), QStringLiteral("B1"));
        QCOMPARE(bridge->execute(state).stringValue(), QStringLiteral("kPSP"));
        QTest::qWait(MprisPlayer::maxSettleMs + 200);
        QCOMPARE(m_posted, QStringList{music});

        // B pauses too: nothing plays, B played last and stays; its pause posts.
        b.setProperties({{QStringLiteral("PlaybackStatus"), QStringLiteral("Paused")}});
        QTRY_COMPARE_WITH_TIMEOUT(m_posted.size(), 2, 2000);
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "beta");
        QCOMPARE(bridge->execute(state).stringValue(), QStringLiteral("kPSp"));

        // B quits: A, paused with a track, takes over and the display is told.
        b.vanish();
        QTRY_COMPARE_WITH_TIMEOUT(bridge->standIn(QStringLiteral("Music")), kP + "alpha", 2000);
        QCOMPARE(m_posted.size(), 3);
        QCOMPARE(m_posted.last(), music);
        QCOMPARE(bridge->execute(name).stringValue(), QStringLiteral("A1"));
    }

    void settingsMapAndIgnorePlayers()
    {
        m_defaults->set(QStringLiteral("playerMapping"),
                        QVariantMap{{QStringLiteral("Swinsian"), QStringLiteral("vlc")}});
        m_defaults->set(QStringLiteral("ignoredPlayers"), QVariantList{QStringLiteral("chromium")});
        QVariantMap meta = metadata(QStringLiteral("V"), QStringLiteral("x"), QStringLiteral("y"));
        meta.insert(QStringLiteral("xesam:userRating"), 0.8);
        FakeMprisPlayer vlc(QStringLiteral("vlc"), QStringLiteral("VLC media player"), playing(meta));
        FakeMprisPlayer browser(QStringLiteral("chromium.instance575"), QStringLiteral("Chromium"),
                                playing(metadata(QStringLiteral("Video"), QString(), QString())));
        FakeMprisPlayer proxy(QStringLiteral("playerctld"), QStringLiteral("playerctld"), playing(meta));
        auto bridge = makeBridge();

        QCOMPARE(bridge->execute(script(u"tell app \"Swinsian\"\rplayer state \r end tell")).stringValue(),
                 QStringLiteral("kPSP"));
        QCOMPARE(bridge->execute(script(u"tell app \"Swinsian\"\rrating of current track\r end tell")).int32Value(), 4);
        QVERIFY(bridge->standIn(QStringLiteral("Music")).isEmpty());
        const QString listing = MprisBridge::listing(bridge->players());
        QVERIFY2(listing.contains(kP + "chromium.instance575\tChromium\tignored"), qPrintable(listing));
        QVERIFY2(listing.contains(kP + "vlc\tVLC media player\tas Swinsian"), qPrintable(listing));
        QVERIFY2(listing.contains(kP + "playerctld\tplayerctld\tskipped"), qPrintable(listing));
    }

    void answersFollowEachPlayersForms()
    {
        m_defaults->set(QStringLiteral("playerMapping"),
                        QVariantMap{{QStringLiteral("Radium"), QStringLiteral("r")},
                                    {QStringLiteral("Hermes"), QStringLiteral("h")},
                                    {QStringLiteral("Airfoil Satellite"), QStringLiteral("a")}});
        QTemporaryDir dir;
        const QString cover = dir.filePath(QStringLiteral("cover"));
        QFile file(cover);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(pngBytes(Qt::blue));
        file.close();
        QVariantMap meta = metadata(QStringLiteral("T"), QStringLiteral("Art"), QStringLiteral("Al"),
                                    200'000'000.0, QUrl::fromLocalFile(cover).toString());
        meta.insert(QStringLiteral("xesam:userRating"), 0.6);
        FakeMprisPlayer radium(QStringLiteral("r"), QString(), playing(meta));
        FakeMprisPlayer hermes(QStringLiteral("h"), QString(), playing(meta));
        FakeMprisPlayer airfoil(QStringLiteral("a"), QString(), playing(meta, QStringLiteral("Paused")));
        auto bridge = makeBridge();

        QCOMPARE(bridge->execute(script(u"tell app \"Radium\"\rtrack name \r end tell")).stringValue(),
                 QStringLiteral("Art - T"));
        QCOMPARE(bridge->execute(script(u"tell app \"Radium\"\rplaying \r end tell")).booleanValue(), true);
        QCOMPARE(bridge->execute(script(u"tell app \"Hermes\"\rplayback state \r end tell")).stringValue(),
                 QStringLiteral("play"));
        QCOMPARE(bridge->execute(script(u"tell application \"Hermes\"\rcurrent song duration\rend tell")).int32Value(), 200);
        QCOMPARE(bridge->execute(script(u"tell app \"Hermes\"\rrating of current song\r end tell")).int32Value(), 1);
        // Hermes' artwork is the address of a kept copy of the bytes.
        const QString kept = bridge->execute(script(u"tell application \"Hermes\"\rartwork URL of current song\r end tell"))
                                 .stringValue();
        QVERIFY(kept.startsWith(QLatin1String("file://")));
        QFile keptFile(QUrl(kept).toLocalFile());
        QVERIFY(keptFile.open(QIODevice::ReadOnly));
        QCOMPARE(keptFile.readAll(), pngBytes(Qt::blue));
        // Airfoil's status is its title only while playing.
        QCOMPARE(bridge->execute(script(u"tell application \"Airfoil Satellite\"\rtrack title\r end tell")).stringValue(),
                 QString());
        QVERIFY(!bridge->execute(script(u"tell application \"Airfoil Satellite\"\rtrack title\r end tell")).isNone());
        QCOMPARE(bridge->execute(script(u"tell application \"Airfoil Satellite\"\rartwork\r end tell")).data(),
                 pngBytes(Qt::blue));

        QString error;
        // Unknown texts, rating commands, later artworks: no result, an error.
        for (const QString &text : {QStringLiteral("tell app \"Music\" to play"),
                                    script(u"tell app \"Hermes\"\rthumbs up\r end tell"),
                                    script(u"tell app \"Music\"\rdata of artwork 2 of current track \r end tell")}) {
            error.clear();
            QVERIFY(bridge->execute(text, &error).isNone());
            QVERIFY2(!error.isEmpty(), qPrintable(text));
        }
    }

    void badPlayersCannotStallOrCrashTheBridge()
    {
        QTemporaryDir dir;
        const QString notImage = dir.filePath(QStringLiteral("cover.png"));
        QFile file(notImage);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is not a picture at all");
        file.close();
        StandInServer web;
        web.pages.insert(QStringLiteral("/big"), QByteArray(ArtFetcher::maxBytes + 1024, 'x'));

        FakeMprisPlayer hung(QStringLiteral("hung"), QStringLiteral("Hung"), playing(metadata(QStringLiteral("H"), {}, {})));
        hung.hang();
        QVariantMap wrong{{QStringLiteral("xesam:title"), QStringLiteral("W")},
                          {QStringLiteral("xesam:artist"), 17},
                          {QStringLiteral("mpris:length"), QStringLiteral("long")},
                          {QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(notImage).toString()}};
        FakeMprisPlayer odd(QStringLiteral("odd"), QStringLiteral("Odd"),
                            {{QStringLiteral("PlaybackStatus"), 3}, {QStringLiteral("Metadata"), wrong},
                             {QStringLiteral("Position"), QStringLiteral("soon")}});

        QElapsedTimer timer;
        timer.start();
        auto bridge = makeBridge();
        QVERIFY2(timer.elapsed() < 2000, "a hung player held the start up");
        // The odd player counts as running (it has a track), stopped.
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "odd");
        QCOMPARE(bridge->execute(script(u"tell app \"Music\"\rname of current track \r end tell")).stringValue(),
                 QStringLiteral("W"));
        QCOMPARE(bridge->execute(script(u"tell app \"Music\"\rartist of current track \r end tell")).stringValue(),
                 QString());
        QCOMPARE(bridge->execute(script(u"tell application \"Music\"\rduration of current track\rend tell")).int32Value(), 0);
        QVERIFY(bridge->execute(script(u"tell app \"Music\"\rdata of front artwork of current track \r end tell")).isNone());

        // Art larger than the cap is refused.
        odd.setProperties({{QStringLiteral("Metadata"),
                            metadata(QStringLiteral("W2"), {}, {}, 1, web.base() + QStringLiteral("/big"))},
                           {QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}});
        QTRY_COMPARE_WITH_TIMEOUT(web.asked.size(), 1, 3000);
        QTest::qWait(300);
        QVERIFY(bridge->execute(script(u"tell app \"Music\"\rdata of front artwork of current track \r end tell")).isNone());

        // Metadata re-sent every 100 ms without change: each signal arrives,
        // and there is one post for the change above only.
        QTRY_VERIFY_WITH_TIMEOUT(!m_posted.isEmpty(), 2000);
        QTest::qWait(MprisPlayer::maxSettleMs + 100);
        const int posts = m_posted.size();
        const auto signalsFromOdd = [&bridge] {
            const QList<MprisBridge::PlayerInfo> infos = bridge->players();
            const auto it = std::find_if(infos.cbegin(), infos.cend(), [](const MprisBridge::PlayerInfo &info) {
                return info.busName == kP + "odd";
            });
            return it == infos.cend() ? -1 : it->signalsSeen;
        };
        const int before = signalsFromOdd();
        QVERIFY(before >= 1);
        for (int i = 0; i < 8; ++i) {
            odd.setProperties({{QStringLiteral("Metadata"),
                                metadata(QStringLiteral("W2"), {}, {}, 1, web.base() + QStringLiteral("/big"))}});
            QTest::qWait(100);
        }
        QTRY_COMPARE_WITH_TIMEOUT(signalsFromOdd(), before + 8, 2000);
        QTest::qWait(MprisPlayer::maxSettleMs + 100);
        QCOMPARE(m_posted.size(), posts);

        // Vanishing with a poll out.
        bridge->execute(script(u"tell application \"Music\"\rplayer position\rend tell"));
        odd.vanish();
        QTRY_VERIFY_WITH_TIMEOUT(bridge->standIn(QStringLiteral("Music")).isEmpty(), 2000);
        QVERIFY(bridge->execute(script(u"tell app \"Music\"\rplayer state \r end tell")).isNone());
    }

    void seeksAndNewTracksMoveThePositionAtOnce()
    {
        FakeMprisPlayer p(QStringLiteral("seeker"), QStringLiteral("Seeker"),
                          playing(metadata(QStringLiteral("S"), {}, {})));
        p.setQuietly(QStringLiteral("Position"), QVariant::fromValue<qlonglong>(100'000'000));
        auto bridge = makeBridge();
        const QString position = script(u"tell application \"Music\"\rplayer position\rend tell");
        QCOMPARE(bridge->execute(position).int32Value(), 100);
        // A reading asked for before the seek and answered after it is stale.
        p.holdPositionReads();
        QTRY_VERIFY_WITH_TIMEOUT(p.heldPositionReads() > 0, 3000);
        p.seeked(5'000'000);
        QTRY_COMPARE_WITH_TIMEOUT(bridge->execute(position).int32Value(), 5, 2000);
        p.releasePositionReads();
        QTest::qWait(200);
        QCOMPARE(bridge->execute(position).int32Value(), 5);
        // A poll answering 0 is not a new track.
        p.setQuietly(QStringLiteral("Position"), QVariant::fromValue<qlonglong>(0));
        QTest::qWait(1300);
        QVERIFY(bridge->execute(position).int32Value() >= 5);
        // A new track starts from its own beginning.
        p.setProperties({{QStringLiteral("Metadata"), metadata(QStringLiteral("S2"), {}, {})}});
        QTRY_VERIFY_WITH_TIMEOUT(bridge->execute(position).int32Value() <= 1, 2000);
    }
};

QTEST_GUILESS_MAIN(TestMprisBridge)
#include "tst_mprisbridge.moc"
