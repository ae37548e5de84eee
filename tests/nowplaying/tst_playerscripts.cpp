#include "nowplaying/PlayerScripts.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/SimulatedPlayers.h"

#include <QRegularExpression>
#include <QTest>

namespace {

// Every slot the display keeps, by name, so a test can walk them all.
struct NamedSlot
{
    const char *name;
    ScriptSlot ScriptSlots::*slot;
};

#define NAMED_SLOT(member) NamedSlot{#member, &ScriptSlots::member}
const NamedSlot kAllSlots[] = {
    NAMED_SLOT(spotifyStatusScript), NAMED_SLOT(itunesStatusScript), NAMED_SLOT(musicStatusScript),
    NAMED_SLOT(snowtapeStatusScript), NAMED_SLOT(ecouteStatusScript), NAMED_SLOT(rdioStatusScript),
    NAMED_SLOT(radiumStatusScript), NAMED_SLOT(swinsianStatusScript), NAMED_SLOT(hermesStatusScript),
    NAMED_SLOT(airfoilStatusScript), NAMED_SLOT(audirvanaStatusScript),
    NAMED_SLOT(trackScript), NAMED_SLOT(artistScript), NAMED_SLOT(albumScript), NAMED_SLOT(artScript),
    NAMED_SLOT(durationScript), NAMED_SLOT(bookmarkScript),
    NAMED_SLOT(PPScript), NAMED_SLOT(prevScript), NAMED_SLOT(nextScript),
    NAMED_SLOT(snowtapePauseScript), NAMED_SLOT(rdioPauseScript), NAMED_SLOT(hermesPauseScript),
    NAMED_SLOT(bitRateScript), NAMED_SLOT(bitDepthScript), NAMED_SLOT(sampleRateScript), NAMED_SLOT(kindScript),
    NAMED_SLOT(iTunesRatingScript), NAMED_SLOT(ecouteRatingScript), NAMED_SLOT(swinsianRatingScript), NAMED_SLOT(hermesRatingScript),
    NAMED_SLOT(iTunesLovedScript), NAMED_SLOT(iTunesDislikedScript),
    NAMED_SLOT(iTunesSetRating0Script), NAMED_SLOT(iTunesSetRating1Script), NAMED_SLOT(iTunesSetRating2Script),
    NAMED_SLOT(iTunesSetRating3Script), NAMED_SLOT(iTunesSetRating4Script), NAMED_SLOT(iTunesSetRating5Script),
    NAMED_SLOT(iTunesSetLovedScript), NAMED_SLOT(iTunesResetLovedScript), NAMED_SLOT(iTunesSetDislikedScript),
    NAMED_SLOT(iTunesResetDislikedScript), NAMED_SLOT(hermesThumbsUpScript), NAMED_SLOT(hermesThumbsDownScript),
    NAMED_SLOT(iTunesRadioScript), NAMED_SLOT(iTunesLyricsScript),
    NAMED_SLOT(iTunesArtScript2), NAMED_SLOT(iTunesArtScript3), NAMED_SLOT(iTunesArtScript4), NAMED_SLOT(iTunesArtScript5),
    NAMED_SLOT(iTunesArtScript6), NAMED_SLOT(iTunesRandomArtworkScript), NAMED_SLOT(musicRandomArtworkScript),
    NAMED_SLOT(iTunesReleaseDateScript), NAMED_SLOT(iTunesDateAddedScript), NAMED_SLOT(iTunesLastPlayedScript),
    NAMED_SLOT(iTunesPlayCountScript), NAMED_SLOT(swinsianReleaseDateScript), NAMED_SLOT(swinsianDateAddedScript),
    NAMED_SLOT(swinsianLastPlayedScript), NAMED_SLOT(swinsianPlayCountScript),
    NAMED_SLOT(spotifyPopularityScript), NAMED_SLOT(spotifyURIScript), NAMED_SLOT(spotifyArtURLScript),
    NAMED_SLOT(SpotifyPlayCountScript),
};
#undef NAMED_SLOT

const int kPlayers[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12};

// Counts what reaches the stand-ins, so a test can tell whether scripts were
// created (compiled) or run.
class CountingService : public ScriptService
{
public:
    explicit CountingService(ScriptService &inner) : m_inner(inner) {}
    bool compile(const QString &source) override
    {
        ++compiles;
        return m_inner.compile(source);
    }
    ScriptResult execute(const QString &source, QString *error) override
    {
        ++executions;
        return m_inner.execute(source, error);
    }
    int compiles = 0;
    int executions = 0;

private:
    ScriptService &m_inner;
};

QString textOf(const ScriptSlot &slot)
{
    return slot ? slot->source() : QString();
}

QString receiverOf(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^tell app(?:lication)? \"([^\"]+)\""));
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString oneLine(QString text)
{
    return text.replace(u'\r', u'|').replace(u'\n', u'/');
}

