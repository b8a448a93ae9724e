#pragma once

#include <string>
#include <vector>

// Starting the user's terminal in a folder. The window calls the installed launcher; tests
// install a recording fake so that no terminal starts.
class ITerminalLauncher
{
public:
    virtual ~ITerminalLauncher() = default;
    // Starts a terminal whose working folder is `folder`. False with `error` set when none
    // could be started.
    virtual bool OpenTerminal(const std::string &folder, std::string &error) = 0;
};

// The launcher in use (the desktop's unless a test installed another). User interface thread.
ITerminalLauncher &TerminalLauncher();
// Installs `launcher` (not owned; null brings back the desktop's) and returns the previous one
// (null for the desktop's).
ITerminalLauncher *InstallTerminalLauncher(ITerminalLauncher *launcher);

// The program (with its arguments) that starts the user's terminal: the terminal the desktop
// is set to use (GNOME and Cinnamon keep it in their settings, read through gsettings when
// that is installed), else Debian's x-terminal-emulator, else the first well-known terminal
// on the PATH. Empty when there is none.
[[nodiscard]] std::vector<std::string> UserTerminalCommand();
