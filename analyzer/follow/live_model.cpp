// live_model.cpp - the live view's figures: each routine's calls counted in total and in
// slices of the window (a ring of kWindowSlices), so the window slides by a tenth of itself.
#include "analyzer/follow/live_model.h"

namespace jov::analyzer {

void LiveModel::OnCall(const Call& call) {
  Figures& f = routines_[call.name];
  ++f.calls;
  const bool error = call.hasReturnCode && call.returnCode != 0;
  if (error) ++f.errors;
  if (call.end < windowStart_) return;
  const std::int64_t index = call.end / SliceWidth();
  Slice& slice = f.slices[static_cast<std::size_t>(index % kWindowSlices)];
  if (slice.index > index) return;  // older than the window the ring holds
  if (slice.index < index) slice = Slice{index, 0, 0, 0, {}};
  ++slice.calls;
  if (error) ++slice.errors;
  slice.sum += call.duration;
  slice.durations.Add(call.duration);
}

void LiveModel::OnText(const Text& text) {
  if (text.kind == TextKind::kClosed) closed_ = true;
  if (text.kind == TextKind::kHeapRow || text.kind == TextKind::kDumpLine) return;
  LiveText kept;
  kept.time = text.time;
  kept.thread = text.thread;
  kept.text.assign(text.text.substr(0, text.text.find('\n')));
  texts_.push_back(std::move(kept));
  if (texts_.size() > kTexts) texts_.pop_front();
}

void LiveModel::OnCounter(const CounterSample& sample) {
  LiveCounter& counter = counters_[static_cast<int>(sample.kind)];
  counter.seen = true;
  counter.value = sample.value;
}

void LiveModel::OnNotice(const Notice& notice) {
  ++notices_;
  lastNotice_ = std::string(notice.file) + ":" + std::to_string(notice.line) + ": " +
                std::string(notice.message);
}

void LiveModel::SampleCounters() {
  for (LiveCounter& counter : counters_) {
    if (!counter.seen) continue;
    counter.history.push_back(counter.value);
    if (counter.history.size() > kHistory) counter.history.pop_front();
  }
}

void LiveModel::ResetWindow(Micros now) {
  windowStart_ = now;
  for (auto& entry : routines_) entry.second.slices.fill(Slice{});
}

std::vector<LiveRoutine> LiveModel::Routines(Micros now) const {
  const std::int64_t newest = now / SliceWidth();
  std::vector<LiveRoutine> rows;
  rows.reserve(routines_.size());
  for (const auto& entry : routines_) {
    const Figures& f = entry.second;
    LiveRoutine row;
    row.name = entry.first;
    row.calls = f.calls;
    row.errors = f.errors;
    QuantileSketch window;
    Micros sum = 0;
    for (const Slice& slice : f.slices) {
      if (slice.index < 0 || slice.index <= newest - kWindowSlices || slice.index > newest)
        continue;
      row.windowCalls += slice.calls;
      row.windowErrors += slice.errors;
      sum += slice.sum;
      window.Merge(slice.durations);
    }
    if (row.windowCalls != 0) {
      row.windowMean = static_cast<double>(sum) / static_cast<double>(row.windowCalls);
      row.windowP95 = window.Quantile(0.95);
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace jov::analyzer
