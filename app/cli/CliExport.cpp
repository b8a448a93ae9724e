#include "CliExport.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "CliArgs.h"
#include "CliDefaults.h"
#include "CliImport.h"
#include "CliScan.h"
#include "CliSignals.h"
#include "CliText.h"
#include "common/CEscape.h"
#include "common/FormatText.h"
#include "common/Translate.h"
#include "export/AtomicFileWriter.h"
#include "export/ExportEstimate.h"
#include "export/ExportRegistry.h"
#include "export/FdStream.h"
#include "import/HumanSize.h"
#include "platform/Platform.h"

const char *const ExportUsage = "zumbrel-cli export --format csv|txt|html|xml|xml2|ncdu "
                                "[--rounding none|bankers|truncate] [--sort size|name|none] [--output FILE] "
                                "[--no-grouping | --group-size BYTES] [--threads N] [--force] [--quiet] "
                                "PATH | --import FILE";

namespace {

std::string AbsoluteScanRoot(const std::string &path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path; // the scan reports why
    std::string absolute(resolved);
    std::free(resolved);
    return absolute;
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
    if (format == "ncdu")
        return "TNcduJsonExport";
    return nullptr;
}

struct TExportArgs
{
    std::string Format;
    TRoundingStyle Rounding = CliDefaults().Rounding;
    TExportOrder Order = TExportOrder::BiggestFirst(); // of the text tree and HTML
    std::optional<std::string> Output;
    TScanArgs Scan;
    std::optional<std::string> Import; // an ncdu/gdu JSON export read instead of a scan
    bool Force = false; // write even an export bigger than ExportSizeLimit
};

TExportArgs ParseArgs(const std::vector<std::string> &args)
{
    TExportArgs out;
    TArgReader reader(args);
    while (reader.Next()) {
        if (reader.Is("--format")) {
            out.Format = reader.Value();
            if (!FormatClassName(out.Format))
                throw ECliUsage(
                    FormatText(_("unknown format '%s' (csv, txt, html, xml, xml2, ncdu)"), {CEscaped(out.Format)}));
        } else if (reader.Is("--rounding")) {
            out.Rounding = ParseRoundingArgument(reader.Value());
        } else if (reader.Is("--sort")) {
            const std::string order = reader.Value();
            if (order == "size")
                out.Order = TExportOrder::BiggestFirst();
            else if (order == "name")
                out.Order = {TExportOrder::Name, false};
            else if (order == "none")
                out.Order = {TExportOrder::Stored, false};
            else
                throw ECliUsage(FormatText(_("unknown sort order '%s' (size, name, none)"), {CEscaped(order)}));
        } else if (reader.Is("--output") || reader.Is("-o")) {
            out.Output = reader.Value();
            if (out.Output->empty())
                throw ECliUsage(_("--output needs a file name"));
        } else if (reader.Is("--import") || reader.Is("-f")) {
            out.Import = reader.Value();
        } else if (reader.IsFlag("--force")) {
            out.Force = true;
        } else if (!ParseScanArgument(reader, out.Scan)) {
            reader.Unknown();
        }
    }
    if (out.Format.empty())
        throw ECliUsage(_("--format is missing (csv, txt, html, xml, xml2, ncdu)"));
    if (out.Import && out.Scan.HavePath)
        throw ECliUsage(_("--import takes the place of the folder"));
    if (!out.Import)
        RequirePath(out.Scan);
    return out;
}

// Writes the export through a stream that gives up once an interrupt has come; an
// interrupted or failed file is discarded by its writer.
void Save(TTreeTypesExport &exporter, std::ostream &target)
{
    TInterruptibleOStream out(target);
    exporter.SaveToStream(out);
}

} // namespace

