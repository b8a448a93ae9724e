#pragma once

#include <cstddef>

// Memory for nodes, their names and child lists: one pool per 8-byte size class, carved from
// large blocks, without the per-allocation header of the general allocator (a tree has
// millions of such small pieces). Freed pieces go back to their class's free list and serve
// the next analysis; the blocks live until the process ends. Any thread.
// Builds with AddressSanitizer use the general allocator, so that it still sees every node.
void *AllocateNodeBytes(std::size_t bytes);
void FreeNodeBytes(void *p, std::size_t bytes) noexcept;
