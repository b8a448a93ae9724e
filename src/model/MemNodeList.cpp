#include "model/MemNodeList.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "model/NodePool.h"
#include "model/TreeTypes.h"

// Storage of one generation of the list; the elements follow the header. Lists grow rarely
// (the scanner reserves each directory's room once), so the blocks kept for readers hang off
// a separate chain instead of costing every block a second header word.
struct TMemNodeList::TBlock
{
    TRetired *Retired;

    TFileSystemNode **Items() { return reinterpret_cast<TFileSystemNode **>(this + 1); }

    static TBlock *Make(std::uint32_t capacity, TRetired *retired)
    {
        void *raw = AllocateNodeBytes(Bytes(capacity));
        return new (raw) TBlock {retired};
    }
    static void Free(TBlock *block, std::uint32_t capacity) { FreeNodeBytes(block, Bytes(capacity)); }
    static std::size_t Bytes(std::uint32_t capacity) { return sizeof(TBlock) + sizeof(TFileSystemNode *) * capacity; }
};

// A block replaced by a bigger one, kept until the list is cleared: readers may still be in it.
struct TMemNodeList::TRetired
{
    TRetired *Next;
    TBlock *Block;
    std::uint32_t Capacity;
};

static_assert(sizeof(TMemNodeList) == 16, "the child list stays two words");

TMemNodeList::~TMemNodeList()
{
    Clear();
}

TFileSystemNode **TMemNodeList::Slots() const
{
    TBlock *block = FBlock.load(std::memory_order_acquire);
    return block ? block->Items() : nullptr;
}

TFileSystemNode *TMemNodeList::Items(std::int32_t index) const
{
    // The count is published after the element, so an index below it is always filled.
    if (index < 0 || static_cast<std::uint32_t>(index) >= FCount.load(std::memory_order_acquire))
        throw std::out_of_range("list index out of bounds (" + std::to_string(index) + ")");
    return Slots()[index];
}

void TMemNodeList::Grow(std::uint32_t capacity)
{
    static_assert(sizeof(TBlock) == sizeof(void *), "a block's header is one word");
    TBlock *old = FBlock.load(std::memory_order_relaxed);
    TRetired *retired = nullptr;
    if (old) {
        retired = new (AllocateNodeBytes(sizeof(TRetired))) TRetired {old->Retired, old, FCapacity};
        old->Retired = nullptr; // the new block owns the chain now
    }
    TBlock *block;
    try {
        block = TBlock::Make(capacity, retired);
    } catch (...) {
        if (retired) {
            old->Retired = retired->Next;
            FreeNodeBytes(retired, sizeof(TRetired));
        }
        throw;
    }
    const std::uint32_t count = FCount.load(std::memory_order_relaxed);
    if (count)
        std::memcpy(block->Items(), old->Items(), sizeof(TFileSystemNode *) * count);
    FCapacity = capacity;
    FBlock.store(block, std::memory_order_release);
}

void TMemNodeList::FreeRetired(TRetired *retired)
{
    while (retired) {
        TRetired *next = retired->Next;
        TBlock::Free(retired->Block, retired->Capacity);
        FreeNodeBytes(retired, sizeof(TRetired));
        retired = next;
    }
}

void TMemNodeList::Reserve(std::int32_t extra)
{
    if (extra <= 0)
        return;
    const std::uint64_t needed = static_cast<std::uint64_t>(FCount.load(std::memory_order_relaxed)) + extra;
    if (needed > INT32_MAX)
        throw std::length_error("too many children");
    if (!FBlock.load(std::memory_order_relaxed) || FCapacity < needed)
        Grow(static_cast<std::uint32_t>(needed));
}

std::int32_t TMemNodeList::Add(TFileSystemNode *node)
{
    const std::uint32_t count = FCount.load(std::memory_order_relaxed);
    if (count >= INT32_MAX)
        throw std::length_error("too many children");
    if (!FBlock.load(std::memory_order_relaxed) || FCapacity == count)
        Grow(std::max<std::uint32_t>(4, count + count / 2 + 1));
    Slots()[count] = node;
    FCount.store(count + 1, std::memory_order_release);
    return static_cast<std::int32_t>(count);
}

