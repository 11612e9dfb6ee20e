// diff_side.h - one side of a comparison: the routines' figures pooled over every trace read
// into it (as the summary counts them) and a bounded sample of each routine's calls (their
// durations and self times).
#pragma once

#include <cstdint>
#include <unordered_map>

#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"
#include "analyzer/diff/sample_reservoir.h"

namespace jov::analyzer::diff {

struct RoutineSide {
  explicit RoutineSide(std::uint64_t seed) : samples(seed) {}
  // Of every call, as the summary counts them.
  std::uint64_t calls = 0;
  Micros total = 0;
  Micros self = 0;
  Micros max = 0;
  std::uint64_t errors = 0;  // calls with a non-zero return code
  SampleReservoir samples;
};

// A sink that keeps, per routine, memory bounded by SampleReservoir::kCapacity calls.
class DiffSide : public TraceSink {
 public:
  explicit DiffSide(const NameTable& names) : names_(names) {}
  void OnCall(const Call& call) override;
  bool WantsTexts() const override { return false; }

  const std::unordered_map<NameId, RoutineSide>& Routines() const { return routines_; }
  std::uint64_t Calls() const { return calls_; }

 private:
  const NameTable& names_;
  std::unordered_map<NameId, RoutineSide> routines_;
  std::uint64_t calls_ = 0;
};

}  // namespace jov::analyzer::diff
