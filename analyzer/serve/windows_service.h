// windows_service.h - `jovtrace.exe serve` started by the service control manager: it
// reports start and stop, and a stop ends the run within a second.
#pragma once

#include <functional>

#include "analyzer/serve/stop_signal.h"

namespace jov::analyzer::serve {

// What the service runs: the exit code, given the stop signal and what to call once it
// listens.
using ServiceBody = std::function<int(StopSignal& stop, const std::function<void()>& listening)>;

// Runs `body` as the service when the service control manager started this process, and
// gives its exit code in `exitCode`; false at once elsewhere (a console, or not Windows).
bool RunAsWindowsService(const ServiceBody& body, int& exitCode);

}  // namespace jov::analyzer::serve
