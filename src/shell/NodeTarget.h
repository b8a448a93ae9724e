#pragma once

#include "model/TreeTypes.h"
#include "shell/FileTarget.h"

// The file command target of a node of an analysis: the root path of its tree, the folders
// from there down with the identities the scan recorded, its name and kind. A node shown in a
// small-files group is a file of the group's folder. User interface thread, while no scan
// works in the node's folders.
[[nodiscard]] TFileTarget TargetOfNode(const TFileSystemNode &node);

// Finds the node of `path` below `root`, also a file shown inside a small-files group (which
// the plain path lookup does not enter). Null when the tree has no such node.
[[nodiscard]] TFileSystemNode *FindNodeOrGroupMember(const TGroupNode &root, const std::string &path);
