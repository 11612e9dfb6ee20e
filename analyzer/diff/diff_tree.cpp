// diff_tree.cpp - a walk over both trees at once: the children of two matched nodes are
// matched by name, and a child found on one side only brings its whole subtree along.
#include "analyzer/diff/diff_tree.h"

#include <map>
#include <utility>

namespace jov::analyzer::diff {
namespace {

std::string NodeName(const CallTree& tree, std::uint32_t index, const NameTable& names,
                     const Renames* renames) {
  std::string name = tree.NameOf(index, names);
  if (renames != nullptr && !tree.IsOther(index)) {
    for (const auto& [from, to] : *renames) {
      if (from == name) name = to;
    }
  }
  return name;
}

}  // namespace

std::vector<MergedNode> MergeTrees(const CallTree& base, const CallTree& next,
                                   const NameTable& names, const Renames& renames) {
  const CallTree* trees[2] = {&base, &next};
  std::vector<MergedNode> merged(1);
  // (merged node, its node on each side or -1), walked depth first.
  struct Pending {
    int node;
    std::array<std::int64_t, 2> at;
  };
  std::vector<Pending> stack = {{0, {0, 0}}};
  while (!stack.empty()) {
    const Pending p = stack.back();
    stack.pop_back();
    MergedNode& node = merged[static_cast<std::size_t>(p.node)];
    for (int side = 0; side < 2; ++side) {
      if (p.at[side] < 0) continue;
      const TreeNode& t = trees[side]->Nodes()[static_cast<std::size_t>(p.at[side])];
      node.present[side] = true;
      node.calls[side] = t.calls;
      node.total[side] = t.total;
      node.self[side] = t.self;
    }
    std::map<std::string, std::array<std::int64_t, 2>> children;
    for (int side = 0; side < 2; ++side) {
      if (p.at[side] < 0) continue;
      const auto& nodes = trees[side]->Nodes();
      for (const std::uint32_t child : nodes[static_cast<std::size_t>(p.at[side])].children) {
        auto& slot =
            children
                .try_emplace(NodeName(*trees[side], child, names, side == 0 ? &renames : nullptr),
                             std::array<std::int64_t, 2>{-1, -1})
                .first->second;
        slot[side] = child;
      }
    }
    // Pushed in reverse so that the walk (and the numbering) follows the names' order.
    std::vector<Pending> added;
    for (const auto& [name, at] : children) {
      MergedNode child;
      child.name = name;
      child.parent = p.node;
      merged.push_back(std::move(child));
      added.push_back({static_cast<int>(merged.size() - 1), at});
    }
    stack.insert(stack.end(), added.rbegin(), added.rend());
  }
  return merged;
}

}  // namespace jov::analyzer::diff
