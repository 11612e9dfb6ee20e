// flood_window_test.cpp - the process-wide flood limit, in child processes: the entry past
// the limit becomes the final notice and ends the process; a window of length 0 never does.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdio>
#include <string>

#include "event_capture.h"
#include "support/child_process.h"

namespace {

constexpr char kNotice[] = "**** Process terminated due to too many error messages. ****";

// Prints each captured report as "REPORT <type> <text>|" at once: the process may end
// inside the next call.
void PrintReport(const CapturedEvent& e) {
  std::string line;
  for (wchar_t c : e.strings.empty() ? std::wstring() : e.strings[0])
    line += static_cast<char>(c);
  std::printf("REPORT %u %s|", static_cast<unsigned>(e.type), line.c_str());
  std::fflush(stdout);
}

}  // namespace

JOV_CHILD_CASE(FloodLimitEndsTheProcess) {
  EventCapture capture;
  EventCapture::onReport = &PrintReport;
  g_LogEntriesMax = 2;
  JOV_LogEvent(JOVMsgCatInfo, L"entry one", 1, nullptr);
  JOV_LogEvent(JOVMsgCatInfo, L"entry two", 1, nullptr);
  JOV_LogEvent(JOVMsgCatInfo, L"entry three", 1, nullptr);
  std::printf("STILL ALIVE|");
  return 0;
}

JOV_CHILD_CASE(ZeroWindowRestartsInsteadOfEnding) {
  EventCapture capture;
  EventCapture::onReport = &PrintReport;
  g_LogEntriesMax = 2;
  g_LogMsgCancelTime = 0;
  const wchar_t* texts[] = {L"e1", L"e2", L"e3", L"e4", L"e5"};
  for (const wchar_t* text : texts) JOV_LogEvent(JOVMsgCatWarning, text, 1, nullptr);
  std::printf("COUNT %ld|", g_LogEntriesCount);
  return 0;
}

TEST(FloodWindow, EntryPastTheLimitIsTheNoticeThenExit112) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const jovtest::ChildResult child = jovtest::RunChild("FloodLimitEndsTheProcess");
  EXPECT_EQ(child.exitCode, 112u) << child.output;
  const std::string expected = std::string("REPORT 4 entry one|REPORT 4 entry two|REPORT 4 ") +
                               kNotice + "|";
  EXPECT_NE(child.output.find(expected), std::string::npos) << child.output;
  EXPECT_EQ(child.output.find("entry three"), std::string::npos) << child.output;
  EXPECT_EQ(child.output.find("STILL ALIVE"), std::string::npos) << child.output;
}

TEST(FloodWindow, ZeroLengthWindowNeverEndsTheProcess) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const jovtest::ChildResult child = jovtest::RunChild("ZeroWindowRestartsInsteadOfEnding");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  EXPECT_NE(child.output.find("REPORT 2 e1|REPORT 2 e2|REPORT 2 e3|REPORT 2 e4|REPORT 2 e5|"),
            std::string::npos)
      << child.output;
  EXPECT_EQ(child.output.find("terminated"), std::string::npos) << child.output;
  // Entries 3 and 5 each found the limit reached and restarted the window as its entry 1.
  EXPECT_NE(child.output.find("COUNT 1|"), std::string::npos) << child.output;
}
