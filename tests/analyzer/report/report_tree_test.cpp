// report_tree_test.cpp - the call tree in the report's data: a tree of very many paths pruned
// without losing any of its time, and the writer's own bound on the paths it merges.
#include "analyzer/outputs/call_tree.h"
#include "analyzer/outputs/json_out.h"
#include "analyzer/outputs/report/report_tree.h"
#include "support/reader_test.h"

namespace {

using jov::analyzer::TreeNode;

// A node named for its index whose self time is `self`, which its callers' totals take in.
std::uint32_t AddNode(std::vector<TreeNode>& nodes, std::uint32_t parent,
                      jov::analyzer::Micros self) {
  const auto id = static_cast<std::uint32_t>(nodes.size());
  nodes.push_back({id, parent, id == 0 ? 0u : 1u, self, self, {}});
  if (id != 0) nodes[parent].children.push_back(id);
  for (std::uint32_t at = id; at != 0; at = nodes[at].parent) nodes[nodes[at].parent].total += self;
  return id;
}

nlohmann::json Written(const std::vector<TreeNode>& nodes,
                       const jov::analyzer::CallTree* tree = nullptr) {
  return nlohmann::json::parse(readertest::Captured([&](std::FILE* file) {
    jov::analyzer::JsonOut json(file, jov::analyzer::JsonOut::Embedding::kInScript);
    jov::analyzer::WriteReportTree(
        json, nodes, [tree](std::uint32_t n) { return tree != nullptr && tree->IsOther(n); },
        [](jov::analyzer::NameId id) { return std::int64_t{id}; });
  }));
}

TEST(ReportTree, AHugeTreeIsPrunedWithoutLosingTimeOrPaths) {
  // 50 callers of 60 routines of 10 each; every fifth routine is small, and goes with its 10.
  std::vector<TreeNode> nodes;
  AddNode(nodes, 0, 0);
  for (int i = 0; i < 50; ++i) {
    const std::uint32_t mid = AddNode(nodes, 0, 0);
    for (int k = 0; k < 60; ++k) {
      const std::uint32_t sub = AddNode(nodes, mid, 0);
      for (int j = 0; j < 10; ++j)
        AddNode(nodes, sub, k % 5 == 0 ? 1 + j : 50 + (i * 31 + k * 17 + j) % 200);
    }
  }
  const nlohmann::json tree = Written(nodes);
  const std::size_t n = tree["name"].size();
  ASSERT_LE(n, jov::analyzer::kMaxTreeNodes);
  // The children of every node kept (the root is written nameless) still add up to its total
  // less its self time, as before the pruning.
  std::vector<std::int64_t> childSum(n, 0);
  for (std::size_t i = 1; i < n; ++i)
    childSum[tree["parent"][i].get<std::size_t>()] += tree["total"][i].get<std::int64_t>();
  for (std::size_t i = 0; i < n; ++i) {
    const TreeNode& original =
        nodes[std::max<std::int64_t>(tree["name"][i].get<std::int64_t>(), 0)];
    if (i == 0 || tree["name"][i] != -1)
      EXPECT_EQ(childSum[i], original.total - original.self) << "node " << i;
  }
  std::uint64_t paths = n - 1 - tree["other"].size();
  for (const auto& other : tree["other"]) paths += other[1].get<std::uint64_t>();
  EXPECT_EQ(paths, nodes.size() - 1) << "kept and pruned paths add up to all";
}

TEST(CallTree, CallsOnPathsPastTheBoundCountOnceUnderTheirDeepestNode) {
  jov::analyzer::CallTree tree(3);  // the root and two paths
  const jov::analyzer::NameId a = 1, b = 2, c = 3, d = 4;
  const auto add = [&tree](std::vector<jov::analyzer::NameId> path, jov::analyzer::Micros duration,
                           jov::analyzer::Micros self) {
    jov::analyzer::Call call;
    call.path = path.data();
    call.pathLength = path.size();
    call.name = path.back();
    call.duration = duration;
    call.self = self;
    tree.Add(call);
  };
  // Inner calls close first, as the reader reports them.
  add({a, b}, 30, 30);
  add({a}, 100, 70);
  add({a, c, d}, 5, 5);  // a;c and a;c;d are past the bound
  add({a, c}, 20, 15);
  add({b}, 8, 8);
  tree.Finish();
  const auto& nodes = tree.Nodes();
  ASSERT_EQ(nodes.size(), 5u) << "root, a, a;b, and the other paths of a and of the root";
  std::string others;  // parent's name: calls total, for each other node
  for (std::uint32_t i = 0; i < nodes.size(); ++i)
    if (tree.IsOther(i))
      others += std::to_string(nodes[nodes[i].parent].name) + ": " +
                std::to_string(nodes[i].calls) + " " + std::to_string(nodes[i].total) + "\n";
  EXPECT_EQ(others, "1: 1 20\n0: 1 8\n") << "a;c;d ran inside a;c: counted with it";
  EXPECT_EQ(nodes[0].total, 108) << "the root's time is whole";
  const nlohmann::json written = Written(nodes, &tree);
  EXPECT_EQ(written["name"], nlohmann::json({-1, 1, 2, -1, -1}))
      << "other nodes are written nameless";
  EXPECT_EQ(written["other"], nlohmann::json::parse("[[3,0],[4,0]]"));
}

}  // namespace
