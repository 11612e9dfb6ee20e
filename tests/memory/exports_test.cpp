// exports_test.cpp - every function and global of the allocator front is exported.
#include <gtest/gtest.h>

#include "support/export_table.h"

TEST(MemoryExports, EveryFunctionAndGlobalIsExported) {
  EXPECT_EQ(jovtest::MissingExports({
                "JOV_MemoryDefine(", "JOV_MemoryGet(", "JOV_MemoryFree(", "JOV_MemoryFreePtr(",
                "JOV_MemoryCompact(", "JOV_MemoryPoolFree(", "JOVMemAllocType", "JOVMemOptions",
                "JOV_MonitorMemory", "JOV_PoolMemBusy", "g_pJOVMemCtl", "hJOVHeap",
                "m_LockMemory"}),
            std::vector<std::string>{});
}
