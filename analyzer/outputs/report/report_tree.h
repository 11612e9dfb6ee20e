// report_tree.h - the merged call tree as the report's data writes it: columns in preorder,
// the largest children first, pruned to a bounded number of nodes for a tree of very many
// distinct paths (the smallest paths under a node then become one "other" node).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "analyzer/outputs/call_tree.h"

namespace jov::analyzer {

class JsonOut;

// Nodes written at most: a larger tree keeps its kMaxTreeNodes / 2 largest nodes (with
// their callers) and one "other" node per node that lost children.
inline constexpr std::size_t kMaxTreeNodes = 20000;

// Writes {"name":[..],"parent":[..],"calls":[..],"total":[..],"self":[..],"other":[..]}.
// `nodes` as CallTree keeps them: nodes[0] the root, every child after its parent;
// `isOther` tells the nodes that stand for paths past the tree's bound already (written as
// other nodes of 0 counted paths).
void WriteReportTree(JsonOut& json, const std::vector<TreeNode>& nodes,
                     const std::function<bool(std::uint32_t)>& isOther,
                     const std::function<std::int64_t(NameId)>& localName,
                     std::size_t maxNodes = kMaxTreeNodes);

}  // namespace jov::analyzer
