// The bridge against MPRIS players of the tests' own on the private bus:
// the Spotify forms, several players for one name, the settings, and
// players that behave badly.
#include "support/NetworkStandIn.h"
#include "support/Pixels.h"
#include "support/ScriptTexts.h"
#include "support/TestFiles.h"
#include "support/TimeFactor.h"
#include "FakeMprisPlayer.h"

#include "platform/DefaultsStore.h"
#include "platform/NotificationCenter.h"
#include "players/mpris/ArtFetcher.h"
#include "players/mpris/MprisBridge.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using Op = ScriptVocabulary::Operation;

namespace {

const QString kP = QStringLiteral("org.mpris.MediaPlayer2.");

QVariantMap metadata(const QString &title, const QString &artist = {}, const QString &album = {},
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

QVariantMap status(const char *word)
{
    return {{QStringLiteral("PlaybackStatus"), QString::fromLatin1(word)}};
}

// A loopback web server of its own answering the given paths.
std::unique_ptr<NetworkStandIn> webServer(const QString &address, const QHash<QByteArray, QByteArray> &pages)
{
    auto server = std::make_unique<NetworkStandIn>([pages](const NetworkStandIn::Request &request) {
        return pages.contains(request.target) ? NetworkStandIn::ok(pages.value(request.target), "image/png")
                                              : NetworkStandIn::status(404);
    });
    return server->listen(address, 45071) ? std::move(server) : nullptr;
}

// The listing's rows split into their columns; fails the test when a column
// does not start at the same place on every line.
QList<QStringList> listingRows(const QString &listing)
{
    static const QRegularExpression gap(QStringLiteral("(?<=\\S)\\s{3,}(?=\\S)"));
    QList<QStringList> rows;
    QList<qsizetype> starts;
    for (const QString &line : listing.split(u'\n', Qt::SkipEmptyParts)) {
        QList<qsizetype> lineStarts{0};
        for (auto it = gap.globalMatch(line); it.hasNext();)
            lineStarts << it.next().capturedEnd();
        if (starts.isEmpty())
            starts = lineStarts;
        if (lineStarts != starts)
            return {{QStringLiteral("misaligned: ") + line}};
        QStringList columns;
        for (qsizetype c = 0; c < lineStarts.size(); ++c)
            columns << line.mid(lineStarts[c], c + 1 < lineStarts.size() ? lineStarts[c + 1] - lineStarts[c] : -1).trimmed();
        rows << columns;
    }
    return rows;
}

MprisPlayer *playerOn(QObject *bridge, const QString &busName)
{
    for (MprisPlayer *player : bridge->findChildren<MprisPlayer *>()) {
        if (player->busName() == busName)
            return player;
    }
    return nullptr;
}

} // namespace

class TestMprisBridge : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DefaultsStore> m_defaults;
    NotificationCenter m_center;
    QStringList m_posted;

    std::unique_ptr<MprisBridge> makeBridge() { return std::make_unique<MprisBridge>(*m_defaults, &m_center); }

