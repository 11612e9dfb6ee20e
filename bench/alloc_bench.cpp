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

jov::bench::Row PairRow(unsigned long size) {
  RequirePlainPath();
  constexpr long kIterations = 500000;
  constexpr int kRounds = 12;
  auto ours = [size] {
    void* block = JOV_MemoryGet(size, 0, nullptr, 0);
    jov::bench::KeepAlive(block);
    JOV_MemoryFree(block);
  };
  auto peer = [size] {
    void* block = std::malloc(size);
    jov::bench::KeepAlive(block);
    std::free(block);
  };
  return jov::bench::CompareNanoseconds(ours, peer, kIterations, kRounds, "malloc + free");
}

}  // namespace

JOV_BENCH_ROW(alloc_64B) { return PairRow(64); }
JOV_BENCH_ROW(alloc_4KiB) { return PairRow(4096); }