QByteArray allPlayersRunning()
{
    QByteArray json = R"({"players": [)";
    const char *names[] = {"Spotify", "iTunes", "Music", "Snowtape", "Ecoute", "Rdio", "Radium",
                           "Swinsian", "Hermes", "Airfoil Satellite", "Audirvana"};
    for (const char *name : names) {
        if (json.endsWith('}'))
            json += ',';
        json += QByteArray(R"({"name": ")") + name
            + R"(", "state": "playing", "tracks": [{"name": "One", "duration": 60},)"
              R"( {"name": "Two", "duration": 90}]})";
    }
    return json + "]}";
}

QStringList g_logLines;
void captureLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_logLines << message;
}

} // namespace

class TestPlayerScripts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void everySlotIsUnderstood_data();
    void everySlotIsUnderstood();
    void texts_data();
    void texts();
    void setIsBuiltOncePerPlayer();
    void noSetForNoPlayer_data();
    void noSetForNoPlayer();
    void keptSlotsAndTransport();
    void transportWithoutPreviousOrNext();
    void airfoilHasNoProgress();
    void iTunesAndMusicShareSlots();
    void notifications();
    void statusSlotsAndProcessNames();

private:
    void build(PlayerScripts &scripts, int player);

    FrameClock m_clock{QDateTime::fromSecsSinceEpoch(0, Qt::UTC)};
    std::unique_ptr<SimulatedPlayers> m_players;
    std::unique_ptr<CountingService> m_service;
    std::unique_ptr<NotificationCenter> m_distributed;
    std::unique_ptr<PlayerScripts> m_scripts;
    QStringList m_notified;
    int m_observer = 0; // its address stands for the view's
};

void TestPlayerScripts::init()
{
    QString error;
    m_players = SimulatedPlayers::fromJson(allPlayersRunning(), QStringLiteral("all.json"), m_clock, &error);
    QVERIFY2(m_players, qPrintable(error));
    m_service = std::make_unique<CountingService>(*m_players);
    m_distributed = std::make_unique<NotificationCenter>();
    m_notified.clear();
    m_scripts = std::make_unique<PlayerScripts>(*m_service, *m_distributed, &m_observer,
                                                [this](const QString &name) { m_notified << name; });
}

void TestPlayerScripts::cleanup()
{
    m_scripts.reset();
    m_distributed.reset();
    m_service.reset();
    m_players.reset();
}

void TestPlayerScripts::build(PlayerScripts &scripts, int player)
{
    scripts.setUpSomePlayerSpecificScriptsForPlayer(player);
    scripts.setUpScriptsForPlayer(player);
}

void TestPlayerScripts::everySlotIsUnderstood_data()
{
    QTest::addColumn<int>("player");
    QTest::addColumn<int>("filledSlots");
    // Transport and kept slots plus the track-data set, less the slots both fill.
    QTest::newRow("Spotify") << 1 << 5 + 9;
    QTest::newRow("iTunes") << 2 << 5 + 33;
    QTest::newRow("Snowtape") << 3 << 5 + 6;
    QTest::newRow("Ecoute") << 4 << 2 + 7;
    QTest::newRow("Rdio") << 5 << 5 + 6;
    QTest::newRow("Radium") << 6 << 5 + 6;
    QTest::newRow("Swinsian") << 7 << 5 + 14;
    QTest::newRow("Hermes") << 9 << 5 + 9 - 1;
    QTest::newRow("Airfoil Satellite") << 10 << 4 + 4;
    QTest::newRow("Audirvana") << 11 << 4 + 6;
    QTest::newRow("Music") << 12 << 5 + 34 - 1;
}

