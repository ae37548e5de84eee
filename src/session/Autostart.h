#pragma once

#include <QByteArray>
#include <QString>

// Whether Coverlume starts with the desktop session: an entry named after
// the application in the session's autostart folder
// ($XDG_CONFIG_HOME/autostart). The file itself is the only record, so
// nothing can disagree with it: desktop tools that switch an entry off
// write Hidden=true into it (GNOME's X-GNOME-Autostart-enabled=false counts
// as well), and such an entry is off.
//
// Switching on copies the installed desktop entry (found in the XDG data
// folders) or, when Coverlume is not installed, writes an entry of its own
// that starts the running program; the file is replaced atomically.
// Switching off removes it. Any thread; nothing is cached.
class Autostart
{
public:
    static constexpr const char *entryName = "com.quillmoor.Coverlume.desktop";

    // The folders from the environment, the running program for the
    // built-in entry.
    Autostart();
    // Explicit paths; an empty installedEntry means "look it up".
    Autostart(const QString &autostartDirectory, const QString &installedEntry, const QString &executable);

    QString entryPath() const;
    bool isEnabled() const;
    // False, with the reason in *error, when the entry could not be written
    // or removed; the file is then as it was.
    bool setEnabled(bool enabled, QString *error = nullptr) const;

    // The entry written when no installed one is found.
    static QByteArray builtInEntry(const QString &executable);

private:
    QByteArray entryToInstall() const;

    QString m_directory;
    QString m_installedEntry;
    QString m_executable;
};
