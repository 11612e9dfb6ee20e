// scope_lock.cpp - EnterPollingFirst: how a thread waits for a critical section that another
// thread takes line after line (the trace's ring lines wait for the trace lock so).
//
// A thread that waits inside a critical section is woken by each release of the holder, a
// system call per line for a holder that writes line after line, and the woken thread then
// takes the lock over, so the lines of the waiting threads alternate at the cost of a thread
// switch each: four threads writing ring lines reached a fifth of one thread's rate. A thread
// that polls costs the holder nothing. It backs off exponentially, so that it seldom takes
// the lock's cache line from the holder, gives up its processor once a round after the first
// few (where threads outnumber processors the holder may be waiting for it), and only then
// waits in the critical section. The lock is the same critical section throughout, so lines
// stay in the order in which it was taken.
#include "platform/scope_lock.h"

namespace {

// Some 130000 pauses and 64 yields in all (0.4 to 6 ms, as the processor's pause takes 3
// to 45 ns). A holder that writes line after line keeps the lock for hundreds of lines
// before a poller finds it free; a budget of a quarter of this sent pollers into the
// critical section's wait often enough to cost four threads a tenth of their rate.
constexpr int kRounds = 72;
constexpr int kSpinOnlyRounds = 8;
constexpr int kFirstPauses = 4;
constexpr int kMostPauses = 2048;

}  // namespace

namespace jov {

void EnterPollingFirst(CRITICAL_SECTION& lock) {
  if (::TryEnterCriticalSection(&lock)) return;
  int pauses = kFirstPauses;
  for (int round = 0; round < kRounds; ++round) {
    for (int i = 0; i < pauses; ++i) YieldProcessor();
    if (pauses < kMostPauses) pauses *= 2;
    if (round >= kSpinOnlyRounds) ::SwitchToThread();
    if (::TryEnterCriticalSection(&lock)) return;
  }
  ::EnterCriticalSection(&lock);
}

}  // namespace jov
