// metric_store.h - what `jovtrace serve` exposes, kept between scrapes: per program its
// routines' series (bounded: routines past the limit fold into "(other)"), per process the
// reading's figures, memory counters and open calls, retired a while after its trace ended.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analyzer/model/name_table.h"
#include "analyzer/serve/routine_series.h"

namespace jov::analyzer::serve {

using SteadyClock = std::chrono::steady_clock;

struct StoreLimits {
  BucketBounds buckets;
  std::size_t maxRoutines = 1000;
  std::chrono::seconds retain{300};
};

// The routine label of the calls of routines past the limit.
inline constexpr char kOtherRoutine[] = "(other)";

struct ProgramSeries {
  // Routines in the order first seen, with their routine label.
  std::vector<std::pair<std::string, RoutineSeries>> routines;
  std::map<NameId, std::size_t> index;  // NameId -> routines[]
  std::unique_ptr<RoutineSeries> other;
  std::vector<bool> folded;  // by NameId: folded into (other) already
  std::uint64_t foldedRoutines = 0;
};

// The innermost open call of a thread.
struct OpenCall {
  std::uint32_t thread = 0;
  NameId name = kUnknownName;
  Micros start = 0;  // trace clock
};

struct ProcessSeries {
  std::uint64_t lines = 0;
  std::uint64_t unreadableLines = 0;
  std::uint64_t files = 0;     // files of its trace begun (a size limit's chain adds one each)
  std::uint64_t restarts = 0;  // files truncated or replaced while followed
  Micros lastLine = 0;         // trace clock of the latest line; 0: none yet
  // The memory lines' latest values; -1: none seen.
  std::int64_t poolBytes = -1;
  std::int64_t privateBytes = -1;
  std::int64_t handles = -1;
  std::vector<OpenCall> open;
  SteadyClock::time_point lastArrival;  // when the latest line was read
  bool live = true;                     // its trace is still followed
  SteadyClock::time_point endedAt;
};

class MetricStore {
 public:
  MetricStore(StoreLimits limits, const NameTable& names)
      : limits_(std::move(limits)), names_(names) {}

  const StoreLimits& Limits() const { return limits_; }
  const NameTable& Names() const { return names_; }

  // A program's call, under its routine's label or "(other)" past the limit.
  void AddCall(const std::string& program, const Call& call);
  // The series of a process: made on first use, found again while retained (its counters
  // go on, as Prometheus expects of a counter).
  ProcessSeries& Process(const std::string& program, std::uint32_t pid);
  // The process's trace ended (closed, deleted, failed): its series go after the retention.
  void Ended(ProcessSeries& process, SteadyClock::time_point now);
  // Forgets the processes whose trace ended longer ago than the retention.
  void Expire(SteadyClock::time_point now);
  // Forgets a process at once: its trace was over before serve started.
  void Drop(const std::string& program, std::uint32_t pid);

  using ProcessKey = std::pair<std::string, std::uint32_t>;
  const std::map<std::string, ProgramSeries>& Programs() const { return programs_; }
  const std::map<ProcessKey, ProcessSeries>& Processes() const { return processes_; }

 private:
  StoreLimits limits_;
  const NameTable& names_;
  std::map<std::string, ProgramSeries> programs_;
  std::map<ProcessKey, ProcessSeries> processes_;
};

}  // namespace jov::analyzer::serve
