// The stand-ins understand exactly the texts the display's script sets build:
// each sent to the player whose set built it, each in a slot that asks what
// the slot is for, and the per-player slot lookups agree with the player table.
#include "model/PlayerTable.h"
#include "nowplaying/Capture.h"
#include "nowplaying/PlayerScripts.h"
#include "nowplaying/SharedScripts.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/PlayerProfile.h"
#include "players/ScriptVocabulary.h"
#include "players/SimulatedPlayers.h"

#include <QTest>

namespace {

using Op = ScriptVocabulary::Operation;
using S = ScriptSlots;

// What a slot asks, whichever player built it; `alt` is a player's own form
// (Airfoil's title, Radium's artist, a radio's station, Hermes' address,
// Snowtape's play). argument -1: any.
struct SlotMeaning
{
    ScriptSlot ScriptSlots::*slot;
    Op op;
    Op alt = op;
    int argument = -1;
};

// clang-format off
const SlotMeaning kMeanings[] = {
    {&S::spotifyStatusScript, Op::Status}, {&S::itunesStatusScript, Op::Status}, {&S::musicStatusScript, Op::Status},
    {&S::snowtapeStatusScript, Op::Status}, {&S::ecouteStatusScript, Op::Status}, {&S::rdioStatusScript, Op::Status},
    {&S::radiumStatusScript, Op::Status}, {&S::swinsianStatusScript, Op::Status}, {&S::hermesStatusScript, Op::Status},
    {&S::airfoilStatusScript, Op::Status, Op::TrackTitle}, {&S::audirvanaStatusScript, Op::Status},
    {&S::trackScript, Op::Name, Op::TrackTitle}, {&S::artistScript, Op::Artist, Op::Name},
    {&S::albumScript, Op::Album, Op::Station}, {&S::artScript, Op::Artwork, Op::ArtworkUrl},
    {&S::durationScript, Op::Duration}, {&S::bookmarkScript, Op::Position}, {&S::PPScript, Op::PlayPause, Op::Play},
    {&S::prevScript, Op::Previous}, {&S::nextScript, Op::Next}, {&S::snowtapePauseScript, Op::Pause},
    {&S::rdioPauseScript, Op::Pause}, {&S::hermesPauseScript, Op::Pause}, {&S::bitRateScript, Op::BitRate},
    {&S::bitDepthScript, Op::BitDepth}, {&S::sampleRateScript, Op::SampleRate}, {&S::kindScript, Op::Kind},
    {&S::iTunesRatingScript, Op::Rating}, {&S::ecouteRatingScript, Op::Rating}, {&S::swinsianRatingScript, Op::Rating},
    {&S::hermesRatingScript, Op::Rating}, {&S::iTunesLovedScript, Op::Loved}, {&S::iTunesDislikedScript, Op::Disliked},
    {&S::iTunesSetRating0Script, Op::SetRating, Op::SetRating, 0}, {&S::iTunesSetRating1Script, Op::SetRating, Op::SetRating, 20},
    {&S::iTunesSetRating2Script, Op::SetRating, Op::SetRating, 40}, {&S::iTunesSetRating3Script, Op::SetRating, Op::SetRating, 60},
    {&S::iTunesSetRating4Script, Op::SetRating, Op::SetRating, 80}, {&S::iTunesSetRating5Script, Op::SetRating, Op::SetRating, 100},
    {&S::iTunesSetLovedScript, Op::SetLoved, Op::SetLoved, 1}, {&S::iTunesResetLovedScript, Op::SetLoved, Op::SetLoved, 0},
    {&S::iTunesSetDislikedScript, Op::SetDisliked, Op::SetDisliked, 1},
    {&S::iTunesResetDislikedScript, Op::SetDisliked, Op::SetDisliked, 0},
    {&S::hermesThumbsUpScript, Op::ThumbsUp}, {&S::hermesThumbsDownScript, Op::ThumbsDown},
    {&S::iTunesRadioScript, Op::StreamTitle}, {&S::iTunesLyricsScript, Op::Lyrics},
    {&S::iTunesArtScript2, Op::Artwork, Op::Artwork, 2}, {&S::iTunesArtScript3, Op::Artwork, Op::Artwork, 3},
    {&S::iTunesArtScript4, Op::Artwork, Op::Artwork, 4}, {&S::iTunesArtScript5, Op::Artwork, Op::Artwork, 5},
    {&S::iTunesArtScript6, Op::Artwork, Op::Artwork, 6},
    {&S::iTunesRandomArtworkScript, Op::RandomArtwork}, {&S::musicRandomArtworkScript, Op::RandomArtwork},
    {&S::iTunesReleaseDateScript, Op::Year}, {&S::iTunesDateAddedScript, Op::DateAdded},
    {&S::iTunesLastPlayedScript, Op::PlayedDate}, {&S::iTunesPlayCountScript, Op::PlayCount},
    {&S::swinsianReleaseDateScript, Op::Year}, {&S::swinsianDateAddedScript, Op::DateAdded},
    {&S::swinsianLastPlayedScript, Op::PlayedDate}, {&S::swinsianPlayCountScript, Op::PlayCount},
    {&S::spotifyPopularityScript, Op::Popularity}, {&S::spotifyURIScript, Op::Url},
    {&S::spotifyArtURLScript, Op::ArtworkUrl}, {&S::SpotifyPlayCountScript, Op::PlayCount},
};
// clang-format on

std::optional<Op> opOf(const ScriptSlot *slot)
{
    const ScriptVocabulary::Entry *entry = slot && *slot ? ScriptVocabulary::find((*slot)->source()) : nullptr;
    return entry ? std::optional<Op>(entry->operation) : std::nullopt;
}

} // namespace

