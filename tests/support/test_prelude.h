// test_prelude.h - what every test of the library includes first: GoogleTest, the library's
// headers, the standard headers the tests share, the support helpers, and what a test may
// use on the lane it runs on.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <JOVUtil.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"
#include "support/import_patch.h"

namespace jovtest {
// The 32-bit lane runs Wine's 32-bit loader emulated under qemu-i386: a process start costs
// about a minute, a second thread brings the process down (even in a plain program that
// only starts threads), ReadProcessMemory of the process's own memory returns other bytes,
// and the real WNetGetConnectionW has hung it. Cases that need child processes, threads or
// any of these run on the 64-bit lane only.
inline constexpr bool kEmulatedLane = sizeof(void*) == 4;

// A string's characters, embedded nulls included, for comparing with a literal.
inline std::wstring Text(const JOVString& s) { return std::wstring(s.c_str(), s.length()); }
}  // namespace jovtest

// Skips the calling test on the emulated 32-bit lane; `what` names the facility it lacks there.
#define JOV_SKIP_ON_EMULATED_LANE(what) \
  if (::jovtest::kEmulatedLane) GTEST_SKIP() << what << " on the 32-bit lane"
