// once.h - Once, the library's one way to initialise something on first use: the library
// runs no code at load, so whichever thread needs a cached answer or a lock first makes it.
#pragma once

#include <windows.h>

#include <atomic>

namespace jov {

// Runs an initialiser exactly once per process, however many threads call Run at the same
// time. The first caller runs it. A thread that arrives while it runs waits, giving up its
// processor each round, until it has finished: every caller returns only after the
// initialiser has, so no thread ever reads a half-built value. Afterwards Run costs one
// acquire load. A Once at namespace scope is constant-initialised, usable before any code of
// the library has run. The initialiser must not call Run on the same Once, and must not throw
// (Run is noexcept: a throw ends the process rather than leave the waiters waiting).
class Once {
 public:
  constexpr Once() = default;
  Once(const Once&) = delete;
  Once& operator=(const Once&) = delete;

  template <typename Initialiser>
  void Run(Initialiser&& initialise) noexcept {
    if (state_.load(std::memory_order_acquire) == kDone) return;
    unsigned char expected = kIdle;
    if (state_.compare_exchange_strong(expected, kRunning, std::memory_order_acquire)) {
      initialise();
      state_.store(kDone, std::memory_order_release);
      return;
    }
    // The initialisers are short (a system query, a lock's set-up), so yielding is enough.
    // After the first rounds the waiter sleeps instead: a yield only lets threads ready on
    // its own processor run, and the initialising thread may be waiting for another one.
    for (int round = 0; state_.load(std::memory_order_acquire) != kDone; ++round) {
      if (round < 64)
        ::SwitchToThread();
      else
        ::Sleep(1);
    }
  }

 private:
  enum : unsigned char { kIdle, kRunning, kDone };
  std::atomic<unsigned char> state_{kIdle};
};

}  // namespace jov
