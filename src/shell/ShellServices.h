#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/DesktopApps.h"
#include "shell/FileOperations.h"

// What the window asks of the desktop: open a file with its default application or a chosen
// one, show a file or folder in the file manager, open a web address. The window calls the
// installed services; tests install a recording fake so that no application starts.
class IDesktopServices
{
public:
    virtual ~IDesktopServices() = default;
    // Opens a file or folder with the desktop's default application. False with `error` set
    // when nothing could be started.
    virtual bool OpenPath(const std::string &path, std::string &error) = 0;
    // Starts `app` for `path`.
    virtual bool OpenWith(const TDesktopApp &app, const std::string &path, std::string &error) = 0;
    // Shows the folder `path` (or selects the file `path` in its folder) in the file manager
    // through org.freedesktop.FileManager1; opens the folder when no file manager answers.
    virtual bool ShowInFileManager(const std::string &path, bool selectItem) = 0;
    virtual bool OpenUrl(const std::string &url) = 0;
};

// The services in use (the desktop's unless a test installed others). User interface thread.
IDesktopServices &DesktopServices();
// Installs `services` (not owned; null brings back the desktop's) and returns the previous
// ones (null for the desktop's).
IDesktopServices *InstallDesktopServices(IDesktopServices *services);

// The shell wrappers of the window's commands.

// Shows the folder in the file manager. Returns 33 on success and 2 (not found) or 31 (no
// association) otherwise, the way the callers of the shell's open verb expect.
int OpenInFileManager(const std::string &path);
// The same, with a text for the user when it fails (the entry is gone, or no file manager
// answered and nothing opens folders).
bool ShowInFileManager(const std::string &path, std::string &error);
// The name the desktop shows for a path: its last component; a volume root shows its label
// when it has one.
[[nodiscard]] std::string DisplayNameOfPath(const std::string &path);
// Deletes the paths, to the Trash when `allowUndo`, else for good. `aborted` tells whether the
// user cancelled through `progress`. Returns TFileOpResult::Code (0 on success).
int DeleteFiles(const std::vector<std::string> &paths, bool allowUndo, bool &aborted,
    const TFileOpProgress &progress = {}, TFileOpResult *details = nullptr);
// "major.minor.release.build" of the program when `fileName` is this program's executable
// (the version it was built as); empty for every other file, which carries no version.
[[nodiscard]] std::string FileVersion(const std::string &fileName);
// The version the program was built as ("0.1.0.0").
[[nodiscard]] std::string ProgramVersion();
// The small icon index of a path by its name alone (the file need not exist); -1 when no
// icon is known.
[[nodiscard]] std::int32_t IconIndexOfPath(const std::string &path);

// The project's homepage address, as configured for the build.
[[nodiscard]] std::string ProgramHomepageUrl();
// The holder of the program's rights, shown in the About box.
inline constexpr const char *RightsHolder = "The Zumbrel developers";
