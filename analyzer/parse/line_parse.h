// line_parse.h - what one physical line of a trace file is: the bare lines (date and thread
// markers, memory and handle-count lines, size notice, wrap banners), a time-prefixed line
// taken apart into time, interval, indentation and text, or a continuation of the line
// before. Pure functions on a line's bytes; no state.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "analyzer/parse/micros.h"

namespace jov::analyzer {

enum class LineKind : std::uint8_t {
  kEmpty,
  kDate,          // "Date=MM/DD/YY" and 80 "="
  kThread,        // "---- ThreadId=N " and 30 "-"
  kHandleCount,   // "...Process Handle Count=N, ErrorCode=E."
  kMemory,        // "...Memory use changed. Internal Pool=..."
  kSizeNotice,    // "--Trace closed and re-opened due to trace size."
  kWrapBanner,    // "---- Wrap trace of saved events."
  kWrapEnd,       // "---- End of wrap trace."
  kTimed,         // "HH:MM:SS.mmm interval indentation text"
  kContinuation,  // starts with a blank: the next line of a multi-line text
  kOther,
};

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  // kTimed
  std::int32_t timeOfDayMs = 0;  // milliseconds since midnight
  Micros intervalUs = 0;
  std::uint32_t indent = 0;         // blanks after the separator blank
  std::size_t textColumn = 0;       // where the indentation starts (prefix and separator)
  std::string_view afterSeparator;  // indentation and text
  // kDate: days since 1970-01-01
  std::int64_t day = 0;
  // kThread
  std::uint32_t thread = 0;
  // kMemory: pool, pool change, process bytes, process change; kHandleCount: count, error
  std::int64_t values[4] = {0, 0, 0, 0};
};

// Classifies `line` (without its line end). A line that starts like a time prefix but does
// not parse as one is kOther.
void ParseLine(std::string_view line, ParsedLine& out);

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(int year, unsigned month, unsigned day);

// Reads an optionally signed decimal integer at the start of `s` and moves past it. False
// (and `s` unchanged) when no digit is there or the number has more than 18 digits.
bool TakeInteger(std::string_view& s, std::int64_t& value);
// Reads a decimal number with an optional fraction ("-12.345") as microseconds of a value
// in milliseconds, rounding past the third decimal. Same failure rules as TakeInteger.
bool TakeMillisAsMicros(std::string_view& s, Micros& micros);
// Whether `s` starts with `prefix`. Inline, so that a prefix known when compiling is
// compared without a call.
inline bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && std::memcmp(s.data(), prefix.data(), prefix.size()) == 0;
}
// Takes `prefix` off the start of `s`; false (and `s` unchanged) when it is not there.
inline bool TakePrefix(std::string_view& s, std::string_view prefix) {
  if (!StartsWith(s, prefix)) return false;
  s.remove_prefix(prefix.size());
  return true;
}

}  // namespace jov::analyzer
