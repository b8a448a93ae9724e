#pragma once

#include <string>
#include <vector>

#include <QString>

// The applications the desktop registered for a MIME type, from GIO's application registry:
// the desktop entries of $XDG_DATA_HOME and $XDG_DATA_DIRS with the defaults, added and removed
// associations of the mimeapps.list files, as the Desktop Entry and MIME Applications
// specifications read them (Hidden, NoDisplay, OnlyShowIn/NotShowIn for $XDG_CURRENT_DESKTOP
// and a TryExec or Exec program that is not installed leave an entry out).
struct TDesktopApp
{
    QString Id; // "org.gnome.gedit.desktop"
    QString Name; // localised where the entry has a translation
    QString Icon; // a theme icon name or an icon file
    QString Exec;
    QString FilePath; // the .desktop file
    bool Terminal = false; // a console program: it is started in a terminal
};

// The applications for `mimeType` (its parent types following), the default first, each once.
[[nodiscard]] std::vector<TDesktopApp> ApplicationsForMimeType(const QString &mimeType);
// The applications for the file or folder `path`, by its MIME type.
[[nodiscard]] std::vector<TDesktopApp> ApplicationsForPath(const std::string &path);

// Starts `app` on the file or folder `path` as the desktop would: in a terminal for
// Terminal=true, through D-Bus for a D-Bus activatable application. False with the reason in
// `error` when the application is gone or cannot be started.
bool LaunchApplication(const TDesktopApp &app, const std::string &path, std::string &error);
