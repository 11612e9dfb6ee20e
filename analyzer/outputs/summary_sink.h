// summary_sink.h - the figures of every routine (Class.Routine) per trace, from the shared
// aggregate (model/routine_figures.h); written as an aligned table or as CSV.
#pragma once

#include <string>
#include <vector>

#include "analyzer/model/name_table.h"
#include "analyzer/model/routine_figures.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

enum class SummarySort { kTotal, kSelf, kCalls, kMean, kMedian, kP95, kMax, kErrors, kName };
// "total", "self", ... "name"; false for anything else.
bool ParseSummarySort(const std::string& text, SummarySort& sort);

class SummarySink : public TraceSink {
 public:
  explicit SummarySink(const NameTable& names) : names_(names) {}
  void BeginTrace(const TraceInfo& info) override;
  void OnCall(const Call& call) override { current_[call.name].Add(call); }
  void EndTrace(const TraceInfo& info, const TraceStats& stats) override;
  bool WantsTexts() const override { return false; }

  struct TraceTable {
    TraceInfo info;
    TraceStats stats;
    std::vector<RoutineFigures> rows;  // the routines called, in NameId order until sorted
  };
  const std::vector<TraceTable>& Tables() const { return tables_; }
  // Sorts every table's rows, largest first (names in alphabetical order).
  void Sort(SummarySort sort);

 private:
  const NameTable& names_;
  PerRoutine<RoutineFigures> current_;
  std::vector<TraceTable> tables_;
};

}  // namespace jov::analyzer
