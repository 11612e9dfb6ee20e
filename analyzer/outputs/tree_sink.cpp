// tree_sink.cpp - merging calls into the tree by path, and the tree's two text forms.
#include "analyzer/outputs/tree_sink.h"

#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "analyzer/outputs/summary_format.h"

namespace jov::analyzer {

void TreeSink::BeginTrace(const TraceInfo& info) {
  current_ = Tree();
  current_.info = info;
  current_.nodes.emplace_back();
  index_.clear();
}

std::uint32_t TreeSink::Child(std::uint32_t parent, NameId name) {
  const std::uint64_t key = (std::uint64_t{parent} << 32) | name;
  const auto found = index_.find(key);
  if (found != index_.end()) return found->second;
  const auto node = static_cast<std::uint32_t>(current_.nodes.size());
  current_.nodes.emplace_back();
  current_.nodes.back().name = name;
  current_.nodes.back().parent = parent;
  current_.nodes[parent].children.push_back(node);
  index_.emplace(key, node);
  return node;
}

void TreeSink::OnCall(const Call& call) {
  std::uint32_t node = 0;
  for (std::size_t i = 0; i < call.pathLength; ++i) node = Child(node, call.path[i]);
  TreeNode& n = current_.nodes[node];
  ++n.calls;
  n.total += call.duration;
  n.self += call.self;
}

void TreeSink::EndTrace(const TraceInfo& info, const TraceStats& stats) {
  current_.info = info;
  current_.stats = stats;
  FillUnknownTotals(current_.nodes);
  trees_.push_back(std::move(current_));
  current_ = Tree();
  index_.clear();
}

void FillUnknownTotals(std::vector<TreeNode>& nodes) {
  // Children always have larger indices than their parents.
  for (std::size_t i = nodes.size(); i-- > 0;) {
    TreeNode& node = nodes[i];
    if (node.calls != 0 && i != 0) continue;
    Micros sum = 0;
    for (const std::uint32_t child : node.children) sum += nodes[child].total;
    node.total = sum;
  }
}

namespace {

void SortChildren(std::vector<std::uint32_t>& children, const std::vector<TreeNode>& nodes) {
  std::stable_sort(children.begin(), children.end(), [&](std::uint32_t a, std::uint32_t b) {
    return nodes[a].total > nodes[b].total;
  });
}

void WriteNode(std::FILE* out, const std::vector<TreeNode>& nodes, std::uint32_t at, int depth,
               double whole, double minPercent, const NameTable& names) {
  const TreeNode& node = nodes[at];
  const double percent = whole > 0 ? 100.0 * static_cast<double>(node.total) / whole : 0;
  if (percent < minPercent) return;
  fmt::print(out, "{:>12.3f} {:>12.3f} {:>9} {:>6.1f}  {:{}}{}\n",
             static_cast<double>(node.total) / 1000.0, static_cast<double>(node.self) / 1000.0,
             node.calls, percent, "", depth * 2, names.Text(node.name));
  std::vector<std::uint32_t> children = node.children;
  SortChildren(children, nodes);
  for (const std::uint32_t child : children)
    WriteNode(out, nodes, child, depth + 1, whole, minPercent, names);
}

std::string Frame(const std::string& name) {
  std::string frame = name;
  for (char& c : frame) {
    if (c == ';') c = ':';
    if (c == '\n' || c == '\r') c = ' ';
  }
  return frame;
}

void WriteFoldedNode(std::FILE* out, const std::vector<TreeNode>& nodes, std::uint32_t at,
                     std::string& stack, FoldedWeight weight, const NameTable& names) {
  const TreeNode& node = nodes[at];
  const std::size_t mark = stack.size();
  if (!stack.empty()) stack += ';';
  stack += Frame(names.Text(node.name));
  const Micros value = weight == FoldedWeight::kSelf ? node.self : node.total;
  if (value > 0) fmt::print(out, "{} {}\n", stack, value);
  for (const std::uint32_t child : node.children)
    WriteFoldedNode(out, nodes, child, stack, weight, names);
  stack.resize(mark);
}

}  // namespace

void WriteTreeText(std::FILE* out, const TreeSink& trees, const NameTable& names,
                   double minPercent) {
  bool first = true;
  for (const TreeSink::Tree& tree : trees.Trees()) {
    if (!first) fmt::print(out, "\n");
    first = false;
    fmt::print(out, "{}", TraceHeading(tree.info, tree.stats));
    const double whole = static_cast<double>(tree.nodes[0].total);
    fmt::print(out, "{:>12} {:>12} {:>9} {:>6}  {}\n", "total ms", "self ms", "calls", "%",
               "routine");
    std::vector<std::uint32_t> roots = tree.nodes[0].children;
    SortChildren(roots, tree.nodes);
    for (const std::uint32_t root : roots)
      WriteNode(out, tree.nodes, root, 0, whole, minPercent, names);
    if (roots.empty()) fmt::print(out, "(no routine calls)\n");
  }
}

void WriteFolded(std::FILE* out, const TreeSink& trees, const NameTable& names,
                 FoldedWeight weight) {
  const bool label = trees.Trees().size() > 1;
  for (const TreeSink::Tree& tree : trees.Trees()) {
    std::string stack = label ? Frame(tree.info.label) : std::string();
    for (const std::uint32_t root : tree.nodes[0].children)
      WriteFoldedNode(out, tree.nodes, root, stack, weight, names);
  }
}

}  // namespace jov::analyzer
