// zumbrel-cli: the analysis engine without a window, for servers and scripts.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "CliDefaults.h"
#include "CliExport.h"
#include "CliScan.h"
#include "log/Configurator.h"
#include "log/Logger.h"
#include "model/common/SizeText.h"
#include "model/common/Translate.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/Settings.h"

namespace {

int Usage()
{
    std::cerr << "usage: zumbrel-cli scan [--no-grouping | --group-size BYTES] [--threads N] PATH\n";
    std::cerr << ExportUsage;
    return 2;
}

int CommandScan(const std::vector<std::string> &args)
{
    TDirScanOptions options;
    options.GroupFileSize = CliDefaults().GroupFileSize;
    std::string path;
    bool havePath = false;
    bool groupingSet = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--no-grouping" && !groupingSet) {
            options.GroupFileSize = 0;
            groupingSet = true;
        } else if (a == "--group-size" && !groupingSet && i + 1 < args.size()) {
            if (!ParseByteCount(args[++i], options.GroupFileSize))
                return Usage();
            groupingSet = true;
        } else if (a == "--threads" && i + 1 < args.size()) { // scan workers
            if (!ParseThreadCount(args[++i], options.Threads))
                return Usage();
        } else if (a == "--") {
            if (havePath || i + 2 != args.size())
                return Usage();
            path = args[++i];
            havePath = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return Usage();
        } else if (!havePath) {
            path = a;
            havePath = true;
        } else {
            return Usage();
        }
    }
    if (!havePath || path.empty())
        return Usage();

    struct stat st
    { };
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const int err = errno ? errno : ENOTDIR;
        std::cerr << "zumbrel-cli: " << path << ": "
                  << Platform().System->ErrorMessage(S_ISDIR(st.st_mode) ? err : (errno ? err : ENOTDIR)) << "\n";
        return 1;
    }

    TCliScanResult result = RunCliScan(path, options);
    if (result.Failed)
        return 1; // the scan's error is on standard error already
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.3f", result.Seconds);
    std::cout << "path=" << path << "\n"
              << "files=" << result.Root->FileCount() << "\n"
              << "directories=" << result.Root->GetDirCount() << "\n"
              << "bytes=" << result.Root->GetSize() << "\n"
              << "errors=" << CountErrorNodes(*result.Root) << "\n"
              << "seconds=" << seconds << "\n";
    std::cout.flush();
    // Freeing millions of nodes is pointless work right before exit; the tree stays
    // reachable so that leak checkers do not report it.
    [[maybe_unused]] static TRootDirNode *kept = nullptr;
    kept = result.Root.release();
    return std::cout ? 0 : 1;
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
    // Size texts use the decimal separator of the user's numeric locale.
    if (std::setlocale(LC_NUMERIC, "")) {
        SetDecimalSeparator(std::localeconv()->decimal_point);
        std::setlocale(LC_NUMERIC, "C");
    }
    std::unique_ptr<TSettings> settings = TSettings::OpenReadOnly();
    settings->Load();
    UseLanguage(settings->LanguageCode());
    CliDefaults().GroupFileSize = settings->GroupSmallFiles() ? settings->GroupFileSize() : 0;
    CliDefaults().Rounding = settings->FileSizeRounding();
}

int main(int argc, char **argv)
{
    ConfigureProgramLogging(LogExecutableDir());
    InstallPlatform(LinuxPlatform());
    LoadDefaultsFromSettings();
    std::string commandLine;
    for (int i = 0; i < argc; ++i)
        commandLine += (i ? " " : "") + std::string(argv[i]);
    ZU_LOG_INFO("CmdLine: " + commandLine);

    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "scan")
        return CommandScan(args);
    if (command == "export")
        return CommandExport(args);
    return Usage();
}
