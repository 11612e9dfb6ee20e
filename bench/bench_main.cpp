// bench_main.cpp - runs the registered rows and prints them beside their peers.
//
//   jovutil_bench [--csv] [substring...]
// The table shows ours, the peer, the speedup (> 1: ours is faster) and, in brackets, how
// ours ran where a row says. --csv prints "name,ours,peer,unit,speedup" lines. Substrings
// select rows by name.
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "bench_harness.h"

namespace jov::bench {
namespace {

std::map<std::string, RowFunction>& Rows() {
  static std::map<std::string, RowFunction> rows;
  return rows;
}

double Speedup(const Row& row) {
  if (row.ours <= 0 || row.peer <= 0) return 0;
  return row.higherIsBetter ? row.ours / row.peer : row.peer / row.ours;
}

}  // namespace

bool RegisterRow(const char* name, RowFunction function) {
  Rows()[name] = function;
  return true;
}

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace jov::bench

int main(int argc, char** argv) {
  bool csv = false;
  std::vector<const char*> filters;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--csv") == 0)
      csv = true;
    else
      filters.push_back(argv[i]);
  }
  if (!csv)
    std::printf("%-22s %14s %14s %-8s %8s  %s\n", "row", "ours", "peer", "unit", "speedup",
                "peer is");
  for (const auto& [name, function] : jov::bench::Rows()) {
    bool selected = filters.empty();
    for (const char* f : filters) selected = selected || std::strstr(name.c_str(), f);
    if (!selected) continue;
    jov::bench::Row row = function();
    row.name = name;
    double speedup = jov::bench::Speedup(row);
    if (csv)
      std::printf("%s,%.4g,%.4g,%s,%.3f\n", name.c_str(), row.ours, row.peer, row.unit.c_str(),
                  speedup);
    else
      std::printf("%-22s %14.4g %14.4g %-8s %8.2f  %s%s%s%s\n", name.c_str(), row.ours, row.peer,
                  row.unit.c_str(), speedup, row.peerName.c_str(), row.note.empty() ? "" : " [",
                  row.note.c_str(), row.note.empty() ? "" : "]");
    std::fflush(stdout);
  }
  return 0;
}
