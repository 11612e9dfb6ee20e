// exposition.cpp - the families of `jovtrace serve` (their names, types and help, defined
// here once) and their samples in the text format 0.0.4 or OpenMetrics text.
#include "analyzer/serve/exposition.h"

#include <cstdlib>
#include <ctime>
#include <iterator>

#include <fmt/format.h>

#include "analyzer/parse/line_parse.h"

namespace jov::analyzer::serve {
namespace {

enum class Type { kCounter, kGauge, kHistogram };

struct Family {
  const char* name;  // as the text format 0.0.4 names its samples (counters end in _total)
  Type type;
  const char* help;
};

// Per program and routine.
constexpr Family kCalls{"jovtrace_routine_calls_total", Type::kCounter,
                        "Calls of the routine that ended, as jovtrace summary counts them."};
constexpr Family kErrors{"jovtrace_routine_errors_total", Type::kCounter,
                         "Calls of the routine that returned a non-zero code."};
constexpr Family kSelf{"jovtrace_routine_self_seconds_total", Type::kCounter,
                       "Time spent in the routine itself, less the calls it made."};
constexpr Family kDuration{"jovtrace_routine_duration_seconds", Type::kHistogram,
                           "Durations of the routine's calls."};
constexpr Family kFolded{"jovtrace_routines_folded", Type::kGauge,
                         "Routines past --max-routines, counted as routine=\"(other)\"."};
// Per program and process.
constexpr Family kFollowed{"jovtrace_traces_followed", Type::kGauge,
                           "1 while the process's trace is followed, 0 once it ended "
                           "(its series go after --retain)."};
constexpr Family kLines{"jovtrace_lines_read_total", Type::kCounter, "Lines of the trace read."};
constexpr Family kUnreadable{"jovtrace_unreadable_lines_total", Type::kCounter,
                             "Lines of the trace that could not be read (skipped)."};
constexpr Family kFiles{"jovtrace_trace_files_total", Type::kCounter,
                        "Files of the trace begun (a size limit's next file adds one)."};
constexpr Family kRestarts{"jovtrace_trace_restarts_total", Type::kCounter,
                           "Trace files truncated or replaced while followed (read again)."};
constexpr Family kLastLine{"jovtrace_last_line_timestamp_seconds", Type::kGauge,
                           "Time of the trace's latest line, in Unix seconds."};
constexpr Family kPool{"jovtrace_memory_pool_bytes", Type::kGauge,
                       "The memory manager's pool bytes of the latest memory line."};
constexpr Family kPrivate{"jovtrace_memory_private_bytes", Type::kGauge,
                          "The process's private bytes of the latest memory line."};
constexpr Family kHandles{"jovtrace_handles", Type::kGauge,
                          "The process's handle count of the latest handle-count line."};
constexpr Family kOpenCall{"jovtrace_open_call_seconds", Type::kGauge,
                           "How long the thread's innermost open call has been open."};
// The exporter itself.
constexpr Family kEnded{"jovtrace_traces_ended_total", Type::kCounter,
                        "Traces whose reading ended (closed, deleted or unreadable)."};
constexpr Family kTailErrors{"jovtrace_trace_errors_total", Type::kCounter,
                             "Traces whose reading failed (deleted while followed, unreadable)."};
constexpr Family kNotTraces{"jovtrace_files_not_traces", Type::kGauge,
                            "Files under the paths followed that hold no trace."};
constexpr Family kScrapes{"jovtrace_scrapes_total", Type::kCounter, "Scrapes of /metrics served."};
constexpr Family kStart{"jovtrace_start_time_seconds", Type::kGauge,
                        "When jovtrace serve started, in Unix seconds."};

class Writer {
 public:
  Writer(ExpositionFormat format, std::string& out) : format_(format), out_(out) {}

  void Begin(const Family& family) {
    std::string_view name = family.name;
    // OpenMetrics names a counter's family without the suffix its samples carry.
    if (format_ == ExpositionFormat::kOpenMetrics && family.type == Type::kCounter)
      name.remove_suffix(sizeof("_total") - 1);
    static const char* const kTypes[] = {"counter", "gauge", "histogram"};
    fmt::format_to(std::back_inserter(out_), "# HELP {} {}\n# TYPE {} {}\n", name, family.help,
                   name, kTypes[static_cast<int>(family.type)]);
  }
  template <typename Value>
  void Sample(std::string_view name, std::string_view labels, Value value) {
    fmt::format_to(std::back_inserter(out_), "{}{} {}\n", name, labels, value);
  }
  void End() {
    if (format_ == ExpositionFormat::kOpenMetrics) out_ += "# EOF\n";
  }

