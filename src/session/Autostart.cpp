#include "session/Autostart.h"

#include "platform/LocalFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace {

// A desktop entry is a few hundred bytes; the cap only keeps a stray large
// file from being read whole.
constexpr qint64 kMaxEntryBytes = 64 * 1024;

// Whether the [Desktop Entry] group switches the entry off.
bool switchedOff(const QByteArray &entry)
{
    bool inMainGroup = false;
    for (const QByteArray &rawLine : entry.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const int equals = line.indexOf('=');
        if (!inMainGroup || equals <= 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed().toLower();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}

// One argument of an Exec line: quoted when it holds a reserved character,
// then escaped once more as a desktop-entry string.
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted = argument;
    if (std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); })) {
        quoted.clear();
        for (QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return quoted;
}

} // namespace

Autostart::Autostart()
    : Autostart(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                    + QStringLiteral("/autostart"),
                QString(), QCoreApplication::applicationFilePath())
{
}

Autostart::Autostart(const QString &autostartDirectory, const QString &installedEntry, const QString &executable)
    : m_directory(autostartDirectory), m_installedEntry(installedEntry), m_executable(executable)
{
}

QString Autostart::entryPath() const
{
    return m_directory + QLatin1Char('/') + QLatin1String(entryName);
}

bool Autostart::isEnabled() const
{
    const QString path = entryPath();
    if (!QFileInfo(path).isFile())
        return false;
    // An entry that cannot be read is still there for the session.
    const std::optional<QByteArray> entry = LocalFile::readRegular(path, kMaxEntryBytes);
    return !entry || !switchedOff(*entry);
}

bool Autostart::setEnabled(bool enabled, QString *error) const
{
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        if (error)
            *error = QStringLiteral("cannot remove %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!QDir().mkpath(m_directory)) {
        if (error)
            *error = QStringLiteral("cannot make the folder %1").arg(m_directory);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(entryToInstall()) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QByteArray Autostart::entryToInstall() const
{
    QString installed = m_installedEntry;
    if (installed.isEmpty())
        installed = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, QLatin1String(entryName));
    if (!installed.isEmpty()) {
        const std::optional<QByteArray> entry = LocalFile::readRegular(installed, kMaxEntryBytes);
        if (entry && !switchedOff(*entry))
            return *entry;
    }
    return builtInEntry(m_executable);
}

QByteArray Autostart::builtInEntry(const QString &executable)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Coverlume\n"
                          "Comment=Show the album artwork and details of the music playing\n"
                          "Exec=%1\n"
                          "Icon=com.quillmoor.Coverlume\n"
                          "Terminal=false\n"
                          "Categories=AudioVideo;Audio;\n"
                          "StartupWMClass=Coverlume\n")
        .arg(execArgument(executable.isEmpty() ? QStringLiteral("coverlume") : executable))
        .toUtf8();
}
