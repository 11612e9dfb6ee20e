// diff_side.cpp - every closed call counted under its routine, whatever trace it came from.
#include "analyzer/diff/diff_side.h"

namespace jov::analyzer::diff {

void DiffSide::OnCall(const Call& call) {
  ++calls_;
  auto found = routines_.find(call.name);
  if (found == routines_.end()) {
    const std::string& raw = names_.Raw(call.name);
    found = routines_.emplace(call.name, RoutineSide(ReservoirSeed(raw.data(), raw.size()))).first;
    found->second.figures.name = call.name;
  }
  found->second.figures.Add(call);
  found->second.durations.Add(call.duration);
  found->second.selfTimes.Add(call.self);
}

}  // namespace jov::analyzer::diff
