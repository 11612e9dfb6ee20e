// report_timeline.h - the timeline part of a trace's report data: one lane per thread, with
// every call while the trace has few (up to kMaxExactCalls), else the longest call of each
// bin, and always the bins (call_bins.h); a thread without calls shows its texts
// (text_marks.h). Memory and output stay bounded by the bins and the marks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "analyzer/outputs/report/call_bins.h"
#include "analyzer/outputs/report/text_marks.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

class JsonOut;

class ReportTimeline {
 public:
  static constexpr std::size_t kMaxExactCalls = 50000;

  // `call` relative to the trace's base.
  void Add(const Call& call, Micros base);
  // `text` relative to the trace's base.
  void AddText(const Text& text, Micros base);
  const CallBins& Bins() const { return bins_; }

  // Writes {"binWidth":..,"complete":..,"lanes":[..]}: lanes in the order of `threads`, then
  // any other thread that made calls. `localName` maps a name to the report's own index.
  void Write(JsonOut& json, const std::vector<std::uint32_t>& threads,
             const std::function<std::int64_t(NameId)>& localName) const;

 private:
  void WriteLane(JsonOut& json, std::uint32_t thread,
                 const std::function<std::int64_t(NameId)>& localName) const;

  CallBins bins_;
  TextMarks texts_;
  std::vector<TimelineCall> exact_;
  bool complete_ = true;
  std::map<std::uint32_t, std::uint32_t> rows_;  // thread -> deepest depth + 1
};

}  // namespace jov::analyzer
