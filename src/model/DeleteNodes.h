#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/TreeTypes.h"

// The model side of deleting entries: which of the selected entries go to the file system,
// and taking the deleted ones out of the tree with their ancestors' totals.

struct TDeleteEntry
{
    std::string Path;
    TFileSystemNode *Node = nullptr; // identity only
};

// Drops every entry that lies below another entry (its path, with a trailing delimiter,
// begins with the other's path with a trailing delimiter, by the platform's path rule) and
// every repeated path; the rest keep their order.
[[nodiscard]] std::vector<TDeleteEntry> CollapseNestedEntries(const std::vector<TDeleteEntry> &entries);

// The full paths of the files a small-files group shows, read under the group's lock.
[[nodiscard]] std::vector<std::string> GroupMemberPaths(const TFileGroupNode &group);

// Takes the node of `path` out of the tree below `root` and frees it; every ancestor's size
// and file count are recomputed up to the root. Files shown inside a small-files group are
// found there (searched under the folder's and the group's locks), and a group left empty
// goes too. Returns false when no node has that path. The caller makes sure that no scan
// thread works in the affected folders.
bool RemoveNodeByPath(TGroupNode &root, const std::string &path);

// True when `node` is `ancestor` or lies below it.
[[nodiscard]] bool IsSameOrBelow(const TFileSystemNode *node, const TFileSystemNode *ancestor);
