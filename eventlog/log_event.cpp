// log_event.cpp - JOV_LogEvent: formats a message record, reports it (event log or
// fallback file) and keeps the process-wide flood window.
#include "JOVPlatform.h"
#include "eventlog/eventlog_internal.h"

volatile long g_LogEntriesCount = 0;
long g_LogEntriesMax = 500;
unsigned long long g_FirstLogMsgTime = 0;
unsigned long long g_LogMsgCancelTime = 14400;

namespace jov::eventlog {

namespace {

constexpr wchar_t kFloodNotice[] = L"**** Process terminated due to too many error messages. ****";
constexpr SIZE_T kFloodNoticeBytes = 256;
constexpr UINT kFloodExitCode = 112;

// Timer seconds, rounded up.
unsigned long long NowSeconds() { return (JOV_TimerValue() + 999999ULL) / 1000000ULL; }

}  // namespace

void ApplyFloodWindow(MessageText& message) {
  // Plain reads and writes: two threads crossing the limit together may both write the
  // notice, which is harmless since the process is about to end.
  if (g_LogEntriesCount == 0) g_FirstLogMsgTime = NowSeconds();
  if (g_LogEntriesCount < g_LogEntriesMax) return;
  const unsigned long long now = NowSeconds();
  if (now - g_FirstLogMsgTime < g_LogMsgCancelTime) {
    auto* notice = static_cast<wchar_t*>(::LocalAlloc(LMEM_ZEROINIT, kFloodNoticeBytes));
    if (notice == nullptr) throw std::bad_alloc();
    ::lstrcpynW(notice, kFloodNotice, kFloodNoticeBytes / sizeof(wchar_t));
    message.Reset(notice);
  } else {
    g_LogEntriesCount = 0;
    g_FirstLogMsgTime = now;
  }
}

void CountEntry() {
  const long count = ::InterlockedIncrement(&g_LogEntriesCount);
  // The notice has just been written: end here, without the caller's clean-up.
  if (count > g_LogEntriesMax) ::ExitProcess(kFloodExitCode);
}

}  // namespace jov::eventlog

void JOV_LogEvent(JOVMsg& msg, const wchar_t* text, const wchar_t* source) {
  using namespace jov::eventlog;
  const InsertionArgs args = CollectInsertions(msg);
  MessageText message;
  FormatMessageText(msg, text, args, message);
  if (message.get() == nullptr) return;  // the formatter gave nothing: nothing to report

  ApplyFloodWindow(message);

  // Declared here so that the source stays registered until the entry is counted.
  EventSource eventSource;
  if (JOV_IsWinNT()) {
    if (!eventSource.Register(source)) return;
    eventSource.Report(msg.eCategory, message.get());
  } else if (!AppendToLogFile(message.get())) {
    return;
  }
  CountEntry();
}

void JOV_LogEvent(JOVMsgCategory category, const wchar_t* text, unsigned long msgId,
                  const wchar_t* source) {
  JOVMsg msg = {};
  msg.eCategory = category;
  msg.dwMsgId = msgId;
  JOV_LogEvent(msg, text, source);
}
