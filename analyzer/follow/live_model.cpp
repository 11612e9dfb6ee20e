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
  if (slice.index < index) slice = Slice{index, {}};
  slice.figures.Add(call);
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
  for (Figures& figures : routines_.All()) figures.slices.fill(Slice{});
}

std::vector<LiveRoutine> LiveModel::Routines(Micros now) const {
  const std::int64_t newest = now / SliceWidth();
  std::vector<LiveRoutine> rows;
  const std::vector<Figures>& all = routines_.All();
  for (std::size_t id = 0; id < all.size(); ++id) {
    const Figures& f = all[id];
    if (f.calls == 0) continue;
    LiveRoutine row;
    row.name = static_cast<NameId>(id);
    row.calls = f.calls;
    row.errors = f.errors;
    for (const Slice& slice : f.slices) {
      if (slice.index < 0 || slice.index <= newest - kWindowSlices || slice.index > newest)
        continue;
      row.window.Merge(slice.figures);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace jov::analyzer
