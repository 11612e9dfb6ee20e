// stop_signal.cpp - the stop request: a flag that the waits look at in short sleeps (a
// signal handler may only set a flag, and MinGW's timed condition waits overshoot by
// seconds), and the signal handlers.
#include "analyzer/serve/stop_signal.h"

#include <algorithm>
#include <csignal>
#include <thread>

namespace jov::analyzer::serve {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

constexpr std::chrono::milliseconds kCheck{50};

}  // namespace

void StopSignal::CatchInterrupts() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

bool StopSignal::Requested() const { return requested_ || interrupted != 0; }

bool StopSignal::WaitFor(std::chrono::milliseconds time) const {
  const auto until = std::chrono::steady_clock::now() + time;
  while (!Requested()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return false;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now, kCheck));
  }
  return true;
}

}  // namespace jov::analyzer::serve
