#include "nowplaying/PlayerScripts.h"

#include "model/PlayerTable.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <span>

namespace {

using enum PlayerId;

using Slot = ScriptSlot ScriptSlots::*;

// A track-data slot and its script text; a null text empties the slot.
struct SlotText
{
    Slot slot;
    const char16_t *text;
};

// Status and extra slots are built once and kept; transport slots are
// rebuilt on every call.
enum Build { IfEmpty, Always };

struct PlayerSlotText
{
    Slot slot;
    Build build;
    const char16_t *text; // null: the slot is emptied
};

// Status, kept extras and transport, per player.

constexpr PlayerSlotText kSpotifyTransport[] = {
    {&ScriptSlots::spotifyPopularityScript, IfEmpty, u"tell application \"Spotify\"\rpopularity of current track\rend tell"},
    {&ScriptSlots::spotifyStatusScript, IfEmpty, u"tell app \"Spotify\"\rplayer state \r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Spotify\"\rplaypause\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"Spotify\"\rprevious track\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"Spotify\"\rnext track\rend tell"},
};

constexpr PlayerSlotText kITunesTransport[] = {
    {&ScriptSlots::itunesStatusScript, IfEmpty, u"tell app \"iTunes\"\rplayer state \r end tell"},
    {&ScriptSlots::iTunesRandomArtworkScript, IfEmpty,
     u"tell application \"iTunes\"\n"
     u"set someTrack to some track of user playlist \"Music\"\n"
     u"return data of front artwork of someTrack\n"
     u"end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"iTunes\"\rplaypause\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"iTunes\"\rback track\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"iTunes\"\rnext track\rend tell"},
};

// Snowtape's play/pause is a plain "play".
constexpr PlayerSlotText kSnowtapeTransport[] = {
    {&ScriptSlots::snowtapeStatusScript, IfEmpty, u"tell app \"Snowtape\"\rplaying \r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Snowtape\"\rplay\rend tell"},
    {&ScriptSlots::snowtapePauseScript, Always, u"tell application \"Snowtape\"\rpause\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"Snowtape\"\rprevious track\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"Snowtape\"\rnext track\rend tell"},
};

constexpr PlayerSlotText kEcouteTransport[] = {
    {&ScriptSlots::ecouteStatusScript, IfEmpty, u"tell app \"Ecoute\"\rplayer state\r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Ecoute\"\rplaypause\rend tell"},
    // Ecoute has no previous/next here: emptied, so the keys never act on the player built before.
    {&ScriptSlots::prevScript, Always, nullptr},
    {&ScriptSlots::nextScript, Always, nullptr},
};

constexpr PlayerSlotText kRdioTransport[] = {
    {&ScriptSlots::rdioStatusScript, IfEmpty, u"tell app \"Rdio\"\rplayer state\r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Rdio\"\rplaypause\rend tell"},
    {&ScriptSlots::rdioPauseScript, Always, u"tell application \"Rdio\"\rpause\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"Rdio\"\rprevious track\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"Rdio\"\rnext track\rend tell"},
};

// Radium's pause shares Snowtape's slot.
constexpr PlayerSlotText kRadiumTransport[] = {
    {&ScriptSlots::radiumStatusScript, IfEmpty, u"tell app \"Radium\"\rplaying \r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Radium\"\rplaypause\rend tell"},
    {&ScriptSlots::snowtapePauseScript, Always, u"tell application \"Radium\"\rpause\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"Radium\"\rprevious track\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"Radium\"\rnext track\rend tell"},
};

constexpr PlayerSlotText kSwinsianTransport[] = {
    {&ScriptSlots::swinsianStatusScript, IfEmpty, u"tell app \"Swinsian\"\rplayer state \r end tell"},
    {&ScriptSlots::swinsianRatingScript, IfEmpty, u"tell app \"Swinsian\"\rrating of current track\r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Swinsian\"\rplaypause\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"Swinsian\"\rprevious track\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"Swinsian\"\rnext track\rend tell"},
};

// Hermes (a radio) cannot go back; its "next" skips a song it is tired of.
constexpr PlayerSlotText kHermesTransport[] = {
    {&ScriptSlots::hermesStatusScript, IfEmpty, u"tell app \"Hermes\"\rplayback state \r end tell"},
    {&ScriptSlots::hermesRatingScript, IfEmpty, u"tell app \"Hermes\"\rrating of current song\r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Hermes\"\rplaypause\rend tell"},
    {&ScriptSlots::hermesPauseScript, Always, u"tell application \"Hermes\"\rpause\rend tell"},
    {&ScriptSlots::prevScript, Always, nullptr},
    {&ScriptSlots::nextScript, Always, u"tell application \"Hermes\"\rtired of song\rend tell"},
};

constexpr PlayerSlotText kAirfoilTransport[] = {
    {&ScriptSlots::airfoilStatusScript, IfEmpty, u"tell application \"Airfoil Satellite\"\rtrack title\r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Airfoil Satellite\"\rplaypause\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"Airfoil Satellite\"\rnext\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"Airfoil Satellite\"\rprevious\rend tell"},
};

constexpr PlayerSlotText kAudirvanaTransport[] = {
    {&ScriptSlots::audirvanaStatusScript, IfEmpty, u"tell application \"Audirvana\"\rplayer state\r end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Audirvana\"\rplaypause\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"Audirvana\"\rnext track\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"Audirvana\"\rprevious track\rend tell"},
};

constexpr PlayerSlotText kMusicTransport[] = {
    {&ScriptSlots::musicStatusScript, IfEmpty, u"tell app \"Music\"\rplayer state \r end tell"},
    {&ScriptSlots::musicRandomArtworkScript, IfEmpty,
     u"tell application \"Music\"\n"
     u"set someTrack to some track of user playlist \"Music\"\n"
     u"return data of front artwork of someTrack\n"
     u"end tell"},
    {&ScriptSlots::PPScript, Always, u"tell application \"Music\"\rplaypause\rend tell"},
    {&ScriptSlots::prevScript, Always, u"tell application \"Music\"\rback track\rend tell"},
    {&ScriptSlots::nextScript, Always, u"tell application \"Music\"\rnext track\rend tell"},
};

// Track data, per player, in the order the slots are filled.

constexpr SlotText kSpotifySet[] = {
    {&ScriptSlots::artScript, u"tell app \"Spotify\"\rartwork of current track \r end tell"},
    {&ScriptSlots::trackScript, u"tell app \"Spotify\"\rname of current track \r end tell"},
    {&ScriptSlots::artistScript, u"tell app \"Spotify\"\rartist of current track \r end tell"},
    {&ScriptSlots::albumScript, u"tell app \"Spotify\"\ralbum of current track \r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Spotify\"\rduration of current track\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Spotify\"\rplayer position\rend tell"},
    {&ScriptSlots::spotifyURIScript, u"tell application \"Spotify\"\rspotify url of current track\rend tell"},
    {&ScriptSlots::spotifyArtURLScript, u"tell application \"Spotify\"\rartwork url of current track\rend tell"},
    {&ScriptSlots::SpotifyPlayCountScript, u"tell application \"Spotify\"\rplayed count of current track\rend tell"},
    {&ScriptSlots::bitRateScript, nullptr},
    {&ScriptSlots::sampleRateScript, nullptr},
    {&ScriptSlots::kindScript, nullptr},
    {&ScriptSlots::bitDepthScript, nullptr},
};

constexpr SlotText kITunesSet[] = {
    {&ScriptSlots::iTunesRadioScript, u"tell application \"iTunes\"\rcurrent stream title\rend tell"},
    {&ScriptSlots::iTunesLyricsScript, u"tell application \"iTunes\"\rlyrics of current track\rend tell"},
    {&ScriptSlots::iTunesRatingScript, u"tell application \"iTunes\"\rrating of current track\rend tell"},
    {&ScriptSlots::iTunesSetRating0Script, u"tell application \"iTunes\"\rset rating of current track to 0\rend tell"},
    {&ScriptSlots::iTunesSetRating1Script, u"tell application \"iTunes\"\rset rating of current track to 20\rend tell"},
    {&ScriptSlots::iTunesSetRating2Script, u"tell application \"iTunes\"\rset rating of current track to 40\rend tell"},
    {&ScriptSlots::iTunesSetRating3Script, u"tell application \"iTunes\"\rset rating of current track to 60\rend tell"},
    {&ScriptSlots::iTunesSetRating4Script, u"tell application \"iTunes\"\rset rating of current track to 80\rend tell"},
    {&ScriptSlots::iTunesSetRating5Script, u"tell application \"iTunes\"\rset rating of current track to 100\rend tell"},
    {&ScriptSlots::artScript, u"tell app \"iTunes\"\rdata of front artwork of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript2, u"tell app \"iTunes\"\rdata of artwork 2 of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript3, u"tell app \"iTunes\"\rdata of artwork 3 of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript4, u"tell app \"iTunes\"\rdata of artwork 4 of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript5, u"tell app \"iTunes\"\rdata of artwork 5 of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript6, u"tell app \"iTunes\"\rdata of artwork 6 of current track \r end tell"},
    {&ScriptSlots::trackScript, u"tell app \"iTunes\"\rname of current track \r end tell"},
    {&ScriptSlots::artistScript, u"tell app \"iTunes\"\rartist of current track \r end tell"},
    {&ScriptSlots::albumScript, u"tell app \"iTunes\"\ralbum of current track \r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"iTunes\"\rduration of current track\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"iTunes\"\rplayer position\rend tell"},
    {&ScriptSlots::bitRateScript, u"tell application \"iTunes\"\rbit rate of current track\rend tell"},
    {&ScriptSlots::sampleRateScript, u"tell application \"iTunes\"\rsample rate of current track\rend tell"},
    {&ScriptSlots::kindScript, u"tell application \"iTunes\"\rkind of current track\rend tell"},
    {&ScriptSlots::bitDepthScript, nullptr},
    {&ScriptSlots::iTunesLovedScript, u"tell application \"iTunes\"\rloved of current track\rend tell"},
    {&ScriptSlots::iTunesSetLovedScript, u"tell application \"iTunes\"\rset loved of current track to true\rend tell"},
    {&ScriptSlots::iTunesResetLovedScript, u"tell application \"iTunes\"\rset loved of current track to false\rend tell"},
    {&ScriptSlots::iTunesSetDislikedScript, u"tell application \"iTunes\"\rset disliked of current track to true\rend tell"},
    {&ScriptSlots::iTunesResetDislikedScript, u"tell application \"iTunes\"\rset disliked of current track to false\rend tell"},
    {&ScriptSlots::iTunesDislikedScript, u"tell application \"iTunes\"\rdisliked of current track\rend tell"},
    {&ScriptSlots::iTunesReleaseDateScript, u"tell application \"iTunes\"\ryear of current track\rend tell"},
    {&ScriptSlots::iTunesDateAddedScript, u"tell application \"iTunes\"\rdate added of current track\rend tell"},
    {&ScriptSlots::iTunesLastPlayedScript, u"tell application \"iTunes\"\rplayed date of current track\rend tell"},
    {&ScriptSlots::iTunesPlayCountScript, u"tell application \"iTunes\"\rplayed count of current track\rend tell"},
};

// Radio players: the album line is the station's name.
constexpr SlotText kSnowtapeSet[] = {
    {&ScriptSlots::artScript, u"tell app \"Snowtape\"\rcurrent song artwork \r end tell"},
    {&ScriptSlots::trackScript, u"tell app \"Snowtape\"\rcurrent song title \r end tell"},
    {&ScriptSlots::artistScript, u"tell app \"Snowtape\"\rcurrent song artist \r end tell"},
    {&ScriptSlots::albumScript, u"tell application \"Snowtape\"\rname of current station \r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Snowtape\"\rduration of current track\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Snowtape\"\rplayer position\rend tell"},
    {&ScriptSlots::bitRateScript, nullptr},
    {&ScriptSlots::sampleRateScript, nullptr},
    {&ScriptSlots::kindScript, nullptr},
    {&ScriptSlots::bitDepthScript, nullptr},
};

constexpr SlotText kEcouteSet[] = {
    {&ScriptSlots::artScript, u"tell app \"Ecoute\"\rartwork of current track\r end tell"},
    {&ScriptSlots::trackScript, u"tell app \"Ecoute\"\rname of current track\r end tell"},
    {&ScriptSlots::artistScript, u"tell app \"Ecoute\"\rartist of current track\r end tell"},
    {&ScriptSlots::albumScript, u"tell app \"Ecoute\"\ralbum of current track\r end tell"},
    {&ScriptSlots::ecouteRatingScript, u"tell app \"Ecoute\"\rrating of current track\r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Ecoute\"\rduration of current track\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Ecoute\"\rplayer position\rend tell"},
    {&ScriptSlots::bitRateScript, nullptr},
    {&ScriptSlots::sampleRateScript, nullptr},
    {&ScriptSlots::kindScript, nullptr},
    {&ScriptSlots::bitDepthScript, nullptr},
};

constexpr SlotText kRdioSet[] = {
    {&ScriptSlots::artScript, u"tell application \"Rdio\"\rartwork of current track\r end tell"},
    {&ScriptSlots::trackScript, u"tell application \"Rdio\"\rname of current track\r end tell"},
    {&ScriptSlots::artistScript, u"tell application \"Rdio\"\rartist of current track\r end tell"},
    {&ScriptSlots::albumScript, u"tell application \"Rdio\"\ralbum of current track\r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Rdio\"\rduration of current track\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Rdio\"\rplayer position\rend tell"},
    {&ScriptSlots::bitRateScript, nullptr},
    {&ScriptSlots::sampleRateScript, nullptr},
    {&ScriptSlots::kindScript, nullptr},
    {&ScriptSlots::bitDepthScript, nullptr},
};

// Radium has no artist of its own: the artist line asks for the track name too.
constexpr SlotText kRadiumSet[] = {
    {&ScriptSlots::artScript, u"tell app \"Radium\"\rtrack artwork \r end tell"},
    {&ScriptSlots::trackScript, u"tell app \"Radium\"\rtrack name \r end tell"},
    {&ScriptSlots::artistScript, u"tell app \"Radium\"\rtrack name \r end tell"},
    {&ScriptSlots::albumScript, u"tell application \"Radium\"\rname of current station \r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Radium\"\rduration of current track\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Radium\"\rplayer position\rend tell"},
    {&ScriptSlots::bitRateScript, nullptr},
    {&ScriptSlots::sampleRateScript, nullptr},
    {&ScriptSlots::kindScript, nullptr},
    {&ScriptSlots::bitDepthScript, nullptr},
};

constexpr SlotText kSwinsianSet[] = {
    {&ScriptSlots::artScript, u"tell app \"Swinsian\"\ralbum art of current track \r end tell"},
    {&ScriptSlots::trackScript, u"tell app \"Swinsian\"\rname of current track \r end tell"},
    {&ScriptSlots::artistScript, u"tell app \"Swinsian\"\rartist of current track \r end tell"},
    {&ScriptSlots::albumScript, u"tell app \"Swinsian\"\ralbum of current track \r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Swinsian\"\rduration of current track\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Swinsian\"\rplayer position\rend tell"},
    {&ScriptSlots::bitRateScript, u"tell application \"Swinsian\"\rbit rate of current track\rend tell"},
    {&ScriptSlots::bitDepthScript, u"tell application \"Swinsian\"\rbit depth of current track\rend tell"},
    {&ScriptSlots::sampleRateScript, u"tell application \"Swinsian\"\rsample rate of current track\rend tell"},
    {&ScriptSlots::kindScript, u"tell application \"Swinsian\"\rkind of current track\rend tell"},
    {&ScriptSlots::swinsianReleaseDateScript, u"tell application \"Swinsian\"\ryear of current track\rend tell"},
    {&ScriptSlots::swinsianDateAddedScript, u"tell application \"Swinsian\"\rdate added of current track\rend tell"},
    {&ScriptSlots::swinsianLastPlayedScript, u"tell application \"Swinsian\"\rlast played of current track\rend tell"},
    {&ScriptSlots::swinsianPlayCountScript, u"tell application \"Swinsian\"\rplay count of current track\rend tell"},
};

// Hermes answers an artwork address, not image data.
constexpr SlotText kHermesSet[] = {
    {&ScriptSlots::artScript, u"tell application \"Hermes\"\rartwork URL of current song\r end tell"},
    {&ScriptSlots::trackScript, u"tell application \"Hermes\"\rtitle of current song\r end tell"},
    {&ScriptSlots::artistScript, u"tell application \"Hermes\"\rartist of current song\r end tell"},
    {&ScriptSlots::albumScript, u"tell application \"Hermes\"\ralbum of current song\r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Hermes\"\rcurrent song duration\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Hermes\"\rplayback position\rend tell"},
    {&ScriptSlots::hermesRatingScript, u"tell app \"Hermes\"\rrating of current song\r end tell"},
    {&ScriptSlots::hermesThumbsUpScript, u"tell app \"Hermes\"\rthumbs up\r end tell"},
    {&ScriptSlots::hermesThumbsDownScript, u"tell app \"Hermes\"\rthumbs down\r end tell"},
    {&ScriptSlots::bitRateScript, nullptr},
    {&ScriptSlots::sampleRateScript, nullptr},
    {&ScriptSlots::kindScript, nullptr},
    {&ScriptSlots::bitDepthScript, nullptr},
};

// Airfoil Satellite tells no duration or position, so no progress is shown.
constexpr SlotText kAirfoilSet[] = {
    {&ScriptSlots::artScript, u"tell application \"Airfoil Satellite\"\rartwork\r end tell"},
    {&ScriptSlots::trackScript, u"tell application \"Airfoil Satellite\"\rtrack title\r end tell"},
    {&ScriptSlots::artistScript, u"tell application \"Airfoil Satellite\"\rartist\r end tell"},
    {&ScriptSlots::albumScript, u"tell application \"Airfoil Satellite\"\ralbum\r end tell"},
    {&ScriptSlots::durationScript, nullptr},
    {&ScriptSlots::bookmarkScript, nullptr},
    {&ScriptSlots::bitRateScript, nullptr},
    {&ScriptSlots::sampleRateScript, nullptr},
    {&ScriptSlots::kindScript, nullptr},
    {&ScriptSlots::bitDepthScript, nullptr},
};

constexpr SlotText kAudirvanaSet[] = {
    {&ScriptSlots::artScript, u"tell application \"Audirvana\"\rplaying track airfoillogo\r end tell"},
    {&ScriptSlots::trackScript, u"tell application \"Audirvana\"\rplaying track title\r end tell"},
    {&ScriptSlots::artistScript, u"tell application \"Audirvana\"\rplaying track artist\r end tell"},
    {&ScriptSlots::albumScript, u"tell application \"Audirvana\"\rplaying track album\r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Audirvana\"\rplaying track duration\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Audirvana\"\rplayer position\rend tell"},
    {&ScriptSlots::bitRateScript, nullptr},
    {&ScriptSlots::sampleRateScript, nullptr},
    {&ScriptSlots::kindScript, nullptr},
    {&ScriptSlots::bitDepthScript, nullptr},
};

// Music fills the iTunes slots under its own name, and rebuilds its status script.
constexpr SlotText kMusicSet[] = {
    {&ScriptSlots::musicStatusScript, u"tell app \"Music\"\rplayer state \r end tell"},
    {&ScriptSlots::iTunesLyricsScript, u"tell application \"Music\"\rlyrics of current track\rend tell"},
    {&ScriptSlots::iTunesRatingScript, u"tell application \"Music\"\rrating of current track\rend tell"},
    {&ScriptSlots::iTunesSetRating0Script, u"tell application \"Music\"\rset rating of current track to 0\rend tell"},
    {&ScriptSlots::iTunesSetRating1Script, u"tell application \"Music\"\rset rating of current track to 20\rend tell"},
    {&ScriptSlots::iTunesSetRating2Script, u"tell application \"Music\"\rset rating of current track to 40\rend tell"},
    {&ScriptSlots::iTunesSetRating3Script, u"tell application \"Music\"\rset rating of current track to 60\rend tell"},
    {&ScriptSlots::iTunesSetRating4Script, u"tell application \"Music\"\rset rating of current track to 80\rend tell"},
    {&ScriptSlots::iTunesSetRating5Script, u"tell application \"Music\"\rset rating of current track to 100\rend tell"},
    {&ScriptSlots::artScript, u"tell app \"Music\"\rdata of front artwork of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript2, u"tell app \"Music\"\rdata of artwork 2 of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript3, u"tell app \"Music\"\rdata of artwork 3 of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript4, u"tell app \"Music\"\rdata of artwork 4 of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript5, u"tell app \"Music\"\rdata of artwork 5 of current track \r end tell"},
    {&ScriptSlots::iTunesArtScript6, u"tell app \"Music\"\rdata of artwork 6 of current track \r end tell"},
    {&ScriptSlots::trackScript, u"tell app \"Music\"\rname of current track \r end tell"},
    {&ScriptSlots::artistScript, u"tell app \"Music\"\rartist of current track \r end tell"},
    {&ScriptSlots::albumScript, u"tell app \"Music\"\ralbum of current track \r end tell"},
    {&ScriptSlots::durationScript, u"tell application \"Music\"\rduration of current track\rend tell"},
    {&ScriptSlots::bookmarkScript, u"tell application \"Music\"\rplayer position\rend tell"},
    {&ScriptSlots::iTunesRadioScript, u"tell application \"Music\"\rcurrent stream title\rend tell"},
    {&ScriptSlots::bitRateScript, u"tell application \"Music\"\rbit rate of current track\rend tell"},
    {&ScriptSlots::sampleRateScript, u"tell application \"Music\"\rsample rate of current track\rend tell"},
    {&ScriptSlots::kindScript, u"tell application \"Music\"\rkind of current track\rend tell"},
    {&ScriptSlots::bitDepthScript, nullptr},
    {&ScriptSlots::iTunesLovedScript, u"tell application \"Music\"\rloved of current track\rend tell"},
    {&ScriptSlots::iTunesSetLovedScript, u"tell application \"Music\"\rset loved of current track to true\rend tell"},
    {&ScriptSlots::iTunesResetLovedScript, u"tell application \"Music\"\rset loved of current track to false\rend tell"},
    {&ScriptSlots::iTunesSetDislikedScript, u"tell application \"Music\"\rset disliked of current track to true\rend tell"},
    {&ScriptSlots::iTunesResetDislikedScript, u"tell application \"Music\"\rset disliked of current track to false\rend tell"},
    {&ScriptSlots::iTunesDislikedScript, u"tell application \"Music\"\rdisliked of current track\rend tell"},
    {&ScriptSlots::iTunesReleaseDateScript, u"tell application \"Music\"\ryear of current track\rend tell"},
    {&ScriptSlots::iTunesDateAddedScript, u"tell application \"Music\"\rdate added of current track\rend tell"},
    {&ScriptSlots::iTunesLastPlayedScript, u"tell application \"Music\"\rplayed date of current track\rend tell"},
    {&ScriptSlots::iTunesPlayCountScript, u"tell application \"Music\"\rplayed count of current track\rend tell"},
};

// One row per player: its two tables. The rest of what is known of a player
// (process name, notification) is in its PlayerTable row.
struct ScriptSet
{
    PlayerId player;
    std::span<const PlayerSlotText> playerSpecific;
    std::span<const SlotText> trackData;
};

constexpr ScriptSet kScriptSets[] = {
    {Spotify, kSpotifyTransport, kSpotifySet},
    {ITunes, kITunesTransport, kITunesSet},
    {Snowtape, kSnowtapeTransport, kSnowtapeSet},
    {Ecoute, kEcouteTransport, kEcouteSet},
    {Rdio, kRdioTransport, kRdioSet},
    {Radium, kRadiumTransport, kRadiumSet},
    {Swinsian, kSwinsianTransport, kSwinsianSet},
    {Hermes, kHermesTransport, kHermesSet},
    {AirfoilSatellite, kAirfoilTransport, kAirfoilSet},
    {Audirvana, kAudirvanaTransport, kAudirvanaSet},
    {Music, kMusicTransport, kMusicSet},
};

const ScriptSet *find(PlayerId player)
{
    for (const ScriptSet &set : kScriptSets) {
        if (set.player == player)
            return &set;
    }
    return nullptr;
}

} // namespace

