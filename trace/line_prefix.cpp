// line_prefix.cpp - the pieces of a line that the writer adds around the caller's text:
// the date and thread marker lines, and the time prefix with its interval and indentation.
#include <cwchar>

#include "trace/trace_internal.h"

namespace {

// Two decimal digits of value (0..99).
wchar_t* PutTwoDigits(wchar_t* out, unsigned value) {
  out[0] = static_cast<wchar_t>(L'0' + value / 10 % 10);
  out[1] = static_cast<wchar_t>(L'0' + value % 10);
  return out + 2;
}

// The C runtime's date string for a local time: "MM/DD/YY".
void FormatDate(const SYSTEMTIME& now, wchar_t (&date)[9]) {
  wchar_t* out = PutTwoDigits(date, now.wMonth);
  *out++ = L'/';
  out = PutTwoDigits(out, now.wDay);
  *out++ = L'/';
  out = PutTwoDigits(out, now.wYear % 100);
  *out = L'\0';
}

// "%.2u:%.2u:%.2u.%.3u %#8.3f" of the time and the interval in milliseconds, built by hand:
// the interval is a whole number of microseconds, so its three decimals are exact and the
// result is the same text the format gives. Returns the characters written.
unsigned FormatPrefix(const SYSTEMTIME& now, long long intervalUs, wchar_t* out) {
  wchar_t* p = PutTwoDigits(out, now.wHour);
  *p++ = L':';
  p = PutTwoDigits(p, now.wMinute);
  *p++ = L':';
  p = PutTwoDigits(p, now.wSecond);
  *p++ = L'.';
  *p++ = static_cast<wchar_t>(L'0' + now.wMilliseconds / 100 % 10);
  p = PutTwoDigits(p, now.wMilliseconds % 100);
  *p++ = L' ';

  // The interval, right to left: three decimals, the point, the whole milliseconds.
  const bool negative = intervalUs < 0;
  unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(intervalUs)
               : static_cast<unsigned long long>(intervalUs);
  wchar_t digits[32];
  int at = 32;
  for (int i = 0; i < 3; ++i, magnitude /= 10) digits[--at] = static_cast<wchar_t>(L'0' + magnitude % 10);
  digits[--at] = L'.';
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) digits[--at] = L'-';
  for (int width = 32 - at; width < 8; ++width) *p++ = L' ';
  while (at < 32) *p++ = digits[at++];
  return static_cast<unsigned>(p - out);
}

}  // namespace

void JOVTraceAccess::DateAndThreadLines(JOVDebug& d, const SYSTEMTIME& now) {
  wchar_t date[9];
  FormatDate(now, date);
  if (std::wcscmp(date, d.lastDate) != 0) {
    d.InsertMsgWait();
    std::wcscpy(d.lastDate, date);
    d.lineBuffer = L"Date=";
    d.lineBuffer += date;
    d.lineBuffer.append_char(80, L'=');
    d.lineBuffer += L"\r\n";
    HandOver(d);
  }

  const DWORD thread = ::GetCurrentThreadId();
  if (thread != d.lastThreadId) {
    d.InsertMsgWait();
    d.lastThreadId = thread;
    wchar_t head[40];
    std::swprintf(head, 40, L"---- ThreadId=%d ", static_cast<int>(thread));
    d.lineBuffer = head;
    d.lineBuffer.append_char(30, L'-');
    d.lineBuffer += L"\r\n";
    HandOver(d);
  }
}

void JOVTraceAccess::Prefix(JOVDebug& d, const SYSTEMTIME& now, long long intervalUs,
                            long depth, int& stage) {
  wchar_t prefix[128];
  const unsigned length = FormatPrefix(now, intervalUs, prefix);
  d.lineBuffer.assign(prefix, length);
  d.lineBuffer += L' ';
  stage = 500;
  // The routine stack changes depth without the lock; a depth below -1 is never indented
  // to the left.
  const long indentation = depth < -1 ? 0 : (depth + 1) * 4;
  if (indentation > 0) d.lineBuffer.append_char(static_cast<unsigned>(indentation), L' ');
}
