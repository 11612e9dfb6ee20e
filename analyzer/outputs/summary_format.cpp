// summary_format.cpp - the summary as an aligned table per trace, or as CSV with a trace
// column; and the few lines that name a trace and its facts.
#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "analyzer/outputs/summary_format.h"
#include "analyzer/input/text_encoding.h"

namespace jov::analyzer {
namespace {

std::string TopCodeText(const RoutineFigures& r) {
  const auto top = r.TopCode();
  return top.second == 0 ? std::string("-") : fmt::format("{} ({}x)", top.first, top.second);
}

}  // namespace

std::string Millis(double micros) { return fmt::format("{:.3f}", micros / 1000.0); }

std::string ClockText(Micros time) {
  const Micros ofDay = ((time % 86400000000LL) + 86400000000LL) % 86400000000LL;
  const auto ms = ofDay / 1000;
  return fmt::format("{:02}:{:02}:{:02}.{:03}", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                     ms % 1000);
}

std::string TraceHeading(const TraceInfo& info, const TraceStats& stats) {
  std::string text = fmt::format(
      "== {}: {} file{}, {} lines, {} thread{}, {} .. {} ({} ms)\n", info.label, info.files.size(),
      info.files.size() == 1 ? "" : "s", stats.lines, stats.threads.size(),
      stats.threads.size() == 1 ? "" : "s", ClockText(stats.first), ClockText(stats.last),
      Millis(static_cast<double>(stats.last - stats.first)));
  if (stats.pushesMissing + stats.closedByOuterPop + stats.popsMissing + stats.leftOpen +
          stats.skippedLines + stats.clockResyncs !=
      0) {
    text += fmt::format(
        "   repaired: {} without Push line, {} closed by an outer Pop, {} ended without Pop "
        "line, {} left open, {} clock resynchronisations; {} lines skipped\n",
        stats.pushesMissing, stats.closedByOuterPop, stats.popsMissing, stats.leftOpen,
        stats.clockResyncs, stats.skippedLines);
  }
  for (const std::string& reason : stats.wrapReasons) text += "   wrap dump: " + reason + "\n";
  return text;
}

void WriteSummaryTable(std::FILE* out, const SummarySink& summary, const NameTable& names) {
  bool first = true;
  for (const SummarySink::TraceTable& table : summary.Tables()) {
    if (!first) fmt::print(out, "\n");
    first = false;
    fmt::print(out, "{}", TraceHeading(table.info, table.stats));
    std::size_t width = 7;
    for (const RoutineFigures& r : table.rows) width = std::max(width, names.Text(r.name).size());
    fmt::print(out, "{:<{}} {:>9} {:>12} {:>12} {:>10} {:>10} {:>10} {:>10} {:>7}  {}\n", "routine",
               width, "calls", "total ms", "self ms", "mean ms", "median ms", "p95 ms", "max ms",
               "errors", "top code");
    for (const RoutineFigures& r : table.rows) {
      fmt::print(out, "{:<{}} {:>9} {:>12} {:>12} {:>10} {:>10} {:>10} {:>10} {:>7}  {}\n",
                 names.Text(r.name), width, r.calls, Millis(static_cast<double>(r.total)),
                 Millis(static_cast<double>(r.self)), Millis(r.Mean()),
                 Millis(static_cast<double>(r.Median())), Millis(static_cast<double>(r.P95())),
                 Millis(static_cast<double>(r.max)), r.errors, TopCodeText(r));
    }
    if (table.rows.empty()) fmt::print(out, "(no routine calls)\n");
  }
}

void WriteSummaryCsv(std::FILE* out, const SummarySink& summary, const NameTable& names) {
  fmt::print(out,
             "trace,routine,calls,total_ms,self_ms,mean_ms,median_ms,p95_ms,max_ms,errors,"
             "top_code,top_code_count\n");
  for (const SummarySink::TraceTable& table : summary.Tables()) {
    for (const RoutineFigures& r : table.rows) {
      const auto top = r.TopCode();
      fmt::print(out, "{},{},{},{},{},{},{},{},{},{},{},{}\n", CsvField(table.info.label),
                 CsvField(names.Text(r.name)), r.calls, Millis(static_cast<double>(r.total)),
                 Millis(static_cast<double>(r.self)), Millis(r.Mean()),
                 Millis(static_cast<double>(r.Median())), Millis(static_cast<double>(r.P95())),
                 Millis(static_cast<double>(r.max)), r.errors,
                 top.second == 0 ? std::string() : std::to_string(top.first), top.second);
    }
  }
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace jov::analyzer
