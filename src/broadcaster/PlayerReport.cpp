#include "broadcaster/PlayerReport.h"

#include "broadcaster/BroadcastText.h"
#include "nowplaying/PlayerScripts.h"
#include "nowplaying/SharedScripts.h"
#include "platform/NotificationCenter.h"

#include <array>

namespace {

constexpr int kSpotify = 1;

QString stripped(const QString &name)
{
    QString text = name;
    while (!text.isEmpty() && (text.front() == u'"' || text.front() == u'\'' || text.front() == u' '))
        text.remove(0, 1);
    while (!text.isEmpty() && (text.back() == u'"' || text.back() == u'\'' || text.back() == u' '))
        text.chop(1);
    return text;
}

QString withUnit(qint32 value, const char *unit)
{
    return value > 0 ? QStringLiteral("%1 %2").arg(value).arg(QLatin1String(unit)) : QString();
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("YES") : QStringLiteral("NO");
}

} // namespace

PlayerReport::PlayerReport(ScriptService &service)
    : m_service(service)
    , m_center(std::make_unique<NotificationCenter>())
    , m_scripts(std::make_unique<PlayerScripts>(service, *m_center, this, [](const QString &) {}))
{
}

PlayerReport::~PlayerReport() = default;

bool PlayerReport::isPlaying(int player)
{
    ScriptSlot *slot = m_scripts->slots.statusSlot(player);
    if (!slot)
        return false;
    const ScriptResult answer = run(*slot);
    if (answer.isNone())
        return false;
    const QString text = answer.stringValue();
    switch (player) {
    case 1: return text == QLatin1String("kPSP") || text == QLatin1String("playing");
    case 3:
    case 6: return answer.booleanValue();
    case 4: return text == QLatin1String("PSTl");
    case 9: return text == QLatin1String("play");
    case 10: return !text.isEmpty();
    default: return text == QLatin1String("kPSP");
    }
}

int PlayerReport::runningPlayer(bool mustPlay)
{
    const ScriptResult list = m_service.execute(SharedScripts::processList());
    QStringList names;
    for (int i = 1; i <= list.numberOfItems(); ++i)
        names << stripped(list.descriptorAtIndex(i).stringValue());
    for (int player : SharedScripts::visitingOrder) {
        if (!names.contains(PlayerScripts::processName(player), Qt::CaseInsensitive))
            continue;
        m_scripts->setUpSomePlayerSpecificScriptsForPlayer(player);
        if (!mustPlay || isPlaying(player))
            return player;
    }
    return 0;
}

int PlayerReport::playingPlayer()
{
    return runningPlayer(true);
}

QByteArray PlayerReport::nowPlayingBody()
{
    using BroadcastText::fieldLine;
    const int player = playingPlayer();
    if (player == 0)
        return fieldLine(QStringLiteral("track"), QString()).toUtf8();

    m_scripts->setUpScriptsForPlayer(player);
    const ScriptSlots &s = m_scripts->slots;
    qint32 duration = run(s.durationScript).int32Value();
    if (player == kSpotify)
        duration /= 1000; // Spotify counts milliseconds
    const bool libraryMarks = player == 2 || player == 12; // iTunes and Music
    qint32 rating = 0;
    if (libraryMarks)
        rating = run(s.iTunesRatingScript).int32Value();
    else if (player == 7)
        rating = run(s.swinsianRatingScript).int32Value();
    else if (player == 9)
        rating = run(s.hermesRatingScript).int32Value();
    else if (player == 4)
        rating = run(s.ecouteRatingScript).int32Value();

    QString body;
    body += fieldLine(QStringLiteral("track"), run(s.trackScript).stringValue());
    body += fieldLine(QStringLiteral("artist"), run(s.artistScript).stringValue());
    body += fieldLine(QStringLiteral("album"), run(s.albumScript).stringValue());
    if (player == kSpotify)
        body += fieldLine(QStringLiteral("spotifyid"), run(s.spotifyURIScript).stringValue());
    body += fieldLine(QStringLiteral("bitrate"), withUnit(run(s.bitRateScript).int32Value(), "kbps"));
    body += fieldLine(QStringLiteral("bitdepth"), withUnit(run(s.bitDepthScript).int32Value(), "bit"));
    body += fieldLine(QStringLiteral("samplerate"), withUnit(run(s.sampleRateScript).int32Value(), "Hz"));
    body += fieldLine(QStringLiteral("kind"), run(s.kindScript).stringValue());
    body += fieldLine(QStringLiteral("player"), PlayerScripts::processName(player).toLower());
    body += fieldLine(QStringLiteral("bookmark"), QString::number(run(s.bookmarkScript).int32Value()));
    body += fieldLine(QStringLiteral("duration"), QString::number(duration));
    body += fieldLine(QStringLiteral("rating"), QString::number(rating));
    if (player == kSpotify)
        body += fieldLine(QStringLiteral("popularity"),
                          QString::number(run(s.spotifyPopularityScript).int32Value()));
    body += fieldLine(QStringLiteral("loved"), yesNo(libraryMarks && run(s.iTunesLovedScript).booleanValue()));
    body += fieldLine(QStringLiteral("disliked"),
                      yesNo(libraryMarks && run(s.iTunesDislikedScript).booleanValue()));
    return body.toUtf8();
}

QByteArray PlayerReport::artwork()
{
    const int player = playingPlayer();
    if (player == 0)
        return {};
    m_scripts->setUpScriptsForPlayer(player);
    const ScriptResult answer = run(m_scripts->slots.artScript);
    // Only image data is served; a player answering an address (Hermes)
    // has its artwork fetched by no one here.
    if (answer.isNone() || !answer.stringValue().isNull())
        return {};
    return answer.data();
}

bool PlayerReport::perform(Command command)
{
    if (command == Command::VolumeUp || command == Command::VolumeDown) {
        // Setting the volume answers nothing, so there is nothing to check.
        m_service.execute(command == Command::VolumeUp ? SharedScripts::volumeUp() : SharedScripts::volumeDown());
        return true;
    }
    int player = runningPlayer(true);
    if (player == 0)
        player = runningPlayer(false);
    if (player == 0)
        return false;
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(player);
    const ScriptSlots &s = m_scripts->slots;
    switch (command) {
    case Command::PlayPause: run(s.PPScript); break;
    case Command::Previous: run(s.prevScript); break;
    case Command::Next: run(s.nextScript); break;
    default: break;
    }
    return true;
}