int CommandExport(const std::vector<std::string> &args)
{
    TExportArgs a = ParseArgs(args);
    if (!a.Import && !CheckScanRoot(a.Scan.Path))
        return 1;
    // The export records the root it was made of; a relative one would name another folder
    // wherever the file is read.
    if (!a.Import)
        a.Scan.Path = AbsoluteScanRoot(a.Scan.Path);

    TExportRegistry &registry = ExportRegistry();
    if (registry.Count() == 0)
        RegisterExportClasses(registry);
    const std::int32_t index = registry.IndexOfClass(FormatClassName(a.Format));
    if (index < 0)
        throw std::logic_error("export format not registered: " + a.Format);
    const TExportClass &exportClass = registry.GetExportClass(index);

    try {
        // The output is opened before the scan: a missing folder or a read-only file is reported,
        // and a FIFO waits for its reader, before the work. The writer makes its temporary file
        // only when the data comes, so that it is never part of what is scanned.
        std::unique_ptr<TAtomicFileWriter> writer;
        if (a.Output)
            writer = std::make_unique<TAtomicFileWriter>(*a.Output);

        TCliScanResult result;
        if (a.Import) {
            TCliTree tree;
            if (!ImportCliTree(*a.Import, a.Scan.Options.GroupFileSize, tree))
                return 1; // the reason is on standard error already
            result.Root = std::move(tree.Root);
        } else {
            result = RunCliScan(a.Scan.Path, a.Scan.Options, a.Scan.Quiet);
            if (const int code = ScanOutcome(a.Scan.Path, result))
                return code;
        }
        if (!a.Force) {
            const TExportSizeCheck size
                = CheckExportSize(*result.Root, exportClass.ClassName(), a.Output ? *a.Output : std::string());
            if (size.NeedsConfirmation()) {
                PrintError(FormatText(_("the export would take about %s, more than the %s allowed here (4 GiB or the "
                                        "free space); --force writes it anyway"),
                    {DuHumanSize(static_cast<std::int64_t>(size.Estimate)),
                        DuHumanSize(static_cast<std::int64_t>(size.Limit))}));
                return 1; // a file to be replaced is left as it was
            }
        }
        const auto exporter = CreateExport(exportClass, result.Root.get(), a.Rounding, a.Order);
        if (writer) {
            try {
                Save(*exporter, writer->Stream());
            } catch (const std::ios_base::failure &) {
                if (InterruptSignal() != 0)
                    return InterruptExitCode(); // the writer discards the unfinished file
                writer->ThrowIfFailed();
                throw;
            }
            if (InterruptSignal() != 0)
                return InterruptExitCode();
            writer->Commit();
        } else {
            TFdOStream out(STDOUT_FILENO);
            // A terminal would act on control characters in names instead of showing them.
            std::optional<TTerminalSafeStreamBuf> safeBuf;
            std::ostream safe(nullptr);
            if (::isatty(STDOUT_FILENO) == 1) {
                safeBuf.emplace(out.rdbuf());
                safe.rdbuf(&*safeBuf);
            }
            try {
                Save(*exporter, safeBuf ? safe : out);
                if (safeBuf && !safeBuf->Finish())
                    throw EFileWriteError("standard output", out.ErrorCode() ? out.ErrorCode() : EIO);
            } catch (const std::ios_base::failure &) {
                if (InterruptSignal() != 0)
                    return InterruptExitCode();
                if (out.ErrorCode() != 0)
                    throw EFileWriteError("standard output", out.ErrorCode());
                throw;
            }
        }
        KeepUntilExit(std::move(result.Root));
    } catch (const EFileWriteError &e) {
        // A reason of the writer's own (what was kept, what to do) says more than the code.
        const bool plain = e.Reason() == std::generic_category().message(e.ErrorCode());
        PrintError(
            CEscaped(e.FileName()) + ": " + (plain ? Platform().System->ErrorMessage(e.ErrorCode()) : e.Reason()));
        return 1;
    } catch (const std::exception &e) {
        PrintError(e.what());
        return 1;
    }
    return 0;
}
