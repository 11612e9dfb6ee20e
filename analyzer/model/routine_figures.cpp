// routine_figures.cpp - merging a routine's figures, and the space-saving counters of the
// return codes.
#include "analyzer/model/routine_figures.h"

#include <algorithm>

namespace jov::analyzer {

void TopCodes::Add(std::int64_t code, std::uint64_t count) {
  for (std::size_t i = 0; i < used_; ++i) {
    if (codes_[i].first == code) {
      codes_[i].second += count;
      return;
    }
  }
  if (used_ < kCounters) {
    codes_[used_++] = {code, count};
    return;
  }
  // Space-saving: the least counted code gives its place to the new one, with its count.
  auto least = std::min_element(codes_.begin(), codes_.end(),
                                [](const auto& a, const auto& b) { return a.second < b.second; });
  least->first = code;
  least->second += count;
}

void TopCodes::Merge(const TopCodes& other) {
  for (std::size_t i = 0; i < other.used_; ++i) Add(other.codes_[i].first, other.codes_[i].second);
}

std::pair<std::int64_t, std::uint64_t> TopCodes::Top() const {
  std::pair<std::int64_t, std::uint64_t> top{0, 0};
  for (std::size_t i = 0; i < used_; ++i) {
    const auto& entry = codes_[i];
    if (entry.second > top.second || (entry.second == top.second && entry.first < top.first)) {
      top = entry;
    }
  }
  return top;
}

void RoutineFigures::Merge(const RoutineFigures& other) {
  if (other.calls == 0) return;
  name = other.name;
  calls += other.calls;
  errors += other.errors;
  total += other.total;
  self += other.self;
  max = std::max(max, other.max);
  durations.Merge(other.durations);
  codes.Merge(other.codes);
}

std::vector<RoutineFigures> TakeCalled(PerRoutine<RoutineFigures>& table) {
  std::vector<RoutineFigures> called;
  for (RoutineFigures& figures : table.All()) {
    if (figures.calls != 0) called.push_back(std::move(figures));
  }
  table.Clear();
  return called;
}

}  // namespace jov::analyzer
