#pragma once

#include <cstdint>
#include <unordered_map>

class TDirNode;
class TFileSystemNode;

// The sizes an earlier analysis recorded, per node of a current one: folders, files and
// small-files groups matched by their path below the two roots (a group stands for the small
// files of its folder). What the window's "Change" column shows. Built on one thread from two
// trees that do not change meanwhile; afterwards the nodes are only keys, never read, so the
// comparison may outlive nodes that a rescan replaces (those then count as new).
class TTreeComparison
{
public:
    TTreeComparison(const TDirNode &oldRoot, const TDirNode &newRoot);

    // The size `node` had in the earlier analysis; 0 when it had no counterpart there.
    [[nodiscard]] std::int64_t OldSize(const TFileSystemNode *node) const;
    [[nodiscard]] bool HasCounterpart(const TFileSystemNode *node) const { return FOldSizes.count(node) > 0; }
    // Size now minus size then (`currentSize` is the node's size now).
    [[nodiscard]] std::int64_t Change(const TFileSystemNode *node, std::int64_t currentSize) const
    {
        return currentSize - OldSize(node);
    }
    // The bytes added by files that grew or appeared, and removed by files that shrank or
    // went, over the whole trees.
    [[nodiscard]] std::int64_t Growth() const { return FGrowth; }
    [[nodiscard]] std::int64_t Shrinkage() const { return FShrinkage; }

private:
    std::unordered_map<const TFileSystemNode *, std::int64_t> FOldSizes;
    std::int64_t FGrowth = 0;
    std::int64_t FShrinkage = 0;
};
