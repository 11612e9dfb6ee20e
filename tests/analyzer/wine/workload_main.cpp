// workload_main.cpp - the reader's end-to-end workload (wine/workload.cpp) as a program of its
// own: it writes real trace files through the DLL into a folder, for the report's end-to-end
// test to read.
//
// Usage: jovtrace_report_workload FOLDER
#include <windows.h>

#include <cstdio>
#include <string>

#include "workload.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: jovtrace_report_workload FOLDER\n");
    return 2;
  }
  std::wstring folder;
  for (const char* c = argv[1]; *c != '\0'; ++c) folder += static_cast<wchar_t>(*c);
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const e2e::Done done = e2e::RunWorkload(folder, true);
  std::printf("workload: %d levels closed by an outer Pop\n", done.closedByOuterPop);
  return 0;
}
