// write_page_runs.cpp - writes the two runs the page test compares into FOLDER/base and
// FOLDER/new: one routine slower, one faster, one the same, one removed and one added.
//
// Usage: write_page_runs FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "generated_runs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_page_runs FOLDER\n");
    return 2;
  }
  using difftest::Routine;
  const std::vector<Routine> base = {{"Parser.Open", 2000, 200},
                                     {"Net.Send", 5000, 200},
                                     {"Store.Write", 800, 200},
                                     {"Net.Retry", 3000, 100}};
  const std::vector<Routine> next = {{"Parser.Open", 2000, 200, 1.3},
                                     {"Net.Send", 5000, 200, 0.7},
                                     {"Store.Write", 800, 200},
                                     {"Store.Compact", 900, 100}};
  const std::filesystem::path folder = argv[1];
  const std::pair<const char*, const std::vector<Routine>*> sides[] = {{"base", &base},
                                                                       {"new", &next}};
  std::uint32_t seed = 1;
  for (const auto& [name, routines] : sides) {
    std::filesystem::create_directories(folder / name);
    std::ofstream out(folder / name / "261203 221500 batch.JOV_Log", std::ios::binary);
    out << difftest::GeneratedRun(*routines, seed++);
    if (!out) return 1;
  }
  return 0;
}
