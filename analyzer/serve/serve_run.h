// serve_run.h - one run of `jovtrace serve`, the same in a console and as a Windows service:
// the address taken, the traces followed and served until a stop is asked for.
#pragma once

#include <functional>

#include "analyzer/serve/serve_options.h"
#include "analyzer/serve/stop_signal.h"

namespace jov::analyzer::serve {

// The exit code: 0 once stopped; 2 with a message on standard error for a bad option, a
// missing path or an address that cannot be taken. `listening` is called once the address
// is taken (a service reports itself running then).
int RunServe(const ServeOptions& options, StopSignal& stop, const std::function<void()>& listening);

}  // namespace jov::analyzer::serve