 private:
  ExpositionFormat format_;
  std::string& out_;
};

void Escape(std::string& out, std::string_view value) {
  for (const char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
}

// `{a="x",b="y"` without its closing brace, so that more labels can follow.
std::string OpenLabels(std::initializer_list<std::pair<const char*, std::string_view>> labels) {
  std::string out = "{";
  for (const auto& [name, value] : labels) {
    if (out.size() > 1) out += ',';
    out += name;
    out += "=\"";
    Escape(out, value);
    out += '"';
  }
  return out;
}

double Seconds(Micros micros) { return static_cast<double>(micros) / 1e6; }

void WriteRoutine(Writer& w, const std::string& labels, const RoutineSeries& series,
                  const std::vector<std::string>& le) {
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i < le.size(); ++i) {
    cumulative += series.Buckets()[i];
    w.Sample("jovtrace_routine_duration_seconds_bucket", labels + ",le=\"" + le[i] + "\"}",
             cumulative);
  }
  w.Sample("jovtrace_routine_duration_seconds_sum", labels + "}", Seconds(series.Total()));
  w.Sample("jovtrace_routine_duration_seconds_count", labels + "}", series.Calls());
}

// Each routine of each program, "(other)" last.
template <typename Fn>
void ForEachRoutine(const MetricStore& store, Fn fn) {
  for (const auto& [program, series] : store.Programs()) {
    for (const auto& [routine, routineSeries] : series.routines)
      fn(OpenLabels({{"program", program}, {"routine", routine}}), routineSeries);
    if (series.other != nullptr)
      fn(OpenLabels({{"program", program}, {"routine", kOtherRoutine}}), *series.other);
  }
}

}  // namespace

ExpositionFormat NegotiateFormat(std::string_view accept) {
  // The best q of each: OpenMetrics 1.0.0 (or unversioned) against everything else.
  double openMetrics = -1, other = -1;
  while (!accept.empty()) {
    const std::size_t comma = accept.find(',');
    std::string_view range = accept.substr(0, comma);
    accept = comma == std::string_view::npos ? std::string_view() : accept.substr(comma + 1);
    double q = 1;
    bool versionOk = true;
    const std::size_t semicolon = range.find(';');
    std::string_view params = semicolon == std::string_view::npos ? "" : range.substr(semicolon);
    range = range.substr(0, semicolon);
    while (!range.empty() && range.front() == ' ') range.remove_prefix(1);
    while (!range.empty() && range.back() == ' ') range.remove_suffix(1);
    const std::size_t weight = params.find("q=");
    if (weight != std::string_view::npos)
      q = std::atof(std::string(params.substr(weight + 2)).c_str());
    const std::size_t version = params.find("version=");
    if (version != std::string_view::npos) versionOk = params.substr(version + 8, 5) == "1.0.0";
    if (range == "application/openmetrics-text") {
      if (versionOk && q > openMetrics) openMetrics = q;
    } else if (q > other) {
      other = q;
    }
  }
  return openMetrics > 0 && openMetrics >= other ? ExpositionFormat::kOpenMetrics
                                                 : ExpositionFormat::kText004;
}

const char* ContentType(ExpositionFormat format) {
  return format == ExpositionFormat::kOpenMetrics
             ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
             : "text/plain; version=0.0.4; charset=utf-8";
}

double UnixSecondsOfTraceClock(Micros clock) {
  // The local clock's offset from UTC now: the trace's clock is local time without a zone.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  const std::int64_t localSeconds =
      DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                    static_cast<unsigned>(local.tm_mday)) *
          86400 +
      local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return Seconds(clock) - static_cast<double>(localSeconds - now);
}

