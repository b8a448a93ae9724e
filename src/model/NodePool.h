#pragma once

#include <cstddef>

// Memory for nodes, their names and child lists: one pool per 8-byte size class, carved from
// large blocks, without the per-allocation header of the general allocator (a tree has
// millions of such small pieces). Freed pieces go back to their class's free list and serve
// the next analysis; the blocks live until the process ends. Any thread.
// Builds with AddressSanitizer use the general allocator, so that it still sees every node.
void *AllocateNodeBytes(std::size_t bytes);
void FreeNodeBytes(void *p, std::size_t bytes) noexcept;

// What the pool holds, for memory benchmarks: bytes carved into blocks and bytes of the
// pieces handed out and not yet freed (each rounded up to its size class).
struct TNodePoolUse
{
    std::size_t Reserved = 0;
    std::size_t InUse = 0;
};
TNodePoolUse NodePoolUse();
// The bytes a request of `bytes` really takes from the pool (its size class).
std::size_t NodeAllocationSize(std::size_t bytes);