// Every script a player's sets hold must be a text its stand-in knows, sent
// to that player and no other: a slipped character or a copied receiver
// name shows up here.
void TestPlayerScripts::everySlotIsUnderstood()
{
    QFETCH(int, player);
    QFETCH(int, filledSlots);
    build(*m_scripts, player);
    QCOMPARE(m_scripts->scriptsSetUpFor, player);

    const QString receiver = PlayerScripts::processName(player);
    int filled = 0;
    for (const NamedSlot &named : kAllSlots) {
        const ScriptSlot &slot = m_scripts->slots.*named.slot;
        if (!slot)
            continue;
        ++filled;
        const QString where = QStringLiteral("%1: %2").arg(QLatin1String(named.name), oneLine(slot->source()));
        QVERIFY2(slot->isCompiled(), qPrintable(where));
        QCOMPARE(receiverOf(slot->source()), receiver);
        QString error;
        slot->execute(&error);
        QVERIFY2(error != u"unknown script" && !error.endsWith(u" is not running")
                     && !error.endsWith(u" cannot answer that"),
                 qPrintable(where + QStringLiteral(" -> ") + error));
    }
    QCOMPARE(filled, filledSlots);
}

void TestPlayerScripts::texts_data()
{
    QTest::addColumn<int>("player");
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("text");
    QTest::newRow("iTunes track") << 2 << "trackScript"
                                  << QStringLiteral("tell app \"iTunes\"\rname of current track \r end tell");
    QTest::newRow("iTunes random artwork, line feeds")
        << 2 << "iTunesRandomArtworkScript"
        << QStringLiteral("tell application \"iTunes\"\nset someTrack to some track of user playlist \"Music\"\n"
                          "return data of front artwork of someTrack\nend tell");
    QTest::newRow("Ecoute status, no space before the return")
        << 4 << "ecouteStatusScript" << QStringLiteral("tell app \"Ecoute\"\rplayer state\r end tell");
    QTest::newRow("Snowtape play/pause is play")
        << 3 << "PPScript" << QStringLiteral("tell application \"Snowtape\"\rplay\rend tell");
    QTest::newRow("Radium pause in Snowtape's slot")
        << 6 << "snowtapePauseScript" << QStringLiteral("tell application \"Radium\"\rpause\rend tell");
    QTest::newRow("Hermes next skips the song")
        << 9 << "nextScript" << QStringLiteral("tell application \"Hermes\"\rtired of song\rend tell");
    QTest::newRow("Music set rating 5")
        << 12 << "iTunesSetRating5Script"
        << QStringLiteral("tell application \"Music\"\rset rating of current track to 100\rend tell");
    QTest::newRow("iTunes has no bit depth") << 2 << "bitDepthScript" << QString();
    QTest::newRow("Swinsian has one") << 7 << "bitDepthScript"
                                      << QStringLiteral("tell application \"Swinsian\"\rbit depth of current track\rend tell");
}

void TestPlayerScripts::texts()
{
    QFETCH(int, player);
    QFETCH(QString, slot);
    QFETCH(QString, text);
    build(*m_scripts, player);
    const auto named = std::find_if(std::begin(kAllSlots), std::end(kAllSlots),
                                    [&](const NamedSlot &s) { return slot == QLatin1String(s.name); });
    QVERIFY(named != std::end(kAllSlots));
    QCOMPARE(textOf(m_scripts->slots.*named->slot), text);
}

void TestPlayerScripts::setIsBuiltOncePerPlayer()
{
    m_scripts->setUpSpotifyScripts();
    const Script *track = m_scripts->slots.trackScript.get();
    const Script *uri = m_scripts->slots.spotifyURIScript.get();
    const int compiles = m_service->compiles;
    QVERIFY(compiles > 0);

    m_scripts->setUpSpotifyScripts();
    QCOMPARE(m_service->compiles, compiles);
    QCOMPARE(m_scripts->slots.trackScript.get(), track);
    QCOMPARE(m_scripts->slots.spotifyURIScript.get(), uri);

    m_scripts->setUpiTunesScripts();
    QCOMPARE(m_scripts->scriptsSetUpFor, 2);
    QCOMPARE(receiverOf(textOf(m_scripts->slots.trackScript)), QStringLiteral("iTunes"));

    m_scripts->setUpSpotifyScripts();
    QCOMPARE(m_scripts->scriptsSetUpFor, 1);
    QCOMPARE(textOf(m_scripts->slots.trackScript),
             QStringLiteral("tell app \"Spotify\"\rname of current track \r end tell"));
    // iTunes' extended details do not linger under Spotify.
    QVERIFY(!m_scripts->slots.bitRateScript);
    QVERIFY(!m_scripts->slots.kindScript);

    // Only the iTunes and Music sets start the artwork count over.
    m_scripts->artworkNumber = 5;
    m_scripts->setUpSwinsianScripts();
    QCOMPARE(m_scripts->artworkNumber, quint64(5));
    m_scripts->setUpMusicScripts();
    QCOMPARE(m_scripts->artworkNumber, quint64(1));
    m_scripts->artworkNumber = 5;
    m_scripts->setUpMusicScripts(); // already built: nothing happens
    QCOMPARE(m_scripts->artworkNumber, quint64(5));
    m_scripts->setUpiTunesScripts();
    QCOMPARE(m_scripts->artworkNumber, quint64(1));
}

