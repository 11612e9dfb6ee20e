// line_prefix.cpp - the pieces of a line that the writer adds around the caller's text:
// the local time, the date and thread marker lines, and the time prefix with its interval.
//
// Every line pays for its prefix, so the numbers are written digit by digit rather than
// through a formatting call, which costs several times the rest of a ring line. Each piece
// gives exactly the text of the format it stands for.
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "trace/trace_internal.h"

namespace {

// `value` in decimal with at least `minDigits` digits, as "%.<minDigits>u" writes it.
wchar_t* PutDecimal(wchar_t* out, unsigned long long value, int minDigits) {
  wchar_t digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < minDigits) digits[count++] = L'0';
  while (count > 0) *out++ = digits[--count];
  return out;
}

// A time field as "%.2u" (minDigits 2) or "%.3u" (minDigits 3) writes it; the fields of a
// real time always take the short path.
wchar_t* PutField(wchar_t* out, unsigned value, int minDigits) {
  if (minDigits == 2 && value < 100) {
    out[0] = static_cast<wchar_t>(L'0' + value / 10);
    out[1] = static_cast<wchar_t>(L'0' + value % 10);
    return out + 2;
  }
  if (minDigits == 3 && value < 1000) {
    out[0] = static_cast<wchar_t>(L'0' + value / 100);
    out[1] = static_cast<wchar_t>(L'0' + value / 10 % 10);
    out[2] = static_cast<wchar_t>(L'0' + value % 10);
    return out + 3;
  }
  return PutDecimal(out, value, minDigits);
}

// "%d" of a signed 32-bit value.
wchar_t* PutSigned(wchar_t* out, long value) {
  if (value < 0) *out++ = L'-';
  const unsigned long magnitude =
      value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  return PutDecimal(out, magnitude, 1);
}

// Below this magnitude the interval's double (microseconds / 1000.0) lies within half a
// unit of the third decimal of the exact quotient, so the format's rounding of it gives the
// exact digits. Intervals of 140 years and more are left to the format itself.
constexpr unsigned long long kExactIntervalLimitUs = 1ULL << 52;

// The interval column: intervalUs / 1000.0 as "%#*.*f" writes it with kIntervalWidth and
// kMillisDecimals (microseconds in, so the digits are the microseconds' own).
wchar_t* PutInterval(wchar_t* out, long long intervalUs) {
  using jov::trace::format::kIntervalWidth;
  using jov::trace::format::kMillisDecimals;
  static_assert(kMillisDecimals == 3, "the interval's decimals are its microseconds");
  const bool negative = intervalUs < 0;
  const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(intervalUs)
                                                : static_cast<unsigned long long>(intervalUs);
  if (magnitude >= kExactIntervalLimitUs) {
    wchar_t text[48];
    const int written = std::swprintf(text, 48, L"%#*.*f", kIntervalWidth, kMillisDecimals,
                                      static_cast<double>(intervalUs) / 1000.0);
    for (int i = 0; i < written; ++i) *out++ = text[i];
    return out;
  }
  wchar_t digits[24];
  wchar_t* at = PutDecimal(digits, magnitude, 1 + kMillisDecimals);  // "0" and the decimals
  const int whole = static_cast<int>(at - digits) - kMillisDecimals;
  const int width = whole + 1 + kMillisDecimals + (negative ? 1 : 0);
  for (int pad = width; pad < kIntervalWidth; ++pad) *out++ = L' ';
  if (negative) *out++ = L'-';
  for (int i = 0; i < whole; ++i) *out++ = digits[i];
  *out++ = L'.';
  for (int i = whole; i < whole + kMillisDecimals; ++i) *out++ = digits[i];
  return out;
}

