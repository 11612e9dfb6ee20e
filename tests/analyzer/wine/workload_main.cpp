// workload_main.cpp - the workloads (workload.cpp) as a program of its own, for the Python
// tests of the 64-bit lane: with a folder alone, the two runs of the batch that the report and
// the comparison read; with seconds and a size limit, the live trace that the Wine test of
// `jovtrace follow` watches.
//
// Usage: jovtrace_workload FOLDER [SECONDS SIZE_LIMIT]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "workload.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: jovtrace_workload FOLDER [SECONDS SIZE_LIMIT]\n");
    return 2;
  }
  const std::wstring folder(argv[1], argv[1] + std::strlen(argv[1]));
  if (argc == 4) {
    e2e::RunLive(folder, std::atof(argv[2]), std::strtoul(argv[3], nullptr, 10));
    return 0;
  }
  // 40 calls of each routine a side, enough for the rank test; a delay five times the
  // routines' own time.
  e2e::RunBatches(folder, 4, 5);
  return 0;
}