PlayerScripts::PlayerScripts(ScriptService &service, NotificationCenter &distributedCenter,
                             const void *observer, std::function<void(const QString &)> onPlayerNotification)
    : m_service(service),
      m_distributed(distributedCenter),
      m_observer(observer),
      m_onPlayerNotification(std::move(onPlayerNotification))
{
}

ScriptSlot PlayerScripts::make(const QString &source)
{
    return std::make_unique<Script>(m_service, source); // compiles it
}

void PlayerScripts::observe(const QString &notificationName)
{
    // The view follows one player's notification at a time.
    m_distributed.removeObserver(m_observer);
    m_distributed.addObserver(m_observer, notificationName,
                              [callback = m_onPlayerNotification](const Notification &notification) {
                                  if (callback)
                                      callback(notification.name);
                              });
}

void PlayerScripts::setUpSomePlayerSpecificScriptsForPlayer(PlayerId player)
{
    const ScriptSet *set = find(player);
    if (!set)
        return;
    for (const PlayerSlotText &row : set->playerSpecific) {
        ScriptSlot &slot = slots.*row.slot;
        if (row.build == IfEmpty && slot)
            continue;
        slot = row.text ? make(QString::fromUtf16(row.text)) : nullptr;
    }
}

void PlayerScripts::setUpScriptsForPlayer(PlayerId player)
{
    const ScriptSet *set = find(player);
    const PlayerTable::Facts *facts = PlayerTable::find(player);
    if (!set || !facts || scriptsSetUpFor == player)
        return;
    for (const SlotText &row : set->trackData)
        slots.*row.slot = row.text ? make(QString::fromUtf16(row.text)) : nullptr;
    // A library's set starts again from a track's first artwork.
    if (facts->artwork == PlayerTable::ArtworkSource::Library)
        artworkNumber = 1;
    if (facts->notification) {
        if (player == PlayerId::ITunes)
            qCInfo(lcNowPlaying, "adding iTunes observer");
        observe(facts->notificationName());
    }
    scriptsSetUpFor = player;
}

