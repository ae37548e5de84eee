#include "broadcast-server/PlayerReport.h"

#include "broadcaster/BroadcastProtocol.h"
#include "broadcaster/BroadcastText.h"

#include <QHash>

namespace {

QString withUnit(qint32 value, const char *unit)
{
    return value > 0 ? QStringLiteral("%1 %2").arg(value).arg(QLatin1String(unit)) : QString();
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("YES") : QStringLiteral("NO");
}

} // namespace

PlayerReport::PlayerReport(PlayerSource &source, bool allowCommands)
    : m_source(source)
    , m_allowCommands(allowCommands)
{
}

QByteArray PlayerReport::nowPlayingBody(const std::optional<PlayerSource::Track> &track)
{
    using BroadcastText::fieldLine;
    if (!track)
        return fieldLine(QStringLiteral("track"), QString()).toUtf8();
    const PlayerSource::Track &t = *track;
    QString body;
    body += fieldLine(QStringLiteral("track"), t.title);
    body += fieldLine(QStringLiteral("artist"), t.artist);
    body += fieldLine(QStringLiteral("album"), t.album);
    if (t.spotifyID)
        body += fieldLine(QStringLiteral("spotifyid"), *t.spotifyID);
    body += fieldLine(QStringLiteral("bitrate"), withUnit(t.bitRate, "kbps"));
    body += fieldLine(QStringLiteral("bitdepth"), withUnit(t.bitDepth, "bit"));
    body += fieldLine(QStringLiteral("samplerate"), withUnit(t.sampleRate, "Hz"));
    body += fieldLine(QStringLiteral("kind"), t.kind);
    body += fieldLine(QStringLiteral("player"), t.playerName);
    body += fieldLine(QStringLiteral("bookmark"), QString::number(t.bookmark));
    body += fieldLine(QStringLiteral("duration"), QString::number(t.duration));
    body += fieldLine(QStringLiteral("rating"), QString::number(t.rating));
    if (t.popularity)
        body += fieldLine(QStringLiteral("popularity"), QString::number(*t.popularity));
    if (t.marksKnown) {
        body += fieldLine(QStringLiteral("loved"), yesNo(t.loved));
        body += fieldLine(QStringLiteral("disliked"), yesNo(t.disliked));
    }
    return body.toUtf8();
}

QByteArray PlayerReport::imageType(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG"))
        return "image/png";
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (bytes.startsWith("GIF8"))
        return "image/gif";
    return "application/octet-stream";
}

BroadcastServer::Response PlayerReport::respond(const QString &path)
{
    using namespace BroadcastProtocol;
    BroadcastServer::Response response;
    if (path == nowPlayingPath) {
        response.body = nowPlayingBody(m_source.playing());
        return response;
    }
    if (path == artworkPath) {
        response.body = m_source.artwork();
        if (response.body.isEmpty()) {
            response.status = 404;
            response.body = "no artwork\n";
        } else {
            response.contentType = imageType(response.body);
        }
        return response;
    }
    static const QHash<QString, PlayerSource::Command> commands = {
        {playPausePath, PlayerSource::Command::PlayPause},
        {previousPath, PlayerSource::Command::Previous},
        {nextPath, PlayerSource::Command::Next},
        {volumeUpPath, PlayerSource::Command::VolumeUp},
        {volumeDownPath, PlayerSource::Command::VolumeDown},
    };
    const auto command = commands.constFind(path);
    if (command == commands.constEnd()) {
        response.status = 404;
        response.body = "not found\n";
    } else if (!m_allowCommands) {
        response.status = 403;
        response.body = "commands are off (start with --allow-commands)\n";
    } else if (!m_source.perform(*command)) {
        response.status = 503;
        response.body = "no player\n";
    } else {
        response.body = "OK\n";
    }
    return response;
}
