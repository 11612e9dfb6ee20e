// wrap_ring_test.cpp - the wrap trace: the ring keeps the newest whole lines, dumps them
// between banners, hands them to a file trace started later, and survives odd sizes.
#include <cstring>
#include <thread>

#include "support/lane.h"
#include "trace/trace_test_util.h"

using tracetest::AfterPrefix;
using tracetest::ReadLines;
using tracetest::ScopedTempDir;

namespace {

constexpr char kBanner[] = "---- Wrap trace of saved events.";
constexpr char kEnd[] = "---- End of wrap trace.";

void StartRing(JOVDebug& trace, const ScopedTempDir& dir, const wchar_t* name, unsigned long size) {
  tracetest::StartIn(trace, dir, name, size);
}

// Lines of 28 characters: the 22 of the prefix, a text of 4, CR LF.
void WriteNumbered(JOVDebug& trace, int first, int last) {
  for (int i = first; i <= last; ++i) {
    wchar_t text[8];
    std::swprintf(text, 8, L"L%03d", i);
    trace.InsertMsg(text);
  }
}

// The texts between the dump's banners: the reason as it stands, the saved lines without
// their prefix; the saved date lines are left out.
std::vector<std::string> DumpedTexts(const std::vector<std::string>& lines) {
  std::vector<std::string> texts;
  const long begin = tracetest::FindLine(lines, kBanner);
  const long end = tracetest::FindLine(lines, kEnd);
  for (long i = begin + 1; begin >= 0 && i < end; ++i) {
    if (lines[i].compare(0, 5, "Date=") == 0) continue;
    texts.push_back(tracetest::IsPrefixed(lines[i]) ? AfterPrefix(lines[i]) : lines[i]);
  }
  return texts;
}

std::vector<std::string> Numbered(int first, int last) {
  std::vector<std::string> texts;
  for (int i = first; i <= last; ++i) {
    char text[8];
    std::snprintf(text, sizeof text, "L%03d", i);
    texts.push_back(text);
  }
  return texts;
}

}  // namespace

TEST(WrapRing, KeepsTheNewestWholeLinesOldestFirst) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartRing(trace, dir, L"ring", 1024);
  ASSERT_EQ(trace.TraceWrapActive(), 1);
  ASSERT_EQ(trace.TraceActive(), 0);
  WriteNumbered(trace, 1, 40);
  trace.TraceDumpWrap(nullptr);
  const auto files = dir.TraceFiles();
  ASSERT_EQ(files.size(), 1u);
  const auto lines = ReadLines(files[0]);
  EXPECT_EQ(lines[0], tracetest::DateLine());
  EXPECT_NE(AfterPrefix(lines[1]).find("Trace Started."), std::string::npos);
  EXPECT_EQ(lines[2], kBanner);
  EXPECT_EQ(DumpedTexts(lines), Numbered(25, 40));
  EXPECT_EQ(lines.back(), kEnd);
}

TEST(WrapRing, SmallWrapSizeGivesTheSmallestRing) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartRing(trace, dir, L"small", 100);
  WriteNumbered(trace, 1, 40);
  trace.TraceDumpWrap(nullptr);
  EXPECT_EQ(DumpedTexts(ReadLines(dir.TraceFiles().at(0))), Numbered(25, 40));
}

TEST(WrapRing, RecordEndingExactlyAtTheEndIsFollowedByOneAtTheStart) {
  ScopedTempDir dir;
  JOVDebug trace;
  // Leave non-zero bytes where the ring is likely to be placed, so that a missing end mark
  // cannot pass for one.
  void* poison = JOV_MemoryGet(1024, 0, nullptr, 0);
  std::memset(poison, 0xAB, 1024);
  JOV_MemoryFree(poison);
  StartRing(trace, dir, L"exact", 1024);
  // The date line takes 196 bytes; four lines of 100 characters (206-byte records) fill the
  // remaining 824 of the 1020 usable bytes exactly.
  const std::wstring text76(72, L'x');
  for (int i = 1; i <= 4; ++i) trace.InsertMsg((L"E00" + std::to_wstring(i) + text76).c_str());
  trace.InsertMsg(L"next");
  wchar_t reason[] = L"exact fit";
  trace.TraceDumpWrap(reason);
  const auto lines = ReadLines(dir.TraceFiles().at(0));
  const auto texts = DumpedTexts(lines);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[0], "exact fit");
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(texts[i], "E00" + std::to_string(i) + std::string(72, 'x'));
  EXPECT_EQ(texts[5], "next");
}

TEST(WrapRing, LineLongerThanTheRingIsShortenedAndStillEndsTheLine) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartRing(trace, dir, L"long", 1024);
  WriteNumbered(trace, 1, 1);
  trace.InsertMsg(std::wstring(2000, L'w').c_str());
  trace.TraceDumpWrap(nullptr);
  WriteNumbered(trace, 2, 2);
  trace.TraceDumpWrap(nullptr);
  const auto files = dir.TraceFiles();
  ASSERT_EQ(files.size(), 2u);
  const auto texts = DumpedTexts(ReadLines(files[0]));
  // The shortened line fills the whole ring: (1020 - 6) / 2 = 507 characters, CR LF
  // included, so that every older line had to go.
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].size() + 22 + 2, 507u);
  EXPECT_EQ(texts[0].find_first_not_of('w'), std::string::npos);
  EXPECT_EQ(DumpedTexts(ReadLines(files[1])), Numbered(2, 2));
}

