#include "platform/LocalFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LocalFile {

namespace {

std::optional<QByteArray> refuse(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> readRegular(const QString &path, qint64 maxBytes, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return refuse(error, QStringLiteral("cannot open the file"));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(error, QStringLiteral("not a regular file"));
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return refuse(error, QStringLiteral("the file is larger than %1 bytes").arg(maxBytes));
    }
    QByteArray body;
    body.reserve(qsizetype(info.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return refuse(error, QStringLiteral("cannot read the file"));
        }
        if (n == 0)
            break;
        body.append(chunk, n);
        if (body.size() > maxBytes) {
            ::close(fd);
            return refuse(error, QStringLiteral("the file grew past %1 bytes").arg(maxBytes));
        }
    }
    ::close(fd);
    if (body.isEmpty())
        return refuse(error, QStringLiteral("nothing read"));
    return body;
}

} // namespace LocalFile
