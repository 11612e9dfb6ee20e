// event_report_test.cpp - what JOV_LogEvent hands to the event log (captured by replacing
// the DLL's event-log imports): text, event type, source; when nothing is reported; the
// flood window that ends the process; and the text file that replaces the event log
// outside the NT family.
#include "support/test_prelude.h"

#include <regex>

namespace {

// Every call, as "register NAME|", "report TYPE TEXT|" or "deregister|".
std::string calls;
bool refuseSource = false, printReports = false;

HANDLE WINAPI Register(LPCWSTR server, LPCWSTR source) {
  calls += "register " + std::string(server ? "remote " : "") + jovtest::Narrow(source) + "|";
  return refuseSource ? nullptr : reinterpret_cast<HANDLE>(0x5001);
}
BOOL WINAPI Report(HANDLE h, WORD type, WORD category, DWORD id, PSID sid, WORD count, DWORD bytes,
                   LPCWSTR* strings, LPVOID data) {
  // Event 1 of the registered source, one string and nothing else.
  const bool plain = h == reinterpret_cast<HANDLE>(0x5001) && !category && id == 1 && !sid &&
                     count == 1 && !bytes && !data;
  const std::string report = "report " + std::to_string(type) + (plain ? " " : " odd ") +
                             jovtest::Narrow(strings[0]) + "|";
  if (printReports) std::fputs(report.c_str(), stderr);  // unbuffered: kept when the process ends
  calls += report;
  return TRUE;
}
BOOL WINAPI Deregister(HANDLE) {
  calls += "deregister|";
  return TRUE;
}

struct EventCapture {
  jovtest::ScopedImportPatch registerPatch{"RegisterEventSourceW", &Register};
  jovtest::ScopedImportPatch reportPatch{"ReportEventW", &Report};
  jovtest::ScopedImportPatch deregisterPatch{"DeregisterEventSource", &Deregister};
  EventCapture() {
    calls.clear();
    refuseSource = false;
    g_LogEntriesCount = 0;
  }
};

}  // namespace