    static QString run(MprisBridge &bridge, const char *player, Op op, int argument = 0, QString *error = nullptr)
    {
        return bridge.execute(scriptText(QString::fromLatin1(player), op, argument), error).stringValue();
    }
    static int number(MprisBridge &bridge, const char *player, Op op)
    {
        return bridge.execute(scriptText(QString::fromLatin1(player), op)).int32Value();
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
        const auto artworkHost = webServer(QStringLiteral("127.0.0.71"), {});
        const auto imageHost = webServer(QStringLiteral("127.0.0.72"), {{"/image/ab12", Pixels::pngBytes(QSize(16, 16), Qt::green)}});
        QVERIFY(artworkHost && imageHost);
        m_defaults->set(QStringLiteral("spotifyArtworkHost"), QStringLiteral("http://127.0.0.71:45071"));
        m_defaults->set(QStringLiteral("spotifyImageHost"), QStringLiteral("http://127.0.0.72:45071"));

        QVariantMap meta = metadata(QStringLiteral("Song"), QStringLiteral("Band"), QStringLiteral("LP"),
                                    QVariant::fromValue<qulonglong>(215'000'000),
                                    QStringLiteral("https://open.spotify.com/image/ab12"));
        meta.insert(QStringLiteral("mpris:trackid"), QStringLiteral("spotify:track:xyz"));
        meta.insert(QStringLiteral("xesam:autoRating"), 0.42);
        FakeMprisPlayer spotify(QStringLiteral("spotify"), QStringLiteral("Spotify"), playing(meta));
        FakeMprisPlayer daemon(QStringLiteral("spotifyd"), QStringLiteral("spotifyd"),
                               playing(metadata(QStringLiteral("Other")), QStringLiteral("Paused")));
        auto bridge = makeBridge();
        // The display finds its player itself at start-up: nothing is posted.
        QVERIFY2(m_posted.isEmpty(), qPrintable(m_posted.join(u',')));

        QCOMPARE(bridge->standIn(QStringLiteral("Spotify")), kP + "spotify");
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "spotifyd"); // not Spotify
        QCOMPARE(run(*bridge, "Spotify", Op::Status), QStringLiteral("kPSP"));
        QCOMPARE(number(*bridge, "Spotify", Op::Duration), 215000);
        QCOMPARE(run(*bridge, "Spotify", Op::Artist), QStringLiteral("Band"));
        QCOMPARE(number(*bridge, "Spotify", Op::Popularity), 42);
        QCOMPARE(run(*bridge, "Spotify", Op::Url), QStringLiteral("spotify:track:xyz"));
        const ScriptResult processes = bridge->execute(scriptText(QStringLiteral("System Events"), Op::ProcessList));
        QCOMPARE(processes.numberOfItems(), 2);
        QCOMPARE(processes.descriptorAtIndex(1).stringValue(), QStringLiteral("Spotify"));

        // The announced address answers 404; the image host serves it.
        const QString artScript = scriptText(QStringLiteral("Spotify"), Op::Artwork, 1);
        QTRY_COMPARE_WITH_TIMEOUT(bridge->execute(artScript).data(), Pixels::pngBytes(QSize(16, 16), Qt::green), TimeFactor::ms(5000));
        QCOMPARE(artworkHost->requests().size(), 1);
        QCOMPARE(artworkHost->requests().first().target, QByteArray("/image/ab12"));
        QCOMPARE(run(*bridge, "Spotify", Op::ArtworkUrl), QStringLiteral("http://127.0.0.72:45071/image/ab12"));

        // Position stuck at 0 while playing: three seconds on, a poll
        // answering 0 again loses to the extrapolated value.
        MprisPlayer::skipTimeForTesting(3000);
        playerOn(bridge.get(), kP + "spotify")->pollPosition();
        QVERIFY(spotify.drained(bridge.get()));
        QVERIFY(number(*bridge, "Spotify", Op::Position) >= 3);

        // Commands reach the player.
        run(*bridge, "Spotify", Op::Next);
        QTRY_COMPARE_WITH_TIMEOUT(spotify.calls(), QStringList{QStringLiteral("Next")}, TimeFactor::ms(2000));

