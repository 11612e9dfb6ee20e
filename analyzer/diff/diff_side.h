// diff_side.h - one side of a comparison: the routines' figures pooled over every trace read
// into it (the aggregate the summary prints, routine_figures.h) and a bounded sample of each
// routine's calls (their durations and self times) for the verdict's statistics.
#pragma once

#include <cstdint>
#include <optional>

#include "analyzer/diff/sample_reservoir.h"
#include "analyzer/model/name_table.h"
#include "analyzer/model/routine_figures.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer::diff {

struct RoutineSide {
  RoutineFigures figures;
  std::optional<SampleReservoir> samples;  // seeded by the routine's name on its first call
};

// A sink that keeps, per routine, memory bounded by SampleReservoir::kCapacity calls.
class DiffSide : public TraceSink {
 public:
  explicit DiffSide(const NameTable& names) : names_(names) {}
  void OnCall(const Call& call) override;
  bool WantsTexts() const override { return false; }

  // By NameId; a routine without calls on this side has figures.calls == 0.
  const PerRoutine<RoutineSide>& Routines() const { return routines_; }

 private:
  const NameTable& names_;
  PerRoutine<RoutineSide> routines_;
};

}  // namespace jov::analyzer::diff
