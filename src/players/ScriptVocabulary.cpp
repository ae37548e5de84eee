#include "players/ScriptVocabulary.h"

namespace {

using Op = ScriptVocabulary::Operation;

class Builder
{
public:
    QHash<QString, ScriptVocabulary::Entry> table;

    void add(const QString &receiver, const char16_t *text, Op operation, int argument = 0)
    {
        add(receiver, QString::fromUtf16(text), operation, argument);
    }
    void add(const QString &receiver, const QString &text, Op operation, int argument = 0)
    {
        Q_ASSERT(!table.contains(text)); // one text, one meaning
        table.insert(text, {receiver, operation, argument});
    }
};

void addSystem(Builder &b)
{
    b.add(QStringLiteral("System Events"),
          u"tell application \"System Events\"\rname of every process\rend tell", Op::ProcessList);
    b.add(QString(),
          u"set curVolume to output volume of (get volume settings)\rif curVolume < 90 then\r"
          u"set newVolume to curVolume + 10\relse\rset newVolume to 100\rend if\r"
          u"set volume output volume newVolume",
          Op::VolumeUp);
    b.add(QString(),
          u"set curVolume to output volume of (get volume settings)\rif curVolume > 10 then\r"
          u"set newVolume to curVolume - 10\relse\rset newVolume to 1\rend if\r"
          u"set volume output volume newVolume",
          Op::VolumeDown);
}

void addSpotify(Builder &b)
{
    const QString p = QStringLiteral("Spotify");
    b.add(p, u"tell application \"Spotify\"\rpopularity of current track\rend tell", Op::Popularity);
    b.add(p, u"tell app \"Spotify\"\rplayer state \r end tell", Op::Status);
    b.add(p, u"tell application \"Spotify\"\rplaypause\rend tell", Op::PlayPause);
    b.add(p, u"tell application \"Spotify\"\rprevious track\rend tell", Op::Previous);
    b.add(p, u"tell application \"Spotify\"\rnext track\rend tell", Op::Next);
    b.add(p, u"tell app \"Spotify\"\rartwork of current track \r end tell", Op::Artwork, 1);
    b.add(p, u"tell app \"Spotify\"\rname of current track \r end tell", Op::Name);
    b.add(p, u"tell app \"Spotify\"\rartist of current track \r end tell", Op::Artist);
    b.add(p, u"tell app \"Spotify\"\ralbum of current track \r end tell", Op::Album);
    b.add(p, u"tell application \"Spotify\"\rduration of current track\rend tell", Op::Duration);
    b.add(p, u"tell application \"Spotify\"\rplayer position\rend tell", Op::Position);
    b.add(p, u"tell application \"Spotify\"\rspotify url of current track\rend tell", Op::Url);
    b.add(p, u"tell application \"Spotify\"\rartwork url of current track\rend tell", Op::ArtworkUrl);
    b.add(p, u"tell application \"Spotify\"\rplayed count of current track\rend tell", Op::PlayCount);
}

// iTunes and Music understand the same texts under their own names.
void addITunesLike(Builder &b, const QString &p)
{
    const auto t = [&p](const char16_t *pattern) { return QString::fromUtf16(pattern).arg(p); };
    b.add(p, t(u"tell app \"%1\"\rplayer state \r end tell"), Op::Status);
    b.add(p, t(u"tell application \"%1\"\nset someTrack to some track of user playlist \"Music\"\n"
               u"return data of front artwork of someTrack\nend tell"),
          Op::RandomArtwork);
    b.add(p, t(u"tell application \"%1\"\rplaypause\rend tell"), Op::PlayPause);
    b.add(p, t(u"tell application \"%1\"\rback track\rend tell"), Op::Previous);
    b.add(p, t(u"tell application \"%1\"\rnext track\rend tell"), Op::Next);
    b.add(p, t(u"tell application \"%1\"\rcurrent stream title\rend tell"), Op::StreamTitle);
    b.add(p, t(u"tell application \"%1\"\rlyrics of current track\rend tell"), Op::Lyrics);
    b.add(p, t(u"tell application \"%1\"\rrating of current track\rend tell"), Op::Rating);
    for (int stars = 0; stars <= 5; ++stars) {
        b.add(p, t(u"tell application \"%1\"\rset rating of current track to %2\rend tell").arg(stars * 20),
              Op::SetRating, stars * 20);
    }
    b.add(p, t(u"tell app \"%1\"\rdata of front artwork of current track \r end tell"), Op::Artwork, 1);
    for (int n = 2; n <= 6; ++n)
        b.add(p, t(u"tell app \"%1\"\rdata of artwork %2 of current track \r end tell").arg(n), Op::Artwork, n);
    b.add(p, t(u"tell app \"%1\"\rname of current track \r end tell"), Op::Name);
    b.add(p, t(u"tell app \"%1\"\rartist of current track \r end tell"), Op::Artist);
    b.add(p, t(u"tell app \"%1\"\ralbum of current track \r end tell"), Op::Album);
    b.add(p, t(u"tell application \"%1\"\rduration of current track\rend tell"), Op::Duration);
    b.add(p, t(u"tell application \"%1\"\rplayer position\rend tell"), Op::Position);
    b.add(p, t(u"tell application \"%1\"\rbit rate of current track\rend tell"), Op::BitRate);
    b.add(p, t(u"tell application \"%1\"\rsample rate of current track\rend tell"), Op::SampleRate);
    b.add(p, t(u"tell application \"%1\"\rkind of current track\rend tell"), Op::Kind);
    b.add(p, t(u"tell application \"%1\"\rloved of current track\rend tell"), Op::Loved);
    b.add(p, t(u"tell application \"%1\"\rset loved of current track to true\rend tell"), Op::SetLoved, 1);
    b.add(p, t(u"tell application \"%1\"\rset loved of current track to false\rend tell"), Op::SetLoved, 0);
    b.add(p, t(u"tell application \"%1\"\rset disliked of current track to true\rend tell"), Op::SetDisliked, 1);
    b.add(p, t(u"tell application \"%1\"\rset disliked of current track to false\rend tell"), Op::SetDisliked, 0);
    b.add(p, t(u"tell application \"%1\"\rdisliked of current track\rend tell"), Op::Disliked);
    b.add(p, t(u"tell application \"%1\"\ryear of current track\rend tell"), Op::Year);
    b.add(p, t(u"tell application \"%1\"\rdate added of current track\rend tell"), Op::DateAdded);
    b.add(p, t(u"tell application \"%1\"\rplayed date of current track\rend tell"), Op::PlayedDate);
    b.add(p, t(u"tell application \"%1\"\rplayed count of current track\rend tell"), Op::PlayCount);
}

void addSnowtape(Builder &b)
{
    const QString p = QStringLiteral("Snowtape");
    b.add(p, u"tell app \"Snowtape\"\rplaying \r end tell", Op::Status);
    b.add(p, u"tell application \"Snowtape\"\rplay\rend tell", Op::Play);
    b.add(p, u"tell application \"Snowtape\"\rpause\rend tell", Op::Pause);
    b.add(p, u"tell application \"Snowtape\"\rprevious track\rend tell", Op::Previous);
    b.add(p, u"tell application \"Snowtape\"\rnext track\rend tell", Op::Next);
    b.add(p, u"tell app \"Snowtape\"\rcurrent song artwork \r end tell", Op::Artwork, 1);
    b.add(p, u"tell app \"Snowtape\"\rcurrent song title \r end tell", Op::Name);
    b.add(p, u"tell app \"Snowtape\"\rcurrent song artist \r end tell", Op::Artist);
    b.add(p, u"tell application \"Snowtape\"\rname of current station \r end tell", Op::Station);
    b.add(p, u"tell application \"Snowtape\"\rduration of current track\rend tell", Op::Duration);
    b.add(p, u"tell application \"Snowtape\"\rplayer position\rend tell", Op::Position);
}

void addEcoute(Builder &b)
{
    const QString p = QStringLiteral("Ecoute");
    b.add(p, u"tell app \"Ecoute\"\rplayer state\r end tell", Op::Status);
    b.add(p, u"tell application \"Ecoute\"\rplaypause\rend tell", Op::PlayPause);
    b.add(p, u"tell app \"Ecoute\"\rartwork of current track\r end tell", Op::Artwork, 1);
    b.add(p, u"tell app \"Ecoute\"\rname of current track\r end tell", Op::Name);
    b.add(p, u"tell app \"Ecoute\"\rartist of current track\r end tell", Op::Artist);
    b.add(p, u"tell app \"Ecoute\"\ralbum of current track\r end tell", Op::Album);
    b.add(p, u"tell app \"Ecoute\"\rrating of current track\r end tell", Op::Rating);
    b.add(p, u"tell application \"Ecoute\"\rduration of current track\rend tell", Op::Duration);
    b.add(p, u"tell application \"Ecoute\"\rplayer position\rend tell", Op::Position);
}

void addRdio(Builder &b)
{
    const QString p = QStringLiteral("Rdio");
    b.add(p, u"tell app \"Rdio\"\rplayer state\r end tell", Op::Status);
    b.add(p, u"tell application \"Rdio\"\rplaypause\rend tell", Op::PlayPause);
    b.add(p, u"tell application \"Rdio\"\rpause\rend tell", Op::Pause);
    b.add(p, u"tell application \"Rdio\"\rprevious track\rend tell", Op::Previous);
    b.add(p, u"tell application \"Rdio\"\rnext track\rend tell", Op::Next);
    b.add(p, u"tell application \"Rdio\"\rartwork of current track\r end tell", Op::Artwork, 1);
    b.add(p, u"tell application \"Rdio\"\rname of current track\r end tell", Op::Name);
    b.add(p, u"tell application \"Rdio\"\rartist of current track\r end tell", Op::Artist);
    b.add(p, u"tell application \"Rdio\"\ralbum of current track\r end tell", Op::Album);
    b.add(p, u"tell application \"Rdio\"\rduration of current track\rend tell", Op::Duration);
    b.add(p, u"tell application \"Rdio\"\rplayer position\rend tell", Op::Position);
}

void addRadium(Builder &b)
{
    const QString p = QStringLiteral("Radium");
    b.add(p, u"tell app \"Radium\"\rplaying \r end tell", Op::Status);
    b.add(p, u"tell application \"Radium\"\rplaypause\rend tell", Op::PlayPause);
    b.add(p, u"tell application \"Radium\"\rpause\rend tell", Op::Pause);
    b.add(p, u"tell application \"Radium\"\rprevious track\rend tell", Op::Previous);
    b.add(p, u"tell application \"Radium\"\rnext track\rend tell", Op::Next);
    b.add(p, u"tell app \"Radium\"\rtrack artwork \r end tell", Op::Artwork, 1);
    b.add(p, u"tell app \"Radium\"\rtrack name \r end tell", Op::Name);
    b.add(p, u"tell application \"Radium\"\rname of current station \r end tell", Op::Station);
    b.add(p, u"tell application \"Radium\"\rduration of current track\rend tell", Op::Duration);
    b.add(p, u"tell application \"Radium\"\rplayer position\rend tell", Op::Position);
}

void addSwinsian(Builder &b)
{
    const QString p = QStringLiteral("Swinsian");
    b.add(p, u"tell app \"Swinsian\"\rplayer state \r end tell", Op::Status);
    b.add(p, u"tell app \"Swinsian\"\rrating of current track\r end tell", Op::Rating);
    b.add(p, u"tell application \"Swinsian\"\rplaypause\rend tell", Op::PlayPause);
    b.add(p, u"tell application \"Swinsian\"\rprevious track\rend tell", Op::Previous);
    b.add(p, u"tell application \"Swinsian\"\rnext track\rend tell", Op::Next);
    b.add(p, u"tell app \"Swinsian\"\ralbum art of current track \r end tell", Op::Artwork, 1);
    b.add(p, u"tell app \"Swinsian\"\rname of current track \r end tell", Op::Name);
    b.add(p, u"tell app \"Swinsian\"\rartist of current track \r end tell", Op::Artist);
    b.add(p, u"tell app \"Swinsian\"\ralbum of current track \r end tell", Op::Album);
    b.add(p, u"tell application \"Swinsian\"\rduration of current track\rend tell", Op::Duration);
    b.add(p, u"tell application \"Swinsian\"\rplayer position\rend tell", Op::Position);
    b.add(p, u"tell application \"Swinsian\"\rbit rate of current track\rend tell", Op::BitRate);
    b.add(p, u"tell application \"Swinsian\"\rbit depth of current track\rend tell", Op::BitDepth);
    b.add(p, u"tell application \"Swinsian\"\rsample rate of current track\rend tell", Op::SampleRate);
    b.add(p, u"tell application \"Swinsian\"\rkind of current track\rend tell", Op::Kind);
    b.add(p, u"tell application \"Swinsian\"\ryear of current track\rend tell", Op::Year);
    b.add(p, u"tell application \"Swinsian\"\rdate added of current track\rend tell", Op::DateAdded);
    b.add(p, u"tell application \"Swinsian\"\rlast played of current track\rend tell", Op::PlayedDate);
    b.add(p, u"tell application \"Swinsian\"\rplay count of current track\rend tell", Op::PlayCount);
}

void addHermes(Builder &b)
{
    const QString p = QStringLiteral("Hermes");
    b.add(p, u"tell app \"Hermes\"\rplayback state \r end tell", Op::Status);
    b.add(p, u"tell app \"Hermes\"\rrating of current song\r end tell", Op::Rating);
    b.add(p, u"tell application \"Hermes\"\rplaypause\rend tell", Op::PlayPause);
    b.add(p, u"tell application \"Hermes\"\rpause\rend tell", Op::Pause);
    b.add(p, u"tell application \"Hermes\"\rtired of song\rend tell", Op::Next);
    b.add(p, u"tell application \"Hermes\"\rartwork URL of current song\r end tell", Op::ArtworkUrl);
    b.add(p, u"tell application \"Hermes\"\rtitle of current song\r end tell", Op::Name);
    b.add(p, u"tell application \"Hermes\"\rartist of current song\r end tell", Op::Artist);
    b.add(p, u"tell application \"Hermes\"\ralbum of current song\r end tell", Op::Album);
    b.add(p, u"tell application \"Hermes\"\rcurrent song duration\rend tell", Op::Duration);
    b.add(p, u"tell application \"Hermes\"\rplayback position\rend tell", Op::Position);
    b.add(p, u"tell app \"Hermes\"\rthumbs up\r end tell", Op::ThumbsUp);
    b.add(p, u"tell app \"Hermes\"\rthumbs down\r end tell", Op::ThumbsDown);
}

void addAirfoil(Builder &b)
{
    const QString p = QStringLiteral("Airfoil Satellite");
    // The status script and the title script are the same text.
    b.add(p, u"tell application \"Airfoil Satellite\"\rtrack title\r end tell", Op::TrackTitle);
    b.add(p, u"tell application \"Airfoil Satellite\"\rplaypause\rend tell", Op::PlayPause);
    b.add(p, u"tell application \"Airfoil Satellite\"\rnext\rend tell", Op::Next);
    b.add(p, u"tell application \"Airfoil Satellite\"\rprevious\rend tell", Op::Previous);
    b.add(p, u"tell application \"Airfoil Satellite\"\rartwork\r end tell", Op::Artwork, 1);
    b.add(p, u"tell application \"Airfoil Satellite\"\rartist\r end tell", Op::Artist);
    b.add(p, u"tell application \"Airfoil Satellite\"\ralbum\r end tell", Op::Album);
}

void addAudirvana(Builder &b)
{
    const QString p = QStringLiteral("Audirvana");
    b.add(p, u"tell application \"Audirvana\"\rplayer state\r end tell", Op::Status);
    b.add(p, u"tell application \"Audirvana\"\rplaypause\rend tell", Op::PlayPause);
    b.add(p, u"tell application \"Audirvana\"\rnext track\rend tell", Op::Next);
    b.add(p, u"tell application \"Audirvana\"\rprevious track\rend tell", Op::Previous);
    b.add(p, u"tell application \"Audirvana\"\rplaying track airfoillogo\r end tell", Op::Artwork, 1);
    b.add(p, u"tell application \"Audirvana\"\rplaying track title\r end tell", Op::Name);
    b.add(p, u"tell application \"Audirvana\"\rplaying track artist\r end tell", Op::Artist);
    b.add(p, u"tell application \"Audirvana\"\rplaying track album\r end tell", Op::Album);
    b.add(p, u"tell application \"Audirvana\"\rplaying track duration\rend tell", Op::Duration);
    b.add(p, u"tell application \"Audirvana\"\rplayer position\rend tell", Op::Position);
}

QHash<QString, ScriptVocabulary::Entry> makeTable()
{
    Builder b;
    addSystem(b);
    addSpotify(b);
    addITunesLike(b, QStringLiteral("iTunes"));
    addITunesLike(b, QStringLiteral("Music"));
    addSnowtape(b);
    addEcoute(b);
    addRdio(b);
    addRadium(b);
    addSwinsian(b);
    addHermes(b);
    addAirfoil(b);
    addAudirvana(b);
    return b.table;
}

} // namespace

