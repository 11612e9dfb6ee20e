// workload_main.cpp - the live workload (workload.cpp) as a program of its own, for the Wine
// test of `jovtrace follow`: it traces through the DLL for SECONDS while follow watches.
//
// Usage: jovtrace_workload FOLDER SECONDS SIZE_LIMIT
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "workload.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: jovtrace_workload FOLDER SECONDS SIZE_LIMIT\n");
    return 2;
  }
  const std::wstring folder(argv[1], argv[1] + std::strlen(argv[1]));
  e2e::RunLive(folder, std::atof(argv[2]), std::strtoul(argv[3], nullptr, 10));
  return 0;
}
