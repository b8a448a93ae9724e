// zumbrel: the window of the disk space analyzer.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <QFile>

#include "GuiApplication.h"
#include "common/CEscape.h"
#include "common/FormatText.h"
#include "common/MessageBoxes.h"
#include "common/Translate.h"
#include "export/ExportRegistry.h"
#include "log/Configurator.h"
#include "log/Logger.h"
#include "paint/RegisterPainters.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/Settings.h"
#include "shell/ProgramLock.h"
#include "ui/FormMain.h"
#include "ui/QtMessageBoxes.h"

namespace {

bool IsHelp(std::string_view a)
{
    return a == "-h" || a == "--help";
}

bool IsVersion(std::string_view a)
{
    return a == "-V" || a == "--version";
}

// The help in the language the window would use; needs no display.
std::string HelpText()
{
    InitTranslation();
    if (std::unique_ptr<TSettings> settings = TSettings::OpenReadOnly()) {
        settings->Load();
        UseLanguage(settings->LanguageCode());
    }
    const std::string usage = _("Usage:");
    return usage + " zumbrel [OPTIONS] [FOLDER]\n" + std::string(usage.size() + 1, ' ')
        + "zumbrel --help | --version\n\n"
        + _("Shows in a window where the disk space goes. With FOLDER, that folder is analyzed at start; "
            "otherwise the start page offers the drives and the recent folders.")
        + "\n\n"
        + _("  -h, --help           this text\n"
            "  -V, --version        the version\n"
            "The options of Qt (-platform NAME, -style NAME, -reverse, ...) are understood as well.")
        + "\n\n"
        + _("Settings are kept in $XDG_CONFIG_HOME/Zumbrel/Zumbrel.ini. zumbrel-cli offers the same analysis "
            "without a window.")
        + "\n";
}

// Writes `text` to standard output; false (with the reason on standard error) when that fails.
bool WriteOut(const std::string &text)
{
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return true;
    std::fprintf(stderr, "zumbrel: standard output: %s\n", std::strerror(errno));
    return false;
}

// The options QApplication and its platform plugins take from the command line, with whether a
// value follows. They are known here so that a usage error is reported before QApplication
// starts, which aborts the program when no display can be opened.
struct TQtOption
{
    std::string_view Name;
    bool TakesValue;
};

constexpr TQtOption QtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"geometry", true},
    {"qwindowtitle", true},
    {"title", true},
    {"qwindowicon", true},
    {"icon", true},
    {"style", true},
    {"stylesheet", true},
    {"session", true},
    {"display", true},
    {"name", true},
    {"visual", true},
    {"qmljsdebugger", true},
    {"reverse", false},
    {"widgetcount", false},
    {"testability", false},
    {"nograb", false},
    {"dograb", false},
    {"sync", false},
};

// Whether `a` is one of Qt's options ("-style NAME", "--style NAME" or "-style=NAME"); `value`
// tells whether the next argument belongs to it.
bool IsQtOption(std::string_view a, bool &value)
{
    a.remove_prefix(a.starts_with("--") ? 2 : 1);
    const auto equals = a.find('=');
    const std::string_view name = a.substr(0, equals);
    for (const TQtOption &option : QtOptions) {
        if (option.Name == name && (equals == std::string_view::npos || option.TakesValue)) {
            value = option.TakesValue && equals == std::string_view::npos;
            return true;
        }
    }
    return false;
}

// The folder operands of the command line, Qt's options left aside; at most one folder.
// Returns the exit code of a usage error, or 0.
int ParseArguments(int argc, char **argv, std::vector<std::string> &operands)
{
    bool operandsOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        std::string problem;
        bool value = false;
        if (!operandsOnly && a == "--") {
            operandsOnly = true;
            continue;
        }
        if (!operandsOnly && a.size() > 1 && a[0] == '-') {
            if (IsQtOption(a, value)) {
                if (value && ++i >= argc)
                    problem = FormatText(_("option '%s' needs a value"), {CEscaped(a)});
            } else {
                problem = FormatText(_("unknown option '%s'"), {CEscaped(a)});
            }
        } else if (!operands.empty()) {
            problem = FormatText(_("only one folder can be given; '%s' is a second one"), {CEscaped(a)});
        } else {
            operands.emplace_back(a);
        }
        if (!problem.empty()) {
            std::fprintf(
                stderr, "zumbrel: %s\n%s\n", problem.c_str(), _("Try 'zumbrel --help' for more information.").c_str());
            return 2;
        }
    }
    return 0;
}

std::string ExecutableDir(const char *argv0)
{
    std::string path = QFile::encodeName(QString::fromLocal8Bit(argv0)).toStdString();
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0)
        path.assign(buffer, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

} // namespace

int main(int argc, char **argv)
{
    InstallPlatform(LinuxPlatform());
    // Help and version come before anything that needs a display or touches the user's files.
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        if (IsHelp(argv[i]))
            return WriteOut(HelpText()) ? 0 : 1;
        if (IsVersion(argv[i]))
            return WriteOut("zumbrel " ZUMBREL_VERSION "\n") ? 0 : 1;
    }
    // Usage errors, too, are told before anything needs a display: QApplication aborts without one.
    InitTranslation();
    std::vector<std::string> args;
    if (const int usageError = ParseArguments(argc, argv, args))
        return usageError;
    ConfigureProgramLogging(ExecutableDir(argv[0]));
    RegisterBarChartPainters();
    RegisterExportClasses();
    const TProgramLock programLock;

    TGuiApplication app(argc, argv);
    TFormMain::InstallSettingsHooks();
    TQtMessageBoxes boxes;
    InstallMessageBoxes(&boxes);

    int result = 0;
    {
        std::unique_ptr<TSettings> owned;
        TSettings *settings = nullptr;
        try {
            settings = &TSettings::GetInstance();
        } catch (const std::exception &e) {
            // Without a writable configuration folder the window still works; nothing is kept.
            ExceptionBox(e);
            owned = std::make_unique<TSettings>(std::string(), TSettingsAccess::ReadOnly);
            settings = owned.get();
        }
        TFormMain form(*settings);
        form.show();
        ZU_LOG_DEBUG("show main form");
        std::string commandLine = argv[0];
        for (int i = 1; i < argc; ++i)
            commandLine += std::string(" ") + argv[i];
        form.ProcessCommandLine(args, commandLine);
        result = app.exec();
    }
    TSettings::FreeInstance();
    InstallMessageBoxes(nullptr);
    return result;
}
