#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TFileSystemNode;

// The owning child list of a group node.
//
// Writers change it only while they hold the owning node's lock. One reader may, without
// the lock, read any index below a count it obtained earlier: an element once stored stays
// at its address while others are appended, because growing copies into a new block and
// keeps the old blocks until the list is cleared or destroyed (which happens only when no
// thread reads or scans below the node).
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
    // Moves every element into `out` without freeing them; the list is empty afterwards.
    void DetachInto(std::vector<TFileSystemNode *> &out);
    // Stable order by `less`.
    void CustomSort(const std::function<bool(const TFileSystemNode *, const TFileSystemNode *)> &less);
    // By name, locale-aware and case-sensitive, ascending.
    void Sort();

private:
    struct TBlock;
    TFileSystemNode **Slots() const;
    void Grow(std::uint32_t capacity);
    void FreeBlocks();

    std::atomic<TBlock *> FBlock {nullptr};
    std::atomic<std::uint32_t> FCount {0};
};

// Frees a node and everything below it without recursion, so that no depth of tree can
// exhaust the stack.
void DestroyNodeTree(TFileSystemNode *node);
