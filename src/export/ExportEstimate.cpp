#include "export/ExportEstimate.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <sys/statvfs.h>

#include "export/TextTreeExport.h"
#include "model/TreeTypes.h"

namespace {

constexpr std::uint64_t FourGiB = std::uint64_t {4} << 30;

enum class TShape { Csv, Text, Html, Xml, Xml2, Ncdu };

TShape ShapeOf(std::string_view className)
{
    if (className == "TTextTreeExport")
        return TShape::Text;
    if (className == "THtmlTableExport")
        return TShape::Html;
    if (className == "TXmlTreeExport")
        return TShape::Xml;
    if (className == "TXmlTreeExport2")
        return TShape::Xml2;
    if (className == "TNcduJsonExport")
        return TShape::Ncdu;
    return TShape::Csv;
}

// One folder's line (or lines) in the format; the numbers are the fixed parts of each
// format's line with a size and a count of typical length.
std::uint64_t FolderBytes(TShape shape, std::uint64_t depth, std::uint64_t pathLength, std::uint64_t nameLength)
{
    const std::uint64_t indentDepth = std::min<std::uint64_t>(depth, MaxIndentedLevels);
    switch (shape) {
    case TShape::Csv:
        return pathLength + 34;
    case TShape::Text:
        return 8 + 4 * indentDepth + (depth > indentDepth ? 12 : 0) + nameLength + 40;
    case TShape::Html:
        return pathLength + 260;
    case TShape::Xml: // one run of elements, not indented (the exports never ask for pretty XML)
        return nameLength + 110;
    case TShape::Xml2:
        return nameLength + 60;
    case TShape::Ncdu:
        return nameLength + 64;
    }
    return 0;
}

struct TFrame
{
    const TDirNode *Node;
    std::unique_lock<TNodeLock> Lock;
    std::int32_t Count;
    std::int32_t Next;
    std::uint64_t PathLength;
};

} // namespace

std::uint64_t EstimateExportBytes(const TDirNode &root, std::string_view className)
{
    const TShape shape = ShapeOf(className);
    std::uint64_t total = 1024; // header and footer
    std::vector<TFrame> frames;
    const std::uint64_t rootPath = root.GetFullPathName().size();
    total += FolderBytes(shape, 0, rootPath, root.Name().size());
    frames.push_back({&root, std::unique_lock(root.ChildLock()), root.InterlockedChildCount(), 0, rootPath});
    while (!frames.empty()) {
        TFrame &top = frames.back();
        if (top.Next >= top.Count) {
            frames.pop_back();
            continue;
        }
        const TFileSystemNode *child = top.Node->GetUnlockedChildNode(top.Next++);
        if (!child)
            continue;
        const std::uint64_t depth = frames.size();
        const auto *dir = child->IsGroup() ? dynamic_cast<const TDirNode *>(child) : nullptr;
        if (!dir) {
            // Files and groups have no line of their own, except in the ncdu format, which
            // lists every file (a group: each of its files).
            if (shape == TShape::Ncdu)
                total += child->IsGroup() ? static_cast<std::uint64_t>(std::max(0, child->FileCount())) * 80
                                          : FolderBytes(shape, depth, 0, child->Name().size());
            continue;
        }
        const std::uint64_t path = top.PathLength + 1 + dir->Name().size();
        total += FolderBytes(shape, depth, path, dir->Name().size());
        frames.push_back({dir, std::unique_lock(dir->ChildLock()), dir->InterlockedChildCount(), 0, path});
    }
    return total;
}

std::uint64_t ExportSizeLimit(const std::string &fileName)
{
    if (fileName.empty())
        return FourGiB;
    const std::size_t slash = fileName.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
    struct statvfs fs
    { };
    if (::statvfs(folder.c_str(), &fs) != 0)
        return FourGiB;
    const std::uint64_t available = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
    return std::min(FourGiB, available);
}

TExportSizeCheck CheckExportSize(const TDirNode &root, std::string_view className, const std::string &fileName)
{
    TExportSizeCheck check;
    check.Limit = ExportSizeLimit(fileName);
    check.Estimate = EstimateExportBytes(root, className);
    return check;
}
