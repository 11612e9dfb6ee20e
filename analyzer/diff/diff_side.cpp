// diff_side.cpp - every closed call counted under its routine, whatever trace it came from.
#include "analyzer/diff/diff_side.h"

namespace jov::analyzer::diff {

void DiffSide::OnCall(const Call& call) {
  RoutineSide& side = routines_[call.name];
  if (!side.samples) {
    const std::string& raw = names_.Raw(call.name);
    side.samples.emplace(ReservoirSeed(raw.data(), raw.size()));
  }
  side.figures.Add(call);
  side.samples->Add({call.duration, call.self});
}

}  // namespace jov::analyzer::diff
