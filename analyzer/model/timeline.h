// timeline.h - a trace's microsecond timeline. Each time-prefixed line carries the local
// clock to the millisecond and the interval since the line before it to the microsecond:
// the timeline sums the intervals, anchored on the date and the clock of the first line,
// and goes back to the clock where the two disagree.
#pragma once

#include <cstdint>

#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

class Timeline {
 public:
  // The sum of the intervals and the clock disagree when the sum leaves the clock's
  // millisecond by more than this: far more than the clock's tick on any system (16 ms at
  // worst), far less than any real jump of the clock.
  static constexpr Micros kTolerance = 100000;
  static constexpr Micros kDay = Micros{86400} * 1000000;

  // A "Date=" line: the day (days since 1970-01-01) of the lines that follow.
  void SetDate(std::int64_t day);
  // The next line starts afresh on its clock: the intervals before it do not lead to it
  // (the first line of a file that continues nothing, the first saved line of a wrap dump).
  void Break() { broken_ = true; }
  // The time of a time-prefixed line. A clock that goes back by more than 12 hours without
  // a "Date=" line has passed midnight. Where the summed time and the clock disagree the
  // line takes its clock, but never earlier than the line before (a clock set back must
  // not reorder the lines); a break takes the clock as it is.
  Micros Advance(std::int32_t timeOfDayMs, Micros intervalUs);
  Micros Last() const { return time_; }
  bool Started() const { return started_; }
  std::uint64_t Resyncs() const { return resyncs_; }
  // The clock of a line of the current day, without moving the timeline.
  Micros ClockOf(std::int32_t timeOfDayMs) const {
    return day_ * kDay + Micros{timeOfDayMs} * 1000;
  }

 private:
  std::int64_t day_ = 0;
  std::int32_t lastTimeOfDay_ = -1;
  bool dateJustSet_ = false;
  bool broken_ = true;
  bool started_ = false;
  Micros time_ = 0;
  std::uint64_t resyncs_ = 0;
};

}  // namespace jov::analyzer
