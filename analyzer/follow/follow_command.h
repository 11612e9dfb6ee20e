// follow_command.h - `jovtrace follow`: a running program's trace watched live, until it
// closes or the user quits. The command line (cli/) gives the options and the checked output.
#pragma once

#include <cstdio>
#include <string>

#include "analyzer/input/text_encoding.h"

namespace jov::analyzer {

struct FollowOptions {
  std::string trace;      // a trace file, or a directory: its newest trace
  double interval = 1.0;  // seconds between screens
  double window = 10.0;   // seconds of the routines' window
  bool once = false;      // one snapshot of what is there, then exit
  TextDecoder decoder;    // of the code page the trace was written in
};

// The subcommand's help: what the screen shows, the keys, the exit codes.
extern const char kFollowDescription[];

// Follows the trace, drawing on a terminal or printing plain snapshots to `out`, and the
// summary when the trace closes. A failed write ends the run early; the caller's checked
// output reports it. Returns 0 (closed, quit, --once), 2 (not a trace, or deleted while
// followed) or 130 (interrupted).
int RunFollow(const FollowOptions& options, std::FILE* out);

}  // namespace jov::analyzer
