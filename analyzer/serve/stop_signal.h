// stop_signal.h - how `jovtrace serve` is asked to stop: Ctrl-C or SIGTERM in a console, the
// service control manager's stop on Windows; the reading loop's waits end at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace jov::analyzer::serve {

class StopSignal {
 public:
  void Request();
  bool Requested() const;
  // Waits up to `time`; true when a stop was asked for.
  bool WaitFor(std::chrono::milliseconds time);
  // Ctrl-C and SIGTERM request the stop of every StopSignal (checked within 100 ms).
  static void CatchInterrupts();

 private:
  std::atomic<bool> requested_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
};

}  // namespace jov::analyzer::serve