void PlayerScripts::setUpSpotifyScripts() { setUpScriptsForPlayer(Spotify); }
void PlayerScripts::setUpiTunesScripts() { setUpScriptsForPlayer(ITunes); }
void PlayerScripts::setUpSnowtapeScripts() { setUpScriptsForPlayer(Snowtape); }
void PlayerScripts::setUpEcouteScripts() { setUpScriptsForPlayer(Ecoute); }
void PlayerScripts::setUpRdioScripts() { setUpScriptsForPlayer(Rdio); }
void PlayerScripts::setUpRadiumScripts() { setUpScriptsForPlayer(Radium); }
void PlayerScripts::setUpSwinsianScripts() { setUpScriptsForPlayer(Swinsian); }
void PlayerScripts::setUpHermesScripts() { setUpScriptsForPlayer(Hermes); }
void PlayerScripts::setUpAirfoilScripts() { setUpScriptsForPlayer(AirfoilSatellite); }
void PlayerScripts::setUpAudirvanaScripts() { setUpScriptsForPlayer(Audirvana); }
void PlayerScripts::setUpMusicScripts() { setUpScriptsForPlayer(Music); }

QString PlayerScripts::processName(PlayerId player)
{
    const PlayerTable::Facts *facts = PlayerTable::find(player);
    return facts ? facts->processNameText() : QString();
}

PlayerFacts PlayerScripts::playerFacts(PlayerId player) const
{
    const PlayerTable::Facts *facts = PlayerTable::find(player);
    const bool scripted = facts && player != PlayerId::Broadcaster;
    return m_service.playerFacts(scripted ? facts->nameText() : QString());
}
