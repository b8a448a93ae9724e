#pragma once

#include <string>
#include <vector>

#include <QString>
#include <QStringList>

// The applications the desktop registered for a MIME type, read from the desktop entries:
// mimeapps.list in $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, $XDG_DATA_HOME/applications and
// $XDG_DATA_DIRS/applications (defaults, added and removed associations), then the
// mimeinfo.cache files of the applications folders. Hidden, NoDisplay and missing entries are
// left out.
struct TDesktopApp
{
    QString Id; // "org.gnome.gedit.desktop"
    QString Name; // localised where the entry has a translation
    QString Icon;
    QString Exec;
    QString FilePath; // the .desktop file
    bool Terminal = false;
};

// The applications for `mimeType` (its parent types following), the default first, each once.
[[nodiscard]] std::vector<TDesktopApp> ApplicationsForMimeType(const QString &mimeType);
// The applications for the file or folder `path`, by its MIME type.
[[nodiscard]] std::vector<TDesktopApp> ApplicationsForPath(const std::string &path);

// Reads one desktop entry; false when it is missing, hidden, not an application or has no Exec.
bool ReadDesktopEntry(const QString &filePath, TDesktopApp &app);

// The program and arguments of an Exec line for one file: field codes %f %F %u %U become the
// path (or its file: URL), %i %c %k are expanded or dropped, "%%" is "%"; quoted arguments
// keep their blanks. When the line names no file field code the path is appended. Empty when
// the line cannot be parsed.
[[nodiscard]] QStringList ExpandExecLine(const TDesktopApp &app, const std::string &path);
