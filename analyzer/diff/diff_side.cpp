// diff_side.cpp - every closed call counted under its routine, whatever trace it came from.
#include "analyzer/diff/diff_side.h"

namespace jov::analyzer::diff {

void DiffSide::OnCall(const Call& call) {
  RoutineSide& side = routines_[call.name];
  if (!side.samples) {
    const std::string& name = names_.Text(call.name);
    side.samples.emplace(ReservoirSeed(name.data(), name.size()));
  }
  side.figures.Add(call);
  side.samples->Add({call.duration, call.self});
}

}  // namespace jov::analyzer::diff
