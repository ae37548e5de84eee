// When the script sets are built, kept, replaced and emptied, and which
// notification each set registers. Scripts are named by their slots and
// read through the stand-ins' vocabulary, never by their texts.
#include "nowplaying/Capture.h"
#include "nowplaying/PlayerScripts.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/ScriptVocabulary.h"
#include "players/SimulatedPlayers.h"

#include <QTest>

namespace {

using Op = ScriptVocabulary::Operation;

// Who a slot's script is sent to, and what it asks; empty for an empty slot.
QString receiverOf(const ScriptSlot &slot)
{
    const ScriptVocabulary::Entry *entry = slot ? ScriptVocabulary::find(slot->source()) : nullptr;
    return entry ? entry->receiver : QString();
}

bool asks(const ScriptSlot &slot, const char *receiver, Op op)
{
    const ScriptVocabulary::Entry *entry = slot ? ScriptVocabulary::find(slot->source()) : nullptr;
    return entry && entry->receiver == QLatin1String(receiver) && entry->operation == op;
}

} // namespace

class TestPlayerScripts : public QObject
{
    Q_OBJECT

private:
    void build(PlayerId player)
    {
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(player);
        m_scripts->setUpScriptsForPlayer(player);
    }
    ScriptSlots &slots() { return m_scripts->slots; }

    FrameClock m_clock{QDateTime::fromSecsSinceEpoch(0, Qt::UTC)};
    std::unique_ptr<SimulatedPlayers> m_players;
    std::unique_ptr<CountingService> m_service;
    std::unique_ptr<NotificationCenter> m_distributed;
    std::unique_ptr<PlayerScripts> m_scripts;
    QStringList m_notified;
    int m_observer = 0; // its address stands for the view's
private Q_SLOTS:
    void init()
    {
        QString error;
        m_players = SimulatedPlayers::fromJson(R"({"processes": ["Finder"]})", QStringLiteral("none.json"), m_clock, &error);
        QVERIFY2(m_players, qPrintable(error));
        m_service = std::make_unique<CountingService>(*m_players);
        m_distributed = std::make_unique<NotificationCenter>();
        m_notified.clear();
        m_scripts = std::make_unique<PlayerScripts>(*m_service, *m_distributed, &m_observer,
                                                    [this](const QString &name) { m_notified << name; });
    }

    void cleanup() { m_scripts.reset(), m_distributed.reset(), m_service.reset(), m_players.reset(); }

    void setIsBuiltOncePerPlayer()
    {
        m_scripts->setUpSpotifyScripts();
        const Script *track = slots().trackScript.get();
        const int compiles = m_service->compiles;
        QVERIFY(compiles > 0);
        m_scripts->setUpSpotifyScripts();
        QCOMPARE(m_service->compiles, compiles);
        QCOMPARE(slots().trackScript.get(), track);

        m_scripts->setUpiTunesScripts();
        QCOMPARE(m_scripts->scriptsSetUpFor, PlayerId::ITunes);
        QCOMPARE(receiverOf(slots().trackScript), QStringLiteral("iTunes"));
        m_scripts->setUpSpotifyScripts();
        QCOMPARE(m_scripts->scriptsSetUpFor, PlayerId::Spotify);
        QVERIFY(asks(slots().trackScript, "Spotify", Op::Name));
        // iTunes' extended details do not linger under Spotify.
        QVERIFY(!slots().bitRateScript && !slots().kindScript);

        // Only the library sets start the artwork count over, and only when built.
        m_scripts->artworkNumber = 5;
        m_scripts->setUpSwinsianScripts();
        QCOMPARE(m_scripts->artworkNumber, quint64(5));
        m_scripts->setUpMusicScripts();
        QCOMPARE(m_scripts->artworkNumber, quint64(1));
        m_scripts->artworkNumber = 5;
        m_scripts->setUpMusicScripts();
        QCOMPARE(m_scripts->artworkNumber, quint64(5));
        m_scripts->setUpiTunesScripts();
        QCOMPARE(m_scripts->artworkNumber, quint64(1));
    }

    void noSetForNoPlayer_data()
    {
        QTest::addColumn<int>("stored");
        QTest::newRow("none") << 0;
        QTest::newRow("broadcaster") << 8;
        QTest::newRow("past the last") << 13;
    }

    void noSetForNoPlayer()
    {
        QFETCH(int, stored);
        const auto player = static_cast<PlayerId>(stored);
        build(PlayerId::Spotify);
        const Script *playPause = slots().PPScript.get();
        const Script *track = slots().trackScript.get();
        const int compiles = m_service->compiles;

        build(player);
        QCOMPARE(m_service->compiles, compiles);
        QCOMPARE(slots().PPScript.get(), playPause);
        QCOMPARE(slots().trackScript.get(), track);
        QCOMPARE(m_scripts->scriptsSetUpFor, PlayerId::Spotify);
        QCOMPARE(slots().statusSlot(player), nullptr);
        QCOMPARE(PlayerScripts::processName(player), QString());
    }

