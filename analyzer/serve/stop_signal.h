// stop_signal.h - how `jovtrace serve` is asked to stop: Ctrl-C or SIGTERM in a console, the
// service control manager's stop on Windows; the reading loop's waits end within 50 ms.
#pragma once

#include <atomic>
#include <chrono>

namespace jov::analyzer::serve {

class StopSignal {
 public:
  void Request() { requested_ = true; }
  bool Requested() const;
  // Waits up to `time`; true when a stop was asked for.
  bool WaitFor(std::chrono::milliseconds time) const;
  // Ctrl-C and SIGTERM request the stop of every StopSignal.
  static void CatchInterrupts();

 private:
  std::atomic<bool> requested_{false};
};

}  // namespace jov::analyzer::serve