        // A pause alone (no metadata in the signal) reaches the display
        // once, with Spotify's paused code; back to playing, "kPSP".
        m_posted.clear();
        spotify.setProperties(status("Paused"));
        QVERIFY(spotify.drained(bridge.get()));
        QCOMPARE(m_posted, QStringList{QStringLiteral("com.spotify.client.PlaybackStateChanged")});
        QCOMPARE(run(*bridge, "Spotify", Op::Status), QStringLiteral("kPSp"));
        spotify.setProperties(status("Playing"));
        QVERIFY(spotify.drained(bridge.get()));
        QCOMPARE(m_posted.size(), 2);
        QCOMPARE(run(*bridge, "Spotify", Op::Status), QStringLiteral("kPSP"));
    }

    void severalPlayersForOneNameTakeTurnsStickily()
    {
        FakeMprisPlayer a(QStringLiteral("alpha"), QStringLiteral("Alpha"), playing(metadata(QStringLiteral("A1"))));
        FakeMprisPlayer b(QStringLiteral("beta"), QStringLiteral("Beta"),
                          playing(metadata(QStringLiteral("B1")), QStringLiteral("Paused")));
        FakeMprisPlayer idle(QStringLiteral("idle"), QStringLiteral("Idle"), status("Stopped"));
        auto bridge = makeBridge();
        const QString music = QStringLiteral("com.apple.Music.playerInfo");
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "alpha");
        QCOMPARE(run(*bridge, "Music", Op::Name), QStringLiteral("A1"));

        // Both play: the followed one stays, and the display is not disturbed.
        b.setProperties(status("Playing"));
        QVERIFY(b.drained(bridge.get()));
        QCOMPARE(playerOn(bridge.get(), kP + "beta")->signalsSeen(), 1);
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "alpha");
        QVERIFY2(m_posted.isEmpty(), qPrintable(m_posted.join(u',')));

        // A pauses while B plays: B takes over, told once.
        a.setProperties(status("Paused"));
        QVERIFY(a.drained(bridge.get()));
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "beta");
        QCOMPARE(run(*bridge, "Music", Op::Name), QStringLiteral("B1"));
        QCOMPARE(run(*bridge, "Music", Op::Status), QStringLiteral("kPSP"));
        QCOMPARE(m_posted, QStringList{music});

        // B pauses too: nothing plays, B played last and stays; its pause posts.
        b.setProperties(status("Paused"));
        QVERIFY(b.drained(bridge.get()));
        QCOMPARE(m_posted.size(), 2);
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "beta");
        QCOMPARE(run(*bridge, "Music", Op::Status), QStringLiteral("kPSp"));

        // B quits: A, paused with a track, takes over and the display is told.
        b.vanish();
        QTRY_COMPARE_WITH_TIMEOUT(bridge->standIn(QStringLiteral("Music")), kP + "alpha", TimeFactor::ms(2000));
        QCOMPARE(m_posted, (QStringList{music, music, music}));
        QCOMPARE(run(*bridge, "Music", Op::Name), QStringLiteral("A1"));
    }

    void settingsMapAndIgnorePlayers()
    {
        m_defaults->set(QStringLiteral("playerMapping"), QVariantMap{{QStringLiteral("Swinsian"), QStringLiteral("vlc")}});
        m_defaults->set(QStringLiteral("ignoredPlayers"), QVariantList{QStringLiteral("chromium")});
        QVariantMap meta = metadata(QStringLiteral("V"));
        FakeMprisPlayer vlc(QStringLiteral("vlc"), QStringLiteral("VLC media player"), playing(meta));
        FakeMprisPlayer browser(QStringLiteral("chromium.instance575"), QStringLiteral("Chromium"),
                                playing(metadata(QStringLiteral("Video"))));
        FakeMprisPlayer proxy(QStringLiteral("playerctld"), QStringLiteral("playerctld"), playing(meta));
        auto bridge = makeBridge();

        QCOMPARE(run(*bridge, "Swinsian", Op::Status), QStringLiteral("kPSP"));
        QVERIFY(bridge->standIn(QStringLiteral("Music")).isEmpty());
        const QList<QStringList> expected{
            {kP + "chromium.instance575", "Chromium", "playing", "-", "ignored by ignoredPlayers"},
            {kP + "playerctld", "playerctld", "playing", "-", "skipped: mirrors other players"},
            {kP + "vlc", "VLC media player", "playing", "as Swinsian", "followed: playing"}};
        QCOMPARE(listingRows(MprisBridge::listing(bridge->players())), expected);

        // Ratings in each player's own scale, from MPRIS's 0-1 or the 0-5
        // some players send; exactly 1 is a full MPRIS rating.
        FakeMprisPlayer mpd(QStringLiteral("mpd"), QStringLiteral("Music Player Daemon"), playing(meta));
        QTRY_COMPARE_WITH_TIMEOUT(bridge->standIn(QStringLiteral("Music")), kP + "mpd", TimeFactor::ms(2000));
        const struct { double sent; int music, swinsian; } ratings[] = {{0.8, 80, 4}, {1.0, 100, 5}, {3.0, 60, 3}};
        for (const auto &r : ratings) {
            meta.insert(QStringLiteral("xesam:userRating"), r.sent);
            vlc.setProperties({{QStringLiteral("Metadata"), meta}});
            mpd.setProperties({{QStringLiteral("Metadata"), meta}});
            QVERIFY(vlc.drained(bridge.get()) && mpd.drained(bridge.get()));
            QCOMPARE(number(*bridge, "Music", Op::Rating), r.music);
            QCOMPARE(number(*bridge, "Swinsian", Op::Rating), r.swinsian);
        }
    }

    void answersFollowEachPlayersForms()
    {
        m_defaults->set(QStringLiteral("playerMapping"),
                        QVariantMap{{QStringLiteral("Radium"), QStringLiteral("r")},
                                    {QStringLiteral("Hermes"), QStringLiteral("h")},
                                    {QStringLiteral("Airfoil Satellite"), QStringLiteral("a")}});
        QTemporaryDir dir;
        const QString cover = dir.filePath(QStringLiteral("cover"));
        const QByteArray blue = Pixels::pngBytes(QSize(16, 16), Qt::blue);
        QVERIFY(TestFiles::writeBytes(cover, blue));
        QVariantMap meta = metadata(QStringLiteral("T"), QStringLiteral("Art"), QStringLiteral("Al"), 200'000'000.0,
                                    QUrl::fromLocalFile(cover).toString());
        meta.insert(QStringLiteral("xesam:userRating"), 0.6);
        FakeMprisPlayer radium(QStringLiteral("r"), QString(), playing(meta));
        FakeMprisPlayer hermes(QStringLiteral("h"), QString(), playing(meta));
        FakeMprisPlayer airfoil(QStringLiteral("a"), QString(), playing(meta, QStringLiteral("Paused")));
        auto bridge = makeBridge();

        QCOMPARE(run(*bridge, "Radium", Op::Name), QStringLiteral("Art - T"));
        QCOMPARE(bridge->execute(scriptText(QStringLiteral("Radium"), Op::Status)), ScriptResult::boolean(true));
        QCOMPARE(run(*bridge, "Hermes", Op::Status), QStringLiteral("play"));
        QCOMPARE(number(*bridge, "Hermes", Op::Duration), 200);
        QCOMPARE(number(*bridge, "Hermes", Op::Rating), 1);
        // Hermes' artwork is the address of a kept copy of the bytes.
        const QString kept = run(*bridge, "Hermes", Op::ArtworkUrl);
        QVERIFY(kept.startsWith(QLatin1String("file://")));
        QCOMPARE(TestFiles::readBytes(QUrl(kept).toLocalFile()), blue);
        // Airfoil's status is its title only while playing.
        const ScriptResult title = bridge->execute(scriptText(QStringLiteral("Airfoil Satellite"), Op::TrackTitle));
        QVERIFY(!title.isNone() && title.stringValue().isEmpty());
        QCOMPARE(bridge->execute(scriptText(QStringLiteral("Airfoil Satellite"), Op::Artwork, 1)).data(), blue);

        // Unknown texts, rating commands, later artworks: no result, an error.
        for (const QString &text : {QStringLiteral("tell app \"Music\" to play"),
                                    scriptText(QStringLiteral("Hermes"), Op::ThumbsUp),
                                    scriptText(QStringLiteral("Music"), Op::Artwork, 2)}) {
            QString error;
            QVERIFY(bridge->execute(text, &error).isNone());
            QVERIFY2(!error.isEmpty(), qPrintable(text));
        }
    }

    void badPlayersCannotStallOrCrashTheBridge()
    {
        QTemporaryDir dir;
        const QString notImage = dir.filePath(QStringLiteral("cover.png"));
        QVERIFY(TestFiles::writeBytes(notImage, "this is not a picture at all"));
        const auto web = webServer(QStringLiteral("127.0.0.73"), {{"/big", QByteArray(ArtFetcher::maxBytes + 1024, 'x')}});
        QVERIFY(web);
        const QString big = QStringLiteral("http://127.0.0.73:45071/big");

        FakeMprisPlayer hung(QStringLiteral("hung"), QStringLiteral("Hung"), playing(metadata(QStringLiteral("H"))));
        hung.hang();
        QVariantMap wrong{{QStringLiteral("xesam:title"), QStringLiteral("W")},
                          {QStringLiteral("xesam:artist"), 17},
                          {QStringLiteral("mpris:length"), QStringLiteral("long")},
                          {QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(notImage).toString()}};
        FakeMprisPlayer odd(QStringLiteral("odd"), QStringLiteral("Odd"),
                            {{QStringLiteral("PlaybackStatus"), 3}, {QStringLiteral("Metadata"), wrong},
                             {QStringLiteral("Position"), QStringLiteral("soon")}});

        // Each call to the hung player is bounded; unbounded, one would take
        // the bus library's 25 s default.
        QElapsedTimer timer;
        timer.start();
        auto bridge = makeBridge();
        QVERIFY2(timer.elapsed() < 10000, "a hung player held the start up");
        // The odd player counts as running (it has a track), stopped.
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "odd");
        QCOMPARE(run(*bridge, "Music", Op::Name), QStringLiteral("W"));
        QCOMPARE(run(*bridge, "Music", Op::Artist), QString());
        QCOMPARE(number(*bridge, "Music", Op::Duration), 0);
        const QString art = scriptText(QStringLiteral("Music"), Op::Artwork, 1);
        QVERIFY(bridge->execute(art).isNone());

        // Art larger than the cap is refused.
        odd.setProperties({{QStringLiteral("Metadata"), metadata(QStringLiteral("W2"), {}, {}, 1, big)},
                           {QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}});
        QVERIFY(odd.drained(bridge.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!playerOn(bridge.get(), kP + "odd")->isFetchingArt(), TimeFactor::ms(5000));
        QCOMPARE(web->requestCount(), 1);
        QVERIFY(bridge->execute(art).isNone());

        // Metadata re-sent without change: each signal arrives, and nothing more is posted.
        const int posts = m_posted.size();
        QVERIFY(posts >= 1);
        const int before = playerOn(bridge.get(), kP + "odd")->signalsSeen();
        for (int i = 0; i < 8; ++i)
            odd.setProperties({{QStringLiteral("Metadata"), metadata(QStringLiteral("W2"), {}, {}, 1, big)}});
        QVERIFY(odd.drained(bridge.get()));
        QCOMPARE(playerOn(bridge.get(), kP + "odd")->signalsSeen(), before + 8);
        QCOMPARE(m_posted.size(), posts);

        // Vanishing with a poll out.
        run(*bridge, "Music", Op::Position);
        odd.vanish();
        QTRY_VERIFY_WITH_TIMEOUT(bridge->standIn(QStringLiteral("Music")).isEmpty(), TimeFactor::ms(2000));
        QVERIFY(bridge->execute(scriptText(QStringLiteral("Music"), Op::Status)).isNone());
    }

    void seeksAndNewTracksMoveThePositionAtOnce()
    {
        FakeMprisPlayer p(QStringLiteral("seeker"), QStringLiteral("Seeker"), playing(metadata(QStringLiteral("S"))));
        p.setQuietly(QStringLiteral("Position"), QVariant::fromValue<qlonglong>(100'000'000));
        auto bridge = makeBridge();
        MprisPlayer *player = playerOn(bridge.get(), kP + "seeker");
        const auto position = [&] { return number(*bridge, "Music", Op::Position); };
        QVERIFY(position() >= 100);
        // A reading asked for before the seek and answered after it is stale
        // (no other read is out once what was asked before is answered).
        QVERIFY(p.drained(bridge.get()));
        p.holdPositionReads();
        player->pollPosition();
        QVERIFY(busBarrier(p.busName()));
        QVERIFY(p.heldPositionReads() > 0);
        p.seeked(5'000'000);
        QVERIFY(p.drained(bridge.get()));
        QVERIFY(position() >= 5 && position() < 50);
        p.releasePositionReads();
        QVERIFY(p.drained(bridge.get()));
        QVERIFY(position() >= 5 && position() < 50);
        // A poll answering 0 is not a new track.
        p.setQuietly(QStringLiteral("Position"), QVariant::fromValue<qlonglong>(0));
        MprisPlayer::skipTimeForTesting(1000);
        player->pollPosition();
        QVERIFY(p.drained(bridge.get()));
        QVERIFY(position() >= 6);
        // A new track starts from its own beginning.
        p.setProperties({{QStringLiteral("Metadata"), metadata(QStringLiteral("S2"))}});
        QVERIFY(p.drained(bridge.get()));
        QVERIFY(position() < 5);
    }
    void namesOfOneProcessAreOnePlayer()
    {
        // One player answering on two names, signalling on one, beside another.
        FakeMprisPlayer vlc(QStringLiteral("vlc.instance4242"), QStringLiteral("VLC media player"),
                            playing(metadata(QStringLiteral("V1"))));
        vlc.addName(QStringLiteral("vlc"));
        FakeMprisPlayer mpd(QStringLiteral("mpd"), QStringLiteral("Music Player Daemon"),
                            playing(metadata(QStringLiteral("M1")), QStringLiteral("Paused")));
        auto bridge = makeBridge();
        const auto rows = [&bridge] { return listingRows(MprisBridge::listing(bridge->players())); };
        QCOMPARE(rows(), (QList<QStringList>{
            {kP + "mpd", "Music Player Daemon", "paused", "as Music", "not followed: another player is playing"},
            {kP + "vlc", "VLC media player", "playing", "as Music", "followed: playing (also " + kP + "vlc.instance4242)"}}));

        // A signal on one name makes that name the one followed, quietly.
        vlc.setProperties({{QStringLiteral("Rate"), 1.0}});
        mpd.setProperties(status("Stopped")); // something to choose again for
        QVERIFY(vlc.drained(bridge.get()) && mpd.drained(bridge.get()));
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "vlc.instance4242");
        QVERIFY2(m_posted.isEmpty(), qPrintable(m_posted.join(u',')));

        // It pauses, told on one name only: that name is followed, told once.
        vlc.setProperties(status("Paused"));
        QVERIFY(vlc.drained(bridge.get()));
        QCOMPARE(bridge->standIn(QStringLiteral("Music")), kP + "vlc.instance4242");
        QCOMPARE(run(*bridge, "Music", Op::Status), QStringLiteral("kPSp"));
        QCOMPARE(m_posted.size(), 1);
        QCOMPARE(rows().value(1), (QStringList{kP + "vlc.instance4242", "VLC media player", "paused", "as Music",
                                               "followed: played last (also " + kP + "vlc)"}));
        QCOMPARE(rows().value(0).value(4), QStringLiteral("not followed: another player played last"));

        // It quits, both names at once: the other player is followed.
        vlc.vanish();
        QTRY_COMPARE_WITH_TIMEOUT(bridge->standIn(QStringLiteral("Music")), kP + "mpd", TimeFactor::ms(2000));
        QCOMPARE(rows().size(), 1);
    }

    void aLengthCorrectedSilentlyIsReadAgain_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("ten seconds on") << "poll";
        QTest::newRow("a seek") << "seek";
        QTest::newRow("the position past the length") << "past";
    }
    void aLengthCorrectedSilentlyIsReadAgain()
    {
        QFETCH(QString, trigger);
        FakeMprisPlayer p(QStringLiteral("guess"), QStringLiteral("Guess"),
                          playing(metadata(QStringLiteral("G"), {}, {}, QVariant::fromValue<qlonglong>(57'200'000))));
        auto bridge = makeBridge();
        MprisPlayer *player = playerOn(bridge.get(), kP + "guess");
        QCOMPARE(number(*bridge, "Music", Op::Duration), 57);
        p.setQuietly(QStringLiteral("Metadata"), metadata(QStringLiteral("G"), {}, {}, QVariant::fromValue<qlonglong>(50'000'000)));
        // Polled within ten seconds of the last reading: not read yet.
        player->poll();
        QVERIFY(p.drained(bridge.get()));
        QCOMPARE(number(*bridge, "Music", Op::Duration), 57);

        if (trigger == u"poll") {
            MprisPlayer::skipTimeForTesting(MprisPlayer::metadataPollMs);
            player->poll();
        } else if (trigger == u"seek") {
            p.seeked(20'000'000);
        } else {
            p.setQuietly(QStringLiteral("Position"), QVariant::fromValue<qlonglong>(58'000'000));
            player->pollPosition();
        }
        QVERIFY(p.drained(bridge.get()));
        QVERIFY(p.drained(bridge.get())); // the read the trigger started
        QCOMPARE(number(*bridge, "Music", Op::Duration), 50);
        QVERIFY2(m_posted.isEmpty(), "a new length is not a new track");
    }
};

QTEST_GUILESS_MAIN(TestMprisBridge)
#include "tst_mprisbridge.moc"
