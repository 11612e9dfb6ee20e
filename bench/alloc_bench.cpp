// alloc_bench.cpp - the allocator front's plain path (runtime heap, no options, no
// monitoring): a JOV_MemoryGet + JOV_MemoryFree pair beside malloc + free, in ns per pair.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <JOVUtil.h>

#include "bench_harness.h"

namespace {

// The plain path is what is measured; another configuration left by an earlier row would
// measure something else, so say so.
void RequirePlainPath() {
  if (JOVMemAllocType == JOVMemAllocNone) JOV_MemoryDefine(JOVMemAllocMalloc, 0, 0);
  if (JOVMemAllocType != JOVMemAllocMalloc || JOV_MonitorMemory != 0 ||
      (JOVMemOptions & (JOVMemOptGuard | JOVMemOptZeroFill)) != 0)
    std::printf("warning: allocator is not on its plain path (strategy %d, options %08lx)\n",
                static_cast<int>(JOVMemAllocType), JOVMemOptions);
}

// Rounds of ours and the peer alternate, and each side keeps its best round, so that a
// drift of the shared machine's load does not favour whichever side runs first.
jovbench::Row PairRow(unsigned long size) {
  RequirePlainPath();
  constexpr long kIterations = 500000;
  constexpr int kRounds = 12;
  auto ours = [size] {
    void* block = JOV_MemoryGet(size, 0, nullptr, 0);
    jovbench::KeepAlive(block);
    JOV_MemoryFree(block);
  };
  auto peer = [size] {
    void* block = std::malloc(size);
    jovbench::KeepAlive(block);
    std::free(block);
  };
  jovbench::Row row;
  row.ours = row.peer = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    row.ours = std::min(row.ours, jovbench::NanosecondsPerCall(ours, kIterations, 1));
    row.peer = std::min(row.peer, jovbench::NanosecondsPerCall(peer, kIterations, 1));
  }
  row.unit = "ns";
  row.higherIsBetter = false;
  row.peerName = "malloc + free";
  return row;
}

}  // namespace

JOV_BENCH_ROW(alloc_64B) { return PairRow(64); }
JOV_BENCH_ROW(alloc_4KiB) { return PairRow(4096); }
