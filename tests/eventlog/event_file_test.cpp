// event_file_test.cpp - outside the NT family, entries become lines of EventLog.txt beside
// the program: the 24-character local time, a blank, the text, CR LF.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdio>
#include <regex>
#include <string>

#include "event_capture.h"
#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

// The version answers of a system outside the NT family (4.10, platform 1).
BOOL WINAPI NonNtVersion(LPOSVERSIONINFOW info) {
  const DWORD size = info->dwOSVersionInfoSize;
  ::ZeroMemory(info, size);
  info->dwOSVersionInfoSize = size;
  info->dwMajorVersion = 4;
  info->dwMinorVersion = 10;
  info->dwBuildNumber = 2222;
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  return TRUE;
}

std::wstring LogFileBesideProgram() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring result = path;
  return result.substr(0, result.rfind(L'\\') + 1) + L"EventLog.txt";
}

}  // namespace

JOV_CHILD_CASE(NonNtLogsToTheFileBesideTheProgram) {
  jovtest::ScopedImportPatch version("GetVersionExW", reinterpret_cast<const void*>(&NonNtVersion));
  if (JOV_IsWinNT() != 0) return 3;
  EventCapture capture;  // nothing may reach the event log
  JOVLinkAnchor anchor{};
  JOVMsg* msg = JOV_MsgCreate(&anchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  JOV_MsgAddInsertion(msg, L"x");
  JOV_MsgAddInsertion(msg, L"yz");
  JOV_LogEvent(JOVMsgCatInfo, L"first entry", 1, nullptr);
  JOV_LogEvent(*msg, L"%2-%1", L"Ignored Source");
  JOV_MsgDestroyAll(&anchor);
  if (!capture.registered.empty() || !capture.events.empty()) return 4;
  return g_LogEntriesCount == 2 ? 0 : 5;
}

TEST(EventFile, OutsideNtLinesGoToEventLogTxtBesideTheProgram) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const std::wstring path = LogFileBesideProgram();
  ::DeleteFileW(path.c_str());
  const jovtest::ChildResult child = jovtest::RunChild("NonNtLogsToTheFileBesideTheProgram");
  std::string content;
  if (FILE* file = ::_wfopen(path.c_str(), L"rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, n);
    std::fclose(file);
  }
  ::DeleteFileW(path.c_str());
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  // ctime's shape: Www Mmm dd hh:mm:ss yyyy (the day padded with a blank).
  const std::string stamp = "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}";
  const std::regex expected(stamp + " first entry\r\n" + stamp + " yz-x\r\n");
  EXPECT_TRUE(std::regex_match(content, expected)) << content;
}
