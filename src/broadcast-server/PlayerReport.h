#pragma once

#include "broadcast-server/BroadcastServer.h"
#include "broadcast-server/PlayerSource.h"

#include <QByteArray>
#include <QString>

// What the companion broadcaster serves on each path, read from a player
// source: the now-playing text on "/", the artwork on "/artwork", and the
// remote-control keys, which act only when the user allowed them (403
// otherwise). The source is not owned and must outlive this object. Main
// thread only.
class PlayerReport
{
public:
    PlayerReport(PlayerSource &source, bool allowCommands);

    BroadcastServer::Response respond(const QString &path);

    // The now-playing body: UTF-8 "key : value" lines. While nothing plays
    // the track line is empty, which the displays read as paused.
    static QByteArray nowPlayingBody(const std::optional<PlayerSource::Track> &track);
    // The media type of artwork bytes, from their first bytes.
    static QByteArray imageType(const QByteArray &bytes);

private:
    PlayerSource &m_source;
    bool m_allowCommands;
};
