// child_run.h - the benchmarks' runner of a program under measure: one child process, its wall
// time and its peak memory, and the best of several runs.
#pragma once

#include <string>

namespace jov::bench {

struct Measured {
  double seconds = 0;
  long peakKb = 0;
  int status = -1;  // the exit code; -1 before any run, or when the child did not exit
};

// Runs `argv` (searched on PATH) with standard output to the file `out`; wall time and the
// child's peak memory.
Measured RunChild(const char* const* argv, const std::string& out);

// The faster of two measures, with the larger peak of both: runs taking turns with a peer's
// keep the best time each while no peak is lost.
Measured Best(const Measured& best, const Measured& m);

}  // namespace jov::bench
