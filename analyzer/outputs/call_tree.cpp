// call_tree.cpp - merging calls by path up to the bound, the "other paths" past it, and the
// totals of levels without calls of their own.
#include "analyzer/outputs/call_tree.h"

namespace jov::analyzer {

CallTree::CallTree(std::size_t maxNodes) : maxNodes_(maxNodes) { nodes_.emplace_back(); }

std::uint32_t CallTree::NewNode(std::uint32_t parent, NameId name) {
  const auto node = static_cast<std::uint32_t>(nodes_.size());
  nodes_.emplace_back();
  nodes_.back().name = name;
  nodes_.back().parent = parent;
  nodes_[parent].children.push_back(node);
  return node;
}

void CallTree::Add(const Call& call) {
  std::uint32_t node = 0;
  for (std::size_t i = 0; i < call.pathLength; ++i) {
    const std::uint64_t key = (std::uint64_t{node} << 32) | call.path[i];
    const auto found = index_.find(key);
    if (found != index_.end()) {
      node = found->second;
      continue;
    }
    if (nodes_.size() < maxNodes_) {
      node = index_.emplace(key, NewNode(node, call.path[i])).first->second;
      continue;
    }
    // Past the bound. Only the outermost call of the missing levels counts: the calls
    // inside it are part of its time already.
    if (i + 1 != call.pathLength) return;
    auto other = otherOf_.find(node);
    if (other == otherOf_.end()) {
      other = otherOf_.emplace(node, NewNode(node, kUnknownName)).first;
      others_.insert(other->second);
    }
    TreeNode& o = nodes_[other->second];
    ++o.calls;
    o.total += call.duration;
    o.self += call.duration;
    return;
  }
  TreeNode& n = nodes_[node];
  ++n.calls;
  n.total += call.duration;
  n.self += call.self;
}

void CallTree::Finish() {
  // Children always have larger indices than their parents.
  for (std::size_t i = nodes_.size(); i-- > 0;) {
    TreeNode& node = nodes_[i];
    if (node.calls != 0 && i != 0) continue;
    Micros sum = 0;
    for (const std::uint32_t child : node.children) sum += nodes_[child].total;
    node.total = sum;
  }
}

const std::string& CallTree::NameOf(std::uint32_t node, const NameTable& names) const {
  static const std::string other = kOtherPathsName;
  return IsOther(node) ? other : names.Text(nodes_[node].name);
}

}  // namespace jov::analyzer
