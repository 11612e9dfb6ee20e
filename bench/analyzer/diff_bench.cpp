// diff_bench.cpp - `jovtrace diff` of two generated traces beside `jovtrace summary` of one of
// them, in the same run: both times, their ratio and the peak memory of each.
// Targets: diff at most 2.5 x summary's time; diff's peak memory under 128 MB.
//
// Usage: jovtrace_diff_bench [size of each trace in MB, default 640 (about a minute here;
//        the figure is 1024)] [folder for the files, default the current one].
//        The files are deleted at the end.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "child_run.h"
#include "analyzer/generator/trace_generator.h"

int main(int argc, char** argv) {
  using jov::bench::Best;
  using jov::bench::Measured;
  using jov::bench::RunChild;
  namespace fs = std::filesystem;
  const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 640;
  const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::current_path();
  const std::uint64_t bytes = megabytes << 20;
  if (fs::space(folder).available < 2 * bytes + (std::uint64_t{1} << 30)) {
    std::fprintf(stderr, "jovtrace_diff_bench: %s lacks room for two traces of %llu MB\n",
                 folder.c_str(), static_cast<unsigned long long>(megabytes));
    return 1;
  }
  // One trace object each, in folders of their own: the two sides of the comparison.
  const fs::path files[2] = {folder / "diff-bench-base" / "261203 221500 nightly.JOV_Log",
                             folder / "diff-bench-new" / "261203 221500 nightly.JOV_Log"};
  for (int side = 0; side < 2; ++side) {
    fs::create_directories(files[side].parent_path());
    std::FILE* out = std::fopen(files[side].c_str(), "wb");
    if (out == nullptr) return 1;
    const jov::generator::Generated generated =
        jov::generator::WriteTrace(out, bytes, 20261203 + side);
    if (std::fclose(out) != 0) return 1;
    ::sync();  // written back before the timing: no side pays for the writing
    std::printf("generated %s: %.0f MB, %llu Pop lines\n", files[side].c_str(),
                generated.bytes / 1e6, static_cast<unsigned long long>(generated.pops));
  }
  const std::string base = files[0].string(), next = files[1].string();
  const char* const summary[] = {JOVTRACE_EXE, "summary", "--quiet", base.c_str(), nullptr};
  const char* const diff[] = {JOVTRACE_EXE, "diff", "--quiet", base.c_str(), next.c_str(), nullptr};
  Measured summaryBest, diffBest;
  for (int round = 0; round < 3; ++round) {  // taking turns, so both see the same cache
    summaryBest = Best(summaryBest, RunChild(summary, "/dev/null"));
    diffBest = Best(diffBest, RunChild(diff, "/dev/null"));
  }
  for (const fs::path& file : files) fs::remove_all(file.parent_path());
  // diff exits 0 or 1 (a routine slower); anything else is a failure.
  if (summaryBest.status != 0 || (diffBest.status != 0 && diffBest.status != 1)) {
    std::fprintf(stderr, "a run failed: summary exit %d, diff exit %d\n", summaryBest.status,
                 diffBest.status);
    return 1;
  }
  std::printf("%-44s %10s %12s\n", "", "seconds", "peak MB");
  std::printf("%-44s %10.2f %12.1f\n", "jovtrace diff (two traces)", diffBest.seconds,
              diffBest.peakKb / 1024.0);
  std::printf("%-44s %10.2f %12.1f\n", "jovtrace summary (one of them, the peer)",
              summaryBest.seconds, summaryBest.peakKb / 1024.0);
  std::printf(
      "ratio diff / summary: %.2f (target at most 2.5); diff's peak memory %.1f MB "
      "(target under 128 MB)\n",
      diffBest.seconds / summaryBest.seconds, diffBest.peakKb / 1024.0);
  return 0;
}
