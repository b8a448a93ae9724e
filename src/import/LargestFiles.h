#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TFileSystemNode;
class TGroupNode;

// The largest files of a tree, small-files groups looked into: a flat list, largest first,
// ties by full path. The nodes belong to the tree; the list is valid until the tree changes.
// Takes each folder's child lock while reading it, so it may run while a scan adds nodes
// (the list is then the state of that moment).
[[nodiscard]] std::vector<const TFileSystemNode *> CollectLargestFiles(const TGroupNode &root, std::size_t count);
