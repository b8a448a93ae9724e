#include "CliDiff.h"

#include <algorithm>
#include <future>
#include <iostream>
#include <sstream>

#include <sys/stat.h>

#include "CliDefaults.h"
#include "CliImport.h"
#include "CliPathText.h"
#include "export/TextEscape.h"
#include "import/HumanSize.h"
#include "import/TreeDiff.h"

namespace {

int DiffUsage()
{
    std::cerr << "usage: zumbrel-cli diff [--top N] [--format text|csv] OLD NEW\n";
    return 2;
}

bool IsFolder(const std::string &path)
{
    struct stat st
    { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ShownPath(const std::string &relative)
{
    return relative.empty() ? std::string(".") : CliPrintablePath(relative);
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

int CommandDiff(const std::vector<std::string> &args)
{
    std::int64_t top = 20;
    bool topSet = false;
    std::string format = "text";
    bool formatSet = false;
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            paths.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--top" && hasValue && !topSet) {
            if (!ParseByteCount(args[++i], top))
                return DiffUsage();
            topSet = true;
        } else if (a == "--format" && hasValue && !formatSet) {
            format = args[++i];
            if (format != "text" && format != "csv")
                return DiffUsage();
            formatSet = true;
        } else {
            return DiffUsage();
        }
    }
    if (paths.size() != 2 || paths[0].empty() || paths[1].empty())
        return DiffUsage();

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
        oldOk = LoadCliTree(paths[0], 0, oldTree);
        newOk = oldOk && LoadCliTree(paths[1], 0, newTree);
    }
    if (!oldOk || !newOk)
        return 1;

    const TTreeDiff diff = DiffTrees(*oldTree.Root, *newTree.Root, static_cast<std::size_t>(top));
    std::ostringstream out;
    if (format == "csv") {
        PrintCsv(out, diff);
    } else {
        out << "Old: " << CliPrintablePath(oldTree.Root->Name()) << "  " << DuHumanSize(diff.OldTotal) << "\n"
            << "New: " << CliPrintablePath(newTree.Root->Name()) << "  " << DuHumanSize(diff.NewTotal) << "  ("
            << DuHumanChange(diff.NewTotal - diff.OldTotal) << ")\n\n";
        PrintTable(out, "Changed folders:", diff.Changed);
        out << "\n";
        PrintTable(out, "Added folders:", diff.Added);
        out << "\n";
        PrintTable(out, "Removed folders:", diff.Removed);
    }
    std::cout << out.str();
    std::cout.flush();
    KeepUntilExit(std::move(oldTree.Root));
    KeepUntilExit(std::move(newTree.Root));
    return std::cout ? 0 : 1;
}
