#include "export/NcduJsonExport.h"

#include <ctime>
#include <mutex>
#include <ostream>
#include <vector>

#include "model/TreeTypes.h"
#include "model/common/Translate.h"
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
    out += ",\"asize\":";
    out += std::to_string(file.GetSize());
    if (file.IsSymLink())
        out += ",\"notreg\":true";
    AppendMtime(out, file);
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
    struct TFrame
    {
        const TDirNode *Node;
        std::unique_lock<TNodeLock> Lock;
        std::int32_t Next = 0;
        std::int32_t Count = 0;
    };
    const auto flush = [&] {
        if (FBuffer.size() >= FlushBytes) {
            WriteText(AStream, FBuffer);
            FBuffer.clear();
        }
    };
    const auto enter = [&](std::vector<TFrame> &frames, const TDirNode &dir, std::string_view name) {
        FBuffer += ",[{\"name\":";
        AppendNcduJsonString(FBuffer, name);
        if (dir.ErrorCode() != 0)
            FBuffer += ",\"read_error\":true";
        AppendMtime(FBuffer, dir);
        FBuffer += '}';
        TFrame frame {&dir, std::unique_lock(dir.ChildLock())};
        frame.Count = dir.InterlockedChildCount();
        frames.push_back(std::move(frame));
    };
    std::vector<TFrame> frames;
    enter(frames, ANode, NodePath());
    while (!frames.empty()) {
        TFrame &top = frames.back();
        if (top.Next >= top.Count) {
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
        } else if (IsExcludedDir(*child)) {
            // Shown but never entered: an object, as the format has it, not an array.
            AppendExcludedDir(FBuffer, *child);
        } else if (const auto *dir = dynamic_cast<const TDirNode *>(child)) {
            enter(frames, *dir, dir->Name());
        }
        flush();
    }
}
