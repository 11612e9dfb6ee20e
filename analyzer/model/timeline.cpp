// timeline.cpp - summed intervals, anchored on and resynchronised with the clock.
#include "analyzer/model/timeline.h"

#include <algorithm>

namespace jov::analyzer {

void Timeline::SetDate(std::int64_t day) {
  day_ = day;
  dateJustSet_ = true;
}

Micros Timeline::Advance(std::int32_t timeOfDayMs, Micros intervalUs) {
  constexpr std::int32_t kHalfDayMs = 12 * 3600 * 1000;
  if (!dateJustSet_ && lastTimeOfDay_ >= 0 && timeOfDayMs < lastTimeOfDay_ - kHalfDayMs) {
    ++day_;  // midnight passed without a date line (it was dropped from a wrap ring)
  }
  dateJustSet_ = false;
  lastTimeOfDay_ = timeOfDayMs;
  const Micros clock = ClockOf(timeOfDayMs);
  if (broken_ || !started_) {
    broken_ = false;
    started_ = true;
    time_ = clock;
    return time_;
  }
  const Micros summed = time_ + std::max<Micros>(intervalUs, 0);
  // The clock reads whole milliseconds: a line at `summed` shows a clock in
  // (summed - 1 ms, summed].
  if (summed < clock - kTolerance || summed > clock + 1000 + kTolerance) {
    ++resyncs_;
    time_ = std::max(clock, time_);
  } else {
    time_ = summed;
  }
  return time_;
}

}  // namespace jov::analyzer
