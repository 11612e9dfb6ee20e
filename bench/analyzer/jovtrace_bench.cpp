// jovtrace_bench.cpp - throughput and peak memory of `jovtrace summary` over a generated
// trace of at least 1 GB, beside `grep -c -F 'Pop  '` on the same file in the same run.
// Targets: at least grep's MB/s; peak memory under 64 MB whatever the size.
//
// Usage: jovtrace_bench [size in MB, default 1100] [folder for the file, default the
//        current one] [keep]. The file is deleted at the end unless "keep" is given.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "trace/trace_format.h"
#include "child_run.h"
#include "analyzer/generator/trace_generator.h"

int main(int argc, char** argv) {
  using jov::bench::Best;
  using jov::bench::Measured;
  using jov::bench::RunChild;
  namespace fs = std::filesystem;
  const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1100;
  const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::current_path();
  const bool keep = argc > 3 && std::string(argv[3]) == "keep";
  const std::uint64_t bytes = megabytes << 20;
  const fs::space_info space = fs::space(folder);
  if (space.available < bytes + (std::uint64_t{2} << 30)) {
    std::fprintf(stderr, "jovtrace_bench: %s has %.1f GB free; %.1f GB and 2 GB spare needed\n",
                 folder.c_str(), space.available / 1e9, bytes / 1e9);
    return 1;
  }
  const fs::path file = folder / "261203 221500 nightly.JOV_Log";
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return 1;
  const auto genStart = std::chrono::steady_clock::now();
  const jov::generator::Generated generated = jov::generator::WriteTrace(out, bytes, 20261203);
  std::fclose(out);
  // Written back to the disk before the timing: neither side should pay for the writing.
  ::sync();
  const double genSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - genStart).count();
  std::printf("generated %s: %.0f MB, %llu lines, %llu Pop lines (%.1f s)\n", file.c_str(),
              generated.bytes / 1e6, static_cast<unsigned long long>(generated.lines),
              static_cast<unsigned long long>(generated.pops), genSeconds);

  const std::string path = file.string();
  const char* const grep[] = {"grep", "-c", "-F", jov::trace::format::kPop, path.c_str(), nullptr};
  const char* const summary[] = {JOVTRACE_EXE, "summary", "--quiet", path.c_str(), nullptr};
  const std::string grepOut = (folder / "bench-grep.txt").string();
  const std::string oursOut = (folder / "bench-summary.txt").string();
  Measured grepBest, oursBest;
  for (int round = 0; round < 3; ++round) {
    grepBest = Best(grepBest, RunChild(grep, grepOut));
    oursBest = Best(oursBest, RunChild(summary, oursOut));
  }
  if (!keep) fs::remove(file);
  std::FILE* counted = std::fopen(grepOut.c_str(), "r");
  unsigned long long grepCount = 0;
  if (counted == nullptr || std::fscanf(counted, "%llu", &grepCount) != 1 ||
      grepCount != generated.pops) {
    std::fprintf(stderr, "grep counted %llu Pop lines, the generator wrote %llu\n", grepCount,
                 static_cast<unsigned long long>(generated.pops));
    return 1;
  }
  std::fclose(counted);
  fs::remove(grepOut);
  fs::remove(oursOut);
  if (oursBest.status != 0) {
    std::fprintf(stderr, "jovtrace summary failed (exit %d)\n", oursBest.status);
    return 1;
  }
  const double mb = generated.bytes / 1e6;
  const double ours = mb / oursBest.seconds;
  const double peer = mb / grepBest.seconds;
  std::printf("%-34s %10s %10s %12s\n", "", "MB/s", "seconds", "peak MB");
  std::printf("%-34s %10.0f %10.2f %12.1f\n", "jovtrace summary", ours, oursBest.seconds,
              oursBest.peakKb / 1024.0);
  const std::string peerRow = std::string("grep -c -F '") + jov::trace::format::kPop + "' (peer)";
  std::printf("%-34s %10.0f %10.2f %12.1f\n", peerRow.c_str(), peer, grepBest.seconds,
              grepBest.peakKb / 1024.0);
  std::printf(
      "ratio jovtrace / grep: %.2f (target at least 1.00); peak memory %.1f MB "
      "(target under 64 MB)\n",
      ours / peer, oursBest.peakKb / 1024.0);
  return 0;
}