void TestPlayerScripts::noSetForNoPlayer_data()
{
    QTest::addColumn<int>("player");
    QTest::newRow("none") << 0;
    QTest::newRow("broadcaster") << 8;
    QTest::newRow("past the last") << 13;
    QTest::newRow("negative") << -1;
}

void TestPlayerScripts::noSetForNoPlayer()
{
    QFETCH(int, player);
    build(*m_scripts, 1);
    const Script *playPause = m_scripts->slots.PPScript.get();
    const Script *track = m_scripts->slots.trackScript.get();
    const int compiles = m_service->compiles;

    build(*m_scripts, player);
    QCOMPARE(m_service->compiles, compiles);
    QCOMPARE(m_scripts->slots.PPScript.get(), playPause);
    QCOMPARE(m_scripts->slots.trackScript.get(), track);
    QCOMPARE(m_scripts->scriptsSetUpFor, 1);
    QCOMPARE(m_scripts->slots.statusSlot(player), nullptr);
    QCOMPARE(PlayerScripts::processName(player), QString());
}

void TestPlayerScripts::keptSlotsAndTransport()
{
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(1);
    const Script *status = m_scripts->slots.spotifyStatusScript.get();
    const Script *popularity = m_scripts->slots.spotifyPopularityScript.get();
    const Script *playPause = m_scripts->slots.PPScript.get();
    QVERIFY(status && popularity && playPause);

    // Another player's transport takes over; Spotify's kept slots stay.
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(7);
    QCOMPARE(receiverOf(textOf(m_scripts->slots.PPScript)), QStringLiteral("Swinsian"));
    QVERIFY(m_scripts->slots.swinsianRatingScript);
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(1);
    QCOMPARE(m_scripts->slots.spotifyStatusScript.get(), status);
    QCOMPARE(m_scripts->slots.spotifyPopularityScript.get(), popularity);
    QVERIFY(m_scripts->slots.PPScript.get() != playPause);
    QCOMPARE(receiverOf(textOf(m_scripts->slots.PPScript)), QStringLiteral("Spotify"));

    // A kept slot emptied elsewhere is built again on the next call.
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(2);
    QVERIFY(m_scripts->slots.iTunesRandomArtworkScript);
    m_scripts->slots.iTunesRandomArtworkScript.reset();
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(2);
    QVERIFY(m_scripts->slots.iTunesRandomArtworkScript);

    // Music's status is kept by its transport call but renewed by its set.
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(12);
    const Script *musicStatus = m_scripts->slots.musicStatusScript.get();
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(12);
    QCOMPARE(m_scripts->slots.musicStatusScript.get(), musicStatus);
    m_scripts->setUpMusicScripts();
    QVERIFY(m_scripts->slots.musicStatusScript.get() != musicStatus);
    QCOMPARE(textOf(m_scripts->slots.musicStatusScript),
             QStringLiteral("tell app \"Music\"\rplayer state \r end tell"));
}

// Players without a previous (Hermes) or without previous and next (Ecoute)
// must not leave the last player's commands in those slots.
void TestPlayerScripts::transportWithoutPreviousOrNext()
{
    build(*m_scripts, 1);
    QVERIFY(m_scripts->slots.prevScript && m_scripts->slots.nextScript);

    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(9);
    QVERIFY(!m_scripts->slots.prevScript);
    QCOMPARE(receiverOf(textOf(m_scripts->slots.nextScript)), QStringLiteral("Hermes"));
    const int executions = m_service->executions;
    QVERIFY(run(m_scripts->slots.prevScript).isNone());
    QCOMPARE(m_service->executions, executions); // nothing was sent

    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(1);
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(4);
    QCOMPARE(textOf(m_scripts->slots.PPScript), QStringLiteral("tell application \"Ecoute\"\rplaypause\rend tell"));
    QVERIFY(!m_scripts->slots.prevScript);
    QVERIFY(!m_scripts->slots.nextScript);
    run(m_scripts->slots.prevScript);
    run(m_scripts->slots.nextScript);
    QCOMPARE(m_service->executions, executions);
}

