// report_writer.cpp - the report's sink: gathers a trace while it is read, writes it into the
// page's data document when it ends.
#include "analyzer/outputs/report/report_writer.h"

#include <algorithm>
#include <unordered_map>

#include "analyzer/outputs/report/report_page.h"
#include "analyzer/outputs/report/report_tree.h"

#ifndef JOVTRACE_VERSION
#define JOVTRACE_VERSION "dev"
#endif

namespace jov::analyzer {
namespace {

constexpr const char* kCounterKeys[] = {"internal-pool", "process-bytes", "handle-count",
                                        "virtual-committed"};

// Names as the report's data numbers them: each trace lists only the names it uses, with
// "(unknown)" first.
class LocalNames {
 public:
  explicit LocalNames(const NameTable& names) : names_(names) { Index(kUnknownName); }
  std::int64_t Index(NameId id) {
    const auto [it, added] = index_.emplace(id, static_cast<std::int64_t>(order_.size()));
    if (added) order_.push_back(id);
    return it->second;
  }
  void Write(JsonOut& json) const {
    json.Raw("[");
    for (std::size_t i = 0; i < order_.size(); ++i) {
      if (i != 0) json.Raw(",");
      json.String(names_.Text(order_[i]));
    }
    json.Raw("]");
  }

 private:
  const NameTable& names_;
  std::unordered_map<NameId, std::int64_t> index_;
  std::vector<NameId> order_;
};

void Strings(JsonOut& json, const std::vector<std::string>& texts) {
  json.Raw("[");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i != 0) json.Raw(",");
    json.String(texts[i]);
  }
  json.Raw("]");
}

void Member(JsonOut& json, const char* key, std::int64_t value) {
  json.Raw(",");
  json.Key(key);
  json.Int(value);
}

void WriteStats(JsonOut& json, const TraceStats& s) {
  json.Raw("{\"lines\":");
  json.Int(static_cast<std::int64_t>(s.lines));
  const std::pair<const char*, std::uint64_t> figures[] = {{"bytes", s.bytes},
                                                           {"calls", s.calls},
                                                           {"texts", s.texts},
                                                           {"skippedLines", s.skippedLines},
                                                           {"pushesMissing", s.pushesMissing},
                                                           {"closedByOuterPop", s.closedByOuterPop},
                                                           {"popsMissing", s.popsMissing},
                                                           {"leftOpen", s.leftOpen},
                                                           {"clockResyncs", s.clockResyncs}};
  for (const auto& [key, value] : figures) Member(json, key, static_cast<std::int64_t>(value));
  json.Raw("}");
}

// [name, calls, total, self, mean, median, p95, max, errors, top code, its count] per
// routine, the largest total first: the summary's own figures (routine_figures.h), so the
// page shows the same digits.
void WriteSummaryRows(JsonOut& json, const std::vector<RoutineFigures>& figures,
                      LocalNames& local) {
  std::vector<const RoutineFigures*> rows;
  for (const RoutineFigures& r : figures) rows.push_back(&r);
  std::stable_sort(rows.begin(), rows.end(), [](const RoutineFigures* a, const RoutineFigures* b) {
    return a->total > b->total;
  });
  json.Raw("[");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const RoutineFigures& r = *rows[i];
    const auto top = r.TopCode();
    json.Raw(i == 0 ? "[" : ",[");
    json.Int(local.Index(r.name));
    for (const std::int64_t v : {static_cast<std::int64_t>(r.calls), r.total, r.self}) {
      json.Raw(",");
      json.Int(v);
    }
    json.Raw(",");
    json.Double(r.Mean());
    for (const std::int64_t v : {r.Median(), r.P95(), r.max, static_cast<std::int64_t>(r.errors),
                                 top.first, static_cast<std::int64_t>(top.second)}) {
      json.Raw(",");
      json.Int(v);
    }
    json.Raw("]");
  }
  json.Raw("]");
}

}  // namespace

void NoticeLog::Add(const Notice& notice) {
  ++total_;
  ++kinds_[NoticeKindName(notice.kind)];
  if (shown_.size() < kShown) {
    shown_.push_back(Shown{NoticeKindName(notice.kind), std::string(notice.file),
                           std::string(notice.message), notice.line});
  }
}

void NoticeLog::Write(JsonOut& json) const {
  json.Raw("{\"total\":");
  json.Int(static_cast<std::int64_t>(total_));
  json.Raw(",\"kinds\":{");
  bool first = true;
  for (const auto& [kind, count] : kinds_) {
    if (!first) json.Raw(",");
    first = false;
    json.Key(kind);
    json.Int(static_cast<std::int64_t>(count));
  }
  json.Raw("},\"shown\":[");
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    json.Raw(i == 0 ? "[" : ",[");
    json.String(shown_[i].kind);
    json.Raw(",");
    json.String(shown_[i].file);
    json.Raw(",");
    json.Int(static_cast<std::int64_t>(shown_[i].line));
    json.Raw(",");
    json.String(shown_[i].message);
    json.Raw("]");
  }
  json.Raw("]}");
}

