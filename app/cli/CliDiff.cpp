#include "CliDiff.h"

#include <algorithm>
#include <future>
#include <iostream>
#include <sstream>

#include <sys/stat.h>

#include "CliArgs.h"
#include "CliDefaults.h"
#include "CliImport.h"
#include "CliScan.h"
#include "common/CEscape.h"
#include "common/FormatText.h"
#include "common/Translate.h"
#include "export/TextEscape.h"
#include "import/HumanSize.h"
#include "import/TreeDiff.h"

namespace {

bool IsFolder(const std::string &path)
{
    struct stat st
    { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ShownPath(const std::string &relative)
{
    return relative.empty() ? std::string(".") : CEscaped(relative);
}

// Right-aligned size columns and the path last, like du.
void PrintTable(std::ostream &out, const char *title, const std::vector<TFolderChange> &rows)
{
    out << title << "\n";
    if (rows.empty()) {
        out << "  (none)\n";
        return;
    }
    struct TRow
    {
        std::string Change, Old, New, Path;
    };
    std::vector<TRow> cells;
    TRow head {"Change", "Old", "New", "Path"};
    std::size_t w[3] = {head.Change.size(), head.Old.size(), head.New.size()};
    for (const TFolderChange &c : rows) {
        TRow r {DuHumanChange(c.Change()), c.Kind == TFolderChangeKind::Added ? "-" : DuHumanSize(c.OldSize),
            c.Kind == TFolderChangeKind::Removed ? "-" : DuHumanSize(c.NewSize), ShownPath(c.Path)};
        w[0] = std::max(w[0], r.Change.size());
        w[1] = std::max(w[1], r.Old.size());
        w[2] = std::max(w[2], r.New.size());
        cells.push_back(std::move(r));
    }
    const auto line = [&](const TRow &r) {
        out << "  " << std::string(w[0] - r.Change.size(), ' ') << r.Change << "  "
            << std::string(w[1] - r.Old.size(), ' ') << r.Old << "  " << std::string(w[2] - r.New.size(), ' ') << r.New
            << "  " << r.Path << "\n";
    };
    line(head);
    for (const TRow &r : cells)
        line(r);
}

void PrintCsv(std::ostream &out, const TTreeDiff &diff)
{
    out << "kind,path,old_bytes,new_bytes,change_bytes\n";
    const auto rows = [&](const std::vector<TFolderChange> &list, const char *kind) {
        for (const TFolderChange &c : list) {
            std::string path;
            AppendCsvField(path, c.Path.empty() ? std::string(".") : c.Path, ",");
            out << kind << ',' << path << ',' << c.OldSize << ',' << c.NewSize << ',' << c.Change() << "\n";
        }
    };
    rows(diff.Changed, "changed");
    rows(diff.Added, "added");
    rows(diff.Removed, "removed");
}

} // namespace

const char *const DiffUsage = "zumbrel-cli diff [--top N] [--format text|csv] [--quiet] OLD NEW";

std::string DiffHelp()
{
    return _("Compares two analyses of the same place, OLD and NEW, each a folder (scanned now) or a JSON "
             "file written by export --format ncdu, ncdu -o or gdu -o: the folders whose size changed most, "
             "then the folders added and removed, with sizes as du -h prints them.\n"
             "  --top N              rows per list (default 20, 0 for all)\n"
             "  --format FORMAT      text (default) or csv");
}

int CommandDiff(const std::vector<std::string> &args)
{
    std::int64_t top = 20;
    std::string format = "text";
    bool quiet = false;
    std::vector<std::string> paths;
    TArgReader reader(args);
    while (reader.Next()) {
        if (reader.IsOperand()) {
            paths.push_back(reader.Current());
        } else if (reader.Is("--top")) {
            top = ParseCount(reader.Value(), 0, _("--top needs a whole number"));
        } else if (reader.Is("--format")) {
            format = reader.Value();
            if (format != "text" && format != "csv")
                throw ECliUsage(FormatText(_("unknown format '%s' (text, csv)"), {CEscaped(format)}));
        } else if (reader.IsFlag("-q") || reader.IsFlag("--quiet")) {
            quiet = true;
        } else {
            reader.Unknown();
        }
    }
    if (paths.size() != 2 || paths[0].empty() || paths[1].empty())
        throw ECliUsage(_("diff needs two analyses, OLD and NEW"));

    // Folder totals do not depend on grouping; without it the trees are built fastest.
    TCliTree oldTree;
    TCliTree newTree;
    bool oldOk = false;
    bool newOk = false;
    if (!IsFolder(paths[0]) && !IsFolder(paths[1])) {
        // Two files: read both at once, one per core.
        auto oldLoad = std::async(std::launch::async, [&] { return ImportCliTree(paths[0], 0, oldTree); });
        newOk = ImportCliTree(paths[1], 0, newTree);
        oldOk = oldLoad.get();
    } else {
        oldOk = LoadCliTree(paths[0], 0, quiet, oldTree);
        newOk = oldOk && LoadCliTree(paths[1], 0, quiet, newTree);
    }
    if (!oldOk || !newOk)
        return 1;

    const TTreeDiff diff = DiffTrees(*oldTree.Root, *newTree.Root, static_cast<std::size_t>(top));
    std::ostringstream out;
    if (format == "csv") {
        PrintCsv(out, diff);
    } else {
        out << "Old: " << CEscaped(oldTree.Root->Name()) << "  " << DuHumanSize(diff.OldTotal) << "\n"
            << "New: " << CEscaped(newTree.Root->Name()) << "  " << DuHumanSize(diff.NewTotal) << "  ("
            << DuHumanChange(diff.NewTotal - diff.OldTotal) << ")\n\n";
        PrintTable(out, "Changed folders:", diff.Changed);
        out << "\n";
        PrintTable(out, "Added folders:", diff.Added);
        out << "\n";
        PrintTable(out, "Removed folders:", diff.Removed);
    }
    KeepUntilExit(std::move(newTree.Root));
    // Freeing the other tree right before exit is as pointless; kept reachable as well.
    [[maybe_unused]] static TRootDirNode *oldKept = nullptr;
    oldKept = oldTree.Root.release();
    return WriteStandardOutput(out.str()) ? 0 : 1;
}
