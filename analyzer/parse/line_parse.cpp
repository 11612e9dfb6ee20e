// line_parse.cpp - classification of a physical line and the number readers it uses.
#include "analyzer/parse/line_parse.h"

#include "trace/trace_format.h"

namespace jov::analyzer {
namespace {

namespace format = jov::trace::format;
constexpr std::string_view kDate = format::kDate;
constexpr std::string_view kThread = format::kThread;
constexpr std::string_view kHandle = format::kHandleCount;
constexpr std::string_view kMemory = format::kMemory;

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline int TwoDigits(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

bool FixedInterval(std::string_view s, ParsedLine& out);
bool GeneralInterval(std::string_view s, ParsedLine& out);
void CountIndent(ParsedLine& out);

// "HH:MM:SS.mmm " then the interval right-aligned in at least 8 columns, then the separator.
bool ParseTimed(std::string_view s, ParsedLine& out) {
  if (s.size() < format::kTimeChars + 1 + format::kIntervalWidth) return false;
  const char* p = s.data();
  if (!(IsDigit(p[0]) && IsDigit(p[1]) && p[2] == ':' && IsDigit(p[3]) && IsDigit(p[4]) &&
        p[5] == ':' && IsDigit(p[6]) && IsDigit(p[7]) && p[8] == '.' && IsDigit(p[9]) &&
        IsDigit(p[10]) && IsDigit(p[11]) && p[12] == ' ')) {
    return false;
  }
  const int hours = TwoDigits(p);
  const int minutes = TwoDigits(p + 3);
  const int seconds = TwoDigits(p + 6);
  if (hours > 23 || minutes > 59 || seconds > 59) return false;
  out.timeOfDayMs =
      ((hours * 60 + minutes) * 60 + seconds) * 1000 + (p[9] - '0') * 100 + TwoDigits(p + 10);
  if (!FixedInterval(s, out)) return GeneralInterval(s, out);
  CountIndent(out);
  return true;
}

// The writer's own interval: right-aligned in exactly kIntervalWidth columns with three
// decimals, then the separator blank; read in place. Anything else takes the general path.
bool FixedInterval(std::string_view s, ParsedLine& out) {
  constexpr std::size_t kStart = format::kTimeChars + 1;
  constexpr std::size_t kPoint = kStart + format::kIntervalWidth - 1 - format::kMillisDecimals;
  constexpr std::size_t kSeparator = kStart + format::kIntervalWidth;
  const char* p = s.data();
  if (s.size() <= kSeparator || p[kSeparator] != ' ' || p[kPoint] != '.' ||
      !IsDigit(p[kPoint + 1]) || !IsDigit(p[kPoint + 2]) || !IsDigit(p[kPoint + 3])) {
    return false;
  }
  std::size_t i = kStart;
  while (i < kPoint && p[i] == ' ') ++i;
  const bool negative = i < kPoint && p[i] == '-';
  i += negative;
  if (i == kPoint) return false;
  Micros whole = 0;
  for (; i < kPoint; ++i) {
    if (!IsDigit(p[i])) return false;
    whole = whole * 10 + (p[i] - '0');
  }
  const Micros value = whole * 1000 + (p[kPoint + 1] - '0') * 100 + (p[kPoint + 2] - '0') * 10 +
                       (p[kPoint + 3] - '0');
  out.intervalUs = negative ? -value : value;
  out.textColumn = kSeparator + 1;
  out.afterSeparator = s.substr(kSeparator + 1);
  return true;
}

void CountIndent(ParsedLine& out) {
  std::uint32_t indent = 0;
  while (indent < out.afterSeparator.size() && out.afterSeparator[indent] == ' ') ++indent;
  out.indent = indent;
  out.kind = LineKind::kTimed;
}

bool GeneralInterval(std::string_view s, ParsedLine& out) {
  std::string_view rest = s.substr(13);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (!TakeMillisAsMicros(rest, out.intervalUs)) return false;
  if (!rest.empty() && rest.front() != ' ') return false;
  out.textColumn = s.size() - rest.size() + (rest.empty() ? 0 : 1);
  out.afterSeparator = rest.empty() ? rest : rest.substr(1);
  CountIndent(out);
  return true;
}

bool ParseDate(std::string_view s, ParsedLine& out) {
  s.remove_prefix(kDate.size());
  if (s.size() < 8 || !IsDigit(s[0]) || !IsDigit(s[1]) || s[2] != '/' || !IsDigit(s[3]) ||
      !IsDigit(s[4]) || s[5] != '/' || !IsDigit(s[6]) || !IsDigit(s[7])) {
    return false;
  }
  const int month = TwoDigits(s.data());
  const int day = TwoDigits(s.data() + 3);
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  // The C runtime's date string has a two-digit year.
  out.day = DaysFromCivil(2000 + TwoDigits(s.data() + 6), static_cast<unsigned>(month),
                          static_cast<unsigned>(day));
  out.kind = LineKind::kDate;
  return true;
}

bool ParseThread(std::string_view s, ParsedLine& out) {
  s.remove_prefix(kThread.size());
  std::int64_t id = 0;
  if (!TakeInteger(s, id) || s.empty() || s.front() != ' ') return false;
  // "%d" of a 32-bit id: ids past 2^31 print negative.
  out.thread = static_cast<std::uint32_t>(id);
  out.kind = LineKind::kThread;
  return true;
}

// "%d, ErrorCode=%d."
bool ParseHandleCount(std::string_view s, ParsedLine& out) {
  s.remove_prefix(kHandle.size());
  if (!TakeInteger(s, out.values[0]) || !TakePrefix(s, format::kHandleError) ||
      !TakeInteger(s, out.values[1])) {
    return false;
  }
  out.kind = LineKind::kHandleCount;
  return true;
}

// "%I64d, Change=%+I64d. Process Bytes Allocated=%d, Change=%+d"
bool ParseMemory(std::string_view s, ParsedLine& out) {
  s.remove_prefix(kMemory.size());
  if (!TakeInteger(s, out.values[0]) || !TakePrefix(s, format::kChange) ||
      !TakeInteger(s, out.values[1]) || !TakePrefix(s, format::kProcessBytes) ||
      !TakeInteger(s, out.values[2]) || !TakePrefix(s, format::kChange) ||
      !TakeInteger(s, out.values[3])) {
    return false;
  }
  out.kind = LineKind::kMemory;
  return true;
}

}  // namespace

std::int64_t DaysFromCivil(int year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const auto yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<std::int64_t>(era) * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool TakeInteger(std::string_view& s, std::int64_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  const std::size_t first = i;
  std::int64_t v = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (i - first == 18) return false;
    v = v * 10 + (s[i++] - '0');
  }
  if (i == first) return false;
  value = negative ? -v : v;
  s.remove_prefix(i);
  return true;
}

bool TakeMillisAsMicros(std::string_view& s, Micros& micros) {
  // The writer's own form first ("%.3f": digits, a point, exactly three decimals), read in
  // one pass; anything else takes the general path below.
  {
    const char* p = s.data();
    const char* const end = p + s.size();
    const bool negative = p < end && *p == '-';
    p += negative;
    const char* const first = p;
    std::int64_t whole = 0;
    while (p < end && IsDigit(*p) && p - first < 15) whole = whole * 10 + (*p++ - '0');
    if (p > first && end - p >= 4 && p[0] == '.' && IsDigit(p[1]) && IsDigit(p[2]) &&
        IsDigit(p[3]) && (end - p == 4 || !IsDigit(p[4]))) {
      const Micros value = whole * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
      micros = negative ? -value : value;
      s.remove_prefix(static_cast<std::size_t>(p + 4 - s.data()));
      return true;
    }
  }
  std::string_view rest = s;
  const bool negative = !rest.empty() && rest.front() == '-';
  std::int64_t whole = 0;
  if (!TakeInteger(rest, whole)) return false;
  if (whole < 0) whole = -whole;
  // No interval the writer prints comes near this; beyond it the microseconds would overflow.
  if (whole > (INT64_MAX - 1000) / 1000) return false;
  std::int64_t fraction = 0;
  if (!rest.empty() && rest.front() == '.') {
    rest.remove_prefix(1);
    int digits = 0;
    bool roundUp = false;
    while (!rest.empty() && IsDigit(rest.front())) {
      if (digits < 3) {
        fraction = fraction * 10 + (rest.front() - '0');
      } else if (digits == 3) {
        roundUp = rest.front() >= '5';
      }
      ++digits;
      rest.remove_prefix(1);
    }
    for (; digits < 3; ++digits) fraction *= 10;
    fraction += roundUp;
  }
  const Micros value = whole * 1000 + fraction;
  micros = negative ? -value : value;
  s = rest;
  return true;
}

void ParseLine(std::string_view s, ParsedLine& out) {
  out.kind = LineKind::kOther;
  if (s.empty()) {
    out.kind = LineKind::kEmpty;
    return;
  }
  switch (s.front()) {
    case '0':
    case '1':
    case '2':
      ParseTimed(s, out);
      return;
    case ' ':
      out.kind = LineKind::kContinuation;
      return;
    case 'D':
      if (s.substr(0, kDate.size()) == kDate) ParseDate(s, out);
      return;
    case '-':
      if (s.substr(0, kThread.size()) == kThread) {
        ParseThread(s, out);
      } else if (s == format::kSizeNotice) {
        out.kind = LineKind::kSizeNotice;
      } else if (s == format::kWrapBanner) {
        out.kind = LineKind::kWrapBanner;
      } else if (s == format::kWrapEnd) {
        out.kind = LineKind::kWrapEnd;
      }
      return;
    case '.':
      if (s.substr(0, kMemory.size()) == kMemory) {
        ParseMemory(s, out);
      } else if (s.substr(0, kHandle.size()) == kHandle) {
        ParseHandleCount(s, out);
      }
      return;
    default:
      return;
  }
}

}  // namespace jov::analyzer
