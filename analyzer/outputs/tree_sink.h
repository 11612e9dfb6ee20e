// tree_sink.h - the call tree merged by path (the same routine under the same callers is
// one node), per trace, with calls, total and self time; written as an indented text or as
// folded stacks for flame-graph tools.
#pragma once

#include <cstdint>
#include <cstdio>
#include <unordered_map>
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

class TreeSink : public TraceSink {
 public:
  void BeginTrace(const TraceInfo& info) override;
  void OnCall(const Call& call) override;
  void EndTrace(const TraceInfo& info, const TraceStats& stats) override;
  bool WantsTexts() const override { return false; }

  struct Tree {
    TraceInfo info;
    TraceStats stats;
    std::vector<TreeNode> nodes;  // nodes[0] is the root, above every outermost routine
  };
  const std::vector<Tree>& Trees() const { return trees_; }

 private:
  std::uint32_t Child(std::uint32_t parent, NameId name);

  Tree current_;
  std::unordered_map<std::uint64_t, std::uint32_t> index_;  // (parent, name) -> node
  std::vector<Tree> trees_;
};

// Sums of the nodes that have no calls of their own (unknown levels): their total is what
// ran inside them. Done in place, children before parents.
void FillUnknownTotals(std::vector<TreeNode>& nodes);

// The tree as indented text; nodes below `minPercent` of the trace's time are left out.
void WriteTreeText(std::FILE* out, const TreeSink& trees, const NameTable& names,
                   double minPercent);

enum class FoldedWeight { kSelf, kTotal };
// One line per path: frames joined by ";", a blank and the weight in microseconds. With
// more than one trace every stack begins with the trace's label, so they stay apart.
void WriteFolded(std::FILE* out, const TreeSink& trees, const NameTable& names,
                 FoldedWeight weight);

}  // namespace jov::analyzer
