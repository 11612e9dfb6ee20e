// serve_command.h - `jovtrace serve`: every trace of a machine as Prometheus metrics.
#pragma once

#include "analyzer/cli/commands.h"

namespace jov::analyzer {

Command AddServeCommand(CLI::App& app);

}  // namespace jov::analyzer
