#include "model/DeleteNodes.h"

#include <mutex>

#include "model/Paths.h"

std::vector<TDeleteEntry> CollapseNestedEntries(const std::vector<TDeleteEntry> &entries)
{
    std::vector<TDeleteEntry> kept;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string path = IncludeTrailingPathDelimiter(entries[i].Path);
        bool drop = false;
        for (std::size_t j = 0; j < entries.size() && !drop; ++j) {
            if (i == j)
                continue;
            const std::string other = IncludeTrailingPathDelimiter(entries[j].Path);
            if (other == path)
                drop = j < i; // of equal paths the first stays
            else
                drop = PathStartsWith(path, other);
        }
        if (!drop)
            kept.push_back(entries[i]);
    }
    return kept;
}

std::vector<std::string> GroupMemberPaths(const TFileGroupNode &group)
{
    std::vector<std::string> paths;
    std::scoped_lock guard(group.ChildLock());
    const std::int32_t count = group.InterlockedChildCount();
    for (std::int32_t i = 0; i < count; ++i)
        paths.push_back(group.GetUnlockedChildNode(i)->GetFullPathName());
    return paths;
}

bool IsSameOrBelow(const TFileSystemNode *node, const TFileSystemNode *ancestor)
{
    for (; node; node = node->Parent())
        if (node == ancestor)
            return true;
    return false;
}

namespace {

// The member named `name` of the small-files group of `dir`, removed and freed; the group
// left empty is dropped from the folder. The group, or null when there is no such member.
TGroupNode *RemoveGroupMember(TDirNode &dir, std::string_view name)
{
    std::scoped_lock dirGuard(dir.ChildLock()); // ancestor first
    TFileGroupNode *group = dir.SmallFilesGroup();
    if (!group)
        return nullptr;
    TFileSystemNode *member = nullptr;
    {
        std::scoped_lock groupGuard(group->ChildLock());
        const std::int32_t count = group->InterlockedChildCount();
        for (std::int32_t i = 0; i < count && !member; ++i)
            if (group->GetUnlockedChildNode(i)->Name() == name)
                member = group->GetUnlockedChildNode(i);
        if (!member)
            return nullptr;
        group->RemoveChildNode(member);
    }
    if (!group->HasChildren()) {
        dir.DropSmallFilesGroup();
        return &dir;
    }
    return group;
}

} // namespace

bool RemoveNodeByPath(TGroupNode &root, const std::string &path)
{
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    if (TFileSystemNode *node = root.FindChildNodePath(clean)) {
        if (node->FileType() == fstFileGroup)
            return false; // a group has no file of its own; its members are deleted one by one
        if (auto *dir = dynamic_cast<TDirNode *>(node->Parent()); dir && node == dir->SmallFilesGroup())
            return false;
        node->Delete();
        return true;
    }
    const auto slash = clean.rfind(PathDelim);
    if (slash == std::string::npos)
        return false;
    const std::string parentPath = slash == 0 ? std::string(1, PathDelim) : clean.substr(0, slash);
    const std::string_view name = std::string_view(clean).substr(slash + 1);
    TDirNode *dir = nullptr;
    if (ExcludeTrailingPathDelimiter(root.GetFullPathName()) == parentPath)
        dir = dynamic_cast<TDirNode *>(&root);
    else
        dir = dynamic_cast<TDirNode *>(root.FindChildNodePath(parentPath));
    if (!dir)
        return false;
    TGroupNode *changed = RemoveGroupMember(*dir, name);
    if (!changed)
        return false;
    changed->RecalcSizeAndFileCountUpToRoot();
    return true;
}
