#include "session/ConsoleCapture.h"

#include <QMetaObject>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool makePipe(int fds[2])
{
    return ::pipe2(fds, O_CLOEXEC) == 0;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

ConsoleCapture::ConsoleCapture(QObject *parent) : QObject(parent) {}

ConsoleCapture::~ConsoleCapture()
{
    stop();
}

bool ConsoleCapture::start(int descriptor, QString *error)
{
    if (isCapturing())
        return true;
    auto failWith = [&](const char *what) {
        if (error)
            *error = systemError(what);
        closeAll();
        return false;
    };

    m_original = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    if (m_original < 0)
        return failWith("cannot copy the output descriptor");
    int output[2];
    if (!makePipe(output))
        return failWith("cannot make the console pipe");
    m_readEnd = output[0];
    int wake[2];
    if (!makePipe(wake)) {
        ::close(output[1]);
        return failWith("cannot make the console wake pipe");
    }
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
    // Non-blocking, so that stop() can drain the pipe without hanging.
    ::fcntl(m_readEnd, F_SETFL, ::fcntl(m_readEnd, F_GETFL) | O_NONBLOCK);

    if (descriptor == STDERR_FILENO)
        std::fflush(stderr);
    if (::dup2(output[1], descriptor) < 0) {
        ::close(output[1]);
        return failWith("cannot redirect the output");
    }
    ::close(output[1]);
    m_target = descriptor;

    try {
        m_reader = std::thread([this] { readLoop(); });
    } catch (const std::system_error &) {
        ::dup2(m_original, m_target);
        m_target = -1;
        return failWith("cannot start the console reader");
    }
    return true;
}

void ConsoleCapture::stop()
{
    if (!isCapturing())
        return;
    if (m_target == STDERR_FILENO)
        std::fflush(stderr);
    // Putting the original back closes our write end of the pipe.
    ::dup2(m_original, m_target);
    const char wake = 'x';
    while (::write(m_wakeWrite, &wake, 1) < 0 && errno == EINTR) {
    }
    m_reader.join();
    closeAll();
}

void ConsoleCapture::closeAll()
{
    closeFd(m_readEnd);
    closeFd(m_wakeRead);
    closeFd(m_wakeWrite);
    closeFd(m_original);
    m_target = -1;
}

void ConsoleCapture::echo(const char *data, qsizetype size) const
{
    while (size > 0) {
        const ssize_t written = ::write(m_original, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return; // a closed terminal must not stop the console
        }
        data += written;
        size -= written;
    }
}

void ConsoleCapture::handOver(QByteArray chunk)
{
    if (m_queuedBytes.load() + chunk.size() > maxQueuedBytes) {
        m_droppedBytes += chunk.size();
        return;
    }
    const qint64 dropped = m_droppedBytes.exchange(0);
    if (dropped > 0)
        chunk.prepend(QByteArrayLiteral("[console: %1 bytes left out]\n")
                          .replace("%1", QByteArray::number(dropped)));
    m_queuedBytes += chunk.size();
    QMetaObject::invokeMethod(
        this,
        [this, chunk] {
            m_queuedBytes -= chunk.size();
            Q_EMIT bytesRead(chunk);
        },
        Qt::QueuedConnection);
}

void ConsoleCapture::readLoop()
{
    char buffer[chunkBytes];
    bool stopping = false;
    for (;;) {
        pollfd fds[2] = {{m_readEnd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        // Once stopping, only drain what is already in the pipe.
        const int ready = ::poll(fds, stopping ? 1 : 2, stopping ? 0 : -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (ready == 0)
            return; // drained
        if (!stopping && (fds[1].revents & POLLIN))
            stopping = true;
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;

        const ssize_t count = ::read(m_readEnd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return;
        }
        if (count == 0)
            return; // every writer has closed the pipe
        echo(buffer, count);
        handOver(QByteArray(buffer, count));
    }
}
