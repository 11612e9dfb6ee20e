// live_model.h - what the live view keeps of a trace as it is read: figures per routine in a
// sliding window and in total, the last texts, the memory counters with their recent
// values, and whether the trace has closed. A sink on the reader's model (trace_model.h).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "analyzer/model/routine_figures.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

// One routine's row: its figures in the window (the summary's aggregate, routine_figures.h)
// and its calls and errors in total.
struct LiveRoutine {
  NameId name = kUnknownName;
  RoutineFigures window;
  std::uint64_t calls = 0;
  std::uint64_t errors = 0;
};

struct LiveText {
  Micros time = 0;
  std::uint32_t thread = 0;
  std::string text;  // its first line
};

// The counters the memory lines carry; `history` holds one value per screen refresh.
struct LiveCounter {
  bool seen = false;
  std::int64_t value = 0;
  std::deque<std::int64_t> history;
};

class LiveModel : public TraceSink {
 public:
  static constexpr int kWindowSlices = 10;
  static constexpr std::size_t kTexts = 32;
  static constexpr std::size_t kHistory = 12;

  explicit LiveModel(Micros window) : window_(window) {}

  void BeginTrace(const TraceInfo& info) override { info_ = info; }
  void OnCall(const Call& call) override;
  void OnText(const Text& text) override;
  void OnCounter(const CounterSample& sample) override;
  void OnNotice(const Notice& notice) override;

  // The routines with their window taken to end at `now` (trace clock).
  std::vector<LiveRoutine> Routines(Micros now) const;
  // Forgets the window's calls: the window starts again at `now`.
  void ResetWindow(Micros now);
  // Keeps the counters' current values in their history (once per refresh).
  void SampleCounters();

  const TraceInfo& Info() const { return info_; }
  const std::deque<LiveText>& Texts() const { return texts_; }
  const LiveCounter& Counter(CounterKind kind) const { return counters_[static_cast<int>(kind)]; }
  bool Closed() const { return closed_; }
  std::uint64_t Notices() const { return notices_; }
  const std::string& LastNotice() const { return lastNotice_; }
  Micros Window() const { return window_; }

 private:
  struct Slice {
    std::int64_t index = -1;  // which slice of the clock it holds (end time / slice width)
    RoutineFigures figures;
  };
  struct Figures {
    std::uint64_t calls = 0;
    std::uint64_t errors = 0;
    std::array<Slice, kWindowSlices> slices;
  };
  Micros SliceWidth() const { return window_ / kWindowSlices > 0 ? window_ / kWindowSlices : 1; }

  Micros window_;
  Micros windowStart_ = INT64_MIN;  // calls that ended before are not in the window
  TraceInfo info_;
  PerRoutine<Figures> routines_;
  std::deque<LiveText> texts_;
  std::array<LiveCounter, 4> counters_;
  bool closed_ = false;
  std::uint64_t notices_ = 0;
  std::string lastNotice_;
};

}  // namespace jov::analyzer