const QHash<QString, ScriptVocabulary::Entry> &ScriptVocabulary::all()
{
    static const QHash<QString, Entry> table = makeTable();
    return table;
}

const ScriptVocabulary::Entry *ScriptVocabulary::find(const QString &text)
{
    const auto &table = all();
    const auto it = table.constFind(text);
    return it == table.constEnd() ? nullptr : &it.value();
}

QString ScriptVocabulary::trackKey(Operation operation)
{
    switch (operation) {
    case Op::Name:
    case Op::TrackTitle:
        return QStringLiteral("name");
    case Op::Artist:
        return QStringLiteral("artist");
    case Op::Album:
    case Op::Station:
        return QStringLiteral("album");
    case Op::Artwork:
        return QStringLiteral("artwork");
    case Op::ArtworkUrl:
        return QStringLiteral("artworkUrl");
    case Op::Duration:
        return QStringLiteral("duration");
    case Op::Rating:
    case Op::SetRating:
    case Op::ThumbsUp:
    case Op::ThumbsDown:
        return QStringLiteral("rating");
    case Op::Loved:
    case Op::SetLoved:
        return QStringLiteral("loved");
    case Op::Disliked:
    case Op::SetDisliked:
        return QStringLiteral("disliked");
    case Op::StreamTitle:
        return QStringLiteral("streamTitle");
    case Op::Lyrics:
        return QStringLiteral("lyrics");
    case Op::Kind:
        return QStringLiteral("kind");
    case Op::BitRate:
        return QStringLiteral("bitRate");
    case Op::SampleRate:
        return QStringLiteral("sampleRate");
    case Op::BitDepth:
        return QStringLiteral("bitDepth");
    case Op::Year:
        return QStringLiteral("year");
    case Op::DateAdded:
        return QStringLiteral("dateAdded");
    case Op::PlayedDate:
        return QStringLiteral("playedDate");
    case Op::PlayCount:
        return QStringLiteral("playCount");
    case Op::Popularity:
        return QStringLiteral("popularity");
    case Op::Url:
        return QStringLiteral("url");
    default:
        return QString();
    }
}

QSet<QString> ScriptVocabulary::trackKeys(const QString &receiver)
{
    QSet<QString> keys{QStringLiteral("duration")};
    for (const Entry &entry : all()) {
        if (entry.receiver != receiver)
            continue;
        const QString key = trackKey(entry.operation);
        if (!key.isEmpty())
            keys.insert(key);
    }
    return keys;
}

bool ScriptVocabulary::understands(const QString &receiver, Operation operation)
{
    for (const Entry &entry : all()) {
        if (entry.receiver == receiver && entry.operation == operation)
            return true;
    }
    return false;
}
