// metric_store.cpp - calls added to their program's routine series, the folding of routines
// past the limit, and the retirement of processes whose trace ended.
#include "analyzer/serve/metric_store.h"

namespace jov::analyzer::serve {

void MetricStore::AddCall(const std::string& program, const Call& call) {
  ProgramSeries& series = programs_[program];
  const auto known = series.index.find(call.name);
  if (known != series.index.end()) {
    series.routines[known->second].second.Add(call, limits_.buckets);
    return;
  }
  if (series.routines.size() < limits_.maxRoutines) {
    series.index.emplace(call.name, series.routines.size());
    series.routines.emplace_back(names_.Text(call.name), RoutineSeries(limits_.buckets));
    series.routines.back().second.Add(call, limits_.buckets);
    return;
  }
  // Past the limit: one series for all the rest, and a count of the routines folded into it
  // (one bit per name the reader knows, so the count stays exact in bounded memory).
  if (series.other == nullptr) series.other = std::make_unique<RoutineSeries>(limits_.buckets);
  series.other->Add(call, limits_.buckets);
  if (series.folded.size() <= call.name) series.folded.resize(call.name + 1, false);
  if (!series.folded[call.name]) {
    series.folded[call.name] = true;
    ++series.foldedRoutines;
  }
}

ProcessSeries& MetricStore::Process(const std::string& program, std::uint32_t pid) {
  ProcessSeries& process = processes_[{program, pid}];
  process.live = true;
  return process;
}

void MetricStore::Ended(ProcessSeries& process, SteadyClock::time_point now) {
  process.live = false;
  process.endedAt = now;
  process.open.clear();
}

void MetricStore::Expire(SteadyClock::time_point now) {
  for (auto it = processes_.begin(); it != processes_.end();) {
    if (!it->second.live && now - it->second.endedAt >= limits_.retain) {
      it = processes_.erase(it);
    } else {
      ++it;
    }
  }
}

void MetricStore::Drop(const std::string& program, std::uint32_t pid) {
  processes_.erase({program, pid});
}

}  // namespace jov::analyzer::serve
