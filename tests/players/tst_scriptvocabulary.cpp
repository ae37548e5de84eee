#include "platform/FrameClock.h"
#include "players/ScriptVocabulary.h"
#include "players/SimulatedPlayers.h"

#include <QRegularExpression>
#include <QTest>

// Every script text the display sends, written out as the display holds it.
// The stand-ins must understand each of them, and nothing else.
const char16_t *const kDisplayTexts[] = {
    u"tell application \"Spotify\"\rpopularity of current track\rend tell",
    u"tell app \"Spotify\"\rplayer state \r end tell",
    u"tell application \"Spotify\"\rplaypause\rend tell",
    u"tell application \"Spotify\"\rprevious track\rend tell",
    u"tell application \"Spotify\"\rnext track\rend tell",
    u"tell app \"iTunes\"\rplayer state \r end tell",
    u"tell application \"iTunes\"\nset someTrack to some track of user playlist \"Music\"\n"
    u"return data of front artwork of someTrack\nend tell",
    u"tell application \"iTunes\"\rplaypause\rend tell",
    u"tell application \"iTunes\"\rback track\rend tell",
    u"tell application \"iTunes\"\rnext track\rend tell",
    u"tell app \"Snowtape\"\rplaying \r end tell",
    u"tell application \"Snowtape\"\rplay\rend tell",
    u"tell application \"Snowtape\"\rpause\rend tell",
    u"tell application \"Snowtape\"\rprevious track\rend tell",
    u"tell application \"Snowtape\"\rnext track\rend tell",
    u"tell app \"Ecoute\"\rplayer state\r end tell",
    u"tell application \"Ecoute\"\rplaypause\rend tell",
    u"tell app \"Rdio\"\rplayer state\r end tell",
    u"tell application \"Rdio\"\rplaypause\rend tell",
    u"tell application \"Rdio\"\rpause\rend tell",
    u"tell application \"Rdio\"\rprevious track\rend tell",
    u"tell application \"Rdio\"\rnext track\rend tell",
    u"tell app \"Radium\"\rplaying \r end tell",
    u"tell application \"Radium\"\rplaypause\rend tell",
    u"tell application \"Radium\"\rpause\rend tell",
    u"tell application \"Radium\"\rprevious track\rend tell",
    u"tell application \"Radium\"\rnext track\rend tell",
    u"tell app \"Swinsian\"\rplayer state \r end tell",
    u"tell app \"Swinsian\"\rrating of current track\r end tell",
    u"tell application \"Swinsian\"\rplaypause\rend tell",
    u"tell application \"Swinsian\"\rprevious track\rend tell",
    u"tell application \"Swinsian\"\rnext track\rend tell",
    u"tell app \"Hermes\"\rplayback state \r end tell",
    u"tell app \"Hermes\"\rrating of current song\r end tell",
    u"tell application \"Hermes\"\rplaypause\rend tell",
    u"tell application \"Hermes\"\rpause\rend tell",
    u"tell application \"Hermes\"\rtired of song\rend tell",
    u"tell application \"Airfoil Satellite\"\rtrack title\r end tell",
    u"tell application \"Airfoil Satellite\"\rplaypause\rend tell",
    u"tell application \"Airfoil Satellite\"\rnext\rend tell",
    u"tell application \"Airfoil Satellite\"\rprevious\rend tell",
    u"tell application \"Audirvana\"\rplayer state\r end tell",
    u"tell application \"Audirvana\"\rplaypause\rend tell",
    u"tell application \"Audirvana\"\rnext track\rend tell",
    u"tell application \"Audirvana\"\rprevious track\rend tell",
    u"tell app \"Music\"\rplayer state \r end tell",
    u"tell application \"Music\"\nset someTrack to some track of user playlist \"Music\"\n"
    u"return data of front artwork of someTrack\nend tell",
    u"tell application \"Music\"\rplaypause\rend tell",
    u"tell application \"Music\"\rback track\rend tell",
    u"tell application \"Music\"\rnext track\rend tell",
    u"tell app \"Spotify\"\rartwork of current track \r end tell",
    u"tell app \"Spotify\"\rname of current track \r end tell",
    u"tell app \"Spotify\"\rartist of current track \r end tell",
    u"tell app \"Spotify\"\ralbum of current track \r end tell",
    u"tell application \"Spotify\"\rduration of current track\rend tell",
    u"tell application \"Spotify\"\rplayer position\rend tell",
    u"tell application \"Spotify\"\rspotify url of current track\rend tell",
    u"tell application \"Spotify\"\rartwork url of current track\rend tell",
    u"tell application \"Spotify\"\rplayed count of current track\rend tell",
    u"tell application \"iTunes\"\rcurrent stream title\rend tell",
    u"tell application \"iTunes\"\rlyrics of current track\rend tell",
    u"tell application \"iTunes\"\rrating of current track\rend tell",
    u"tell application \"iTunes\"\rset rating of current track to 0\rend tell",
    u"tell application \"iTunes\"\rset rating of current track to 20\rend tell",
    u"tell application \"iTunes\"\rset rating of current track to 40\rend tell",
    u"tell application \"iTunes\"\rset rating of current track to 60\rend tell",
    u"tell application \"iTunes\"\rset rating of current track to 80\rend tell",
    u"tell application \"iTunes\"\rset rating of current track to 100\rend tell",
    u"tell app \"iTunes\"\rdata of front artwork of current track \r end tell",
    u"tell app \"iTunes\"\rdata of artwork 2 of current track \r end tell",
    u"tell app \"iTunes\"\rdata of artwork 3 of current track \r end tell",
    u"tell app \"iTunes\"\rdata of artwork 4 of current track \r end tell",
    u"tell app \"iTunes\"\rdata of artwork 5 of current track \r end tell",
    u"tell app \"iTunes\"\rdata of artwork 6 of current track \r end tell",
    u"tell app \"iTunes\"\rname of current track \r end tell",
    u"tell app \"iTunes\"\rartist of current track \r end tell",
    u"tell app \"iTunes\"\ralbum of current track \r end tell",
    u"tell application \"iTunes\"\rduration of current track\rend tell",
    u"tell application \"iTunes\"\rplayer position\rend tell",
    u"tell application \"iTunes\"\rbit rate of current track\rend tell",
    u"tell application \"iTunes\"\rsample rate of current track\rend tell",
    u"tell application \"iTunes\"\rkind of current track\rend tell",
    u"tell application \"iTunes\"\rloved of current track\rend tell",
    u"tell application \"iTunes\"\rset loved of current track to true\rend tell",
    u"tell application \"iTunes\"\rset loved of current track to false\rend tell",
    u"tell application \"iTunes\"\rset disliked of current track to true\rend tell",
    u"tell application \"iTunes\"\rset disliked of current track to false\rend tell",
    u"tell application \"iTunes\"\rdisliked of current track\rend tell",
    u"tell application \"iTunes\"\ryear of current track\rend tell",
    u"tell application \"iTunes\"\rdate added of current track\rend tell",
    u"tell application \"iTunes\"\rplayed date of current track\rend tell",
    u"tell application \"iTunes\"\rplayed count of current track\rend tell",
    u"tell app \"Snowtape\"\rcurrent song artwork \r end tell",
    u"tell app \"Snowtape\"\rcurrent song title \r end tell",
    u"tell app \"Snowtape\"\rcurrent song artist \r end tell",
    u"tell application \"Snowtape\"\rname of current station \r end tell",
    u"tell application \"Snowtape\"\rduration of current track\rend tell",
    u"tell application \"Snowtape\"\rplayer position\rend tell",
    u"tell app \"Ecoute\"\rartwork of current track\r end tell",
    u"tell app \"Ecoute\"\rname of current track\r end tell",
    u"tell app \"Ecoute\"\rartist of current track\r end tell",
    u"tell app \"Ecoute\"\ralbum of current track\r end tell",
    u"tell app \"Ecoute\"\rrating of current track\r end tell",
    u"tell application \"Ecoute\"\rduration of current track\rend tell",
    u"tell application \"Ecoute\"\rplayer position\rend tell",
    u"tell application \"Rdio\"\rartwork of current track\r end tell",
    u"tell application \"Rdio\"\rname of current track\r end tell",
    u"tell application \"Rdio\"\rartist of current track\r end tell",
    u"tell application \"Rdio\"\ralbum of current track\r end tell",
    u"tell application \"Rdio\"\rduration of current track\rend tell",
    u"tell application \"Rdio\"\rplayer position\rend tell",
    u"tell app \"Radium\"\rtrack artwork \r end tell",
    u"tell app \"Radium\"\rtrack name \r end tell",
    u"tell application \"Radium\"\rname of current station \r end tell",
    u"tell application \"Radium\"\rduration of current track\rend tell",
    u"tell application \"Radium\"\rplayer position\rend tell",
    u"tell app \"Swinsian\"\ralbum art of current track \r end tell",
    u"tell app \"Swinsian\"\rname of current track \r end tell",
    u"tell app \"Swinsian\"\rartist of current track \r end tell",
    u"tell app \"Swinsian\"\ralbum of current track \r end tell",
    u"tell application \"Swinsian\"\rduration of current track\rend tell",
    u"tell application \"Swinsian\"\rplayer position\rend tell",
    u"tell application \"Swinsian\"\rbit rate of current track\rend tell",
    u"tell application \"Swinsian\"\rbit depth of current track\rend tell",
    u"tell application \"Swinsian\"\rsample rate of current track\rend tell",
    u"tell application \"Swinsian\"\rkind of current track\rend tell",
    u"tell application \"Swinsian\"\ryear of current track\rend tell",
    u"tell application \"Swinsian\"\rdate added of current track\rend tell",
    u"tell application \"Swinsian\"\rlast played of current track\rend tell",
    u"tell application \"Swinsian\"\rplay count of current track\rend tell",
    u"tell application \"Hermes\"\rartwork URL of current song\r end tell",
    u"tell application \"Hermes\"\rtitle of current song\r end tell",
    u"tell application \"Hermes\"\rartist of current song\r end tell",
    u"tell application \"Hermes\"\ralbum of current song\r end tell",
    u"tell application \"Hermes\"\rcurrent song duration\rend tell",
    u"tell application \"Hermes\"\rplayback position\rend tell",
    u"tell app \"Hermes\"\rthumbs up\r end tell",
    u"tell app \"Hermes\"\rthumbs down\r end tell",
    u"tell application \"Airfoil Satellite\"\rartwork\r end tell",
    u"tell application \"Airfoil Satellite\"\rartist\r end tell",
    u"tell application \"Airfoil Satellite\"\ralbum\r end tell",
    u"tell application \"Audirvana\"\rplaying track airfoillogo\r end tell",
    u"tell application \"Audirvana\"\rplaying track title\r end tell",
    u"tell application \"Audirvana\"\rplaying track artist\r end tell",
    u"tell application \"Audirvana\"\rplaying track album\r end tell",
    u"tell application \"Audirvana\"\rplaying track duration\rend tell",
    u"tell application \"Audirvana\"\rplayer position\rend tell",
    u"tell application \"Music\"\rlyrics of current track\rend tell",
    u"tell application \"Music\"\rrating of current track\rend tell",
    u"tell application \"Music\"\rset rating of current track to 0\rend tell",
    u"tell application \"Music\"\rset rating of current track to 20\rend tell",
    u"tell application \"Music\"\rset rating of current track to 40\rend tell",
    u"tell application \"Music\"\rset rating of current track to 60\rend tell",
    u"tell application \"Music\"\rset rating of current track to 80\rend tell",
    u"tell application \"Music\"\rset rating of current track to 100\rend tell",
    u"tell app \"Music\"\rdata of front artwork of current track \r end tell",
    u"tell app \"Music\"\rdata of artwork 2 of current track \r end tell",
    u"tell app \"Music\"\rdata of artwork 3 of current track \r end tell",
    u"tell app \"Music\"\rdata of artwork 4 of current track \r end tell",
    u"tell app \"Music\"\rdata of artwork 5 of current track \r end tell",
    u"tell app \"Music\"\rdata of artwork 6 of current track \r end tell",
    u"tell app \"Music\"\rname of current track \r end tell",
    u"tell app \"Music\"\rartist of current track \r end tell",
    u"tell app \"Music\"\ralbum of current track \r end tell",
    u"tell application \"Music\"\rduration of current track\rend tell",
    u"tell application \"Music\"\rplayer position\rend tell",
    u"tell application \"Music\"\rcurrent stream title\rend tell",
    u"tell application \"Music\"\rbit rate of current track\rend tell",
    u"tell application \"Music\"\rsample rate of current track\rend tell",
    u"tell application \"Music\"\rkind of current track\rend tell",
    u"tell application \"Music\"\rloved of current track\rend tell",
    u"tell application \"Music\"\rset loved of current track to true\rend tell",
    u"tell application \"Music\"\rset loved of current track to false\rend tell",
    u"tell application \"Music\"\rset disliked of current track to true\rend tell",
    u"tell application \"Music\"\rset disliked of current track to false\rend tell",
    u"tell application \"Music\"\rdisliked of current track\rend tell",
    u"tell application \"Music\"\ryear of current track\rend tell",
    u"tell application \"Music\"\rdate added of current track\rend tell",
    u"tell application \"Music\"\rplayed date of current track\rend tell",
    u"tell application \"Music\"\rplayed count of current track\rend tell",
    u"tell application \"System Events\"\rname of every process\rend tell",
    u"set curVolume to output volume of (get volume settings)\r"
    u"if curVolume < 90 then\rset newVolume to curVolume + 10\r"
    u"else\rset newVolume to 100\rend if\rset volume output volume newVolume",
    u"set curVolume to output volume of (get volume settings)\r"
    u"if curVolume > 10 then\rset newVolume to curVolume - 10\r"
    u"else\rset newVolume to 1\rend if\rset volume output volume newVolume",
};