TEST(WrapDump, EmptyRingDumpsBannersOnlyAndReasonFollowsTheFirst) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartRing(trace, dir, L"empty", 4096);
  trace.TraceDumpWrap(nullptr);
  auto lines = ReadLines(dir.TraceFiles().at(0));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], kBanner);
  EXPECT_EQ(lines[3], kEnd);

  ScopedTempDir other;
  JOVDebug second;
  StartRing(second, other, L"reason", 4096);
  wchar_t reason[] = L"Because the parser failed";
  second.TraceDumpWrap(reason);
  lines = ReadLines(other.TraceFiles().at(0));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], kBanner);
  EXPECT_EQ(lines[3], "Because the parser failed");
  EXPECT_EQ(lines[4], kEnd);
}

TEST(WrapDump, RingIsEmptiedAndTheWrapTraceGoesOn) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartRing(trace, dir, L"twice", 4096);
  WriteNumbered(trace, 1, 3);
  trace.TraceDumpWrap(nullptr);
  EXPECT_EQ(trace.TraceWrapActive(), 1);
  EXPECT_EQ(trace.TraceActive(), 0);
  WriteNumbered(trace, 4, 5);
  trace.TraceDumpWrap(nullptr);
  const auto files = dir.TraceFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(DumpedTexts(ReadLines(files[0])), Numbered(1, 3));
  EXPECT_EQ(DumpedTexts(ReadLines(files[1])), Numbered(4, 5));
}

TEST(WrapDump, WithoutARingNothingHappens) {
  ScopedTempDir dir;
  JOVDebug trace;
  wchar_t reason[] = L"none";
  trace.TraceDumpWrap(reason);
  tracetest::StartIn(trace, dir, L"file");
  trace.TraceDumpWrap(reason);
  trace.TraceStop(0);
  EXPECT_EQ(dir.TraceFiles().size(), 1u);
  EXPECT_EQ(tracetest::FindLine(ReadLines(dir.TraceFiles().at(0)), kBanner), -1);
}

TEST(WrapDump, UncreatableDumpFileEndsTheWrapTraceAndFreesTheLock) {
  JOV_REQUIRE_THREADS();
  ScopedTempDir dir;
  JOVDebug trace;
  std::wstring path = dir.Join(L"no\\such\\folder");
  trace.TraceStart(&path[0], 2048);
  WriteNumbered(trace, 1, 3);
  trace.TraceDumpWrap(nullptr);
  EXPECT_EQ(trace.TraceWrapActive(), 0);
  std::thread other([&trace] { trace.InsertMsg(L"still possible"); });
  other.join();  // would hang if the dump had kept the lock
  EXPECT_TRUE(dir.Files(L"*").empty());
}

TEST(WrapToFile, FileTraceStartedLaterTakesTheRingAfterItsHeader) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartRing(trace, dir, L"x", 4096);
  WriteNumbered(trace, 1, 3);
  tracetest::StartIn(trace, dir, L"y");
  EXPECT_EQ(trace.TraceWrapActive(), 0);
  EXPECT_EQ(trace.TraceActive(), 1);
  trace.InsertMsg(L"L004");
  trace.TraceStop(1);
  const auto files = dir.TraceFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find(L" y.JOV_Log"), std::wstring::npos);
  const auto lines = ReadLines(files[0]);
  // date and header of the file; the ring's date line and its three lines; the rest
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], tracetest::DateLine());
  EXPECT_NE(AfterPrefix(lines[1]).find("Log File="), std::string::npos);
  EXPECT_EQ(lines[2], tracetest::DateLine());
  EXPECT_EQ(AfterPrefix(lines[3]), "L001");
  EXPECT_EQ(AfterPrefix(lines[5]), "L003");
  EXPECT_EQ(AfterPrefix(lines[6]), "L004");
  EXPECT_EQ(AfterPrefix(lines[7]), "Trace Closed.");
}

TEST(WrapToFile, SecondWrapStartIsIgnored) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartRing(trace, dir, L"x", 4096);
  StartRing(trace, dir, L"y", 8192);
  EXPECT_EQ(tracetest::Narrow(trace.GetTracePath().c_str()), tracetest::Narrow(dir.Join(L"x")));
  WriteNumbered(trace, 1, 200);
  trace.TraceDumpWrap(nullptr);
  const auto texts = DumpedTexts(ReadLines(dir.TraceFiles().at(0)));
  // 4092 usable bytes hold at most 66 records of 62 bytes; 8192 would hold 132.
  EXPECT_LE(texts.size(), 66u);
  EXPECT_GE(texts.size(), 64u);
  EXPECT_EQ(texts.back(), "L200");
}

TEST(WrapStop, EndsTheWrapTraceAndLinesAreDropped) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartRing(trace, dir, L"stop", 2048);
  WriteNumbered(trace, 1, 3);
  trace.TraceWrapStop();
  EXPECT_EQ(trace.TraceWrapActive(), 0);
  trace.InsertMsg(L"dropped");
  trace.TraceDumpWrap(nullptr);
  EXPECT_TRUE(dir.Files(L"*").empty());
}
