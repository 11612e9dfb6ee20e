// version_test.cpp - the Windows release tests: Wine's own answers in process, and other
// releases (and a failing query) in child processes whose GetVersionExW is replaced before
// the first test fills its cache.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

using VersionTest = int (*)();
// Bit i of a child's answer word is the answer of kTests[i].
constexpr VersionTest kTests[] = {JOV_IsWinNT,    JOV_IsWin2K,    JOV_IsWinXP,
                                  JOV_IsWin2003,  JOV_IsWinVista, JOV_IsWin2008,
                                  JOV_IsWin7Or2008R2};
constexpr int kTestCount = sizeof kTests / sizeof kTests[0];

int AnswerBits() {
  int bits = 0;
  for (int i = 0; i < kTestCount; ++i) bits |= kTests[i]() << i;
  return bits;
}

// The release the replaced GetVersionExW reports, read from JOVTEST_RELEASE
// ("platform.major.minor.build", or "fail" for a failing call).
struct FakeRelease {
  bool fail = false;
  DWORD platform = 0, major = 0, minor = 0, build = 0;
};
FakeRelease fake;
std::atomic<int> versionCalls{0};
std::atomic<bool> wrongRecordSize{false};
DWORD versionDelayMs = 0;

BOOL WINAPI FakeGetVersionExW(OSVERSIONINFOW* info) {
  ++versionCalls;
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) wrongRecordSize = true;
  if (versionDelayMs) ::Sleep(versionDelayMs);
  if (fake.fail) {
    // A failing call that scribbled first must still read as "no release known".
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->dwMajorVersion = 10;
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwPlatformId = fake.platform;
  info->dwMajorVersion = fake.major;
  info->dwMinorVersion = fake.minor;
  info->dwBuildNumber = fake.build;
  return TRUE;
}

// Child exit code: answer bits 0-6, the number of GetVersionExW calls in bits 8-15, and
// bit 16 when a call was made with another record size than the basic record's.
constexpr int kCallShift = 8;
constexpr int kWrongSizeBit = 1 << 16;

struct Release {
  const char* name;
  const char* setting;
  int expectedBits;  // NT, 2K, XP, 2003, Vista, 2008, 7/2008R2 from bit 0 up
};

const Release kReleases[] = {
    {"5.0", "2.5.0.2195", 0b0000011},
    {"5.1", "2.5.1.2600", 0b0000111},
    {"5.2", "2.5.2.3790", 0b0001111},
    {"6.0 build 6000", "2.6.0.6000", 0b0011111},
    {"6.0 build 6001", "2.6.0.6001", 0b0111111},
    {"6.1 build 7600", "2.6.1.7600", 0b1011111},
    {"6.1 build 7599", "2.6.1.7599", 0b0011111},
    {"6.2 build 9200", "2.6.2.9200", 0b0011111},
    {"10.0 build 19045", "2.10.0.19045", 0b0011111},
    {"non-NT 4.10", "1.4.10.2222", 0b0000000},
    {"NT 4.0", "2.4.0.1381", 0b0000001},
    {"failing query", "fail", 0b0000000},
};

}  // namespace

JOV_CHILD_CASE(VersionFakedRelease) {
  const char* setting = std::getenv("JOVTEST_RELEASE");
  if (!setting) return 255;
  if (std::string(setting) == "fail") {
    fake.fail = true;
  } else {
    unsigned long p, ma, mi, b;
    if (std::sscanf(setting, "%lu.%lu.%lu.%lu", &p, &ma, &mi, &b) != 4) return 254;
    fake = {false, p, ma, mi, b};
  }
  jovtest::ScopedImportPatch patch("GetVersionExW", reinterpret_cast<void*>(&FakeGetVersionExW));
  int bits = AnswerBits();
  if (AnswerBits() != bits) return 253;  // answers must not change once cached
  return bits | versionCalls << kCallShift | (wrongRecordSize ? kWrongSizeBit : 0);
}

// Every test's first call races the others' first calls of the same test; the query is
// slow, so a flag raised before its record is complete would be seen by the racers.
JOV_CHILD_CASE(VersionFirstCallsRace) {
  fake = {false, VER_PLATFORM_WIN32_NT, 6, 0, 6002};
  versionDelayMs = 30;
  jovtest::ScopedImportPatch patch("GetVersionExW", reinterpret_cast<void*>(&FakeGetVersionExW));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&wrong, t] {
      for (int i = 0; i < kTestCount; ++i) {
        int index = (i + t) % kTestCount;
        int expected = (0b0111111 >> index) & 1;
        if (kTests[index]() != expected) ++wrong;
      }
    });
  for (auto& thread : threads) thread.join();
  return wrong.load();
}

TEST(VersionTests, WineReportsWindows7ServicePack1) {
  // Wine answers 6.1 build 7601 on the NT platform.
  EXPECT_EQ(JOV_IsWinNT(), 1);
  EXPECT_EQ(JOV_IsWin2K(), 1);
  EXPECT_EQ(JOV_IsWinXP(), 1);
  EXPECT_EQ(JOV_IsWin2003(), 1);
  EXPECT_EQ(JOV_IsWinVista(), 1);
  EXPECT_EQ(JOV_IsWin2008(), 0);
  EXPECT_EQ(JOV_IsWin7Or2008R2(), 1);
}

TEST(VersionTests, EachReleaseAnswersPerTheReleaseRules) {
  JOV_REQUIRE_CHILD_PROCESSES();
  for (const Release& release : kReleases) {
    jovtest::ChildResult child =
        jovtest::RunChild("VersionFakedRelease", {{"JOVTEST_RELEASE", release.setting}});
    ASSERT_LT(child.exitCode, 0x20000u) << release.name << ": " << child.output;
    EXPECT_EQ(child.exitCode & 0x7F, static_cast<unsigned>(release.expectedBits))
        << release.name << " (bit 0 NT ... bit 6 7/2008R2)";
  }
}

TEST(VersionTests, EachTestQueriesOnceWithTheBasicRecord) {
  JOV_REQUIRE_CHILD_PROCESSES();
  // Seven independent caches: one query per test, however often each is called.
  jovtest::ChildResult child =
      jovtest::RunChild("VersionFakedRelease", {{"JOVTEST_RELEASE", "2.6.0.6001"}});
  ASSERT_LT(child.exitCode, 0x20000u) << child.output;
  EXPECT_EQ((child.exitCode >> kCallShift) & 0xFF, static_cast<unsigned>(kTestCount));
  EXPECT_EQ(child.exitCode & kWrongSizeBit, 0u) << "record size other than OSVERSIONINFOW";
}

TEST(VersionTests, RacingFirstCallsNeverSeeAnUnfilledRecord) {
  JOV_REQUIRE_CHILD_PROCESSES();
  jovtest::ChildResult child = jovtest::RunChild("VersionFirstCallsRace");
  EXPECT_EQ(child.exitCode, 0u) << "wrong answers: " << child.exitCode << "\n" << child.output;
}
