// write_page_runs.cpp - writes the two runs the page test compares into FOLDER/base and
// FOLDER/new: one routine slower, one faster, one the same, one removed and one added.
//
// Usage: write_page_runs FOLDER
#include <cstdio>

#include "generated_runs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_page_runs FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  difftest::GeneratedRun(folder / "base",
                         {{"Parser.Open", 2000, 200},
                          {"Net.Send", 5000, 200},
                          {"Store.Write", 800, 200},
                          {"Net.Retry", 3000, 100}},
                         1);
  difftest::GeneratedRun(folder / "new",
                         {{"Parser.Open", 2000, 200, 1.3},
                          {"Net.Send", 5000, 200, 0.7},
                          {"Store.Write", 800, 200},
                          {"Store.Compact", 900, 100}},
                         2);
  return 0;
}
