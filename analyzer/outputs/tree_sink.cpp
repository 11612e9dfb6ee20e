// tree_sink.cpp - a merged tree per trace, and the tree's two text forms.
#include "analyzer/outputs/tree_sink.h"

#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "analyzer/outputs/summary_format.h"

namespace jov::analyzer {

void TreeSink::BeginTrace(const TraceInfo& info) {
  trees_.emplace_back();
  trees_.back().info = info;
}

void TreeSink::EndTrace(const TraceInfo& info, const TraceStats& stats) {
  Tree& tree = trees_.back();
  tree.info = info;
  tree.stats = stats;
  tree.tree.Finish();
}

namespace {

void SortChildren(std::vector<std::uint32_t>& children, const std::vector<TreeNode>& nodes) {
  std::stable_sort(children.begin(), children.end(), [&](std::uint32_t a, std::uint32_t b) {
    return nodes[a].total > nodes[b].total;
  });
}

void WriteNode(std::FILE* out, const CallTree& tree, std::uint32_t at, int depth, double whole,
               double minPercent, const NameTable& names) {
  const std::vector<TreeNode>& nodes = tree.Nodes();
  const TreeNode& node = nodes[at];
  const double percent = whole > 0 ? 100.0 * static_cast<double>(node.total) / whole : 0;
  if (percent < minPercent) return;
  fmt::print(out, "{:>12.3f} {:>12.3f} {:>9} {:>6.1f}  {:{}}{}\n",
             static_cast<double>(node.total) / 1000.0, static_cast<double>(node.self) / 1000.0,
             node.calls, percent, "", depth * 2, tree.NameOf(at, names));
  std::vector<std::uint32_t> children = node.children;
  SortChildren(children, nodes);
  for (const std::uint32_t child : children)
    WriteNode(out, tree, child, depth + 1, whole, minPercent, names);
}

std::string Frame(const std::string& name) {
  std::string frame = name;
  for (char& c : frame) {
    if (c == ';') c = ':';
    if (c == '\n' || c == '\r') c = ' ';
  }
  return frame;
}

void WriteFoldedNode(std::FILE* out, const CallTree& tree, std::uint32_t at, std::string& stack,
                     FoldedWeight weight, const NameTable& names) {
  const TreeNode& node = tree.Nodes()[at];
  const std::size_t mark = stack.size();
  if (!stack.empty()) stack += ';';
  stack += Frame(tree.NameOf(at, names));
  const Micros value = weight == FoldedWeight::kSelf ? node.self : node.total;
  if (value > 0) fmt::print(out, "{} {}\n", stack, value);
  for (const std::uint32_t child : node.children)
    WriteFoldedNode(out, tree, child, stack, weight, names);
  stack.resize(mark);
}

}  // namespace

void WriteTreeText(std::FILE* out, const TreeSink& trees, const NameTable& names,
                   double minPercent) {
  bool first = true;
  for (const TreeSink::Tree& traceTree : trees.Trees()) {
    if (!first) fmt::print(out, "\n");
    first = false;
    fmt::print(out, "{}", TraceHeading(traceTree.info, traceTree.stats));
    const CallTree& tree = traceTree.tree;
    const double whole = static_cast<double>(tree.Nodes()[0].total);
    fmt::print(out, "{:>12} {:>12} {:>9} {:>6}  {}\n", "total ms", "self ms", "calls", "%",
               "routine");
    std::vector<std::uint32_t> roots = tree.Nodes()[0].children;
    SortChildren(roots, tree.Nodes());
    for (const std::uint32_t root : roots) WriteNode(out, tree, root, 0, whole, minPercent, names);
    if (roots.empty()) fmt::print(out, "(no routine calls)\n");
  }
}

void WriteFolded(std::FILE* out, const TreeSink& trees, const NameTable& names,
                 FoldedWeight weight) {
  const bool label = trees.Trees().size() > 1;
  for (const TreeSink::Tree& traceTree : trees.Trees()) {
    std::string stack = label ? Frame(traceTree.info.label) : std::string();
    for (const std::uint32_t root : traceTree.tree.Nodes()[0].children)
      WriteFoldedNode(out, traceTree.tree, root, stack, weight, names);
  }
}

}  // namespace jov::analyzer
