#include "export/NcduJsonExport.h"

#include <ctime>
#include <ostream>

#include "model/TreeTypes.h"
#include "model/common/Translate.h"
#include "model/common/UnixTime.h"
#include "platform/DirLister.h"

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
    const bool isRoot = &ANode == RootNode();
    // Every folder follows an element of its parent's array (the parent's info at least);
    // the root follows the metadata.
    const bool excluded = !isRoot && IsExcludedDir(ANode);
    FExcluded.push_back(excluded);
    if (excluded) {
        AppendExcludedDir(FBuffer, ANode);
        return;
    }
    FBuffer += ",[{\"name\":";
    AppendNcduJsonString(FBuffer, isRoot ? std::string_view(NodePath()) : ANode.Name());
    if (ANode.ErrorCode() != 0)
        FBuffer += ",\"read_error\":true";
    AppendMtime(FBuffer, ANode);
    FBuffer += '}';
    // The files go right after the folder's info; its subfolders follow through the walk.
    std::scoped_lock guard(ANode.ChildLock());
    const std::int32_t count = ANode.InterlockedChildCount();
    for (std::int32_t i = 0; i < count; ++i) {
        const TFileSystemNode *child = ANode.GetUnlockedChildNode(i);
        if (child->FileType() == fstFileGroup) {
            const auto *group = static_cast<const TGroupNode *>(child);
            std::scoped_lock groupGuard(group->ChildLock());
            const std::int32_t files = group->InterlockedChildCount();
            for (std::int32_t j = 0; j < files; ++j)
                AppendFile(FBuffer, *group->GetUnlockedChildNode(j));
        } else if (!child->IsGroup()) {
            AppendFile(FBuffer, *child);
        }
        if (FBuffer.size() >= FlushBytes) {
            WriteText(AStream, FBuffer);
            FBuffer.clear();
        }
    }
}

void TNcduJsonExport::WriteDirEnd(std::ostream &AStream)
{
    // Mount points are objects, as the format has them, not arrays.
    if (!FExcluded.back())
        FBuffer += ']';
    FExcluded.pop_back();
    if (FBuffer.size() >= FlushBytes) {
        WriteText(AStream, FBuffer);
        FBuffer.clear();
    }
}
