#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "common/Drives.h"
#include "common/ThreadPriority.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "model/NodePool.h"
#include "model/Paths.h"
#include "model/TreeTypes.h"
#include "platform/Platform.h"

// ---- TNodeName ----

struct TNodeName::TBlock
{
    TBlock *Previous;
    std::size_t Length;
    char *Bytes() { return reinterpret_cast<char *>(this + 1); }
};

namespace {
// Interned name blocks, alive until the process ends.
std::mutex SharedNamesLock;
std::vector<std::unique_ptr<char[]>> SharedNames;
} // namespace

TNodeName::~TNodeName()
{
    TBlock *block = FBlock.load(std::memory_order_relaxed);
    while (block && !Tags(block)) {
        TBlock *previous = block->Previous;
        FreeNodeBytes(block, sizeof(TBlock) + block->Length + 1);
        block = previous;
    }
}

std::size_t TNodeName::HeapBytes() const
{
    std::size_t bytes = 0;
    for (const TBlock *block = FBlock.load(std::memory_order_acquire); block && !Tags(block); block = block->Previous)
        bytes += NodeAllocationSize(sizeof(TBlock) + block->Length + 1);
    return bytes;
}

std::string_view TNodeName::View() const
{
    TBlock *tagged = FBlock.load(std::memory_order_acquire);
    auto *block = reinterpret_cast<TBlock *>(reinterpret_cast<std::uintptr_t>(tagged) & ~std::uintptr_t {3});
    if (Tags(tagged) == InlineTag)
        return {reinterpret_cast<const char *>(block)};
    return block ? std::string_view(block->Bytes(), block->Length) : std::string_view("", 0);
}

void TNodeName::SetShared(std::string_view value)
{
    TBlock *old = FBlock.load(std::memory_order_relaxed);
    if (old && Tags(old) != SharedTag) {
        // An own block may still be read by another thread; keep the chain as it is.
        Set(value);
        return;
    }
    if (old && View() == value)
        return;
    TBlock *found = nullptr;
    {
        std::scoped_lock guard(SharedNamesLock);
        for (const auto &raw : SharedNames) {
            auto *block = reinterpret_cast<TBlock *>(raw.get());
            if (std::string_view(block->Bytes(), block->Length) == value)
                found = block;
        }
        if (!found) {
            auto raw = std::make_unique<char[]>(sizeof(TBlock) + value.size() + 1);
            found = new (raw.get()) TBlock {nullptr, value.size()};
            if (!value.empty())
                std::memcpy(found->Bytes(), value.data(), value.size());
            found->Bytes()[value.size()] = 0;
            SharedNames.push_back(std::move(raw));
        }
    }
    FBlock.store(
        reinterpret_cast<TBlock *>(reinterpret_cast<std::uintptr_t>(found) | SharedTag), std::memory_order_release);
}

void TNodeName::SetInline(const char *text)
{
    if (FBlock.load(std::memory_order_relaxed))
        throw std::logic_error("an inline name is only a first name");
    FBlock.store(
        reinterpret_cast<TBlock *>(reinterpret_cast<std::uintptr_t>(text) | InlineTag), std::memory_order_release);
}

void TNodeName::Set(std::string_view value)
{
    TBlock *old = FBlock.load(std::memory_order_relaxed);
    if (View() == value && (old || value.empty()))
        return;
    if (Tags(old))
        old = nullptr; // shared blocks and inline text are never chained or freed here
    void *raw = AllocateNodeBytes(sizeof(TBlock) + value.size() + 1);
    auto *block = new (raw) TBlock {old, value.size()};
    if (!value.empty())
        std::memcpy(block->Bytes(), value.data(), value.size());
    block->Bytes()[value.size()] = 0;
    FBlock.store(block, std::memory_order_release);
}
