// threads_test.cpp - many threads writing through one trace object: every line once,
// whole, in its thread's order, each change of writer marked, also across file
// replacements at the size limit.
#include <thread>

#include "support/lane.h"
#include "trace/trace_test_util.h"

using tracetest::AfterPrefix;
using tracetest::ReadLines;
using tracetest::ScopedTempDir;

namespace {

constexpr int kThreads = 4;
// The 32-bit lane runs under emulation: fewer lines there.
constexpr int kLinesPerThread = sizeof(void*) == 8 ? 10000 : 1000;
const std::string kFiller = " filler text that makes a line of some sixty characters";

struct Outcome {
  int texts = 0;
  int notices = 0;
  int unmarkedChanges = 0;
  int outOfOrder = 0;
  int damaged = 0;
  int missing = 0;
  int files = 0;
};

Outcome WriteAndCheck(unsigned long sizeLimit) {
  ScopedTempDir dir;
  JOVDebug trace;
  tracetest::StartIn(trace, dir, L"threads");
  if (sizeLimit != 0) trace.MaxLogSize(sizeLimit);
  DWORD ids[kThreads] = {};
  std::vector<std::thread> threads;
  for (int k = 0; k < kThreads; ++k) {
    threads.emplace_back([&trace, &ids, k] {
      ids[k] = ::GetCurrentThreadId();
      for (int i = 0; i < kLinesPerThread; ++i) {
        wchar_t head[32];
        std::swprintf(head, 32, L"T%d %06d", k, i);
        trace.InsertMsg((head + tracetest::Widen(kFiller)).c_str());
      }
    });
  }
  for (auto& t : threads) t.join();
  trace.TraceStop(1);

  Outcome outcome;
  std::vector<int> next(kThreads, 0);
  DWORD writer = ::GetCurrentThreadId();
  const auto files = dir.TraceFiles();
  outcome.files = static_cast<int>(files.size());
  for (const std::wstring& file : files) {
    for (const std::string& line : ReadLines(file)) {
      if (line.compare(0, 14, "---- ThreadId=") == 0) {
        writer = std::stoul(line.substr(14));
        continue;
      }
      if (!tracetest::IsPrefixed(line)) continue;
      const std::string text = AfterPrefix(line);
      if (text.find("**** Trace terminated") == 0) {
        ++outcome.notices;
        continue;
      }
      if (text.size() < 9 || text[0] != 'T' || text[2] != ' ') continue;
      const int k = text[1] - '0';
      const int i = std::stoi(text.substr(3, 6));
      ++outcome.texts;
      if (text.size() != 9 + kFiller.size() || text.substr(9) != kFiller) ++outcome.damaged;
      if (k < 0 || k >= kThreads) continue;
      if (ids[k] != writer) ++outcome.unmarkedChanges;
      if (i < next[k]) ++outcome.outOfOrder;
      if (i > next[k]) outcome.missing += i - next[k];
      next[k] = i + 1;
    }
  }
  for (int k = 0; k < kThreads; ++k) outcome.missing += kLinesPerThread - next[k];
  return outcome;
}

}  // namespace

TEST(ThreadedWriting, EveryLineOnceWholeInOrderAndEachChangeOfWriterMarked) {
  JOV_REQUIRE_THREADS();
  const Outcome outcome = WriteAndCheck(0);
  EXPECT_EQ(outcome.files, 1);
  EXPECT_EQ(outcome.texts, kThreads * kLinesPerThread);
  EXPECT_EQ(outcome.missing, 0);
  EXPECT_EQ(outcome.outOfOrder, 0);
  EXPECT_EQ(outcome.damaged, 0);
  EXPECT_EQ(outcome.unmarkedChanges, 0);
}

TEST(ThreadedWriting, FileChainAtTheSizeLimitLosesOnlyTheTextsTheNoticesReplace) {
  JOV_REQUIRE_THREADS();
  const Outcome outcome = WriteAndCheck(sizeof(void*) == 8 ? 300000 : 30000);
  EXPECT_GE(outcome.files, 5);
  EXPECT_EQ(outcome.notices, outcome.files - 1);
  EXPECT_EQ(outcome.missing, outcome.notices);
  EXPECT_EQ(outcome.texts + outcome.notices, kThreads * kLinesPerThread);
  EXPECT_EQ(outcome.outOfOrder, 0);
  EXPECT_EQ(outcome.damaged, 0);
  EXPECT_EQ(outcome.unmarkedChanges, 0);
}
