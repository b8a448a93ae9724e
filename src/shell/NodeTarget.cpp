#include "shell/NodeTarget.h"

#include <mutex>

#include "model/Paths.h"

namespace {

TDiskIdentity RecordedIdentity(const TFileSystemNode &node)
{
    if (const auto *dir = dynamic_cast<const TDirNode *>(&node))
        return {dir->DiskDevice(), dir->DiskInode()};
    return {};
}

// The node that holds the whole root path: the top of the tree, or a drive below the
// computer node of an analysis of all local drives.
bool IsTopOfPath(const TFileSystemNode &node)
{
    return !node.Parent() || node.Parent()->FileType() == fstComputer;
}

} // namespace

TFileTarget TargetOfNode(const TFileSystemNode &node)
{
    TFileTarget target;
    target.Path = node.GetFullPathName();
    target.Name = std::string(node.Name());
    if (node.IsGroup())
        target.Kind = TEntryKind::Folder;
    else
        target.Kind = node.IsSymLink() ? TEntryKind::Link : TEntryKind::File;
    target.Identity = target.Kind == TEntryKind::Folder ? RecordedIdentity(node) : TDiskIdentity();
    if (IsTopOfPath(node)) {
        // The top itself: its folder is taken as it stands.
        const TFileTarget now = TargetAsItIsNow(target.Path);
        target.Root = now.Root;
        target.RootIdentity = now.RootIdentity;
        target.Name = now.Name;
        return target;
    }
    std::vector<const TFileSystemNode *> folders;
    const TFileSystemNode *up = node.Parent();
    for (; up && !IsTopOfPath(*up); up = up->Parent())
        if (up->FileType() != fstFileGroup)
            folders.push_back(up);
    if (!up)
        return TargetAsItIsNow(target.Path);
    target.Root = std::string(up->Name());
    target.RootIdentity = RecordedIdentity(*up);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        target.Folders.push_back({std::string((*it)->Name()), RecordedIdentity(**it)});
    return target;
}

TFileSystemNode *FindNodeOrGroupMember(const TGroupNode &root, const std::string &path)
{
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    if (TFileSystemNode *node = root.FindChildNodePath(clean))
        return node;
    const auto slash = clean.rfind(PathDelim);
    if (slash == std::string::npos)
        return nullptr;
    const std::string parentPath = slash == 0 ? std::string(1, PathDelim) : clean.substr(0, slash);
    const std::string_view name = std::string_view(clean).substr(slash + 1);
    const TDirNode *dir = ExcludeTrailingPathDelimiter(root.GetFullPathName()) == parentPath
        ? dynamic_cast<const TDirNode *>(&root)
        : dynamic_cast<const TDirNode *>(root.FindChildNodePath(parentPath));
    if (!dir)
        return nullptr;
    std::scoped_lock folderLock(dir->ChildLock());
    const TFileGroupNode *group = dir->SmallFilesGroup();
    if (!group)
        return nullptr;
    std::scoped_lock groupLock(group->ChildLock());
    return group->FindChildNode(name);
}
