#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TFileSystemNode;

// The owning child list of a group node.
//
// Writers change it only while they hold the owning node's lock. One reader may, without
// the lock, read any index below a count it obtained earlier: an element once stored stays
// at its address while others are appended, because growing copies into a new block and
// keeps the old blocks until the list is cleared or destroyed (which happens only when no
// thread reads or scans below the node).
//
// One exception to "stays": a directory's small-files group that ends its scan holding a single
// file is folded back by the scan thread (TDirNode::SetScanning(false)): the file is copied into
// the directory, the group is removed from this list (later elements move down by one) and freed
// with its child list, under the directory's lock. A reader that keeps a group, or an element
// of a group's list, across the directory's lock must therefore check again under that lock
// that the directory's list still holds the group at the index it read before using either.
class TMemNodeList
{
public:
    TMemNodeList() = default;
    ~TMemNodeList();
    TMemNodeList(const TMemNodeList &) = delete;
    TMemNodeList &operator=(const TMemNodeList &) = delete;

    [[nodiscard]] std::int32_t Count() const
    {
        return static_cast<std::int32_t>(FCount.load(std::memory_order_acquire));
    }
    // The element at `index`; throws std::out_of_range outside 0..Count()-1.
    [[nodiscard]] TFileSystemNode *Items(std::int32_t index) const;

    // Makes room for `extra` more elements so that they are appended without growing.
    void Reserve(std::int32_t extra);
    // Takes ownership. Returns the new index.
    std::int32_t Add(TFileSystemNode *node);
    void Insert(std::int32_t index, TFileSystemNode *node);
    // Removes and frees the element.
    void Delete(std::int32_t index);
    // Removes the element without freeing it and hands it over.
    TFileSystemNode *Extract(std::int32_t index);
    [[nodiscard]] std::int32_t IndexOf(const TFileSystemNode *node) const;
    // Frees every element and the storage.
    void Clear();
    // Moves the elements into storage of exactly their number and frees the blocks kept for
    // readers of earlier states. Only while no other thread can read the list (a tree still
    // being built by one thread).
    void CompactUnshared();
    // Removes the last element without freeing it and hands it over; null when empty. Never
    // allocates.
    TFileSystemNode *PopLast() noexcept;
    // Moves every element into `out` without freeing them; the list is empty afterwards.
    void DetachInto(std::vector<TFileSystemNode *> &out);
    // Stable order by `less`, which must give the same answer for the same pair every time:
    // never compare values that other threads change meanwhile (use SortByKey for those).
    void CustomSort(const std::function<bool(const TFileSystemNode *, const TFileSystemNode *)> &less);
    // Stable order by one key per element, taken once before sorting. Live values (the totals of
    // folders being scanned) change between two comparisons; a comparison that contradicts
    // itself lets std::stable_sort read outside the list. `descending` reverses the order of
    // different keys only: equal keys keep their order either way.
    template <class TKeyOf> void SortByKey(TKeyOf keyOf, bool descending)
    {
        TFileSystemNode **items = Slots();
        const std::int32_t count = Count();
        if (!items || count < 2)
            return;
        using TKey = decltype(keyOf(items[0]));
        std::vector<std::pair<TKey, TFileSystemNode *>> keyed;
        keyed.reserve(static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i)
            keyed.emplace_back(keyOf(items[i]), items[i]);
        std::stable_sort(keyed.begin(), keyed.end(),
            [descending](const auto &a, const auto &b) { return descending ? b.first < a.first : a.first < b.first; });
        for (std::int32_t i = 0; i < count; ++i)
            items[i] = keyed[static_cast<std::size_t>(i)].second;
    }
    // By name, locale-aware and case-sensitive, ascending.
    void Sort();
    // Pool bytes of the storage in use; `retired` gets those of the blocks kept for readers.
    // For memory benchmarks; only while no other thread changes the list.
    [[nodiscard]] std::size_t HeapBytes(std::size_t &retired) const;

private:
    struct TBlock;
    struct TRetired;
    TFileSystemNode **Slots() const;
    void Grow(std::uint32_t capacity);
    void FreeBlocks();
    static void FreeRetired(TRetired *retired);

    std::atomic<TBlock *> FBlock {nullptr};
    std::atomic<std::uint32_t> FCount {0};
    // The room of the current block; kept here, in what would be padding, so that a block's
    // header is one word. Writers only.
    std::uint32_t FCapacity = 0;
};

// Frees a node and everything below it without recursion, so that no depth of tree can
// exhaust the stack, and without allocating, so that a tree can be freed when memory ran out
// while it was built: the parent links are the only stack.
void DestroyNodeTree(TFileSystemNode *node);