class TestScriptVocabulary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void vocabularyIsWhatTheSetsBuild();
};

void TestScriptVocabulary::vocabularyIsWhatTheSetsBuild()
{
    QByteArray json = R"({"players": [)";
    for (const PlayerTable::Facts &facts : PlayerTable::all())
        json += QByteArray(json.endsWith('}') ? "," : "") + R"({"name": ")" + facts.nameText().toUtf8()
            + R"(", "state": "playing", "tracks": [{"name": "One", "duration": 60}]})";
    const FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    QString error;
    const auto players = SimulatedPlayers::fromJson(json + "]}", QStringLiteral("all.json"), clock, &error);
    QVERIFY2(players, qPrintable(error));

    QSet<QString> built{SharedScripts::processList(), SharedScripts::volumeUp(), SharedScripts::volumeDown()};
    QSet<PlayerId> visited;
    for (const PlayerTable::Facts &facts : PlayerTable::all()) {
        const PlayerId id = facts.id;
        visited.insert(id);
        const PlayerProfile *profile = PlayerProfile::find(facts.nameText());
        QVERIFY(profile && profile->facts == &facts && PlayerTable::find(id) == &facts);
        QCOMPARE(PlayerTable::find(facts.nameText().toLower(), Qt::CaseInsensitive), &facts);

        CountingService service(*players);
        NotificationCenter centre;
        PlayerScripts scripts(service, centre, this, {});
        scripts.setUpSomePlayerSpecificScriptsForPlayer(id);
        scripts.setUpScriptsForPlayer(id);
        QSet<QString> inSlots;
        for (const SlotMeaning &meaning : kMeanings) {
            const ScriptSlot &slot = scripts.slots.*meaning.slot;
            if (!slot)
                continue;
            const QString where = facts.nameText() + QStringLiteral(": ") + QString(slot->source()).replace(u'\r', u'|');
            inSlots.insert(slot->source());
            const ScriptVocabulary::Entry *entry = ScriptVocabulary::find(slot->source());
            QVERIFY2(entry && slot->isCompiled(), qPrintable(where));
            QVERIFY2(entry->operation == meaning.op || entry->operation == meaning.alt, qPrintable(where));
            QVERIFY2(meaning.argument < 0 || entry->argument == meaning.argument, qPrintable(where));
            QCOMPARE(entry->receiver, facts.processNameText());
            error.clear();
            slot->execute(&error);
            QVERIFY2(error.isEmpty() || (error != u"unknown script" && !error.endsWith(u" is not running")
                                         && !error.endsWith(u" cannot answer that")),
                     qPrintable(where + QStringLiteral(" -> ") + error));
        }
        // Every text the set built sits in a slot listed above.
        QCOMPARE(service.compiled, inSlots);
        built += inSlots;

        // The lookups by player find this player's own slots.
        QCOMPARE(opOf(scripts.slots.statusSlot(id)), std::optional<Op>(facts.status == PlayerTable::StatusStyle::TrackTitle
                                                                           ? Op::TrackTitle : Op::Status));
        const std::optional<Op> rating = opOf(scripts.slots.ratingSlot(id));
        QCOMPARE(rating.has_value(), facts.rating != PlayerTable::RatingStyle::None);
        QCOMPARE(rating == Op::Popularity, facts.rating == PlayerTable::RatingStyle::Popularity);
        QCOMPARE(opOf(scripts.slots.randomArtworkSlot(id)).has_value(),
                 facts.artwork == PlayerTable::ArtworkSource::Library);
        if (const auto library = scripts.slots.libraryDetails(id)) {
            QCOMPARE(opOf(library->year), std::optional<Op>(Op::Year));
            QCOMPARE(opOf(library->added), std::optional<Op>(Op::DateAdded));
            QCOMPARE(opOf(library->played), std::optional<Op>(Op::PlayedDate));
            QCOMPARE(opOf(library->count), std::optional<Op>(Op::PlayCount));
        }
    }
    // No text of the stand-ins' own invention, none the display sends that they miss.
    const QList<QString> known = ScriptVocabulary::all().keys();
    QCOMPARE(built, QSet<QString>(known.begin(), known.end()));
    QCOMPARE(visited, QSet<PlayerId>(PlayerTable::visitingOrder.begin(), PlayerTable::visitingOrder.end()));
}

QTEST_GUILESS_MAIN(TestScriptVocabulary)
#include "tst_scriptvocabulary.moc"