void TestPlayerScripts::airfoilHasNoProgress()
{
    build(*m_scripts, 2);
    QVERIFY(m_scripts->slots.durationScript && m_scripts->slots.bookmarkScript);
    QVERIFY(m_scripts->slots.bitRateScript);

    m_scripts->setUpAirfoilScripts();
    QVERIFY(!m_scripts->slots.durationScript);
    QVERIFY(!m_scripts->slots.bookmarkScript);
    QVERIFY(!m_scripts->slots.bitRateScript);
    QVERIFY(!m_scripts->slots.sampleRateScript);
    QVERIFY(!m_scripts->slots.kindScript);
    QVERIFY(!m_scripts->slots.bitDepthScript);
    QVERIFY(run(m_scripts->slots.durationScript).isNone());
    QCOMPARE(receiverOf(textOf(m_scripts->slots.trackScript)), QStringLiteral("Airfoil Satellite"));
}

void TestPlayerScripts::iTunesAndMusicShareSlots()
{
    m_scripts->setUpiTunesScripts();
    QCOMPARE(receiverOf(textOf(m_scripts->slots.iTunesRatingScript)), QStringLiteral("iTunes"));
    QCOMPARE(receiverOf(textOf(m_scripts->slots.iTunesRadioScript)), QStringLiteral("iTunes"));
    m_scripts->setUpMusicScripts();
    QCOMPARE(receiverOf(textOf(m_scripts->slots.iTunesRatingScript)), QStringLiteral("Music"));
    QCOMPARE(receiverOf(textOf(m_scripts->slots.iTunesArtScript6)), QStringLiteral("Music"));
    QCOMPARE(receiverOf(textOf(m_scripts->slots.iTunesRadioScript)), QStringLiteral("Music"));
}

void TestPlayerScripts::notifications()
{
    const QString iTunes = QStringLiteral("com.apple.iTunes.playerInfo");
    const QString music = QStringLiteral("com.apple.Music.playerInfo");
    const QString spotify = QStringLiteral("com.spotify.client.PlaybackStateChanged");

    g_logLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    m_scripts->setUpiTunesScripts();
    m_scripts->setUpiTunesScripts();
    qInstallMessageHandler(previous);
    QCOMPARE(g_logLines, QStringList{QStringLiteral("adding iTunes observer")});
    QCOMPARE(m_distributed->observerCount(), 1);

    m_distributed->post(iTunes);
    QCOMPARE(m_notified, QStringList{iTunes});

    // Sets without a notification of their own leave the registration alone.
    m_scripts->setUpSwinsianScripts();
    m_scripts->setUpHermesScripts();
    m_distributed->post(iTunes);
    QCOMPARE(m_notified, QStringList({iTunes, iTunes}));

    // Spotify's set replaces it.
    m_notified.clear();
    m_scripts->setUpSpotifyScripts();
    m_distributed->post(iTunes);
    m_distributed->post(spotify, {{QStringLiteral("Player State"), QStringLiteral("Playing")}});
    QCOMPARE(m_notified, QStringList{spotify});
    QCOMPARE(m_distributed->observerCount(), 1);

    m_notified.clear();
    m_scripts->setUpMusicScripts();
    m_distributed->post(spotify);
    m_distributed->post(iTunes);
    m_distributed->post(music);
    QCOMPARE(m_notified, QStringList{music});
    QCOMPARE(m_distributed->observerCount(), 1);

    // The registrations are the view's: removing the view removes them.
    m_distributed->removeObserver(&m_observer);
    m_notified.clear();
    m_distributed->post(music);
    QVERIFY(m_notified.isEmpty());
}

void TestPlayerScripts::statusSlotsAndProcessNames()
{
    ScriptSlots &slots = m_scripts->slots;
    for (int player : kPlayers) {
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(player);
        ScriptSlot *status = slots.statusSlot(player);
        QVERIFY2(status && *status, qPrintable(QString::number(player)));
        QCOMPARE(receiverOf(textOf(*status)), PlayerScripts::processName(player));
        // Each status script tells its player's state (the stand-ins all play).
        QVERIFY2(!run(*status).isNone(), qPrintable(oneLine(textOf(*status))));
    }

    // Each player's status slot is its own: no two ids share one.
    QSet<ScriptSlot *> seen;
    for (int player : kPlayers)
        seen.insert(slots.statusSlot(player));
    QCOMPARE(seen.size(), int(std::size(kPlayers)));
}

QTEST_GUILESS_MAIN(TestPlayerScripts)
#include "tst_playerscripts.moc"
