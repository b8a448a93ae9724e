#include "import/TreeCompare.h"

#include <mutex>
#include <string_view>
#include <vector>

#include "import/TreeDiff.h"
#include "model/TreeTypes.h"

namespace {

// The files of a folder, small-files group included, and the group itself.
struct TFiles
{
    std::vector<const TFileSystemNode *> Files;
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
        if (child->FileType() == fstFileGroup) {
            out.Group = child;
            const auto *group = static_cast<const TGroupNode *>(child);
            std::scoped_lock groupGuard(group->ChildLock());
            for (std::int32_t j = 0; j < group->InterlockedChildCount(); ++j)
                out.Files.push_back(group->GetUnlockedChildNode(j));
        } else if (!child->IsGroup()) {
            out.Files.push_back(child);
        }
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
        if (oldFiles.Group && newFiles.Group)
            FOldSizes[newFiles.Group] = oldFiles.Group->GetSize();
        oldByName.clear();
        for (const TFileSystemNode *f : oldFiles.Files)
            oldByName.emplace(f->Name(), f->GetSize());
        for (const TFileSystemNode *f : newFiles.Files) {
            const auto it = oldByName.find(f->Name());
            std::int64_t change = f->GetSize();
            if (it != oldByName.end()) {
                FOldSizes[f] = it->second;
                change -= it->second;
                oldByName.erase(it);
            }
            (change > 0 ? FGrowth : FShrinkage) += change > 0 ? change : -change;
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
