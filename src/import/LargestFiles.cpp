#include "import/LargestFiles.h"

#include <algorithm>
#include <mutex>

#include <queue>

#include "model/TreeTypes.h"

namespace {

struct TEntry
{
    std::int64_t Size;
    const TFileSystemNode *Node;
};

// The smallest of the kept entries on top, so that it is the one to give way.
struct TLarger
{
    bool operator()(const TEntry &a, const TEntry &b) const { return a.Size > b.Size; }
};

} // namespace

std::vector<const TFileSystemNode *> CollectLargestFiles(const TGroupNode &root, std::size_t count)
{
    std::vector<const TFileSystemNode *> result;
    if (count == 0)
        return result;
    // Files of the same size as the smallest kept one are kept as well, so that the path can
    // decide among them at the end.
    std::vector<TEntry> ties;
    std::priority_queue<TEntry, std::vector<TEntry>, TLarger> kept;
    std::vector<const TGroupNode *> pending {&root};
    while (!pending.empty()) {
        const TGroupNode *group = pending.back();
        pending.pop_back();
        std::scoped_lock guard(group->ChildLock());
        const std::int32_t n = group->InterlockedChildCount();
        for (std::int32_t i = 0; i < n; ++i) {
            const TFileSystemNode *child = group->GetUnlockedChildNode(i);
            if (child->IsGroup()) {
                pending.push_back(static_cast<const TGroupNode *>(child));
                continue;
            }
            const std::int64_t size = child->GetSize();
            if (kept.size() < count) {
                kept.push({size, child});
            } else if (size > kept.top().Size) {
                const TEntry out = kept.top();
                kept.pop();
                kept.push({size, child});
                if (out.Size == kept.top().Size)
                    ties.push_back(out);
                else
                    ties.clear();
            } else if (size == kept.top().Size) {
                ties.push_back({size, child});
            }
        }
    }
    std::vector<TEntry> all;
    all.reserve(kept.size() + ties.size());
    const std::int64_t smallest = kept.empty() ? 0 : kept.top().Size;
    while (!kept.empty()) {
        all.push_back(kept.top());
        kept.pop();
    }
    for (const TEntry &t : ties)
        if (t.Size == smallest)
            all.push_back(t);
    std::vector<std::pair<TEntry, std::string>> named;
    named.reserve(all.size());
    for (const TEntry &e : all)
        named.emplace_back(e, e.Node->GetFullPathName());
    std::sort(named.begin(), named.end(), [](const auto &a, const auto &b) {
        return a.first.Size != b.first.Size ? a.first.Size > b.first.Size : a.second < b.second;
    });
    named.resize(std::min(named.size(), count));
    for (const auto &e : named)
        result.push_back(e.first.Node);
    return result;
}
