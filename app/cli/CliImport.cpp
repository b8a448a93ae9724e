#include "CliImport.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iostream>

#include <sys/stat.h>

#include "CliDefaults.h"
#include "CliPathText.h"
#include "CliScan.h"
#include "import/NcduJsonImport.h"
#include "platform/Platform.h"

namespace {

int ScanImportUsage()
{
    std::cerr << "usage: zumbrel-cli scan [--no-grouping | --group-size BYTES] --import FILE\n";
    return 2;
}

} // namespace

void KeepUntilExit(std::unique_ptr<TRootDirNode> root)
{
    // Plain pointers in static storage: nothing runs at exit, and leak checkers still find
    // the trees reachable. A command keeps at most two.
    static TRootDirNode *kept[4] = {};
    for (TRootDirNode *&slot : kept) {
        if (!slot) {
            slot = root.release();
            return;
        }
    }
}

bool ImportCliTree(const std::string &fileName, std::int64_t groupFileSize, TCliTree &out)
{
    const auto start = std::chrono::steady_clock::now();
    try {
        TImportOptions options;
        options.GroupFileSize = groupFileSize;
        TImportResult result = ImportNcduJsonFile(fileName, options);
        out.Root = std::move(result.Root);
        out.Imported = true;
    } catch (const EImportError &e) {
        std::cerr << "zumbrel-cli: " << CliPrintablePath(fileName) << ": " << e.what() << "\n";
        return false;
    } catch (const std::exception &e) {
        std::cerr << "zumbrel-cli: " << CliPrintablePath(fileName) << ": " << e.what() << "\n";
        return false;
    }
    out.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

bool LoadCliTree(const std::string &path, std::int64_t groupFileSize, TCliTree &out)
{
    struct stat st
    { };
    if (::stat(path.c_str(), &st) != 0) {
        std::cerr << "zumbrel-cli: " << CliPrintablePath(path) << ": " << Platform().System->ErrorMessage(errno)
                  << "\n";
        return false;
    }
    if (!S_ISDIR(st.st_mode))
        return ImportCliTree(path, groupFileSize, out);
    TDirScanOptions options;
    options.GroupFileSize = groupFileSize;
    TCliScanResult result = RunCliScan(path, options);
    if (result.Failed)
        return false; // the scan's error is on standard error already
    out.Root = std::move(result.Root);
    out.Seconds = result.Seconds;
    return true;
}

bool HasImportOption(const std::vector<std::string> &args)
{
    for (const std::string &a : args) {
        if (a == "--")
            return false;
        if (a == "--import")
            return true;
    }
    return false;
}

int CommandScanImport(const std::vector<std::string> &args)
{
    std::int64_t groupFileSize = CliDefaults().GroupFileSize;
    bool groupingSet = false;
    std::string file;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--no-grouping" && !groupingSet) {
            groupFileSize = 0;
            groupingSet = true;
        } else if (a == "--group-size" && hasValue && !groupingSet) {
            if (!ParseByteCount(args[++i], groupFileSize))
                return ScanImportUsage();
            groupingSet = true;
        } else if (a == "--import" && hasValue && file.empty()) {
            file = args[++i];
            if (file.empty())
                return ScanImportUsage();
        } else {
            return ScanImportUsage();
        }
    }
    if (file.empty())
        return ScanImportUsage();
    TCliTree tree;
    if (!ImportCliTree(file, groupFileSize, tree))
        return 1;
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.3f", tree.Seconds);
    std::cout << "path=" << tree.Root->Name() << "\n"
              << "files=" << tree.Root->FileCount() << "\n"
              << "directories=" << tree.Root->GetDirCount() << "\n"
              << "bytes=" << tree.Root->GetSize() << "\n"
              << "errors=" << CountErrorNodes(*tree.Root) << "\n"
              << "seconds=" << seconds << "\n";
    std::cout.flush();
    KeepUntilExit(std::move(tree.Root));
    return std::cout ? 0 : 1;
}
