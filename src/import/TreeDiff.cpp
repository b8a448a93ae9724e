#include "import/TreeDiff.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "model/TreeTypes.h"

namespace {

const TDirNode *AsDir(const TFileSystemNode *node)
{
    return node->IsGroup() ? dynamic_cast<const TDirNode *>(node) : nullptr;
}

void SubDirs(const TDirNode &dir, std::vector<const TDirNode *> &out)
{
    out.clear();
    std::scoped_lock guard(dir.ChildLock());
    const std::int32_t count = dir.InterlockedChildCount();
    for (std::int32_t i = 0; i < count; ++i)
        if (const TDirNode *sub = AsDir(dir.GetUnlockedChildNode(i)))
            out.push_back(sub);
}

// The path of `dir` below `root`, "/"-separated.
std::string RelativePath(const TFileSystemNode *dir, const TFileSystemNode *root)
{
    std::vector<std::string_view> parts;
    for (const TFileSystemNode *n = dir; n && n != root; n = n->Parent())
        parts.push_back(n->Name());
    std::string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!path.empty())
            path += '/';
        path.append(*it);
    }
    return path;
}

} // namespace

void VisitFolderPairs(const TDirNode &oldRoot, const TDirNode &newRoot, const TDiffVisitor &visit)
{
    std::vector<std::pair<const TDirNode *, const TDirNode *>> pending {{&oldRoot, &newRoot}};
    std::vector<const TDirNode *> oldSubs;
    std::vector<const TDirNode *> newSubs;
    std::unordered_map<std::string_view, std::size_t> newIndex;
    std::vector<bool> matched;
    while (!pending.empty()) {
        const auto [oldDir, newDir] = pending.back();
        pending.pop_back();
        visit(oldDir, newDir);
        SubDirs(*oldDir, oldSubs);
        SubDirs(*newDir, newSubs);
        newIndex.clear();
        for (std::size_t i = 0; i < newSubs.size(); ++i)
            newIndex.emplace(newSubs[i]->Name(), i);
        matched.assign(newSubs.size(), false);
        for (const TDirNode *o : oldSubs) {
            const auto it = newIndex.find(o->Name());
            if (it == newIndex.end() || matched[it->second]) {
                visit(o, nullptr);
                continue;
            }
            matched[it->second] = true;
            pending.emplace_back(o, newSubs[it->second]);
        }
        for (std::size_t i = 0; i < newSubs.size(); ++i)
            if (!matched[i])
                visit(nullptr, newSubs[i]);
    }
}

TTreeDiff DiffTrees(const TDirNode &oldRoot, const TDirNode &newRoot, std::size_t top)
{
    struct TPair
    {
        const TDirNode *Old;
        const TDirNode *New;
        std::int64_t Change;
    };
    std::vector<TPair> changed;
    std::vector<TPair> added;
    std::vector<TPair> removed;
    VisitFolderPairs(oldRoot, newRoot, [&](const TDirNode *o, const TDirNode *n) {
        if (o && n) {
            if (const std::int64_t change = n->GetSize() - o->GetSize(); change != 0)
                changed.push_back({o, n, change});
        } else if (n) {
            added.push_back({nullptr, n, n->GetSize()});
        } else {
            removed.push_back({o, nullptr, -o->GetSize()});
        }
    });

    TTreeDiff diff;
    diff.OldTotal = oldRoot.GetSize();
    diff.NewTotal = newRoot.GetSize();
    // Only the folders that make the list get a path; the order of equal changes follows the
    // path, so it is worked out among the candidates of equal magnitude.
    const auto magnitude = [](const TPair &p) { return p.Change < 0 ? -p.Change : p.Change; };
    const auto byMagnitude = [&](const TPair &a, const TPair &b) { return magnitude(a) > magnitude(b); };
    const auto toChange = [&](const TPair &p, TFolderChangeKind kind) {
        TFolderChange c;
        c.Path = RelativePath(p.New ? p.New : p.Old, p.New ? static_cast<const TFileSystemNode *>(&newRoot) : &oldRoot);
        c.OldSize = p.Old ? p.Old->GetSize() : 0;
        c.NewSize = p.New ? p.New->GetSize() : 0;
        c.Kind = kind;
        return c;
    };
    const auto finish = [&](std::vector<TPair> &pairs, TFolderChangeKind kind, std::size_t limit) {
        std::sort(pairs.begin(), pairs.end(), byMagnitude);
        std::size_t keep = limit == 0 ? pairs.size() : std::min(limit, pairs.size());
        // Keep every candidate tied with the last one, so that the path decides among them.
        while (keep > 0 && keep < pairs.size() && magnitude(pairs[keep]) == magnitude(pairs[keep - 1]))
            ++keep;
        std::vector<TFolderChange> out;
        out.reserve(keep);
        for (std::size_t i = 0; i < keep; ++i)
            out.push_back(toChange(pairs[i], kind));
        std::stable_sort(out.begin(), out.end(), [](const TFolderChange &a, const TFolderChange &b) {
            const std::int64_t ma = std::llabs(a.Change());
            const std::int64_t mb = std::llabs(b.Change());
            return ma != mb ? ma > mb : a.Path < b.Path;
        });
        if (limit != 0 && out.size() > limit)
            out.resize(limit);
        return out;
    };
    diff.Changed = finish(changed, TFolderChangeKind::Changed, top);
    diff.Added = finish(added, TFolderChangeKind::Added, top);
    diff.Removed = finish(removed, TFolderChangeKind::Removed, top);
    return diff;
}
