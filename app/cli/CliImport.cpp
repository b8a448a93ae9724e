#include "CliImport.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

#include <sys/stat.h>

#include "CliArgs.h"
#include "CliDefaults.h"
#include "CliScan.h"
#include "CliSignals.h"
#include "common/CEscape.h"
#include "common/Translate.h"
#include "import/NcduJsonImport.h"
#include "platform/Platform.h"

bool ImportCliTree(const std::string &fileName, std::int64_t groupFileSize, TCliTree &out)
{
    const auto start = std::chrono::steady_clock::now();
    try {
        TImportOptions options;
        options.GroupFileSize = groupFileSize;
        // Ctrl+C ends a long import at once, without waiting for the watchdog.
        options.ShouldStop = [] { return InterruptSignal() != 0; };
        TImportResult result = ImportNcduJsonFile(fileName, options);
        out.Root = std::move(result.Root);
        out.Imported = true;
    } catch (const std::exception &e) {
        if (InterruptSignal() == 0)
            PrintError(CEscaped(fileName) + ": " + e.what());
        return false;
    }
    out.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

bool LoadCliTree(const std::string &path, std::int64_t groupFileSize, bool quiet, TCliTree &out)
{
    struct stat st
    { };
    if (::stat(path.c_str(), &st) != 0) {
        PrintError(CEscaped(path) + ": " + Platform().System->ErrorMessage(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode))
        return ImportCliTree(path, groupFileSize, out);
    TDirScanOptions options;
    options.GroupFileSize = groupFileSize;
    TCliScanResult result = RunCliScan(path, options, quiet);
    if (ScanOutcome(path, result) != 0)
        return false; // the reason is on standard error already
    out.Root = std::move(result.Root);
    out.Seconds = result.Seconds;
    return true;
}

std::string ImportHelp()
{
    return _("  --import FILE        read an analysis saved as JSON by export --format ncdu, ncdu -o or gdu -o "
             "instead of scanning PATH");
}

int CommandScanOrImport(const std::vector<std::string> &args)
{
    TScanArgs scan;
    std::string file;
    bool import = false;
    bool json = false;
    TArgReader reader(args);
    while (reader.Next()) {
        if (reader.Is("--import") || reader.Is("-f")) {
            file = reader.Value();
            import = true;
        } else if (reader.IsFlag("--json")) {
            json = true;
        } else if (!ParseScanArgument(reader, scan)) {
            reader.Unknown();
        }
    }
    if (!import)
        return CommandScan(args);
    if (scan.HavePath)
        throw ECliUsage(_("--import takes the place of the folder"));
    if (file.empty())
        throw ECliUsage(_("--import needs a file name"));
    TCliTree tree;
    if (!ImportCliTree(file, scan.Options.GroupFileSize, tree))
        return 1;
    const std::string text = ScanTotalsText(std::string(tree.Root->Name()), *tree.Root, tree.Root->GetDirCount(),
        CountErrorNodes(*tree.Root), tree.Seconds, scan.Size, json);
    KeepUntilExit(std::move(tree.Root));
    return WriteStandardOutput(text) ? 0 : 1;
}
