// routine_figures.h - the figures of a routine's calls, from one aggregate that every output
// prints (summary, report, diff, follow and what comes next): calls, errors and the most
// frequent error code, total, self, mean, max, median and 95th percentile duration. Kept per
// routine in a table found by the routine's NameId.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "analyzer/model/duration_histogram.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

// The most frequent non-zero return codes, counted by the space-saving method in a few
// counters: the top code is exact whenever it is more frequent than 1/kCounters of the
// errors.
class TopCodes {
 public:
  static constexpr std::size_t kCounters = 8;
  void Add(std::int64_t code, std::uint64_t count = 1);
  void Merge(const TopCodes& other);
  // The most frequent code and its count (the smaller code of a tie); {0, 0} when empty.
  std::pair<std::int64_t, std::uint64_t> Top() const;

 private:
  std::array<std::pair<std::int64_t, std::uint64_t>, kCounters> codes_{};
  std::size_t used_ = 0;
};

struct RoutineFigures {
  NameId name = kUnknownName;
  std::uint64_t calls = 0;
  std::uint64_t errors = 0;  // calls with a non-zero return code
  Micros total = 0;
  Micros self = 0;
  Micros max = 0;
  DurationHistogram durations;
  TopCodes codes;

  // Counts one call of the routine. O(1), no allocation once its durations' octaves are seen.
  void Add(const Call& call) {
    name = call.name;
    ++calls;
    total += call.duration;
    self += call.self;
    max = call.duration > max ? call.duration : max;
    durations.Add(call.duration);
    if (call.hasReturnCode && call.returnCode != 0) {
      ++errors;
      codes.Add(call.returnCode);
    }
  }
  // Adds the figures of the same routine read elsewhere (another trace, another slice).
  void Merge(const RoutineFigures& other);
  double Mean() const {
    return calls == 0 ? 0 : static_cast<double>(total) / static_cast<double>(calls);
  }
  Micros Median() const { return durations.Median(); }
  Micros P95() const { return durations.P95(); }
  std::pair<std::int64_t, std::uint64_t> TopCode() const { return codes.Top(); }
};

// A value per routine, found by its NameId (the name table's small dense numbers) in a vector.
template <typename Value>
class PerRoutine {
 public:
  Value& operator[](NameId name) {
    if (name >= values_.size()) values_.resize(static_cast<std::size_t>(name) + 1);
    return values_[name];
  }
  // Null when the routine has no value yet.
  const Value* Find(NameId name) const { return name < values_.size() ? &values_[name] : nullptr; }
  // Every slot, by NameId (routines not seen have their default value).
  std::vector<Value>& All() { return values_; }
  const std::vector<Value>& All() const { return values_; }
  void Clear() { values_.clear(); }

 private:
  std::vector<Value> values_;
};

// The figures of every routine that had a call, in NameId order; `table` is left empty.
std::vector<RoutineFigures> TakeCalled(PerRoutine<RoutineFigures>& table);

}  // namespace jov::analyzer