    void keptSlotsAndTransport()
    {
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::Spotify);
        const Script *status = slots().spotifyStatusScript.get();
        const Script *popularity = slots().spotifyPopularityScript.get();
        const Script *playPause = slots().PPScript.get();
        QVERIFY(status && popularity && playPause);

        // Another player's transport takes over; Spotify's kept slots stay.
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::Swinsian);
        QCOMPARE(receiverOf(slots().PPScript), QStringLiteral("Swinsian"));
        QVERIFY(slots().swinsianRatingScript);
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::Spotify);
        QCOMPARE(slots().spotifyStatusScript.get(), status);
        QCOMPARE(slots().spotifyPopularityScript.get(), popularity);
        QVERIFY(slots().PPScript.get() != playPause);
        QCOMPARE(receiverOf(slots().PPScript), QStringLiteral("Spotify"));

        // A kept slot emptied elsewhere is built again on the next call.
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::ITunes);
        slots().iTunesRandomArtworkScript.reset();
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::ITunes);
        QVERIFY(slots().iTunesRandomArtworkScript);

        // Music's status is kept by its transport call but renewed by its set.
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::Music);
        const Script *musicStatus = slots().musicStatusScript.get();
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::Music);
        QCOMPARE(slots().musicStatusScript.get(), musicStatus);
        m_scripts->setUpMusicScripts();
        QVERIFY(slots().musicStatusScript.get() != musicStatus);
        QVERIFY(asks(slots().musicStatusScript, "Music", Op::Status));
    }

    // Players without a previous (Hermes) or without previous and next (Ecoute)
    // must not leave the last player's commands in those slots.
    void transportWithoutPreviousOrNext()
    {
        build(PlayerId::Spotify);
        QVERIFY(slots().prevScript && slots().nextScript);

        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::Hermes);
        QVERIFY(!slots().prevScript);
        QVERIFY(asks(slots().nextScript, "Hermes", Op::Next));
        const int executions = m_service->executions;
        QVERIFY(run(slots().prevScript).isNone());

        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::Spotify);
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(PlayerId::Ecoute);
        QVERIFY(asks(slots().PPScript, "Ecoute", Op::PlayPause));
        QVERIFY(!slots().prevScript && !slots().nextScript);
        run(slots().nextScript);
        QCOMPARE(m_service->executions, executions); // nothing was sent
    }

    void airfoilEmptiesProgressAndDetailsAndITunesAndMusicShareSlots()
    {
        build(PlayerId::ITunes);
        QVERIFY(slots().durationScript && slots().bookmarkScript && slots().bitRateScript);
        m_scripts->setUpAirfoilScripts();
        for (ScriptSlot *slot : {&slots().durationScript, &slots().bookmarkScript, &slots().bitRateScript,
                                 &slots().sampleRateScript, &slots().kindScript, &slots().bitDepthScript})
            QVERIFY(!*slot);
        QCOMPARE(receiverOf(slots().trackScript), QStringLiteral("Airfoil Satellite"));

        // iTunes and Music share slots.
        m_scripts->setUpiTunesScripts();
        QCOMPARE(receiverOf(slots().iTunesRatingScript), QStringLiteral("iTunes"));
        m_scripts->setUpMusicScripts();
        for (const ScriptSlot *slot : {&slots().iTunesRatingScript, &slots().iTunesArtScript6, &slots().iTunesRadioScript})
            QCOMPARE(receiverOf(*slot), QStringLiteral("Music"));
    }

    void notifications()
    {
        const QString iTunes = QStringLiteral("com.apple.iTunes.playerInfo");
        const QString music = QStringLiteral("com.apple.Music.playerInfo");
        const QString spotify = QStringLiteral("com.spotify.client.PlaybackStateChanged");

        {
            LogCapture log;
            m_scripts->setUpiTunesScripts();
            m_scripts->setUpiTunesScripts();
            m_scripts->setUpMusicScripts();
            m_scripts->setUpiTunesScripts();
            QCOMPARE(log.lines(), QStringList(2, QStringLiteral("adding iTunes observer"))); // iTunes' own line
        }
        QCOMPARE(m_distributed->observerCount(), 1);
        m_distributed->post(iTunes);
        QCOMPARE(m_notified, QStringList{iTunes});

        // Sets without a notification of their own leave the registration alone.
        m_scripts->setUpSwinsianScripts();
        m_scripts->setUpHermesScripts();
        m_distributed->post(iTunes);
        QCOMPARE(m_notified, QStringList({iTunes, iTunes}));

        // Another player's set replaces it.
        for (const auto &[build, name] : {std::pair{&PlayerScripts::setUpSpotifyScripts, spotify},
                                          std::pair{&PlayerScripts::setUpMusicScripts, music}}) {
            m_notified.clear();
            (m_scripts.get()->*build)();
            for (const QString &posted : {iTunes, spotify, music})
                m_distributed->post(posted);
            QCOMPARE(m_notified, QStringList{name});
            QCOMPARE(m_distributed->observerCount(), 1);
        }

        // The registrations are the view's: removing the view removes them.
        m_distributed->removeObserver(&m_observer);
        m_notified.clear();
        m_distributed->post(music);
        QVERIFY(m_notified.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlayerScripts)
#include "tst_playerscripts.moc"