ReportWriter::ReportWriter(std::FILE* out, const NameTable& names)
    : json_(out, JsonOut::Embedding::kInScript), names_(names), summary_(names) {}

void ReportWriter::Start() {
  if (started_) return;
  started_ = true;
  json_.Raw(ReportPagePrefix());
  json_.Raw("{\"format\":\"jovtrace-report\",\"version\":1,\"tool\":");
  json_.String("jovtrace " JOVTRACE_VERSION);
  json_.Raw(",\"traces\":[");
}

void ReportWriter::SetBase(Micros time) {
  if (trace_ && !trace_->hasBase) {
    trace_->hasBase = true;
    trace_->base = time;
  }
}

void ReportWriter::BeginTrace(const TraceInfo& info) {
  Start();
  trace_ = std::make_unique<TraceState>();
  summary_.BeginTrace(info);
}

void ReportWriter::OnCall(const Call& call) {
  if (!trace_) return;
  SetBase(call.start);
  summary_.OnCall(call);
  trace_->tree.Add(call);
  trace_->timeline.Add(call, trace_->base);
}

void ReportWriter::OnText(const Text& text) {
  if (!trace_) return;
  SetBase(text.time);
  trace_->timeline.AddText(text, trace_->base);
}

void ReportWriter::OnCounter(const CounterSample& sample) {
  if (!trace_) return;
  SetBase(sample.time);
  const auto kind = static_cast<std::size_t>(sample.kind);
  if (kind < trace_->counters.size())
    trace_->counters[kind].Add(sample.time - trace_->base, sample.value);
}

void ReportWriter::OnNotice(const Notice& notice) {
  (trace_ ? trace_->notices : runNotices_).Add(notice);
}

void ReportWriter::EndTrace(const TraceInfo& info, const TraceStats& stats) {
  if (!trace_) return;
  summary_.EndTrace(info, stats);
  trace_->tree.Finish();
  if (!trace_->hasBase) trace_->base = stats.first;
  WriteTrace(info, stats);
  trace_.reset();
}

void ReportWriter::WriteTrace(const TraceInfo& info, const TraceStats& stats) {
  TraceState& t = *trace_;
  LocalNames local(names_);
  const auto localName = [&local](NameId id) { return local.Index(id); };

  json_.Raw(written_++ == 0 ? "\n{\"label\":" : ",\n{\"label\":");
  json_.String(info.label);
  json_.Raw(",\"program\":");
  json_.String(info.program);
  json_.Raw(",\"userId\":");
  json_.String(info.userId);
  Member(json_, "processId", info.processId);
  Member(json_, "threadId", info.threadId);
  json_.Raw(",\"wrapDump\":");
  json_.Bool(info.wrapDump);
  json_.Raw(",\"files\":");
  Strings(json_, info.files);
  json_.Raw(",\"wrapReasons\":");
  Strings(json_, stats.wrapReasons);
  Member(json_, "first", stats.first);
  Member(json_, "last", stats.last);
  Member(json_, "base", t.base);
  json_.Raw(",\"stats\":");
  WriteStats(json_, stats);
  json_.Raw(",\"threads\":");
  json_.IntArray(std::vector<std::int64_t>(stats.threads.begin(), stats.threads.end()));
  json_.Raw(",\"notices\":");
  t.notices.Write(json_);

  json_.Raw(",\"summary\":");
  WriteSummaryRows(json_, summary_.Tables().back().rows, local);
  json_.Raw(",\"tree\":");
  WriteReportTree(
      json_, t.tree.Nodes(), [&t](std::uint32_t node) { return t.tree.IsOther(node); }, localName);
  json_.Raw(",\"timeline\":");
  t.timeline.Write(json_, stats.threads, localName);

  json_.Raw(",\"counters\":[");
  bool first = true;
  for (std::size_t kind = 0; kind < t.counters.size(); ++kind) {
    if (t.counters[kind].Empty()) continue;
    json_.Raw(first ? "{\"kind\":" : ",{\"kind\":");
    first = false;
    json_.String(kCounterKeys[kind]);
    t.counters[kind].Write(json_);
    json_.Raw("}");
  }
  json_.Raw("]");
  // Last: the other members gave the names their numbers.
  json_.Raw(",\"names\":");
  local.Write(json_);
  json_.Raw("}");
  json_.Flush();
}

void ReportWriter::Finish() {
  Start();
  json_.Raw("\n],\"notices\":");
  runNotices_.Write(json_);
  json_.Raw("}");
  json_.Raw(ReportPageSuffix());
  json_.Flush();
}

}  // namespace jov::analyzer
