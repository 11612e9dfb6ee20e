// summary_sink.h - figures per routine (Class.Routine) and trace: calls, total and self
// time, mean, median, 95th percentile and maximum duration, non-zero return codes and the
// most frequent of them; written as an aligned table or as CSV.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analyzer/model/name_table.h"
#include "analyzer/model/quantile_sketch.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

struct RoutineFigures {
  NameId name = kUnknownName;
  std::uint64_t calls = 0;
  Micros total = 0;
  Micros self = 0;
  Micros max = 0;
  std::uint64_t errors = 0;  // calls with a non-zero return code
  QuantileSketch durations;
  // The most frequent non-zero codes, counted by the space-saving method: the top code is
  // exact whenever it is more frequent than 1/8 of the errors.
  std::vector<std::pair<std::int64_t, std::uint64_t>> codes;

  void Add(const Call& call);
  // The most frequent non-zero code and its count; {0, 0} without errors.
  std::pair<std::int64_t, std::uint64_t> TopCode() const;
};

enum class SummarySort { kTotal, kSelf, kCalls, kMean, kMedian, kP95, kMax, kErrors, kName };
// "total", "self", ... "name"; false for anything else.
bool ParseSummarySort(const std::string& text, SummarySort& sort);

class SummarySink : public TraceSink {
 public:
  explicit SummarySink(const NameTable& names) : names_(names) {}
  void BeginTrace(const TraceInfo& info) override;
  void OnCall(const Call& call) override;
  void EndTrace(const TraceInfo& info, const TraceStats& stats) override;
  bool WantsTexts() const override { return false; }

  struct TraceTable {
    TraceInfo info;
    TraceStats stats;
    std::vector<RoutineFigures> rows;
  };
  const std::vector<TraceTable>& Tables() const { return tables_; }
  // Sorts every table's rows, largest first (names in alphabetical order).
  void Sort(SummarySort sort);

 private:
  const NameTable& names_;
  std::unordered_map<NameId, RoutineFigures> current_;
  std::vector<TraceTable> tables_;
};

}  // namespace jov::analyzer
