#include "platform/Log.h"

#include "platform/DefaultsStore.h"

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcPlatform, "coverlume.platform")
Q_LOGGING_CATEGORY(lcPlayers, "coverlume.players")
Q_LOGGING_CATEGORY(lcCore, "coverlume.core")
Q_LOGGING_CATEGORY(lcApp, "coverlume.app")
Q_LOGGING_CATEGORY(lcNowPlaying, "coverlume.nowplaying")
Q_LOGGING_CATEGORY(lcBroadcaster, "coverlume.broadcaster")
Q_LOGGING_CATEGORY(lcBroadcastServer, "coverlume.broadcastserver")
Q_LOGGING_CATEGORY(lcRender, "coverlume.render")
Q_LOGGING_CATEGORY(lcArtwork, "coverlume.artwork")
Q_LOGGING_CATEGORY(lcText, "coverlume.text")
Q_LOGGING_CATEGORY(lcSession, "coverlume.session")
Q_LOGGING_CATEGORY(lcInput, "coverlume.input")
Q_LOGGING_CATEGORY(lcLyrics, "coverlume.lyrics")

namespace {

// One write() per line, so that a reader on a pipe (the console window) gets
// whole lines even when several threads log at once. The loop only continues
// a line the kernel took in part.
void writeLine(const QByteArray &line)
{
    const char *data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return; // stderr is gone; there is nobody left to tell
        }
        data += written;
        left -= written;
    }
}

void plainHandler(QtMsgType, const QMessageLogContext &, const QString &message)
{
    QByteArray line = message.toUtf8();
    line.append('\n');
    writeLine(line);
}

} // namespace

namespace Log {

void installPlainHandler()
{
    qInstallMessageHandler(plainHandler);
}

} // namespace Log

bool Log::atLeast(const DefaultsStore &defaults, int level)
{
    return defaults.intValue(QStringLiteral("verbosity")) >= level;
}
