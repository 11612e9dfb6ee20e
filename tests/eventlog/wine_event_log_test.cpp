// wine_event_log_test.cpp - one entry end to end through the platform's own event log:
// Wine shows the reported strings on its debug channel when WINEDEBUG=+eventlog is set.
//
// Wine writes its debug channels to the Unix standard error of the process, which a child
// started by CreateProcessW shares with its parent instead of getting the redirected
// handle. So this child is started through a Unix shell (Wine's own spawn export) with
// that stream sent to a file, and the file is read back.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdio>
#include <string>

#include "support/child_process.h"

namespace {

using UnixSpawn = LONG(__cdecl*)(char* const* argv, int wait);
using UnixFileName = char*(__cdecl*)(const wchar_t* dosName);

std::string UnixPath(UnixFileName toUnix, const std::wstring& dosPath) {
  char* unixName = toUnix(dosPath.c_str());
  if (unixName == nullptr) return std::string();
  std::string result = unixName;
  ::HeapFree(::GetProcessHeap(), 0, unixName);
  return result;
}

struct WineChildResult {
  bool started = false;
  std::string output;  // standard output and Wine's debug output, then "exit=N"
};

// Runs the named child case with the given debug channels, capturing Wine's stream.
WineChildResult RunChildWithWineDebug(const char* caseName, const char* channels) {
  WineChildResult result;
  auto spawn = reinterpret_cast<UnixSpawn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
  auto toUnix = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char loader[MAX_PATH];
  if (spawn == nullptr || toUnix == nullptr ||
      ::GetEnvironmentVariableA("WINELOADER", loader, MAX_PATH) == 0)
    return result;

  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring capture = std::wstring(exe) + L"." + std::to_wstring(::GetCurrentProcessId()) +
                               L".winedebug.txt";
  const std::string exeUnix = UnixPath(toUnix, exe);
  const std::string captureUnix = UnixPath(toUnix, capture);
  std::string script = "WINEDEBUG=\"$3\" \"$0\" \"$1\" --child=\"$2\" >\"$4\" 2>&1; "
                       "echo \"exit=$?\" >>\"$4\"";
  std::string name = caseName, channelText = channels;
  char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), script.data(),
                  loader, const_cast<char*>(exeUnix.c_str()), name.data(), channelText.data(),
                  const_cast<char*>(captureUnix.c_str()), nullptr};
  if (spawn(argv, 1) != 0) return result;
  result.started = true;
  if (FILE* file = ::_wfopen(capture.c_str(), L"rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) result.output.append(buffer, n);
    std::fclose(file);
  }
  ::DeleteFileW(capture.c_str());
  return result;
}

}  // namespace

JOV_CHILD_CASE(ReportThroughThePlatform) {
  JOVLinkAnchor anchor{};
  JOVMsg* msg = JOV_MsgCreate(&anchor, 9, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  JOV_MsgAddInsertion(msg, L"printer");
  JOV_MsgAddInsertion(msg, 3L, 10);
  JOV_LogEvent(*msg, L"the %1 failed %2 times", L"JOVTests");
  JOV_LogEvent(JOVMsgCatWarning, L"paper is low", 2, nullptr);
  JOV_MsgDestroyAll(&anchor);
  return g_LogEntriesCount == 2 ? 0 : 1;
}

TEST(WineEventLog, EntriesReachThePlatformWithTextTypeAndSource) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const WineChildResult child = RunChildWithWineDebug("ReportThroughThePlatform", "+eventlog");
  if (!child.started) GTEST_SKIP() << "not running under Wine";
  EXPECT_NE(child.output.find("exit=0"), std::string::npos) << child.output;
  // The source registered under its given name and under the default name.
  EXPECT_NE(child.output.find("RegisterEventSourceW ((null),L\"JOVTests\")"), std::string::npos)
      << child.output;
  EXPECT_NE(child.output.find("RegisterEventSourceW ((null),L\"JOVMsg\")"), std::string::npos)
      << child.output;
  // Error entries appear as err: lines of the channel, warnings as warn: lines.
  EXPECT_NE(child.output.find("err:eventlog:ReportEventW L\"the printer failed 3 times\""),
            std::string::npos)
      << child.output;
  EXPECT_NE(child.output.find("warn:eventlog:ReportEventW L\"paper is low\""), std::string::npos)
      << child.output;
}