unsigned long long Ticks(const FILETIME& time) {
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTime(unsigned long long ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

constexpr unsigned long long kTicksPerSecond = 10000000;  // of a FILETIME

// The C runtime's date string for a local time: "MM/DD/YY", zero-terminated.
constexpr unsigned kDateChars = 9;
void FormatDate(const SYSTEMTIME& now, wchar_t (&date)[kDateChars]) {
  wchar_t* out = PutField(date, now.wMonth % 100u, 2);
  *out++ = L'/';
  out = PutField(out, now.wDay % 100u, 2);
  *out++ = L'/';
  out = PutField(out, now.wYear % 100u, 2);
  *out = L'\0';
}

}  // namespace

// Choice made here: the local time is the system time (GetSystemTimeAsFileTime, the clock
// that GetLocalTime reads) less the time zone's bias, and the bias (FileTimeToLocalFileTime)
// is read again at the first line of each second of system time rather than for every line:
// the two system calls behind GetLocalTime cost more than all the rest of a ring line. A
// daylight-saving change, which falls on a whole second, shows from its first line on; a new
// time zone setting shows from the next second on. A conversion that fails takes GetLocalTime.
void JOVTraceAccess::LocalTime(JOVDebug& d, SYSTEMTIME& local) {
  FILETIME system;
  ::GetSystemTimeAsFileTime(&system);
  const unsigned long long ticks = Ticks(system);
  const unsigned long long second = ticks / kTicksPerSecond;
  if (second != d.zoneBiasSecond) {
    FILETIME zoned;
    if (!::FileTimeToLocalFileTime(&system, &zoned)) {
      ::GetLocalTime(&local);
      return;
    }
    d.zoneBias = static_cast<long long>(ticks - Ticks(zoned));
    d.zoneBiasSecond = second;
  }
  const FILETIME zoned = FileTime(ticks - static_cast<unsigned long long>(d.zoneBias));
  if (!::FileTimeToSystemTime(&zoned, &local)) ::GetLocalTime(&local);
}

unsigned JOVTraceAccess::FormatPrefix(const SYSTEMTIME& now, long long intervalUs, wchar_t* out) {
  wchar_t* p = PutField(out, now.wHour, 2);
  *p++ = L':';
  p = PutField(p, now.wMinute, 2);
  *p++ = L':';
  p = PutField(p, now.wSecond, 2);
  *p++ = L'.';
  p = PutField(p, now.wMilliseconds, 3);
  *p++ = L' ';
  p = PutInterval(p, intervalUs);
  return static_cast<unsigned>(p - out);
}

void JOVTraceAccess::DateAndThreadLines(JOVDebug& d, const SYSTEMTIME& now) {
  wchar_t date[kDateChars];
  FormatDate(now, date);
  // A fixed-length comparison, terminator included: the compiler inlines it.
  static_assert(sizeof d.lastDate >= sizeof date, "lastDate holds a date string");
  if (std::memcmp(date, d.lastDate, sizeof date) != 0) {
    d.InsertMsgWait();
    std::wcscpy(d.lastDate, date);
    d.lineBuffer = jov::trace::format::wide::kDate;
    d.lineBuffer += date;
    d.lineBuffer.append_char(jov::trace::format::kDateRule, L'=');
    d.lineBuffer += L"\r\n";
    HandOver(d);
  }

  const DWORD thread = ::GetCurrentThreadId();
  if (thread != d.lastThreadId) {
    d.InsertMsgWait();
    d.lastThreadId = thread;
    // "---- ThreadId=%d " of the id taken as a signed number.
    wchar_t line[64];
    wchar_t* out = line;
    for (const wchar_t* c = jov::trace::format::wide::kThread; *c != L'\0'; ++c) *out++ = *c;
    out = PutSigned(out, static_cast<long>(static_cast<int>(thread)));
    *out++ = L' ';
    for (int i = 0; i < jov::trace::format::kThreadRule; ++i) *out++ = L'-';
    *out++ = L'\r';
    *out++ = L'\n';
    d.lineBuffer.assign(line, static_cast<unsigned>(out - line));
    HandOver(d);
  }
}
