// tree_sink.h - the merged call tree (call_tree.h) of each trace, written as an indented text
// or as folded stacks for flame-graph tools.
#pragma once

#include <cstdio>
#include <vector>

#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"
#include "analyzer/outputs/call_tree.h"

namespace jov::analyzer {

class TreeSink : public TraceSink {
 public:
  void BeginTrace(const TraceInfo& info) override;
  void OnCall(const Call& call) override {
    if (!trees_.empty()) trees_.back().tree.Add(call);
  }
  void EndTrace(const TraceInfo& info, const TraceStats& stats) override;
  bool WantsTexts() const override { return false; }

  struct Tree {
    TraceInfo info;
    TraceStats stats;
    CallTree tree;
  };
  // One per trace, each finished at its trace's end.
  const std::vector<Tree>& Trees() const { return trees_; }

 private:
  std::vector<Tree> trees_;
};

// The tree as indented text; nodes below `minPercent` of the trace's time are left out.
void WriteTreeText(std::FILE* out, const TreeSink& trees, const NameTable& names,
                   double minPercent);

enum class FoldedWeight { kSelf, kTotal };
// One line per path: frames joined by ";", a blank and the weight in microseconds. With
// more than one trace every stack begins with the trace's label, so they stay apart.
void WriteFolded(std::FILE* out, const TreeSink& trees, const NameTable& names,
                 FoldedWeight weight);

}  // namespace jov::analyzer
