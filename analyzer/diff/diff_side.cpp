// diff_side.cpp - every closed call counted under its routine, whatever trace it came from.
#include "analyzer/diff/diff_side.h"

#include <algorithm>

namespace jov::analyzer::diff {

void DiffSide::OnCall(const Call& call) {
  ++calls_;
  auto found = routines_.find(call.name);
  if (found == routines_.end()) {
    const std::string& raw = names_.Text(call.name);
    found = routines_.emplace(call.name, RoutineSide(ReservoirSeed(raw.data(), raw.size()))).first;
  }
  RoutineSide& side = found->second;
  ++side.calls;
  side.total += call.duration;
  side.self += call.self;
  side.max = std::max(side.max, call.duration);
  side.errors += call.hasReturnCode && call.returnCode != 0;
  side.samples.Add({call.duration, call.self});
}

}  // namespace jov::analyzer::diff
