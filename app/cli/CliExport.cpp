#include "CliExport.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "CliDefaults.h"
#include "CliScan.h"
#include "export/AtomicFileWriter.h"
#include "export/ExportRegistry.h"
#include "export/FdStream.h"
#include "platform/Platform.h"

const char *const ExportUsage = "usage: zumbrel-cli export --format csv|txt|html|xml|xml2 "
                                "[--rounding none|bankers|truncate] [--output FILE] "
                                "[--no-grouping | --group-size BYTES] [--threads N] PATH\n";

namespace {

// Freeing millions of nodes is pointless work right before exit; a global keeps the tree
// reachable, so leak checkers see it as kept rather than lost.
const TRootDirNode *TreeKeptUntilExit = nullptr;

int ExportUsageError()
{
    std::cerr << ExportUsage;
    return 2;
}

const char *FormatClassName(const std::string &format)
{
    if (format == "csv")
        return "TCsvTextExport";
    if (format == "txt")
        return "TTextTreeExport";
    if (format == "html")
        return "THtmlTableExport";
    if (format == "xml")
        return "TXmlTreeExport";
    if (format == "xml2")
        return "TXmlTreeExport2";
    return nullptr;
}

std::optional<TRoundingStyle> ParseRounding(const std::string &text)
{
    if (text == "none")
        return rsNone;
    if (text == "bankers")
        return rsBankers;
    if (text == "truncate")
        return rsTruncate;
    return std::nullopt;
}

struct TExportArgs
{
    std::string Format;
    TRoundingStyle Rounding = CliDefaults().Rounding;
    std::optional<std::string> Output;
    TDirScanOptions Options;
    std::string Path;
};

bool ParseArgs(const std::vector<std::string> &args, TExportArgs &out)
{
    out.Options.GroupFileSize = CliDefaults().GroupFileSize;
    bool havePath = false;
    bool groupingSet = false;
    bool roundingSet = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--format" && hasValue && out.Format.empty()) {
            out.Format = args[++i];
            if (!FormatClassName(out.Format))
                return false;
        } else if (a == "--rounding" && hasValue && !roundingSet) {
            const auto rounding = ParseRounding(args[++i]);
            if (!rounding)
                return false;
            out.Rounding = *rounding;
            roundingSet = true;
        } else if (a == "--output" && hasValue && !out.Output) {
            out.Output = args[++i];
            if (out.Output->empty())
                return false;
        } else if (a == "--no-grouping" && !groupingSet) {
            out.Options.GroupFileSize = 0;
            groupingSet = true;
        } else if (a == "--group-size" && hasValue && !groupingSet) {
            if (!ParseByteCount(args[++i], out.Options.GroupFileSize))
                return false;
            groupingSet = true;
        } else if (a == "--threads" && hasValue) { // scan workers
            if (!ParseThreadCount(args[++i], out.Options.Threads))
                return false;
        } else if (a == "--") {
            if (havePath || i + 2 != args.size())
                return false;
            out.Path = args[++i];
            havePath = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return false;
        } else if (!havePath) {
            out.Path = a;
            havePath = true;
        } else {
            return false;
        }
    }
    return havePath && !out.Path.empty() && !out.Format.empty();
}

} // namespace

int CommandExport(const std::vector<std::string> &args)
{
    TExportArgs a;
    if (!ParseArgs(args, a))
        return ExportUsageError();

    struct stat st
    { };
    int pathError = 0;
    if (::stat(a.Path.c_str(), &st) != 0)
        pathError = errno;
    else if (!S_ISDIR(st.st_mode))
        pathError = ENOTDIR;
    if (pathError != 0) {
        std::cerr << "zumbrel-cli: " << a.Path << ": " << Platform().System->ErrorMessage(pathError) << "\n";
        return 1;
    }

    TExportRegistry &registry = ExportRegistry();
    if (registry.Count() == 0)
        RegisterExportClasses(registry);
    const std::int32_t index = registry.IndexOfClass(FormatClassName(a.Format));
    if (index < 0)
        return ExportUsageError();
    const TExportClass &exportClass = registry.GetExportClass(index);

    try {
        // A missing output folder is reported at once rather than after a long scan; the
        // temporary file comes only after the scan, so that it is never part of what is scanned.
        if (a.Output) {
            const auto slash = a.Output->rfind('/');
            const std::string folder = slash == std::string::npos
                ? std::string(".")
                : (slash == 0 ? std::string("/") : a.Output->substr(0, slash));
            struct stat folderStat
            { };
            if (::stat(folder.c_str(), &folderStat) != 0)
                throw EFileWriteError(*a.Output, errno);
            if (!S_ISDIR(folderStat.st_mode))
                throw EFileWriteError(*a.Output, ENOTDIR);
        }

        TCliScanResult result = RunCliScan(a.Path, a.Options);
        if (result.Failed)
            return 1; // the scan's error is on standard error already
        std::unique_ptr<TAtomicFileWriter> writer;
        if (a.Output)
            writer = std::make_unique<TAtomicFileWriter>(*a.Output);
        const auto exporter = CreateExport(exportClass, result.Root.get(), a.Rounding);
        if (writer) {
            try {
                exporter->SaveToStream(writer->Stream());
            } catch (const std::ios_base::failure &) {
                writer->ThrowIfFailed();
                throw;
            }
            writer->Commit();
        } else {
            TFdOStream out(STDOUT_FILENO);
            try {
                exporter->SaveToStream(out);
            } catch (const std::ios_base::failure &) {
                if (out.ErrorCode() != 0)
                    throw EFileWriteError("standard output", out.ErrorCode());
                throw;
            }
        }
        TreeKeptUntilExit = result.Root.release();
    } catch (const std::exception &e) {
        std::cerr << "zumbrel-cli: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
