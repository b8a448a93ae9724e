// zumbrel-cli: the analysis engine without a window, for servers and scripts.
#include <cerrno>
#include <clocale>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "CliArgs.h"
#include "CliDefaults.h"
#include "CliDiff.h"
#include "CliExport.h"
#include "CliImport.h"
#include "CliReport.h"
#include "CliScan.h"
#include "CliSignals.h"
#include "CliText.h"
#include "CliTop.h"
#include "common/CEscape.h"
#include "common/FormatText.h"
#include "common/SizeText.h"
#include "common/Translate.h"
#include "log/Configurator.h"
#include "log/Logger.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/Settings.h"

namespace {

// One subcommand. A new one is a function taking its arguments (returning the exit code,
// throwing ECliUsage for a mistake), its usage line and its part of --help.
struct TCliCommand
{
    const char *Name;
    int (*Run)(const std::vector<std::string> &args);
    const char *const *Usage;
    std::string (*Help)();
};

std::string ScanHelp()
{
    return _("Prints the totals of PATH as key=value lines for scripts: path, files, directories, bytes, "
             "errors (folders that could not be read) and seconds.\n"
             "  --json               one JSON object instead, with bytes and disk_bytes")
        + "\n" + ImportHelp();
}

std::string ExportHelp()
{
    return _("Writes the analysis of PATH as CSV, text tree, HTML, XML or ncdu JSON to FILE or to standard "
             "output. FILE keeps its old content until the export is complete: it is then replaced, or, when it "
             "cannot be (hard links, another owner, a folder you may not write), overwritten from a complete "
             "copy in TMPDIR.\n"
             "  --format FORMAT      csv, txt, html, xml, xml2 or ncdu\n"
             "  -o, --output FILE    the file to write\n"
             "  --rounding RULE      sizes in bytes (none), rounded (bankers) or cut (truncate)\n"
             "  --force              write an export estimated above 4 GiB or the free space")
        + "\n"
        + _("  --sort ORDER         folders of txt and html biggest first (size, the default), by name, "
            "or as read (none)")
        + "\n" + ImportHelp();
}

std::string ReportHelp()
{
    return _("Prints the biggest entries of PATH first, as an indented tree with sizes, percentages of the "
             "parent folder, bars and file counts; zumbrel-cli PATH alone does the same.\n"
             "  -d, --depth N        levels below PATH (default 2)\n"
             "  --top N              entries per folder (default 10); the rest are summed up in one line\n"
             "  --rounding RULE      as for export; none gives sizes in bytes")
        + "\n" + ImportHelp();
}

const TCliCommand Commands[] = {
    {"scan", CommandScanOrImport, &ScanUsage, ScanHelp},
    {"export", CommandExport, &ExportUsage, ExportHelp},
    {"report", CommandReport, &ReportUsage, ReportHelp},
    // Analyses that travel and compare (CliImport, CliDiff, CliTop).
    {"diff", CommandDiff, &DiffUsage, DiffHelp},
    {"top", CommandTop, &TopUsage, TopHelp},
};

const TCliCommand *FindCommand(std::string_view name)
{
    for (const TCliCommand &command : Commands)
        if (name == command.Name)
            return &command;
    return nullptr;
}

std::string UsageLines()
{
    std::string text;
    for (const TCliCommand &command : Commands)
        text += (text.empty() ? _("Usage:") + " " : std::string(DisplayWidth(_("Usage:")) + 1, ' ')) + *command.Usage
            + "\n";
    return text;
}

bool PrintHelp()
{
    std::string text = UsageLines();
    text += std::string(DisplayWidth(_("Usage:")) + 1, ' ') + "zumbrel-cli --help | --version\n\n";
    text += _("Analyzes the disk space used below the folder PATH with the engine of the Zumbrel window.") + "\n";
    for (const TCliCommand &command : Commands)
        text += std::string("\n") + command.Name + ": " + command.Help() + "\n";
    text += "\n"
        + _("Options of every command:\n"
            "  --no-grouping        keep small files apart instead of gathering them in one group per folder\n"
            "  --group-size BYTES   gather files smaller than BYTES (default from the settings)\n"
            "  -q, --quiet          no progress line on standard error\n"
            "  --size-on-disk       sizes as allocated on disk, as du counts them\n"
            "  --apparent-size      logical sizes (the default)\n"
            "  --exclude PATTERN    leave out entries whose name matches the shell pattern, or whose path below "
            "PATH does when it holds a /; may be given many times\n"
            "  --exclude-from FILE  the patterns of FILE, one a line\n"
            "  --exclude-caches     leave out folders holding a valid CACHEDIR.TAG\n"
            "  -x                   stay on the file system of PATH (the default): mount points are shown, "
            "not entered\n"
            "  --cross-mounts       enter mount points too\n"
            "  -h, --help           this text\n"
            "  -V, --version        the version")
        + "\n" + _("  -t, --threads N      walk the folder with N threads (default: one per processor)") + "\n\n"
        + _("A file with several hard links is counted once, by the name with the smallest path; its other "
            "names are shown, not counted. Excluded entries and mount points stay as rows without a size.")
        + "\n\n"
        + _("Names are written with C-style escapes, so that every name stays on its line and no name can "
            "drive the terminal: \\\\ for a backslash, \\n, \\t and \\r for newline, tab and carriage return, "
            "and \\xNN for other control characters and for bytes that are not UTF-8.")
        + "\n\n"
        + _("While a scan runs longer than half a second and standard error is a terminal, one line there "
            "shows its progress. Ctrl+C stops the scan and removes an unfinished output file.")
        + "\n\n"
        + _("Grouping, rounding and language come from the settings of the window "
            "($XDG_CONFIG_HOME/Zumbrel/Zumbrel.ini), which is only read. The report has no colours when "
            "NO_COLOR is set or TERM is dumb.")
        + "\n\n"
        + _("Exit status: 0 done, 1 failed (PATH cannot be read, an output cannot be written), 2 wrong "
            "arguments, 130 stopped by Ctrl+C (128 + the number of another signal).")
        + "\n";
    return WriteStandardOutput(text);
}

int UsageError(const std::string &message, const TCliCommand *command)
{
    std::string text = "zumbrel-cli: " + message + "\n";
    if (command)
        text += _("Usage:") + " " + *command->Usage + "\n";
    text += _("Try 'zumbrel-cli --help' for more information.") + "\n";
    std::cerr << text << std::flush;
    return 2;
}

// "scan, export, report": the names of the table, for messages.
std::string CommandNames()
{
    std::string names;
    for (const TCliCommand &command : Commands)
        names += (names.empty() ? "" : ", ") + std::string(command.Name);
    return names;
}

bool IsHelp(std::string_view a)
{
    return a == "-h" || a == "--help";
}

bool IsVersion(std::string_view a)
{
    return a == "-V" || a == "--version";
}

} // namespace

