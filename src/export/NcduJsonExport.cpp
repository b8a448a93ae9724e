#include "export/NcduJsonExport.h"

#include <ctime>
#include <mutex>
#include <ostream>
#include <vector>

#include "common/Translate.h"
#include "model/Paths.h"
#include "model/TreeTypes.h"
#include "platform/DirLister.h"
#include "platform/UnixTime.h"

namespace {

// The buffer is handed to the stream in pieces of about this size.
constexpr std::size_t FlushBytes = 64 * 1024;

void AppendMtime(std::string &out, const TFileSystemNode &node)
{
    // 0 stands for "unknown" in the model (an entry that vanished before it could be read).
    if (node.Timestamp() == 0)
        return;
    out += ",\"mtime\":";
    out += std::to_string(LocalDateTimeToUnixSeconds(node.Timestamp()));
}

void AppendFile(std::string &out, const TFileSystemNode &file)
{
    out += ",{\"name\":";
    AppendNcduJsonString(out, file.Name());
    if (file.IsExcluded()) {
        out += ",\"excluded\":\"pattern\"";
        AppendMtime(out, file);
        out += '}';
        return;
    }
    out += ",\"asize\":";
    out += std::to_string(file.GetSize());
    // As ncdu writes it: 0 is left out.
    if (const std::int64_t disk = file.GetDiskSize(); disk > 0) {
        out += ",\"dsize\":";
        out += std::to_string(disk);
    }
    // Every name of a hard-linked file carries its sizes; readers count the inode once.
    if (THardLinkInfo link; file.GetHardLinkInfo(link)) {
        out += ",\"dev\":";
        out += std::to_string(link.Device);
        out += ",\"ino\":";
        out += std::to_string(link.Inode);
        out += ",\"hlnkc\":true,\"nlink\":";
        out += std::to_string(link.Links);
    }
    // Links and special files (FIFOs, sockets, devices) alike: ncdu marks both "notreg".
    if (file.IsSymLink() || file.IsSysFile())
        out += ",\"notreg\":true";
    AppendMtime(out, file);
    out += '}';
}

// A folder left out by a pattern or a CACHEDIR.TAG: shown, never entered.
void AppendPatternExcludedDir(std::string &out, const TFileSystemNode &dir)
{
    out += ",{\"name\":";
    AppendNcduJsonString(out, dir.Name());
    out += ",\"excluded\":\"pattern\"";
    AppendMtime(out, dir);
    out += '}';
}

// A folder that is shown but never entered: a mount point of another file system.
void AppendExcludedDir(std::string &out, const TFileSystemNode &dir)
{
    out += ",{\"name\":";
    AppendNcduJsonString(out, dir.Name());
    out += ",\"excluded\":\"otherfs\"";
    AppendMtime(out, dir);
    out += '}';
}

bool IsExcludedDir(const TFileSystemNode &node)
{
    return node.FileType() == fstDirectory && (node.Attributes() & FileAttr::ReparsePoint) != 0;
}

} // namespace

