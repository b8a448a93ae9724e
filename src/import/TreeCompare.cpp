#include "import/TreeCompare.h"

#include <mutex>
#include <string_view>
#include <vector>

#include "import/TreeDiff.h"
#include "model/TreeTypes.h"

namespace {

// The files of a folder, small-files group included, and the group itself; the members of
// the group come last, from GroupStart on.
struct TFiles
{
    std::vector<const TFileSystemNode *> Files;
    std::size_t GroupStart = 0;
    const TFileSystemNode *Group = nullptr;
};

void FilesOf(const TDirNode &dir, TFiles &out)
{
    out.Files.clear();
    out.Group = nullptr;
    std::scoped_lock guard(dir.ChildLock());
    const std::int32_t n = dir.InterlockedChildCount();
    for (std::int32_t i = 0; i < n; ++i) {
        const TFileSystemNode *child = dir.GetUnlockedChildNode(i);
        if (child->FileType() == fstFileGroup)
            out.Group = child;
        else if (!child->IsGroup())
            out.Files.push_back(child);
    }
    out.GroupStart = out.Files.size();
    if (const auto *group = static_cast<const TGroupNode *>(out.Group)) {
        std::scoped_lock groupGuard(group->ChildLock());
        for (std::int32_t j = 0; j < group->InterlockedChildCount(); ++j)
            out.Files.push_back(group->GetUnlockedChildNode(j));
    }
}

} // namespace

TTreeComparison::TTreeComparison(const TDirNode &oldRoot, const TDirNode &newRoot)
{
    TFiles oldFiles;
    TFiles newFiles;
    std::unordered_map<std::string_view, std::int64_t> oldByName;
    VisitFolderPairs(oldRoot, newRoot, [&](const TDirNode *o, const TDirNode *n) {
        if (!o) {
            FGrowth += n->GetSize();
            return;
        }
        if (!n) {
            FShrinkage += o->GetSize();
            return;
        }
        FOldSizes[n] = o->GetSize();
        FilesOf(*o, oldFiles);
        FilesOf(*n, newFiles);
        oldByName.clear();
        for (const TFileSystemNode *f : oldFiles.Files)
            oldByName.emplace(f->Name(), f->GetSize());
        std::int64_t groupOldSize = 0; // what the files of the group had then
        for (std::size_t i = 0; i < newFiles.Files.size(); ++i) {
            const TFileSystemNode *f = newFiles.Files[i];
            const auto it = oldByName.find(f->Name());
            std::int64_t change = f->GetSize();
            if (it != oldByName.end()) {
                FOldSizes[f] = it->second;
                change -= it->second;
                if (i >= newFiles.GroupStart)
                    groupOldSize += it->second;
                oldByName.erase(it);
            }
            (change > 0 ? FGrowth : FShrinkage) += change > 0 ? change : -change;
        }
        if (const auto *group = static_cast<const TGroupNode *>(newFiles.Group)) {
            if (oldFiles.Group) {
                FOldSizes[group] = oldFiles.Group->GetSize();
            } else {
                // A saved analysis holds no groups: the group had its files' sizes and those of
                // the small files since gone, so that an unchanged folder shows no change.
                for (const auto &[name, size] : oldByName)
                    if (size < group->GetRootNode()->GroupFileSize())
                        groupOldSize += size;
                FOldSizes[group] = groupOldSize;
            }
        }
        for (const auto &[name, size] : oldByName)
            FShrinkage += size;
    });
}

std::int64_t TTreeComparison::OldSize(const TFileSystemNode *node) const
{
    const auto it = FOldSizes.find(node);
    return it == FOldSizes.end() ? 0 : it->second;
}
