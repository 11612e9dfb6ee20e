// lane.h - what a test may use on the lane it runs on.
//
// The 32-bit lane runs Wine's 32-bit loader emulated under qemu-i386, where a second thread
// brings the process down (stack-smashing aborts, jumps to garbage) even in a plain program
// that only starts threads. Cases that start threads run on the 64-bit lane only.
#pragma once

#include <gtest/gtest.h>

namespace jovtest {

inline bool ThreadsAvailable() { return sizeof(void*) == 8; }

}  // namespace jovtest

// Skips the calling test (or fixture set-up) where threads cannot run.
#define JOV_REQUIRE_THREADS()                                                          \
  do {                                                                                 \
    if (!::jovtest::ThreadsAvailable())                                                \
      GTEST_SKIP() << "threads cannot run on the emulated 32-bit lane";                \
  } while (0)