void WriteExposition(const MetricStore& store, const ExporterFigures& exporter,
                     ExpositionFormat format, SteadyClock::time_point now, std::string& out) {
  out.clear();
  Writer w(format, out);
  std::vector<std::string> le;
  for (const Micros bound : store.Limits().buckets) le.push_back(fmt::format("{}", Seconds(bound)));
  le.push_back("+Inf");

  const struct {
    const Family& family;
    std::uint64_t (*value)(const RoutineSeries&);
  } counts[] = {{kCalls, [](const RoutineSeries& s) { return s.Calls(); }},
                {kErrors, [](const RoutineSeries& s) { return s.Errors(); }}};
  for (const auto& count : counts) {
    w.Begin(count.family);
    ForEachRoutine(store, [&](const std::string& labels, const RoutineSeries& series) {
      w.Sample(count.family.name, labels + "}", count.value(series));
    });
  }
  w.Begin(kSelf);
  ForEachRoutine(store, [&](const std::string& labels, const RoutineSeries& series) {
    w.Sample(kSelf.name, labels + "}", Seconds(series.Self()));
  });
  w.Begin(kDuration);
  ForEachRoutine(store, [&](const std::string& labels, const RoutineSeries& series) {
    WriteRoutine(w, labels, series, le);
  });
  w.Begin(kFolded);
  for (const auto& [program, series] : store.Programs())
    w.Sample(kFolded.name, OpenLabels({{"program", program}}) + "}", series.foldedRoutines);

  // Per process: one loop per family, as the format keeps a family's samples together.
  const auto perProcess = [&](const Family& family, auto value) {
    w.Begin(family);
    for (const auto& [key, process] : store.Processes()) {
      const std::string pid = std::to_string(key.second);
      value(OpenLabels({{"program", key.first}, {"pid", pid}}), process);
    }
  };
  const auto plain = [&](const Family& family, auto get) {
    perProcess(family, [&](const std::string& labels, const ProcessSeries& process) {
      w.Sample(family.name, labels + "}", get(process));
    });
  };
  // Memory gauges appear once the trace has shown the line.
  const auto memory = [&](const Family& family, std::int64_t ProcessSeries::*field) {
    perProcess(family, [&](const std::string& labels, const ProcessSeries& process) {
      if (process.*field >= 0) w.Sample(family.name, labels + "}", process.*field);
    });
  };
  plain(kFollowed, [](const ProcessSeries& p) { return p.live ? 1 : 0; });
  plain(kLines, [](const ProcessSeries& p) { return p.lines; });
  plain(kUnreadable, [](const ProcessSeries& p) { return p.unreadableLines; });
  plain(kFiles, [](const ProcessSeries& p) { return p.files; });
  plain(kRestarts, [](const ProcessSeries& p) { return p.restarts; });
  perProcess(kLastLine, [&](const std::string& labels, const ProcessSeries& process) {
    if (process.lastLine != 0)
      w.Sample(kLastLine.name, labels + "}", UnixSecondsOfTraceClock(process.lastLine));
  });
  memory(kPool, &ProcessSeries::poolBytes);
  memory(kPrivate, &ProcessSeries::privateBytes);
  memory(kHandles, &ProcessSeries::handles);
  perProcess(kOpenCall, [&](const std::string& labels, const ProcessSeries& process) {
    // The trace clock now: its latest line plus the time since it was read (a thread stuck
    // in a routine writes nothing, and its call goes on ageing).
    const Micros quiet =
        std::chrono::duration_cast<std::chrono::microseconds>(now - process.lastArrival).count();
    for (const OpenCall& call : process.open) {
      std::string full = labels;
      full += ",thread=\"" + std::to_string(call.thread) + "\",routine=\"";
      Escape(full, store.Names().Text(call.name));
      full += "\"}";
      w.Sample(kOpenCall.name, full, Seconds(process.lastLine - call.start + quiet));
    }
  });

  const auto exporterSample = [&](const Family& family, auto value) {
    w.Begin(family);
    w.Sample(family.name, "", value);
  };
  exporterSample(kEnded, exporter.tracesEnded);
  exporterSample(kTailErrors, exporter.tailErrors);
  exporterSample(kNotTraces, exporter.filesNotTraces);
  exporterSample(kScrapes, exporter.scrapes);
  exporterSample(kStart, exporter.startTime);
  w.End();
}

}  // namespace jov::analyzer::serve
