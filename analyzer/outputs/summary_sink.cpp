// summary_sink.cpp - per-routine figures gathered from the completed calls.
#include "analyzer/outputs/summary_sink.h"

#include <algorithm>
#include <tuple>

namespace jov::analyzer {
namespace {

constexpr std::size_t kCodeCounters = 8;

}  // namespace

void RoutineFigures::Add(const Call& call) {
  ++calls;
  total += call.duration;
  self += call.self;
  max = std::max(max, call.duration);
  durations.Add(call.duration);
  if (!call.hasReturnCode || call.returnCode == 0) return;
  ++errors;
  for (auto& entry : codes) {
    if (entry.first == call.returnCode) {
      ++entry.second;
      return;
    }
  }
  if (codes.size() < kCodeCounters) {
    codes.emplace_back(call.returnCode, 1);
    return;
  }
  // Space-saving: the least counted code gives its place to the new one, with its count.
  auto least = std::min_element(codes.begin(), codes.end(),
                                [](const auto& a, const auto& b) { return a.second < b.second; });
  least->first = call.returnCode;
  ++least->second;
}

std::pair<std::int64_t, std::uint64_t> RoutineFigures::TopCode() const {
  std::pair<std::int64_t, std::uint64_t> top{0, 0};
  for (const auto& entry : codes) {
    if (entry.second > top.second || (entry.second == top.second && entry.first < top.first)) {
      top = entry;
    }
  }
  return top;
}

bool ParseSummarySort(const std::string& text, SummarySort& sort) {
  static const std::pair<const char*, SummarySort> kKeys[] = {
      {"total", SummarySort::kTotal},   {"self", SummarySort::kSelf},
      {"calls", SummarySort::kCalls},   {"mean", SummarySort::kMean},
      {"median", SummarySort::kMedian}, {"p95", SummarySort::kP95},
      {"max", SummarySort::kMax},       {"errors", SummarySort::kErrors},
      {"name", SummarySort::kName}};
  for (const auto& key : kKeys) {
    if (text == key.first) {
      sort = key.second;
      return true;
    }
  }
  return false;
}

void SummarySink::BeginTrace(const TraceInfo&) { current_.clear(); }

void SummarySink::OnCall(const Call& call) {
  RoutineFigures& figures = current_[call.name];
  figures.name = call.name;
  figures.Add(call);
}

void SummarySink::EndTrace(const TraceInfo& info, const TraceStats& stats) {
  TraceTable table;
  table.info = info;
  table.stats = stats;
  table.rows.reserve(current_.size());
  for (auto& entry : current_) table.rows.push_back(std::move(entry.second));
  current_.clear();
  tables_.push_back(std::move(table));
}

void SummarySink::Sort(SummarySort sort) {
  auto key = [sort](const RoutineFigures& r) -> double {
    switch (sort) {
      case SummarySort::kTotal:
        return static_cast<double>(r.total);
      case SummarySort::kSelf:
        return static_cast<double>(r.self);
      case SummarySort::kCalls:
        return static_cast<double>(r.calls);
      case SummarySort::kMean:
        return static_cast<double>(r.total) / static_cast<double>(r.calls);
      case SummarySort::kMedian:
        return r.durations.Quantile(0.5);
      case SummarySort::kP95:
        return r.durations.Quantile(0.95);
      case SummarySort::kMax:
        return static_cast<double>(r.max);
      case SummarySort::kErrors:
        return static_cast<double>(r.errors);
      case SummarySort::kName:
        return 0;
    }
    return 0;
  };
  for (TraceTable& table : tables_) {
    std::stable_sort(table.rows.begin(), table.rows.end(),
                     [&](const RoutineFigures& a, const RoutineFigures& b) {
                       const double ka = key(a), kb = key(b);
                       if (ka != kb) return ka > kb;
                       return names_.Text(a.name) < names_.Text(b.name);
                     });
  }
}

}  // namespace jov::analyzer
