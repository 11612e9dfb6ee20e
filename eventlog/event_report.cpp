// event_report.cpp - the Windows event log side of JOV_LogEvent: the event source and the
// event type of each message category.
#include "eventlog/eventlog_internal.h"

namespace jov::eventlog {

namespace {
constexpr wchar_t kDefaultSource[] = L"JOVMsg";
// Every entry is event 1: the source's message file shows it as its one insertion string.
constexpr DWORD kEventId = 1;
}  // namespace

WORD EventTypeOf(JOVMsgCategory category) {
  switch (static_cast<int>(category)) {
    case 6:
    case 10:
    case 20:
    case 30:
      return EVENTLOG_INFORMATION_TYPE;
    case 50:
      return EVENTLOG_WARNING_TYPE;
    default:  // 70, 90 and any value the library does not know
      return EVENTLOG_ERROR_TYPE;
  }
}

EventSource::~EventSource() {
  if (handle_ != nullptr) ::DeregisterEventSource(handle_);
}

bool EventSource::Register(const wchar_t* source) {
  const wchar_t* name = (source != nullptr && source[0] != L'\0') ? source : kDefaultSource;
  handle_ = ::RegisterEventSourceW(nullptr, name);
  return handle_ != nullptr;
}

void EventSource::Report(JOVMsgCategory category, const wchar_t* text) {
  const wchar_t* strings[1] = {text};
  ::ReportEventW(handle_, EventTypeOf(category), 0, kEventId, nullptr, 1, 0, strings, nullptr);
}

}  // namespace jov::eventlog
