// threads_test.cpp - four threads writing through one trace object: every line once, whole,
// in its thread's order, each change of writer marked, also across the chain of files that
// the size limit makes, where only the texts that the notices replace are lost.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <string>
#include <thread>
#include <vector>

#include "support/lane.h"
#include "trace/trace_files.h"

TEST(TraceThreads, EveryLineOnceWholeInOrderWithEachChangeOfWriterMarked) {
  JOV_SKIP_ON_EMULATED_LANE("threads");
  constexpr int kThreads = 4, kLines = 10000;
  const std::string filler = " filler text that makes a line of some sixty characters";
  for (unsigned long limit : {0ul, 300000ul}) {
    tracetest::ScratchDir dir;
    DWORD ids[kThreads] = {};
    {
      JOVDebug trace;
      tracetest::StartIn(trace, dir, L"threads");
      if (limit) trace.MaxLogSize(limit);
      std::vector<std::thread> threads;
      for (int k = 0; k < kThreads; ++k)
        threads.emplace_back([&, k] {
          ids[k] = ::GetCurrentThreadId();
          for (int i = 0; i < kLines; ++i) trace.InsertMsg((L"T" + std::to_wstring(k) + L" " + std::to_wstring(100000 + i) + std::wstring(filler.begin(), filler.end())).c_str());
        });
      for (auto& thread : threads) thread.join();
    }
    int next[kThreads] = {}, texts = 0, notices = 0, wrong = 0, missing = 0;
    DWORD writer = ::GetCurrentThreadId();
    for (const std::string& text : tracetest::Shape(dir)) {
      if (text.rfind("---- ThreadId=", 0) == 0) writer = std::stoul(text.substr(14));
      notices += text.rfind("**** Trace terminated", 0) == 0;
      if (text[0] != 'T' || text.size() < 3 || text[2] != ' ') continue;
      const int k = text[1] - '0', i = std::stoi(text.substr(3, 6)) - 100000;
      ++texts;
      wrong += k < 0 || k >= kThreads || text.substr(9) != filler || ids[k] != writer || i < next[k];
      missing += i - next[k];
      next[k] = i + 1;
    }
    for (int k = 0; k < kThreads; ++k) missing += kLines - next[k];
    EXPECT_EQ(wrong, 0) << "damaged, unmarked or out of order";
    EXPECT_EQ(missing, notices);
    EXPECT_EQ(texts + notices, kThreads * kLines);
    EXPECT_EQ(tracetest::TraceFiles(dir).size(), limit ? notices + 1 : 1u);
    if (limit) EXPECT_GE(notices, 4);
  }
}