class TestScriptVocabulary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyTextIsUnderstood();
    void runningPlayersAnswerEveryText();
};

void TestScriptVocabulary::everyTextIsUnderstood()
{
    QSet<QString> texts;
    static const QRegularExpression receiverPattern(QStringLiteral("^tell app(?:lication)? \"([^\"]+)\""));
    for (const char16_t *raw : kDisplayTexts) {
        const QString text = QString::fromUtf16(raw);
        texts.insert(text);
        const ScriptVocabulary::Entry *entry = ScriptVocabulary::find(text);
        QVERIFY2(entry, qPrintable(QStringLiteral("not understood: ") + QString(text).replace(u'\r', u'|')));
        const QRegularExpressionMatch match = receiverPattern.match(text);
        const QString receiver = match.hasMatch() ? match.captured(1) : QString();
        QCOMPARE(entry->receiver, receiver);
    }
    // No text of our own invention: the stand-ins know exactly these.
    QCOMPARE(ScriptVocabulary::all().size(), texts.size());
}

void TestScriptVocabulary::runningPlayersAnswerEveryText()
{
    // All eleven playing one track; every text must reach its player.
    QByteArray json = R"({"players": [)";
    const char *names[] = {"Spotify", "iTunes", "Music", "Snowtape", "Ecoute", "Rdio", "Radium",
                           "Swinsian", "Hermes", "Airfoil Satellite", "Audirvana"};
    for (const char *name : names) {
        if (json.endsWith('}'))
            json += ',';
        json += QByteArray(R"({"name": ")") + name + R"(", "state": "playing", "tracks": [{"duration": 60}]})";
    }
    json += "]}";
    const FrameClock clock(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    QString error;
    const auto players = SimulatedPlayers::fromJson(json, QStringLiteral("all.json"), clock, &error);
    QVERIFY2(players, qPrintable(error));
    for (const char16_t *raw : kDisplayTexts) {
        const QString text = QString::fromUtf16(raw);
        players->execute(text, &error);
        QVERIFY2(error != u"unknown script" && !error.endsWith(u" is not running"), qPrintable(error));
    }
}

QTEST_GUILESS_MAIN(TestScriptVocabulary)
#include "tst_scriptvocabulary.moc"
