#include "model/NodePool.h"

#include <array>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ZUMBREL_POOL_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZUMBREL_POOL_OFF 1
#endif
#endif

namespace {

constexpr std::size_t Granule = 8;
constexpr std::size_t MaxBytes = 512;
constexpr std::size_t BlockBytes = 32 * 1024; // small: every size class keeps one partly used block

struct TFreeSlot
{
    TFreeSlot *Next;
};

struct TSizeClass
{
    std::mutex Lock;
    TFreeSlot *Free = nullptr;
    char *Cursor = nullptr;
    std::size_t Left = 0;
    std::size_t InUse = 0; // pieces handed out, in bytes
};

class TPool
{
public:
    void *Allocate(std::size_t bytes)
    {
        const std::size_t rounded = Round(bytes);
        TSizeClass &c = FClasses[rounded / Granule];
        std::scoped_lock guard(c.Lock);
        c.InUse += rounded;
        if (c.Free) {
            TFreeSlot *slot = c.Free;
            c.Free = slot->Next;
            return slot;
        }
        if (c.Left < rounded) {
            c.Cursor = NewBlock();
            c.Left = BlockBytes;
        }
        void *p = c.Cursor;
        c.Cursor += rounded;
        c.Left -= rounded;
        return p;
    }

    void Free(void *p, std::size_t bytes) noexcept
    {
        TSizeClass &c = FClasses[Round(bytes) / Granule];
        std::scoped_lock guard(c.Lock);
        c.InUse -= Round(bytes);
        c.Free = new (p) TFreeSlot {c.Free};
    }

    TNodePoolUse Use()
    {
        TNodePoolUse use;
        for (TSizeClass &c : FClasses) {
            std::scoped_lock guard(c.Lock);
            use.InUse += c.InUse;
        }
        std::scoped_lock guard(FBlocksLock);
        use.Reserved = FBlocks.size() * BlockBytes;
        return use;
    }

    static std::size_t Round(std::size_t bytes) { return (bytes + Granule - 1) / Granule * Granule; }

    char *NewBlock()
    {
        std::scoped_lock guard(FBlocksLock);
        FBlocks.push_back(std::make_unique<char[]>(BlockBytes));
        return FBlocks.back().get();
    }

private:
    std::array<TSizeClass, MaxBytes / Granule + 1> FClasses;
    std::mutex FBlocksLock;
    std::vector<std::unique_ptr<char[]>> FBlocks;
};

#ifndef ZUMBREL_POOL_OFF
TPool &Pool()
{
    // Never destroyed: nodes may be freed by threads that outlive static destruction.
    static TPool *pool = new TPool;
    return *pool;
}
#endif

} // namespace

void *AllocateNodeBytes(std::size_t bytes)
{
#ifdef ZUMBREL_POOL_OFF
    return ::operator new(bytes);
#else
    if (bytes > MaxBytes)
        return ::operator new(bytes);
    return Pool().Allocate(bytes);
#endif
}

void FreeNodeBytes(void *p, std::size_t bytes) noexcept
{
#ifdef ZUMBREL_POOL_OFF
    // Sized, so that AddressSanitizer checks every size the node model computes.
    ::operator delete(p, bytes);
#else
    if (bytes > MaxBytes) {
        ::operator delete(p);
        return;
    }
    Pool().Free(p, bytes);
#endif
}

TNodePoolUse NodePoolUse()
{
#ifdef ZUMBREL_POOL_OFF
    return {};
#else
    return Pool().Use();
#endif
}

std::size_t NodeAllocationSize(std::size_t bytes)
{
    return bytes > MaxBytes ? bytes : TPool::Round(bytes);
}
