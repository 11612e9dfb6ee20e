// report_tree.cpp - pruning and writing the merged call tree.
#include "analyzer/outputs/report/report_tree.h"

#include <algorithm>
#include <numeric>

#include "analyzer/outputs/json_out.h"

namespace jov::analyzer {
namespace {

// Which nodes may stay: all of a small tree; else the largest by total time. (A node whose
// caller goes is not written either: the writer only descends into nodes that stay.)
std::vector<bool> NodesKept(const std::vector<TreeNode>& nodes, std::size_t maxNodes) {
  std::vector<bool> keep(nodes.size(), true);
  if (nodes.size() <= maxNodes) return keep;
  std::vector<std::uint32_t> order(nodes.size() - 1);
  std::iota(order.begin(), order.end(), 1u);
  const std::size_t wanted = std::max<std::size_t>(maxNodes / 2, 2) - 1;
  std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(wanted), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) {
                     return nodes[a].total != nodes[b].total ? nodes[a].total > nodes[b].total
                                                             : a < b;
                   });
  std::fill(keep.begin(), keep.end(), false);
  keep[0] = true;
  for (std::size_t i = 0; i < wanted; ++i) keep[order[i]] = true;
  return keep;
}

struct Out {
  std::vector<std::int64_t> name, parent, calls, total, self, other;
};

}  // namespace

void WriteReportTree(JsonOut& json, const std::vector<TreeNode>& nodes,
                     const std::function<bool(std::uint32_t)>& isOther,
                     const std::function<std::int64_t(NameId)>& localName, std::size_t maxNodes) {
  Out out;
  if (!nodes.empty()) {
    const std::vector<bool> keep = NodesKept(nodes, maxNodes);
    std::vector<std::uint64_t> paths(nodes.size(), 1);  // nodes in each subtree
    for (std::size_t i = nodes.size(); i-- > 1;) paths[nodes[i].parent] += paths[i];

    const auto emit = [&](std::int64_t name, std::int64_t parent, std::uint64_t calls, Micros total,
                          Micros self) {
      out.name.push_back(name);
      out.parent.push_back(parent);
      out.calls.push_back(static_cast<std::int64_t>(calls));
      out.total.push_back(total);
      out.self.push_back(self);
      return static_cast<std::int64_t>(out.name.size() - 1);
    };
    // Depth first without recursion: a tree of deep recursion has deep paths.
    std::vector<std::pair<std::uint32_t, std::int64_t>> stack{{0u, -1}};
    while (!stack.empty()) {
      const auto [at, parent] = stack.back();
      stack.pop_back();
      const TreeNode& node = nodes[at];
      const bool other = at != 0 && isOther(at);
      const std::int64_t me = emit(at == 0 || other ? -1 : localName(node.name), parent, node.calls,
                                   node.total, node.self);
      if (other) {
        out.other.push_back(me);
        out.other.push_back(0);
      }
      std::vector<std::uint32_t> children = node.children;
      std::stable_sort(children.begin(), children.end(), [&](std::uint32_t a, std::uint32_t b) {
        return nodes[a].total > nodes[b].total;
      });
      std::uint64_t otherCalls = 0;
      std::uint64_t otherPaths = 0;
      Micros otherTotal = 0;
      for (const std::uint32_t child : children) {
        if (keep[child]) continue;
        otherCalls += nodes[child].calls;
        otherTotal += nodes[child].total;
        otherPaths += paths[child];
      }
      if (otherPaths != 0) {
        const std::int64_t other = emit(-1, me, otherCalls, otherTotal, otherTotal);
        out.other.push_back(other);
        out.other.push_back(static_cast<std::int64_t>(otherPaths));
      }
      // Pushed in reverse so the largest child comes out first.
      for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (keep[*it]) stack.emplace_back(*it, me);
      }
    }
  }
  json.Raw("{\"name\":");
  json.IntArray(out.name);
  json.Raw(",\"parent\":");
  json.IntArray(out.parent);
  json.Raw(",\"calls\":");
  json.IntArray(out.calls);
  json.Raw(",\"total\":");
  json.IntArray(out.total);
  json.Raw(",\"self\":");
  json.IntArray(out.self);
  json.Raw(",\"other\":[");
  for (std::size_t i = 0; i < out.other.size(); i += 2) {
    json.Raw(i == 0 ? "[" : ",[");
    json.Int(out.other[i]);
    json.Raw(",");
    json.Int(out.other[i + 1]);
    json.Raw("]");
  }
  json.Raw("]}");
}

}  // namespace jov::analyzer
