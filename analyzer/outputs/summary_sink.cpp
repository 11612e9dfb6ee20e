// summary_sink.cpp - the routines' figures of each trace, and their order.
#include "analyzer/outputs/summary_sink.h"

#include <algorithm>

namespace jov::analyzer {

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

void SummarySink::BeginTrace(const TraceInfo&) { current_.Clear(); }

void SummarySink::EndTrace(const TraceInfo& info, const TraceStats& stats) {
  TraceTable table;
  table.info = info;
  table.stats = stats;
  table.rows = TakeCalled(current_);
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
        return r.Mean();
      case SummarySort::kMedian:
        return static_cast<double>(r.Median());
      case SummarySort::kP95:
        return static_cast<double>(r.P95());
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