TCliDefaults &CliDefaults()
{
    static TCliDefaults defaults;
    return defaults;
}

// The user's preferences apply here too; the settings file is only read, never written.
void LoadDefaultsFromSettings()
{
    InitTranslation();
    // Terminal texts follow the user's character set; names themselves stay bytes.
    std::setlocale(LC_CTYPE, "");
    // Size texts use the decimal separator of the user's numeric locale.
    if (std::setlocale(LC_NUMERIC, "")) {
        SetDecimalSeparator(std::localeconv()->decimal_point);
        SetThousandsSeparator(std::localeconv()->thousands_sep);
        std::setlocale(LC_NUMERIC, "C");
    }
    std::unique_ptr<TSettings> settings = TSettings::OpenReadOnly();
    settings->Load();
    UseLanguage(settings->LanguageCode());
    CliDefaults().GroupFileSize = settings->GroupSmallFiles() ? settings->GroupFileSize() : 0;
    CliDefaults().Rounding = settings->FileSizeRounding();
}

// A standard descriptor the caller closed (`2>&-`) would be taken by the next file opened, and
// messages or results meant for the terminal would land in the export or the log file. Each is
// taken by /dev/null opened for reading instead, so that writing to it still fails as before.
void ReserveStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int held = ::open("/dev/null", O_RDONLY);
        if (held != -1 && held != fd)
            ::close(held); // not the lowest free descriptor after all
    }
}

int main(int argc, char **argv)
{
    ReserveStandardDescriptors();
    InstallInterruptHandling();
    ConfigureProgramLogging(LogExecutableDir());
    InstallPlatform(LinuxPlatform());
    LoadDefaultsFromSettings();
    std::string commandLine;
    for (int i = 0; i < argc; ++i)
        commandLine += (i ? " " : "") + CEscaped(argv[i]);
    ZU_LOG_INFO("CmdLine: " + commandLine);

    if (argc < 2)
        return UsageError(FormatText(_("no command given (%s)"), {CommandNames()}), nullptr);
    const std::string_view first = argv[1];
    if (IsHelp(first) || first == "help")
        return PrintHelp() ? 0 : 1;
    if (IsVersion(first)) {
        return WriteStandardOutput("zumbrel-cli " ZUMBREL_VERSION "\n") ? 0 : 1;
    }
    const TCliCommand *command = FindCommand(first);
    // zumbrel-cli PATH (or options first, as du and ncdu take them) is a report.
    const bool bareReport = !command
        && (first.empty() || first[0] == '-' || first.find('/') != std::string_view::npos
            || ::access(argv[1], F_OK) == 0);
    if (bareReport)
        command = FindCommand("report");
    if (!command)
        return UsageError(FormatText(_("unknown command '%s' (%s)"), {CEscaped(first), CommandNames()}), nullptr);
    const std::vector<std::string> args(argv + (bareReport ? 1 : 2), argv + argc);
    for (const std::string &a : args) {
        if (a == "--")
            break;
        if (IsHelp(a))
            return PrintHelp() ? 0 : 1;
    }
    int code = 0;
    try {
        code = command->Run(args);
    } catch (const ECliUsage &e) {
        return UsageError(e.what(), command);
    } catch (const std::bad_alloc &) {
        PrintError(_("not enough memory"));
        return 1;
    } catch (const std::exception &e) {
        PrintError(e.what());
        return 1;
    }
    return InterruptSignal() != 0 ? InterruptExitCode() : code;
}
