// report_writer.h - `jovtrace report`: a sink on the reader's stream that writes one
// self-contained HTML page (report_page.h) with the run's data document (report_data.md).
// Memory and output are bounded by what is distinct in the trace (routines, paths, threads,
// depths) and by the timeline's bins, never by the number of calls or lines.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analyzer/model/name_table.h"
#include "analyzer/outputs/call_tree.h"
#include "analyzer/outputs/report/counter_series.h"
#include "analyzer/outputs/json_out.h"
#include "analyzer/outputs/report/report_timeline.h"
#include "analyzer/outputs/summary_sink.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

// Notices of a trace, or of the run outside any trace: counted per kind, the first kept.
class NoticeLog {
 public:
  static constexpr std::size_t kShown = 100;
  void Add(const Notice& notice);
  void Write(JsonOut& json) const;

 private:
  struct Shown {
    std::string kind, file, message;
    std::uint64_t line;
  };
  std::uint64_t total_ = 0;
  std::map<std::string, std::uint64_t> kinds_;
  std::vector<Shown> shown_;
};

class ReportWriter : public TraceSink {
 public:
  // Writes to `out`, which stays open; `names` is the reader's table.
  ReportWriter(std::FILE* out, const NameTable& names);

  void BeginTrace(const TraceInfo& info) override;
  void OnCall(const Call& call) override;
  void OnText(const Text& text) override;
  void OnCounter(const CounterSample& sample) override;
  void OnNotice(const Notice& notice) override;
  void EndTrace(const TraceInfo& info, const TraceStats& stats) override;

  // Writes the rest of the page (after the last trace). A write that failed shows on the
  // stream's error flag, which the checked output (output_file.h) reports.
  void Finish();

 private:
  struct TraceState {
    bool hasBase = false;
    Micros base = 0;
    ReportTimeline timeline;
    CallTree tree;
    std::array<CounterSeries, 4> counters;  // by CounterKind
    NoticeLog notices;
  };

  void Start();
  // The first line time the trace shows is the zero of its relative times.
  void SetBase(Micros time);
  void WriteTrace(const TraceInfo& info, const TraceStats& stats);

  JsonOut json_;
  const NameTable& names_;
  SummarySink summary_;
  std::unique_ptr<TraceState> trace_;
  NoticeLog runNotices_;
  std::size_t written_ = 0;
  bool started_ = false;
};

}  // namespace jov::analyzer
