// timer.cpp - JOV_TimerValue: a never-decreasing microsecond clock from the performance
// counter, or from the tick count with its 49.7-day wraps counted where there is none.
#include <atomic>

#include "JOVPlatform.h"
#include "platform/once.h"

namespace {

// The fallback's last tick count (low 32 bits) and wrap count (high 32 bits) in one word,
// so that both change in a single compare-exchange and a wrap is counted exactly once.
std::atomic<unsigned long long> tickState{0};

struct Frequency {
  bool usable;
  long long perSecond;
};

Frequency AskFrequency() {
  LARGE_INTEGER f;
  bool usable = ::QueryPerformanceFrequency(&f) && f.QuadPart > 0;
  return {usable, usable ? f.QuadPart : 0};
}

// The frequency is asked once. A thread that comes while it is asked waits for the answer
// rather than choose the fallback on a half-made one, which would mix two clocks of
// different origins.
jov::Once frequencyOnce;
Frequency frequency{};

const Frequency& CachedFrequency() {
  frequencyOnce.Run([] { frequency = AskFrequency(); });
  return frequency;
}

unsigned long long CounterMicroseconds(long long perSecond) {
  LARGE_INTEGER count;
  ::QueryPerformanceCounter(&count);
  // Product first, then the quotient, in floating point: the integer product would
  // overflow after a few hours at gigahertz frequencies.
  return static_cast<unsigned long long>(static_cast<double>(count.QuadPart) * 1000000.0 /
                                         static_cast<double>(perSecond));
}

unsigned long long TickMicroseconds() {
  unsigned long long seen = tickState.load(std::memory_order_acquire);
  for (;;) {
    // The tick is read after the state it is compared with, and re-read whenever another
    // thread moved the state on, so a tick below the stored one is a real wrap and never
    // a stale reading that lost a race.
    DWORD tick = ::GetTickCount();
    DWORD last = static_cast<DWORD>(seen);
    DWORD wraps = static_cast<DWORD>(seen >> 32);
    if (tick < last) ++wraps;
    unsigned long long next = (static_cast<unsigned long long>(wraps) << 32) | tick;
    if (next == seen || tickState.compare_exchange_weak(seen, next, std::memory_order_acq_rel,
                                                        std::memory_order_acquire))
      return next * 1000;
  }
}

}  // namespace

unsigned long long JOV_TimerValue() {
  const Frequency& asked = CachedFrequency();
  return asked.usable ? CounterMicroseconds(asked.perSecond) : TickMicroseconds();
}
