// lane.h - what a test may use on the lane it runs on.
//
// The 32-bit lane runs Wine's 32-bit loader emulated under qemu-i386, where a second thread
// brings the process down (stack-smashing aborts, jumps to garbage) even in a plain program
// that only starts threads, and ReadProcessMemory of the process's own memory returns other
// bytes (qemu does not translate the addresses that system call is given), and the real
// WNetGetConnectionW has hung it. Cases that need any of these run on the 64-bit lane only.
#pragma once

#include <gtest/gtest.h>

namespace jovtest {

inline bool ThreadsAvailable() { return sizeof(void*) == 8; }
inline bool ProcessMemoryReadsWork() { return sizeof(void*) == 8; }
inline bool RealNetworkQueriesWork() { return sizeof(void*) == 8; }

}  // namespace jovtest

// Skips the calling test (or fixture set-up) where threads cannot run.
#define JOV_REQUIRE_THREADS()                                                          \
  do {                                                                                 \
    if (!::jovtest::ThreadsAvailable())                                                \
      GTEST_SKIP() << "threads cannot run on the emulated 32-bit lane";                \
  } while (0)

// Skips the calling test where ReadProcessMemory of the process's own memory is unreliable.
#define JOV_REQUIRE_PROCESS_MEMORY_READS()                                             \
  do {                                                                                 \
    if (!::jovtest::ProcessMemoryReadsWork())                                          \
      GTEST_SKIP() << "ReadProcessMemory misreads on the emulated 32-bit lane";        \
  } while (0)

// Skips the calling test where the system's own networking queries can hang.
#define JOV_REQUIRE_REAL_NETWORK_QUERIES()                                             \
  do {                                                                                 \
    if (!::jovtest::RealNetworkQueriesWork())                                          \
      GTEST_SKIP() << "WNetGetConnectionW can hang the emulated 32-bit lane";          \
  } while (0)
