#include "import/LargestFiles.h"

#include <algorithm>
#include <mutex>

#include <queue>

#include "model/Paths.h"
#include "model/TreeTypes.h"

namespace {

// The smallest kept file on top, so that it is the one to give way.
struct TLarger
{
    bool operator()(const TLargeFile &a, const TLargeFile &b) const { return a.Size > b.Size; }
};

} // namespace

std::string TLargeFile::Path() const
{
    return JoinPath(Folder, Name);
}

std::vector<TLargeFile> CollectLargestFiles(const TGroupNode &root, std::size_t count)
{
    std::vector<TLargeFile> result;
    if (count == 0)
        return result;
    // Files as large as the smallest kept one are kept as well, so that the path can decide
    // among them at the end.
    std::vector<TLargeFile> ties;
    std::priority_queue<TLargeFile, std::vector<TLargeFile>, TLarger> kept;
    const auto offer = [&](const TFileSystemNode &file, const TGroupNode &folder) {
        const std::int64_t size = file.GetSize();
        const bool fits = kept.size() < count || size >= kept.top().Size;
        if (!fits)
            return;
        TLargeFile entry {size, file.Timestamp(), std::string(file.Name()), folder.GetFullPathName(), &file};
        if (kept.size() < count) {
            kept.push(std::move(entry));
        } else if (size > kept.top().Size) {
            TLargeFile out = kept.top();
            kept.pop();
            kept.push(std::move(entry));
            if (out.Size == kept.top().Size)
                ties.push_back(std::move(out));
            else
                ties.clear();
        } else {
            ties.push_back(std::move(entry));
        }
    };
    std::vector<const TGroupNode *> pending {&root};
    while (!pending.empty()) {
        const TGroupNode *folder = pending.back();
        pending.pop_back();
        std::scoped_lock guard(folder->ChildLock());
        const std::int32_t n = folder->InterlockedChildCount();
        for (std::int32_t i = 0; i < n; ++i) {
            const TFileSystemNode *child = folder->GetUnlockedChildNode(i);
            if (child->FileType() == fstFileGroup) {
                // Read now, under the folder's lock: a scan may fold the group away later.
                const auto *group = static_cast<const TGroupNode *>(child);
                std::scoped_lock groupGuard(group->ChildLock());
                const std::int32_t files = group->InterlockedChildCount();
                for (std::int32_t j = 0; j < files; ++j)
                    offer(*group->GetUnlockedChildNode(j), *folder);
            } else if (child->IsGroup()) {
                pending.push_back(static_cast<const TGroupNode *>(child));
            } else {
                offer(*child, *folder);
            }
        }
    }
    const std::int64_t smallest = kept.empty() ? 0 : kept.top().Size;
    result.reserve(kept.size() + ties.size());
    while (!kept.empty()) {
        result.push_back(kept.top());
        kept.pop();
    }
    for (TLargeFile &t : ties)
        if (t.Size == smallest)
            result.push_back(std::move(t));
    std::sort(result.begin(), result.end(), [](const TLargeFile &a, const TLargeFile &b) {
        return a.Size != b.Size ? a.Size > b.Size : a.Path() < b.Path();
    });
    if (result.size() > count)
        result.resize(count);
    return result;
}

TFileSystemNode *FindLargeFileNode(const TGroupNode &root, const TLargeFile &file)
{
    // Down from the root by name, holding the locks of the path taken (ancestor first), as
    // a rescan may replace folders meanwhile; comparing names needs no paths built, which
    // counts in folders of many thousand entries.
    const std::string folderPath = ExcludeTrailingPathDelimiter(file.Folder);
    const std::string rootPath = ExcludeTrailingPathDelimiter(root.GetFullPathName());
    std::vector<std::unique_lock<TNodeLock>> held;
    const TGroupNode *folder = nullptr;
    if (folderPath == rootPath) {
        folder = &root;
    } else if (root.FileType() != fstComputer
        && PathStartsWith(IncludeTrailingPathDelimiter(folderPath), IncludeTrailingPathDelimiter(rootPath))) {
        folder = &root;
        std::string_view rest = std::string_view(folderPath).substr(IncludeTrailingPathDelimiter(rootPath).size());
        while (folder && !rest.empty()) {
            const auto slash = rest.find(PathDelim);
            const std::string_view name = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            held.emplace_back(folder->ChildLock());
            const TGroupNode *next = nullptr;
            const std::int32_t n = folder->InterlockedChildCount();
            for (std::int32_t i = 0; i < n && !next; ++i) {
                const TFileSystemNode *child = folder->GetUnlockedChildNode(i);
                if (child->IsGroup() && child->FileType() != fstFileGroup && child->Name() == name)
                    next = static_cast<const TGroupNode *>(child);
            }
            folder = next;
        }
    } else {
        // Below all local drives each drive's name is its whole path.
        const TFileSystemNode *node = root.FindChildNodePath(folderPath);
        if (node && node->IsGroup() && node->FileType() != fstFileGroup)
            folder = static_cast<const TGroupNode *>(node);
    }
    if (!folder)
        return nullptr;
    // A folder's own files and the members of its small-files group never share a name.
    std::scoped_lock guard(folder->ChildLock());
    const std::int32_t n = folder->InterlockedChildCount();
    for (std::int32_t i = 0; i < n; ++i) {
        TFileSystemNode *child = folder->GetUnlockedChildNode(i);
        if (child->FileType() == fstFileGroup) {
            const auto *group = static_cast<const TGroupNode *>(child);
            std::scoped_lock groupGuard(group->ChildLock());
            const std::int32_t files = group->InterlockedChildCount();
            for (std::int32_t j = 0; j < files; ++j)
                if (TFileSystemNode *member = group->GetUnlockedChildNode(j); member->Name() == file.Name)
                    return member;
        } else if (!child->IsGroup() && child->Name() == file.Name) {
            return child;
        }
    }
    return nullptr;
}
