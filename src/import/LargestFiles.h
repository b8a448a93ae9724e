#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TFileSystemNode;
class TGroupNode;

// One file of a largest-files list: what was read while the tree's locks were held.
struct TLargeFile
{
    std::int64_t Size = 0;
    double Timestamp = 0; // local last-write time, days since 1899-12-30; 0 unknown
    std::string Name;
    std::string Folder; // the full path of the folder holding the file
    const TFileSystemNode *Node = nullptr; // identity only: a scan may free it meanwhile

    [[nodiscard]] std::string Path() const;
};

// The `count` largest files of a tree, small-files groups looked into, largest first, ties by
// full path. Each folder is read under its child lock and everything a row shows is copied
// then, so this may run while scan threads add nodes (or fold small-files groups away): the
// list is the state of that moment.
[[nodiscard]] std::vector<TLargeFile> CollectLargestFiles(const TGroupNode &root, std::size_t count);

// The node of the tree below `root` that a listed file stands for now: looked up again by
// folder and name, since the list's own node may have been freed or replaced by a rescan
// meanwhile. Null when the tree no longer holds the file.
[[nodiscard]] TFileSystemNode *FindLargeFileNode(const TGroupNode &root, const TLargeFile &file);
