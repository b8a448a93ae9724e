#include "shell/Terminal.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include "common/Translate.h"

namespace {

bool OnPath(const QString &program)
{
    return !program.isEmpty() && !QStandardPaths::findExecutable(program).isEmpty();
}

// The terminal of the desktop's own settings, when the desktop keeps one and gsettings can
// read it.
QString DesktopSetting()
{
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP").toUpper();
    QString schema;
    if (desktop.contains("CINNAMON"))
        schema = QStringLiteral("org.cinnamon.desktop.default-applications.terminal");
    else if (desktop.contains("GNOME") || desktop.contains("UNITY") || desktop.contains("BUDGIE"))
        schema = QStringLiteral("org.gnome.desktop.default-applications.terminal");
    if (schema.isEmpty() || !OnPath(QStringLiteral("gsettings")))
        return {};
    QProcess query;
    query.start(QStringLiteral("gsettings"), {QStringLiteral("get"), schema, QStringLiteral("exec")});
    if (!query.waitForFinished(2000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        query.kill();
        query.waitForFinished(500);
        return {};
    }
    QString value = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))
        value = value.mid(1, value.size() - 2);
    return value;
}

class TDesktopTerminal final : public ITerminalLauncher
{
public:
    bool OpenTerminal(const std::string &folder, std::string &error) override
    {
        const std::vector<std::string> command = UserTerminalCommand();
        if (command.empty()) {
            error = _("No terminal program was found. Install a terminal, such as xterm or GNOME Terminal, and try "
                      "again.");
            return false;
        }
        QStringList args;
        for (std::size_t i = 1; i < command.size(); ++i)
            args << QString::fromStdString(command[i]);
        const QString program = QString::fromStdString(command.front());
        if (QProcess::startDetached(program, args, QFile::decodeName(QByteArray::fromStdString(folder))))
            return true;
        error = _("The terminal could not be started:") + " " + command.front();
        return false;
    }
};

ITerminalLauncher *GInstalled = nullptr;

} // namespace

std::vector<std::string> UserTerminalCommand()
{
    if (const QString set = DesktopSetting(); OnPath(set))
        return {set.toStdString()};
    for (const char *name : {"x-terminal-emulator", "xdg-terminal-exec", "gnome-terminal", "konsole", "xfce4-terminal",
             "mate-terminal", "lxterminal", "kitty", "alacritty", "foot", "xterm"})
        if (OnPath(QString::fromLatin1(name)))
            return {name};
    return {};
}

ITerminalLauncher &TerminalLauncher()
{
    static TDesktopTerminal desktop;
    return GInstalled ? *GInstalled : desktop;
}

ITerminalLauncher *InstallTerminalLauncher(ITerminalLauncher *launcher)
{
    ITerminalLauncher *previous = GInstalled;
    GInstalled = launcher;
    return previous;
}
