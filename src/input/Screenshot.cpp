#include "input/Screenshot.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace Screenshot {

namespace {
constexpr int maxSameSecond = 1000;
}

QString getNewFilename(const QDateTime &when)
{
    return when.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

QString folder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return desktop;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty() || !QDir().mkpath(pictures))
        return {};
    return pictures;
}

QString save(const QImage &picture, const QString &folder, const QDateTime &when)
{
    if (folder.isEmpty()) {
        qCWarning(lcInput, "screenshot not saved: no desktop or pictures folder");
        return {};
    }
    if (picture.isNull()) {
        qCWarning(lcInput, "screenshot not saved: the display gave no picture");
        return {};
    }
    const QString stem = QDir(folder).filePath(getNewFilename(when));
    for (int n = 1; n <= maxSameSecond; ++n) {
        const QString path = n == 1 ? stem + QStringLiteral(".png") : QStringLiteral("%1-%2.png").arg(stem).arg(n);
        QFile file(path);
        // NewOnly: a picture already there is never replaced, even by a
        // writer that comes between the check and the write.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists())
                continue;
            qCWarning(lcInput, "screenshot not saved to %s: %s", qUtf8Printable(path),
                      qUtf8Printable(file.errorString()));
            return {};
        }
        if (!picture.save(&file, "PNG") || !file.flush()) {
            qCWarning(lcInput, "screenshot not saved to %s: %s", qUtf8Printable(path),
                      qUtf8Printable(file.errorString()));
            file.close();
            file.remove();
            return {};
        }
        return path;
    }
    qCWarning(lcInput, "screenshot not saved: %d pictures in one second already", maxSameSecond);
    return {};
}

} // namespace Screenshot
