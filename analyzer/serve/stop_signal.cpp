// stop_signal.cpp - the stop request: a flag with a condition to wake the waits, and the
// signal handlers, which may only set a flag (the waits look at it every 100 ms).
#include "analyzer/serve/stop_signal.h"

#include <algorithm>
#include <csignal>

namespace jov::analyzer::serve {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

constexpr std::chrono::milliseconds kSignalCheck{100};

}  // namespace

void StopSignal::CatchInterrupts() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

void StopSignal::Request() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    requested_ = true;
  }
  wake_.notify_all();
}

bool StopSignal::Requested() const { return requested_ || interrupted != 0; }

bool StopSignal::WaitFor(std::chrono::milliseconds time) {
  const auto until = std::chrono::steady_clock::now() + time;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!Requested()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return false;
    wake_.wait_for(lock, std::min<std::chrono::steady_clock::duration>(until - now, kSignalCheck));
  }
  return true;
}

}  // namespace jov::analyzer::serve
