#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

// Pictures of the display that the user asks for with the screenshot key.
namespace Screenshot {

// The name of a picture taken at `when`: "%Y%m%d-%H%M%S" in local time,
// fifteen characters, no locale.
QString getNewFilename(const QDateTime &when);

// Where pictures go: the desktop folder when it exists, else the pictures
// folder (made when missing). Empty when there is neither.
QString folder();

// Writes the picture as PNG into the folder, named by getNewFilename(); a
// second picture in the same second gets "-2" (then "-3" …) and never
// replaces one already there. The path written, or empty (logged) when the
// picture could not be written.
QString save(const QImage &picture, const QString &folder, const QDateTime &when);

} // namespace Screenshot
