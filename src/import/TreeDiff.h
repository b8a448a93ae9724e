#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TDirNode;

// Compares the folders of two analyses of the same place taken at different times (or of two
// places of the same shape): folders are matched by their path below the roots, byte for
// byte. Small-files groups and files are not compared, only folder totals.

// Calls `visit` once per folder of either tree, parents before children: with both folders
// for a path in both trees, with a null `newDir` for a folder only in the old tree and a
// null `oldDir` for one only in the new tree. Below a folder that exists on one side only
// nothing more is visited: its whole subtree was added or removed with it. The trees must
// not change meanwhile.
using TDiffVisitor = std::function<void(const TDirNode *oldDir, const TDirNode *newDir)>;
void VisitFolderPairs(const TDirNode &oldRoot, const TDirNode &newRoot, const TDiffVisitor &visit);

enum class TFolderChangeKind { Changed, Added, Removed };

struct TFolderChange
{
    std::string Path; // below the roots, "/"-separated; empty for the roots themselves
    std::int64_t OldSize = 0; // 0 for an added folder
    std::int64_t NewSize = 0; // 0 for a removed folder
    TFolderChangeKind Kind = TFolderChangeKind::Changed;
    [[nodiscard]] std::int64_t Change() const { return NewSize - OldSize; }
};

struct TTreeDiff
{
    // Folders in both trees whose size changed, the largest change (either way) first; ties
    // by path. At most `top` of them (all with 0).
    std::vector<TFolderChange> Changed;
    // Folders of one tree only (outermost ones: not their subfolders), largest first.
    std::vector<TFolderChange> Added;
    std::vector<TFolderChange> Removed;
    std::int64_t OldTotal = 0;
    std::int64_t NewTotal = 0;
};

[[nodiscard]] TTreeDiff DiffTrees(const TDirNode &oldRoot, const TDirNode &newRoot, std::size_t top);
