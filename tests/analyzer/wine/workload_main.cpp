// workload_main.cpp - the reader's end-to-end workloads (workload.cpp) as a program of their
// own, for the Python tests of the 64-bit lane: with a folder alone it writes the traces that
// the report's end-to-end test reads; with seconds and a size limit, the live trace that the
// Wine test of `jovtrace follow` watches.
//
// Usage: jovtrace_workload FOLDER [SECONDS SIZE_LIMIT]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "workload.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: jovtrace_workload FOLDER [SECONDS SIZE_LIMIT]\n");
    return 2;
  }
  std::wstring folder;
  for (const char* c = argv[1]; *c != '\0'; ++c) folder += static_cast<wchar_t>(*c);
  if (argc == 4) {
    e2e::RunLive(folder, std::atof(argv[2]), std::strtoul(argv[3], nullptr, 10));
    return 0;
  }
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const e2e::Done done = e2e::RunWorkload(folder, true);
  std::printf("workload: %d levels closed by an outer Pop\n", done.closedByOuterPop);
  return 0;
}