void AppendNcduJsonString(std::string &out, std::string_view name)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\u00";
            out += Hex[b >> 4];
            out += Hex[b & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string TNcduJsonExport::GetFileDesc()
{
    return _("ncdu JSON");
}

void TNcduJsonExport::WriteHeader(std::ostream &AStream)
{
    FBuffer = "[1,2,{\"progname\":\"zumbrel\",\"progver\":\"";
#ifdef ZUMBREL_VERSION
    FBuffer += ZUMBREL_VERSION;
#endif
    FBuffer += "\",\"timestamp\":";
    FBuffer += std::to_string(static_cast<long long>(std::time(nullptr)));
    FBuffer += '}';
    WriteText(AStream, FBuffer);
    FBuffer.clear();
}

void TNcduJsonExport::WriteFooter(std::ostream &AStream)
{
    FBuffer += "]\n";
    WriteText(AStream, FBuffer);
    FBuffer.clear();
}

void TNcduJsonExport::WriteNode(const TDirNode &ANode, std::ostream &AStream)
{
    // The format keeps files and folders in one list per folder, and the order of that list
    // decides where an import puts a small-files group; so the whole tree is written here,
    // from the root, in child order. The later calls for the subfolders have nothing to add.
    if (&ANode != RootNode())
        return;

    // The format has one root. All local drives become the tree of their common folder
    // (mostly "/"), each drive at its mount point: in place of the mount point its enclosing
    // drive shows but never entered, or inside folders made up for the path when no drive
    // holds it. Every name stays a single path component, as ncdu, gdu and our import want.
    struct TDrive
    {
        std::string Path;
        const TDirNode *Node;
        bool Placed = false;
    };
    std::vector<TDrive> drives;
    const bool allDrives = ANode.FileType() == fstComputer;
    if (allDrives) {
        std::scoped_lock guard(ANode.ChildLock());
        for (std::int32_t i = 0; i < ANode.InterlockedChildCount(); ++i)
            if (const auto *drive = dynamic_cast<const TDirNode *>(ANode.GetUnlockedChildNode(i)))
                drives.push_back({ExcludeTrailingPathDelimiter(drive->Name()), drive});
    }
    const auto unplacedAt = [&drives](const std::string &path) -> TDrive * {
        for (TDrive &d : drives)
            if (!d.Placed && d.Path == path)
                return &d;
        return nullptr;
    };
    // The first drive not written yet below `path`, and the name of the next step towards it.
    const auto unplacedBelow = [&drives](const std::string &path, std::string &step) -> TDrive * {
        const std::string prefix = IncludeTrailingPathDelimiter(path);
        for (TDrive &d : drives) {
            if (d.Placed || d.Path.size() <= prefix.size() || d.Path.compare(0, prefix.size(), prefix) != 0)
                continue;
            const std::string rest = d.Path.substr(prefix.size());
            step = rest.substr(0, rest.find(PathDelim));
            return &d;
        }
        return nullptr;
    };

    struct TFrame
    {
        const TDirNode *Node; // null for a folder made up to reach a drive
        std::unique_lock<TNodeLock> Lock;
        std::int32_t Next = 0;
        std::int32_t Count = 0;
        std::string Path; // kept for all local drives only
    };
    const auto flush = [&] {
        if (FBuffer.size() >= FlushBytes) {
            WriteText(AStream, FBuffer);
            FBuffer.clear();
        }
    };
    std::vector<TFrame> frames;
    // `timeOf` gives the folder's time; a drive's root has none, the mount point showing it has.
    const auto enter
        = [&](const TDirNode *dir, std::string_view name, std::string path, const TFileSystemNode *timeOf = nullptr) {
              FBuffer += ",[{\"name\":";
              AppendNcduJsonString(FBuffer, name);
              if (dir && dir->OwnDiskSize() > 0) {
                  FBuffer += ",\"dsize\":";
                  FBuffer += std::to_string(dir->OwnDiskSize());
              }
              if (dir && dir->ErrorCode() != 0)
                  FBuffer += ",\"read_error\":true";
              if (dir && dir->Timestamp() != 0)
                  timeOf = dir;
              if (timeOf)
                  AppendMtime(FBuffer, *timeOf);
              FBuffer += '}';
              TFrame frame {dir, dir ? std::unique_lock(dir->ChildLock()) : std::unique_lock<TNodeLock>(), 0,
                  dir ? dir->InterlockedChildCount() : 0, std::move(path)};
              frames.push_back(std::move(frame));
          };
    const auto enterDrive = [&](TDrive &drive, std::string_view name, const TFileSystemNode *mountPoint = nullptr) {
        drive.Placed = true;
        enter(drive.Node, name, drive.Path, mountPoint);
    };

    if (!allDrives) {
        enter(&ANode, NodePath(), std::string());
    } else {
        // The longest folder path that holds every drive.
        std::string common = drives.empty() ? std::string(1, PathDelim) : drives.front().Path;
        for (const TDrive &d : drives)
            while (common != d.Path
                && !PathStartsWith(IncludeTrailingPathDelimiter(d.Path), IncludeTrailingPathDelimiter(common))) {
                const auto slash = common.rfind(PathDelim);
                common = slash == 0 || slash == std::string::npos ? std::string(1, PathDelim) : common.substr(0, slash);
            }
        if (TDrive *drive = unplacedAt(common))
            enterDrive(*drive, common);
        else
            enter(nullptr, common, common);
    }
    while (!frames.empty()) {
        TFrame &top = frames.back();
        if (top.Next >= top.Count) {
            // Drives below this folder that no entry of it led to.
            std::string step;
            if (TDrive *drive = allDrives ? unplacedBelow(top.Path, step) : nullptr) {
                std::string path = JoinPath(top.Path, step);
                if (drive->Path == path)
                    enterDrive(*drive, step);
                else
                    enter(nullptr, step, std::move(path));
                continue;
            }
            FBuffer += ']';
            frames.pop_back();
            flush();
            continue;
        }
        const TFileSystemNode *child = top.Node->GetUnlockedChildNode(top.Next++);
        if (child->FileType() == fstFileGroup) {
            const auto *group = static_cast<const TGroupNode *>(child);
            std::scoped_lock groupGuard(group->ChildLock());
            const std::int32_t files = group->InterlockedChildCount();
            for (std::int32_t j = 0; j < files; ++j) {
                AppendFile(FBuffer, *group->GetUnlockedChildNode(j));
                flush();
            }
        } else if (!child->IsGroup()) {
            AppendFile(FBuffer, *child);
        } else if (allDrives) {
            std::string path = JoinPath(top.Path, child->Name());
            std::string step;
            if (TDrive *drive = unplacedAt(path)) {
                enterDrive(*drive, child->Name(), child);
            } else if (IsExcludedDir(*child) && unplacedBelow(path, step)) {
                enter(nullptr, child->Name(), std::move(path), child);
            } else if (IsExcludedDir(*child)) {
                AppendExcludedDir(FBuffer, *child);
            } else if (const auto *dir = dynamic_cast<const TDirNode *>(child)) {
                enter(dir, dir->Name(), std::move(path));
            }
        } else if (child->IsExcluded()) {
            AppendPatternExcludedDir(FBuffer, *child);
        } else if (IsExcludedDir(*child) && !static_cast<const TGroupNode *>(child)->HasChildren()) {
            // Shown but never entered: an object, as the format has it, not an array.
            AppendExcludedDir(FBuffer, *child);
        } else if (const auto *dir = dynamic_cast<const TDirNode *>(child)) {
            enter(dir, dir->Name(), std::string());
        }
        flush();
    }
}
