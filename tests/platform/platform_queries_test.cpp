// platform_queries_test.cpp - the handle test, the fixed answers, the Windows release tests
// and the microsecond timer. Other releases, a failing query and other counters come from
// replacing the DLL's import in fresh processes, before a first call fills a cache.
#include "support/test_prelude.h"

namespace {

// Bit i of an answer word is the answer of kVersionTests[i].
int (*const kVersionTests[])() = {JOV_IsWinNT,    JOV_IsWin2K,   JOV_IsWinXP,       JOV_IsWin2003,
                                  JOV_IsWinVista, JOV_IsWin2008, JOV_IsWin7Or2008R2};
int AnswerBits() {
  int bits = 0;
  for (int i = 0; i < 7; ++i) bits |= kVersionTests[i]() << i;
  return bits;
}

struct Release {
  const char* name;
  DWORD platform, major, minor, build;  // platform 0: the query fails after scribbling
  int bits;                             // NT, 2K, XP, 2003, Vista, 2008, 7/2008R2 from bit 0
};
const Release kReleases[] = {
    {"5_0", 2, 5, 0, 2195, 0b11},
    {"5_1", 2, 5, 1, 2600, 0b111},
    {"5_2", 2, 5, 2, 3790, 0b1111},
    {"6_0_6000", 2, 6, 0, 6000, 0b11111},
    {"6_0_6001", 2, 6, 0, 6001, 0b111111},
    {"6_1_7599", 2, 6, 1, 7599, 0b11111},
    {"6_1_7600", 2, 6, 1, 7600, 0b1011111},
    {"6_2_9200", 2, 6, 2, 9200, 0b11111},
    {"NT_4_0", 2, 4, 0, 1381, 0b1},
    {"nonNT_4_10", 1, 4, 10, 2222, 0},
    {"failing", 0, 10, 0, 0, 0},
};
const Release* release = nullptr;
int versionCalls = 0;
BOOL WINAPI FakeGetVersionExW(OSVERSIONINFOW* info) {
  ++versionCalls;
  info->dwPlatformId = release->platform ? release->platform : 2;
  info->dwMajorVersion = release->major;
  info->dwMinorVersion = release->minor;
  info->dwBuildNumber = release->build;
  return release->platform != 0 && info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOW);
}
class DISABLED_FreshRelease : public testing::TestWithParam<Release> {};

std::vector<long long> counts;  // the replaced counter's or tick count's answers; the last repeats
size_t calls = 0;
long long frequency = 0;
BOOL WINAPI FakeFrequency(LARGE_INTEGER* f) {
  f->QuadPart = frequency;
  return frequency != 0;
}
long long Next() { return counts[std::min(calls++, counts.size() - 1)]; }
BOOL WINAPI FakeCounter(LARGE_INTEGER* c) {
  c->QuadPart = Next();
  return TRUE;
}
DWORD WINAPI FakeTickCount() { return static_cast<DWORD>(Next()); }
struct ReplacedClock {
  jovtest::ScopedImportPatch frequency{"QueryPerformanceFrequency", &FakeFrequency};
  jovtest::ScopedImportPatch counter{"QueryPerformanceCounter", &FakeCounter};
  jovtest::ScopedImportPatch tick{"GetTickCount", &FakeTickCount};
};

}  // namespace

TEST(PlatformQueries, HandleTestFixedAnswersAndTheTimer) {
  EXPECT_EQ(JOV_ValidHandle(nullptr) + JOV_ValidHandle(INVALID_HANDLE_VALUE), 0);
  for (UINT_PTR value : {UINT_PTR{1}, UINT_PTR{4}, ~UINT_PTR{1}})
    EXPECT_EQ(JOV_ValidHandle((void*)value), 1);
  EXPECT_EQ(JOV_IsBigEndian() + fnJOVUtil2(), 42);
  // A null buffer reads as empty (crc32_test.cpp checks the CRC's results).
  EXPECT_EQ(JOV_CRCCompute(0xDEADBEEFul, nullptr, 100), 0xDEADBEEFul);
  EXPECT_EQ(AnswerBits(), 0b1011111);  // Wine answers 6.1 build 7601
  LARGE_INTEGER count, f;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&count);
  EXPECT_LE(static_cast<unsigned long long>(count.QuadPart * 1e6 / f.QuadPart), JOV_TimerValue());
}

// Each test asks once, with the basic record, and answers from its own cache thereafter.
TEST_P(DISABLED_FreshRelease, AnswersByTheReleaseRules) {
  release = &GetParam();
  jovtest::ScopedImportPatch patch("GetVersionExW", &FakeGetVersionExW);
  EXPECT_EQ(AnswerBits(), GetParam().bits) << "bit 0 NT ... bit 6 7/2008R2";
  EXPECT_EQ(AnswerBits(), GetParam().bits);
  EXPECT_EQ(versionCalls, 7);
}
INSTANTIATE_TEST_SUITE_P(Releases, DISABLED_FreshRelease, testing::ValuesIn(kReleases),
                         [](const auto& row) { return std::string(row.param.name); });

// 3 GHz: truncated, the product taken before the quotient (3000003000 would round down to
// 1000000 the other way), a product past 2^64.
FRESH_TEST(Platform, CounterIsScaledProductFirstAndTruncated) {
  frequency = 3000000000LL;
  counts = {3000000000LL - 1, 3000003000LL, 10, 30000000000000LL};
  ReplacedClock clock;
  for (auto expected : {999999ull, 1000001ull, 0ull, 10000000000ull})
    EXPECT_EQ(JOV_TimerValue(), expected);
}

// Without a counter: the tick count in milliseconds, with its wraps at 2^32 counted.
FRESH_TEST(Platform, TickFallbackGrowsAcrossTheTickWrap) {
  counts = {1000, 2000, 2000, 0xFFFFFF00u, 5, 100};
  ReplacedClock clock;
  const unsigned long long wrap = (1ull << 32) * 1000;
  for (auto expected :
       {1000000ull, 2000000ull, 2000000ull, 0xFFFFFF00ull * 1000, wrap + 5000, wrap + 100000})
    EXPECT_EQ(JOV_TimerValue(), expected);
}
