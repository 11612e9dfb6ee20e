// diff_tree.h - the call trees of the two sides merged by path for the differential flame
// graph: each side's calls pooled into one bounded tree, then the two trees joined by the
// routines' names (a renamed base routine under its new name).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analyzer/diff/diff_table.h"
#include "analyzer/outputs/call_tree.h"

namespace jov::analyzer::diff {

// Pools the calls of every trace read into it into one tree merged by path.
class TreeSide : public TraceSink {
 public:
  void OnCall(const Call& call) override { tree_.Add(call); }
  bool WantsTexts() const override { return false; }
  // Call once, after reading.
  const CallTree& Finished() {
    tree_.Finish();
    return tree_;
  }

 private:
  CallTree tree_;
};

struct MergedNode {
  std::string name;  // "" for the root
  int parent = -1;
  std::array<bool, 2> present{};  // on the base side, on the new side
  std::array<std::uint64_t, 2> calls{};
  std::array<Micros, 2> total{};
  std::array<Micros, 2> self{};
};

// Parents before children; children of a node in the order of their names. Node 0 is the
// root above every outermost routine.
std::vector<MergedNode> MergeTrees(const CallTree& base, const CallTree& next,
                                   const NameTable& names, const Renames& renames);

}  // namespace jov::analyzer::diff
