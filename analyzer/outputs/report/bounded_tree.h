// bounded_tree.h - the call tree merged by path, as the reader's tree sink merges it, but with
// a bound on its nodes: a trace whose paths never repeat (recursion over data, generated
// names) would otherwise grow the tree with its calls. Past the bound, a call on a new path
// counts in an "other paths" node under the deepest node its path has, so every node's total
// stays exact and only detail below the bound is lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analyzer/model/trace_model.h"
#include "analyzer/outputs/tree_sink.h"

namespace jov::analyzer {

class BoundedTree {
 public:
  // Nodes at most: about 25 MB of memory.
  static constexpr std::size_t kMaxNodes = std::size_t{1} << 18;

  explicit BoundedTree(std::size_t maxNodes = kMaxNodes);
  void Add(const Call& call);
  // Fills the totals of the root and of levels without calls of their own (TreeSink's rule);
  // call once, when the trace has ended.
  void Finish() { FillUnknownTotals(nodes_); }

  // nodes[0] is the root; every child comes after its parent.
  const std::vector<TreeNode>& Nodes() const { return nodes_; }
  // Nodes that stand for the paths past the bound (their name is kUnknownName).
  bool IsOther(std::uint32_t node) const { return others_.count(node) != 0; }

 private:
  std::uint32_t NewNode(std::uint32_t parent, NameId name);

  std::size_t maxNodes_;
  std::vector<TreeNode> nodes_;
  std::unordered_map<std::uint64_t, std::uint32_t> index_;    // (parent, name) -> node
  std::unordered_map<std::uint32_t, std::uint32_t> otherOf_;  // node -> its "other" child
  std::unordered_set<std::uint32_t> others_;
};

}  // namespace jov::analyzer
