// follow_command.h - `jovtrace follow`: a running program's trace watched live.
#pragma once

#include "analyzer/cli/commands.h"

namespace jov::analyzer {

Command AddFollowCommand(CLI::App& app);

}  // namespace jov::analyzer