TEST(EventReport, TextTypeAndSourceOfEachEntry) {
  EventCapture capture;
  JOVLinkAnchor anchor{};
  JOVMsg* msg = JOV_MsgCreate(&anchor, 77, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  JOV_MsgAddInsertion(msg, L"x");
  JOV_MsgAddInsertion(msg, 255L, 16);
  const unsigned long long second = (JOV_TimerValue() + 999999) / 1000000;
  JOV_LogEvent(*msg, L"%2-%1, %2 again", L"Billing Agent");
  EXPECT_LE(g_FirstLogMsgTime - second, 1u);  // the window starts in timer seconds, rounded up
  g_FirstLogMsgTime = 1;                      // ... and a later entry keeps it
  JOV_LogEvent(JOVMsgCatInfo, L"disk is full", 1234, L"");
  JOVMsg* flat = JOV_MsgExport(&anchor);  // finds its insertions by their offset
  JOV_LogEvent(*flat, L"%1/%2");
  JOV_MsgDestroy(nullptr, flat);
  // A list whose final empty string went missing is read only as far as its byte count,
  // here the end of readable memory.
  auto* pages =
      static_cast<unsigned char*>(::VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
  DWORD access = 0;
  ::VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &access);
  JOVMsg bounded{};
  bounded.cbInsertions = 6 * sizeof(wchar_t);
  bounded.pInsertions = reinterpret_cast<wchar_t*>(pages + 4096 - bounded.cbInsertions);
  std::memcpy(bounded.pInsertions, L"ab\0cd", bounded.cbInsertions);
  JOV_LogEvent(bounded, L"%1-%2");
  ::VirtualFree(pages, 0, MEM_RELEASE);
  EXPECT_EQ(calls,
            "register Billing Agent|report 1 0xff-x, 0xff again|deregister|register JOVMsg|report "
            "4 disk is full|"
            "deregister|register JOVMsg|report 1 x/0xff|deregister|register JOVMsg|report 1 "
            "ab-cd|deregister|");
  EXPECT_EQ(std::make_pair(long{g_LogEntriesCount}, g_FirstLogMsgTime), std::make_pair(4L, 1ULL));
  // Information for 6, 10, 20 and 30, warning for 50, error for anything else.
  calls.clear();
  for (int category : {6, 10, 20, 30, 50, 70, 90, 40, 0, -1})
    JOV_LogEvent(static_cast<JOVMsgCategory>(category), L"t", 1, nullptr);
  EXPECT_EQ(std::regex_replace(calls, std::regex("register JOVMsg.report (.) t.deregister."), "$1"),
            "4444211111");
}

TEST(EventReport, NothingIsReportedOrCountedWithoutATextOrASource) {
  EventCapture capture;
  JOV_LogEvent(JOVMsgCatError, L"value %1", 1, nullptr);  // no insertions: no arguments
  JOV_LogEvent(JOVMsgCatError, nullptr, 7, nullptr);      // an id without a message source
  refuseSource = true;
  JOV_LogEvent(JOVMsgCatError, L"lost", 1, nullptr);
  EXPECT_EQ(calls + std::to_string(g_LogEntriesCount), "register JOVMsg|0");
  // The defaults.
  EXPECT_EQ(std::make_pair(g_LogEntriesMax, g_LogMsgCancelTime), std::make_pair(500L, 14400ULL));
}

// Two entries allowed per window. One of length 0 has always passed, so the third entry
// starts a new one; in the default window the fifth becomes the final notice and ends the
// process with 112.
TEST(DISABLED_ExitEventLog, FloodLimitEndsTheProcess) {
  EventCapture capture;
  printReports = true;
  g_LogEntriesMax = 2;
  g_LogMsgCancelTime = 0;
  for (const wchar_t* text : {L"one", L"two", L"three"})
    JOV_LogEvent(JOVMsgCatInfo, text, 1, nullptr);
  g_LogMsgCancelTime = 14400;
  for (const wchar_t* text : {L"four", L"five"}) JOV_LogEvent(JOVMsgCatWarning, text, 1, nullptr);
  std::printf("STILL ALIVE");
}

TEST(EventReport, EntryPastTheFloodLimitIsTheNoticeThenExit112) {
  JOV_SKIP_ON_EMULATED_LANE("child processes");
  const jovtest::ChildResult child =
      jovtest::RunAlone("DISABLED_ExitEventLog.FloodLimitEndsTheProcess");
  EXPECT_EQ(child.exitCode, 112u) << child.output;
  EXPECT_NE(
      child.output.find("report 4 one|report 4 two|report 4 three|report 2 four|"
                        "report 2 **** Process terminated due to too many error messages. ****|"),
      std::string::npos)
      << child.output;
  EXPECT_EQ(child.output.find("five") + child.output.find("STILL ALIVE"), 2 * std::string::npos)
      << child.output;
}

BOOL WINAPI NonNtVersion(LPOSVERSIONINFOW info) {
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  info->dwMajorVersion = 4;
  return TRUE;
}

// Outside the NT family the narrow formatter runs and each entry is a line of EventLog.txt
// beside the program: the 24-character local time of ctime, a blank, the text, CR LF.
FRESH_TEST(EventLog, OutsideNtLinesGoToEventLogTxtBesideTheProgram) {
  jovtest::ScopedImportPatch version("GetVersionExW", &NonNtVersion);
  EventCapture capture;  // nothing may reach the event log
  wchar_t exe[MAX_PATH];
  std::wstring file(exe, ::GetModuleFileNameW(nullptr, exe, MAX_PATH));
  file = file.substr(0, file.rfind(L'\\') + 1) + L"EventLog.txt";
  ::DeleteFileW(file.c_str());
  JOVLinkAnchor anchor{};
  JOVMsg* msg = JOV_MsgCreate(&anchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  JOV_MsgAddInsertion(msg, L"x\xE9");
  JOV_MsgAddInsertion(msg, L"yz");
  JOV_LogEvent(JOVMsgCatInfo, L"first entry", 1, nullptr);
  JOV_LogEvent(*msg, L"%2-%1", L"Ignored Source");
  JOV_MsgDestroyAll(&anchor);
  const std::string content = jovtest::ReadBytes(file);
  ::DeleteFileW(file.c_str());
  EXPECT_EQ(calls + std::to_string(g_LogEntriesCount), "2");
  const std::string stamp =
      "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}";
  EXPECT_TRUE(
      std::regex_match(content, std::regex(stamp + " first entry\r\n" + stamp + " yz-x\xE9\r\n")))
      << content;
}