void TMemNodeList::Insert(std::int32_t index, TFileSystemNode *node)
{
    const std::int32_t count = Count();
    if (index < 0 || index > count)
        throw std::out_of_range("list index out of bounds (" + std::to_string(index) + ")");
    Add(node);
    TFileSystemNode **items = Slots();
    std::memmove(items + index + 1, items + index, sizeof(TFileSystemNode *) * (count - index));
    items[index] = node;
}

TFileSystemNode *TMemNodeList::Extract(std::int32_t index)
{
    TFileSystemNode *node = Items(index);
    TFileSystemNode **items = Slots();
    const std::int32_t count = Count();
    std::memmove(items + index, items + index + 1, sizeof(TFileSystemNode *) * (count - index - 1));
    FCount.store(count - 1, std::memory_order_release);
    return node;
}

void TMemNodeList::Delete(std::int32_t index)
{
    DestroyNodeTree(Extract(index));
}

std::int32_t TMemNodeList::IndexOf(const TFileSystemNode *node) const
{
    const std::int32_t count = Count();
    TFileSystemNode **items = Slots();
    for (std::int32_t i = 0; i < count; ++i)
        if (items[i] == node)
            return i;
    return -1;
}

void TMemNodeList::DetachInto(std::vector<TFileSystemNode *> &out)
{
    const std::int32_t count = Count();
    TFileSystemNode **items = Slots();
    out.insert(out.end(), items, items + count);
    FCount.store(0, std::memory_order_release);
    FreeBlocks();
}

TFileSystemNode *TMemNodeList::PopLast() noexcept
{
    const std::uint32_t count = FCount.load(std::memory_order_relaxed);
    if (count == 0)
        return nullptr;
    TFileSystemNode *node = Slots()[count - 1];
    FCount.store(count - 1, std::memory_order_release);
    return node;
}

void TMemNodeList::Clear()
{
    while (TFileSystemNode *node = PopLast())
        DestroyNodeTree(node);
    FreeBlocks();
}

void TMemNodeList::CompactUnshared()
{
    TBlock *current = FBlock.load(std::memory_order_relaxed);
    if (!current)
        return;
    const std::uint32_t count = FCount.load(std::memory_order_relaxed);
    if (FCapacity != count && count > 0)
        Grow(count);
    TBlock *block = FBlock.load(std::memory_order_relaxed);
    FreeRetired(block->Retired);
    block->Retired = nullptr;
}

void TMemNodeList::FreeBlocks()
{
    TBlock *block = FBlock.exchange(nullptr, std::memory_order_acq_rel);
    if (!block)
        return;
    FreeRetired(block->Retired);
    TBlock::Free(block, FCapacity);
    FCapacity = 0;
}

std::size_t TMemNodeList::HeapBytes(std::size_t &retired) const
{
    retired = 0;
    const TBlock *block = FBlock.load(std::memory_order_acquire);
    if (!block)
        return 0;
    for (const TRetired *old = block->Retired; old; old = old->Next)
        retired += NodeAllocationSize(TBlock::Bytes(old->Capacity)) + NodeAllocationSize(sizeof(TRetired));
    return NodeAllocationSize(TBlock::Bytes(FCapacity));
}

void TMemNodeList::CustomSort(const std::function<bool(const TFileSystemNode *, const TFileSystemNode *)> &less)
{
    TFileSystemNode **items = Slots();
    if (items)
        std::stable_sort(items, items + Count(), less);
}

void TMemNodeList::Sort()
{
    CustomSort([](const TFileSystemNode *a, const TFileSystemNode *b) {
        return std::strcoll(a->Name().data(), b->Name().data()) < 0;
    });
}

void DestroyNodeTree(TFileSystemNode *node)
{
    if (!node)
        return;
    // Down through the last children to a node without any, which is freed; then on with its
    // parent. Each node is left once all its children are gone.
    TFileSystemNode *current = node;
    while (current) {
        if (current->IsGroup())
            if (TFileSystemNode *child = static_cast<TGroupNode *>(current)->TakeLastChild()) {
                current = child;
                continue;
            }
        TFileSystemNode *up = current == node ? nullptr : current->Parent();
        delete current;
        current = up;
    }
}
