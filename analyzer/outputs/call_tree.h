// call_tree.h - the call tree merged by path (the same routine under the same callers is one
// node) with calls, total and self time: the one tree of tree, folded, report and diff. Its
// nodes are bounded: a trace whose paths never repeat (recursion over data, generated names)
// would otherwise grow the tree with its calls. Past the bound, a call on a new path counts in
// an "other paths" node under the deepest node its path has, so every node's total stays
// exact and only detail below the bound is lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

struct TreeNode {
  NameId name = kUnknownName;
  std::uint32_t parent = 0;
  std::uint64_t calls = 0;
  Micros total = 0;
  Micros self = 0;
  std::vector<std::uint32_t> children;
};

// How an "other paths" node is named in every output.
inline constexpr char kOtherPathsName[] = "(other paths)";

class CallTree {
 public:
  // Nodes at most: about 25 MB of memory.
  static constexpr std::size_t kMaxNodes = std::size_t{1} << 18;

  explicit CallTree(std::size_t maxNodes = kMaxNodes);
  void Add(const Call& call);
  // Fills the totals of the root and of the levels without calls of their own (unknown
  // levels): their total is what ran inside them. Call once, when the calls are all in.
  void Finish();

  // nodes[0] is the root, above every outermost routine; every child comes after its parent.
  const std::vector<TreeNode>& Nodes() const { return nodes_; }
  // Nodes that stand for the paths past the bound (their name is kUnknownName).
  bool IsOther(std::uint32_t node) const { return others_.count(node) != 0; }
  // The name a node is shown by: the routine's, or kOtherPathsName.
  const std::string& NameOf(std::uint32_t node, const NameTable& names) const;

 private:
  std::uint32_t NewNode(std::uint32_t parent, NameId name);

  std::size_t maxNodes_;
  std::vector<TreeNode> nodes_;
  std::unordered_map<std::uint64_t, std::uint32_t> index_;    // (parent, name) -> node
  std::unordered_map<std::uint32_t, std::uint32_t> otherOf_;  // node -> its "other" child
  std::unordered_set<std::uint32_t> others_;
};

}  // namespace jov::analyzer
