// generated_run.cpp - a run's trace written through the benchmark's line formats.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>

#include "bench/analyzer/trace_lines.h"
#include "generated_runs.h"

namespace difftest {

std::filesystem::path GeneratedRun(const std::filesystem::path& dir,
                                   const std::vector<Routine>& routines, std::uint32_t seed,
                                   double sigma) {
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0, 1);
  std::vector<std::size_t> order;
  for (std::size_t r = 0; r < routines.size(); ++r) order.insert(order.end(), routines[r].calls, r);
  std::shuffle(order.begin(), order.end(), random);
  jov::bench::Script s(2026, 12, 3, (22LL * 3600 + 15 * 60) * 1000000);
  s.Open(4242, 100, "C:\\runs\\261203 221500 batch.JOV_Log");
  s.Push("Batch.Run");
  for (const std::size_t r : order) {
    s.Advance(7);
    s.Push(routines[r].name);
    s.Advance(
        std::llround(routines[r].medianUs * routines[r].factor * std::exp(sigma * normal(random))));
    s.Pop(-1, 0);
  }
  s.Pop(-1, 0);
  s.Text("Trace Closed.");
  std::filesystem::create_directories(dir);
  std::ofstream out(dir / "261203 221500 batch.JOV_Log", std::ios::binary);
  if (!(out << s.Content())) throw std::runtime_error("cannot write " + dir.string());
  return dir;
}

}  // namespace difftest
