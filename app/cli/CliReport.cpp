#include "CliReport.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <ostream>

#include <unistd.h>

#include "CliArgs.h"
#include "CliImport.h"
#include "CliScan.h"
#include "CliSignals.h"
#include "CliText.h"
#include "common/CEscape.h"
#include "common/FormatText.h"
#include "common/Translate.h"
#include "common/TranslatePlural.h"
#include "export/AtomicFileWriter.h"
#include "export/FdStream.h"
#include "model/TreeTypes.h"
#include "platform/Platform.h"

const char *const ReportUsage = "zumbrel-cli [report] [--depth N] [--top N] [--rounding none|bankers|truncate] "
                                "[--size-on-disk] [SCAN OPTIONS] PATH | -f FILE";

namespace {

constexpr std::size_t BarWidth = 20;

namespace Sgr {
const char *const Reset = "\033[0m";
const char *const Bold = "\033[1m";
const char *const Dim = "\033[2m";
const char *const Folder = "\033[1;34m";
const char *const Bar = "\033[32m";
const char *const Error = "\033[31m";
} // namespace Sgr

enum class TRowKind { Root, Folder, File, Group, More };

struct TRow
{
    int Level = 0;
    TRowKind Kind = TRowKind::File;
    std::string Size;
    double Ratio = 0;
    std::string Files;
    std::string Name;
    std::string Error;
};

std::string SizeText(std::int64_t size, TRoundingStyle rounding)
{
    switch (rounding) {
    case rsBankers:
        return FileSizeToStrRounded(size);
    case rsTruncate:
        return FileSizeToStrTruncated(size);
    case rsNone:
        break;
    }
    return CountText(size);
}

// One decimal; ties go to the even tenth whatever rounding mode the process runs in.
std::string PercentText(double ratio)
{
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const auto tenths = static_cast<long long>(std::nearbyint(ratio * 1000.0));
    std::fesetround(saved);
    return std::to_string(tenths / 10) + DecimalSeparator() + std::to_string(tenths % 10) + "%";
}

std::string BarText(double ratio, bool utf8)
{
    ratio = std::clamp(ratio, 0.0, 1.0);
    std::string bar;
    if (!utf8) {
        const auto filled = static_cast<std::size_t>(std::lround(ratio * BarWidth));
        return std::string(filled, '#') + std::string(BarWidth - filled, ' ');
    }
    static const char *const Eighths[] = {"", "\u258f", "\u258e", "\u258d", "\u258c", "\u258b", "\u258a", "\u2589"};
    const auto eighths = static_cast<std::size_t>(std::lround(ratio * BarWidth * 8));
    const std::size_t full = eighths / 8;
    for (std::size_t i = 0; i < full; ++i)
        bar += "\u2588";
    std::size_t used = full;
    if (eighths % 8) {
        bar += Eighths[eighths % 8];
        ++used;
    }
    return bar + std::string(BarWidth - used, ' ');
}

double Ratio(std::int64_t part, std::int64_t whole)
{
    return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

class TReportBuilder
{
public:
    TReportBuilder(const TReportOptions &options)
        : FOptions(options)
    { }

    void AddTree(const TRootDirNode &root)
    {
        AddNode(root, TRowKind::Root, 0, 1.0, CEscaped(root.Name()));
        AddChildren(root, 1);
    }

    void Write(std::ostream &out) const;

private:
    [[nodiscard]] TSizeKind Kind() const { return FOptions.Size == skDisk ? skDisk : skLogical; }

    void AddNode(const TFileSystemNode &node, TRowKind kind, int level, double ratio, std::string name)
    {
        TRow row;
        row.Level = level;
        row.Kind = kind;
        row.Ratio = ratio;
        row.Name = std::move(name);
        if (node.ErrorCode() != 0) {
            row.Size = "?";
            row.Files = "?";
            row.Error = Platform().System->ErrorMessage(node.ErrorCode());
        } else {
            row.Size = SizeText(node.GetSizeOf(Kind()), FOptions.Rounding);
            if (node.IsExcluded()) {
                row.Size = "-";
                row.Files = "<EXCLUDED>";
            } else if (node.IsMountPoint() && !static_cast<const TGroupNode &>(node).HasChildren()) {
                row.Files = "<MOUNT>";
            } else if (node.IsHardLink()) {
                // Another name carries the sizes: shown in brackets, not counted again.
                row.Size = "(" + row.Size + ")";
                row.Files = "<HARDLINK>";
            } else {
                row.Files = node.IsSymLink() ? "<LINK>" : CountText(node.FileCount());
            }
        }
        FRows.push_back(std::move(row));
    }

    // One folder's children, biggest first, and how far the report has got through them.
    struct TFrame
    {
        std::vector<const TFileSystemNode *> Children;
        std::size_t Shown = 0;
        std::size_t Next = 0;
        int Level = 0;
        std::int64_t Whole = 0;
    };

    TFrame MakeFrame(const TGroupNode &parent, int level) const
    {
        TFrame frame;
        frame.Level = level;
        frame.Whole = parent.GetSizeOf(Kind());
        {
            std::scoped_lock guard(parent.ChildLock());
            const std::int32_t count = parent.InterlockedChildCount();
            frame.Children.reserve(static_cast<std::size_t>(count));
            for (std::int32_t i = 0; i < count; ++i)
                frame.Children.push_back(parent.GetUnlockedChildNode(i));
        }
        const TSizeKind kind = Kind();
        std::sort(
            frame.Children.begin(), frame.Children.end(), [kind](const TFileSystemNode *a, const TFileSystemNode *b) {
                const std::int64_t sa = a->CountedSize(kind);
                const std::int64_t sb = b->CountedSize(kind);
                return sa != sb ? sa > sb : a->Name() < b->Name();
            });
        frame.Shown = std::min(frame.Children.size(), static_cast<std::size_t>(FOptions.Top));
        return frame;
    }

    // Depth first with a stack of its own: --depth may be as deep as the tree.
    void AddChildren(const TGroupNode &top, int level)
    {
        if (level > FOptions.Depth)
            return;
        std::vector<TFrame> frames;
        frames.push_back(MakeFrame(top, level));
        while (!frames.empty()) {
            TFrame &frame = frames.back();
            if (frame.Next < frame.Shown) {
                const TFileSystemNode &child = *frame.Children[frame.Next++];
                const double ratio = Ratio(child.CountedSize(Kind()), frame.Whole);
                const int childLevel = frame.Level;
                if (child.FileType() == fstFileGroup) {
                    AddNode(child, TRowKind::Group, childLevel, ratio, CEscaped(child.Name()));
                } else if (child.FileType() == fstDirectory) {
                    AddNode(child, TRowKind::Folder, childLevel, ratio, CEscaped(child.Name()) + "/");
                    if (childLevel + 1 <= FOptions.Depth)
                        frames.push_back(MakeFrame(static_cast<const TGroupNode &>(child), childLevel + 1));
                } else {
                    AddNode(child, TRowKind::File, childLevel, ratio, CEscaped(child.Name()));
                }
                continue;
            }
            if (frame.Shown < frame.Children.size())
                AddRest(frame);
            frames.pop_back();
        }
    }

    // What --top left out, summed up in one line.
    void AddRest(const TFrame &frame)
    {
        std::int64_t size = 0;
        std::int64_t files = 0;
        for (std::size_t i = frame.Shown; i < frame.Children.size(); ++i) {
            const std::int64_t s = std::max<std::int64_t>(frame.Children[i]->CountedSize(Kind()), 0);
            size = s > std::numeric_limits<std::int64_t>::max() - size ? std::numeric_limits<std::int64_t>::max()
                                                                       : size + s;
            files += frame.Children[i]->FileCount();
        }
        TRow row;
        row.Level = frame.Level;
        row.Kind = TRowKind::More;
        row.Size = SizeText(size, FOptions.Rounding);
        row.Ratio = Ratio(size, frame.Whole);
        row.Files = CountText(files);
        const std::size_t more = frame.Children.size() - frame.Shown;
        row.Name = FormatText(_n("(%s more)", "(%s more)", more), {CountText(static_cast<std::int64_t>(more))});
        FRows.push_back(std::move(row));
    }

    const TReportOptions &FOptions;
    std::vector<TRow> FRows;
};

void TReportBuilder::Write(std::ostream &out) const
{
    const bool colour = FOptions.Colour;
    // One line buffer serves every row: a report of a deep chain indents by up to millions of
    // columns, and holding all of it at once would take memory growing with the square of the depth.
    std::string line;
    const auto paint = [colour, &line](const char *sgr, const std::string &text) {
        if (colour)
            line += sgr;
        line += text;
        if (colour)
            line += Sgr::Reset;
    };
    const std::string sizeHeader = _("Size");
    const std::string percentHeader = _("Percent");
    const std::string filesHeader = _("Files");
    std::size_t sizeWidth = DisplayWidth(sizeHeader);
    std::size_t percentWidth = std::max<std::size_t>(DisplayWidth(percentHeader), DisplayWidth(PercentText(1.0)));
    std::size_t filesWidth = DisplayWidth(filesHeader);
    for (const TRow &row : FRows) {
        sizeWidth = std::max(sizeWidth, DisplayWidth(row.Size));
        filesWidth = std::max(filesWidth, DisplayWidth(row.Files));
    }
    paint(Sgr::Bold,
        PadLeft(sizeHeader, sizeWidth) + "  " + PadLeft(percentHeader, percentWidth) + "  " + std::string(BarWidth, ' ')
            + "  " + PadLeft(filesHeader, filesWidth) + "  " + _("Name"));
    line += '\n';
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    for (const TRow &row : FRows) {
        if (!out)
            return; // a closed pipe or an interrupt: the rest would go nowhere
        line.clear();
        line += PadLeft(row.Size, sizeWidth);
        line += "  ";
        line += PadLeft(PercentText(row.Ratio), percentWidth);
        line += "  ";
        paint(Sgr::Bar, BarText(row.Ratio, FOptions.Utf8));
        line += "  ";
        line += PadLeft(row.Files, filesWidth);
        line += "  ";
        line.append(2 * static_cast<std::size_t>(row.Level), ' ');
        switch (row.Kind) {
        case TRowKind::Root:
            paint(Sgr::Bold, row.Name);
            break;
        case TRowKind::Folder:
            paint(Sgr::Folder, row.Name);
            break;
        case TRowKind::Group:
        case TRowKind::More:
            paint(Sgr::Dim, row.Name);
            break;
        case TRowKind::File:
            line += row.Name;
            break;
        }
        if (!row.Error.empty()) {
            line += "  ";
            paint(Sgr::Error, "[" + row.Error + "]");
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
}

} // namespace

void WriteReport(const TRootDirNode &root, const TReportOptions &options, std::ostream &out)
{
    TReportBuilder builder(options);
    builder.AddTree(root);
    builder.Write(out);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", options.Seconds);
    std::string secondsText = seconds;
    if (const auto dot = secondsText.find('.'); dot != std::string::npos)
        secondsText.replace(dot, 1, DecimalSeparator());
    out << "\n"
        << FormatText(_("Files: %s  Folders: %s  Unreadable: %s  Time: %s s"),
               {CountText(root.FileCount()), CountText(root.GetDirCount()), CountText(options.Errors), secondsText})
        << "\n";
}

int CommandReport(const std::vector<std::string> &argList)
{
    TScanArgs args;
    TReportOptions options;
    options.Rounding = CliDefaults().Rounding;
    std::string importFile;
    bool import = false;
    TArgReader reader(argList);
    while (reader.Next()) {
        if (reader.Is("--import") || reader.Is("-f")) {
            importFile = reader.Value();
            import = true;
        } else if (reader.Is("--depth") || reader.Is("-d"))
            options.Depth = static_cast<int>(std::min<std::int64_t>(
                ParseCount(reader.Value(), 0, _("--depth needs a number of levels (0 shows the folder alone)")),
                1 << 20));
        else if (reader.Is("--top"))
            options.Top = static_cast<int>(std::min<std::int64_t>(
                ParseCount(reader.Value(), 1, _("--top needs a number of entries from 1")), 1 << 30));
        else if (reader.Is("--rounding"))
            options.Rounding = ParseRoundingArgument(reader.Value());
        else if (!ParseScanArgument(reader, args))
            reader.Unknown();
    }
    options.Size = args.Size;
    TCliScanResult result;
    if (import) {
        if (args.HavePath)
            throw ECliUsage(_("--import takes the place of the folder"));
        if (importFile.empty())
            throw ECliUsage(_("--import needs a file name"));
        TCliTree tree;
        if (!ImportCliTree(importFile, args.Options.GroupFileSize, tree))
            return 1;
        result.Root = std::move(tree.Root);
        result.Seconds = tree.Seconds;
        result.Errors = CountErrorNodes(*result.Root);
    } else {
        RequirePath(args);
        if (!CheckScanRoot(args.Path))
            return 1;
        result = RunCliScan(args.Path, args.Options, args.Quiet);
        if (const int code = ScanOutcome(args.Path, result))
            return code;
    }
    options.Utf8 = LocaleIsUtf8();
    const char *noColour = std::getenv("NO_COLOR");
    options.Colour = ::isatty(STDOUT_FILENO) == 1 && !(noColour && *noColour) && !TerminalIsDumb();
    options.Seconds = result.Seconds;
    options.Errors = result.Errors;
    TFdOStream out(STDOUT_FILENO);
    {
        TInterruptibleOStream interruptible(out);
        WriteReport(*result.Root, options, interruptible);
        interruptible.flush();
    }
    KeepUntilExit(std::move(result.Root));
    if (InterruptSignal() != 0)
        return InterruptExitCode();
    out.flush();
    if (out && out.ErrorCode() == 0)
        return 0;
    PrintError(EFileWriteError("standard output", out.ErrorCode() ? out.ErrorCode() : EIO).what());
    return 1;
}
