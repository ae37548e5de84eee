#include "model/PlayerTable.h"

namespace PlayerTable {

namespace {

using S = StatusStyle;
using D = DurationUnit;
using R = RatingStyle;
using A = ArtworkSource;
using T = TitleMarks;

// clang-format off
constexpr Facts kRows[] = {
//   id                          name                  process name          status          "playing" unit           progress rating         loved  disliked radio  streams claims artwork             title marks        paused text           notification
    {PlayerId::Spotify,          u"Spotify",           u"Spotify",           S::StateCodes,  true,  D::Milliseconds, true,  R::Popularity, false, false,  false, false,  false, A::DataThenAddress, T::StarsAndTilde, u"Spotify Paused",  u"com.spotify.client.PlaybackStateChanged"},
    {PlayerId::ITunes,           u"iTunes",            u"iTunes",            S::StateCodes,  false, D::Seconds,      true,  R::Stars100,   true,  true,   false, true,   true,  A::Library,         T::StarsAndTilde, u"iTunes Paused",   u"com.apple.iTunes.playerInfo"},
    {PlayerId::Music,            u"Music",             u"Music",             S::StateCodes,  false, D::Seconds,      true,  R::Stars100,   true,  true,   false, true,   true,  A::Library,         T::StarsAndTilde, u"Music Paused",    u"com.apple.Music.playerInfo"},
    {PlayerId::Snowtape,         u"Snowtape",          u"Snowtape",          S::Playing,     false, D::Seconds,      false, R::None,       false, false,  true,  false,  false, A::Data,            T::StarsAndTilde, u"Snowtape Paused", nullptr},
    {PlayerId::Ecoute,           u"Ecoute",            u"Ecoute",            S::EcouteCodes, false, D::Seconds,      true,  R::Stars5,     false, false,  false, false,  false, A::Data,            T::StarsAndTilde, u"Ecoute Paused",   nullptr},
    {PlayerId::Rdio,             u"Rdio",              u"Rdio",              S::StateCodes,  false, D::Seconds,      true,  R::None,       false, false,  false, false,  false, A::Data,            T::StarsAndTilde, nullptr,            nullptr},
    {PlayerId::Radium,           u"Radium",            u"Radium",            S::Playing,     false, D::Seconds,      false, R::None,       false, false,  true,  false,  false, A::Data,            T::StarsAndTilde, u"Radium Paused",   nullptr},
    {PlayerId::Swinsian,         u"Swinsian",          u"Swinsian",          S::StateCodes,  false, D::Seconds,      true,  R::Stars5,     false, false,  false, false,  false, A::Data,            T::Stars,         u"Swinsian Paused", nullptr},
    {PlayerId::Hermes,           u"Hermes",            u"Hermes",            S::HermesWords, false, D::Seconds,      true,  R::Thumbs,     false, false,  false, false,  false, A::Address,         T::None,          u"Hermes Paused",   nullptr},
    {PlayerId::AirfoilSatellite, u"Airfoil Satellite", u"Airfoil Satellite", S::TrackTitle,  false, D::Seconds,      false, R::None,       false, false,  false, false,  false, A::Data,            T::StarsAndTilde, nullptr,            nullptr},
    {PlayerId::Audirvana,        u"Audirvana",         u"Audirvana",         S::StateCodes,  false, D::Seconds,      true,  R::None,       false, false,  false, false,  false, A::Data,            T::None,          nullptr,            nullptr},
};
// clang-format on

} // namespace

bool Facts::isPlayingAnswer(const ScriptResult &answer) const
{
    if (answer.isNone())
        return false;
    const QString text = answer.stringValue();
    switch (status) {
    case S::StateCodes:
        return text == QLatin1String("kPSP") || (saysPlaying && text == QLatin1String("playing"));
    case S::Playing:
        return answer.booleanValue();
    case S::HermesWords:
        return text == QLatin1String("play");
    case S::EcouteCodes:
        return text == QLatin1String("PSTl");
    case S::TrackTitle:
        return !text.isEmpty();
    }
    return false;
}

std::span<const Facts> all()
{
    return kRows;
}

const Facts *find(PlayerId player)
{
    for (const Facts &row : kRows) {
        if (row.id == player)
            return &row;
    }
    return nullptr;
}

const Facts *find(QStringView name, Qt::CaseSensitivity cs)
{
    for (const Facts &row : kRows) {
        if (name.compare(QStringView(row.name), cs) == 0)
            return &row;
    }
    return nullptr;
}

} // namespace PlayerTable
