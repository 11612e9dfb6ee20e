// line_text.cpp - readers of the library's own line texts.
#include "analyzer/parse/line_text.h"

#include <cstring>

#include "analyzer/parse/line_parse.h"
#include "trace/trace_format.h"

namespace jov::analyzer {
namespace {

namespace format = jov::trace::format;
constexpr std::string_view kPush = format::kPush;
constexpr std::string_view kPop = format::kPop;
constexpr std::string_view kDetailGap = format::kDetailGap;
constexpr std::string_view kDur = format::kDuration;
constexpr std::string_view kMsecs = format::kMsecs;
constexpr std::string_view kReturnCode = format::kReturnCode;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         std::memcmp(s.data() + s.size() - suffix.size(), suffix.data(), suffix.size()) == 0;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

}  // namespace

bool ParsePush(std::string_view text, PushText& out) {
  if (!TakePrefix(text, kPush)) return false;
  const std::size_t gap = text.find(kDetailGap);
  out.name = text.substr(0, gap);
  out.detail =
      gap == std::string_view::npos ? std::string_view() : text.substr(gap + kDetailGap.size());
  return true;
}

namespace {

// The writer's own Pop line, read from its right end: "  Dur=" and "%.3f" milliseconds before
// " msecs", and before them " Return Code=" and a decimal code or nothing. False for anything
// else, which the general reading below takes apart.
bool FastPop(std::string_view text, PopText& out) {
  const char* const begin = text.data();
  const char* p = begin + text.size();
  if (p - begin < 5 || p[-4] != '.' || !IsDigit(p[-1]) || !IsDigit(p[-2]) || !IsDigit(p[-3]))
    return false;
  const Micros fraction = (p[-3] - '0') * 100 + (p[-2] - '0') * 10 + (p[-1] - '0');
  p -= 4;
  const char* const wholeEnd = p;
  while (p > begin && IsDigit(p[-1]) && wholeEnd - p < 15) --p;
  if (p == wholeEnd) return false;
  Micros whole = 0;
  for (const char* d = p; d < wholeEnd; ++d) whole = whole * 10 + (*d - '0');
  const bool negative = p > begin && p[-1] == '-';
  p -= negative;
  const std::string_view before(begin, static_cast<std::size_t>(p - begin));
  if (!EndsWith(before, kDur)) return false;
  out.duration = negative ? -(whole * 1000 + fraction) : whole * 1000 + fraction;
  p -= kDur.size();
  // The return code: digits, a sign, " Return Code=" before them.
  const char* const codeEnd = p;
  while (p > begin && IsDigit(p[-1]) && codeEnd - p <= 18) --p;
  out.hasReturnCode = false;
  if (p != codeEnd && codeEnd - p <= 18) {
    const char* sign = p;
    if (sign > begin && (sign[-1] == '-' || sign[-1] == '+')) --sign;
    const std::string_view head(begin, static_cast<std::size_t>(sign - begin));
    if (EndsWith(head, kReturnCode)) {
      std::int64_t code = 0;
      for (const char* d = p; d < codeEnd; ++d) code = code * 10 + (*d - '0');
      out.hasReturnCode = true;
      out.returnCode = *sign == '-' ? -code : code;
      out.name = head.substr(0, head.size() - kReturnCode.size());
      return true;
    }
  }
  out.name = std::string_view(begin, static_cast<std::size_t>(codeEnd - begin));
  return true;
}

}  // namespace

PopParse ParsePop(std::string_view text, PopText& out) {
  if (!TakePrefix(text, kPop)) return PopParse::kNotPop;
  if (text.empty()) return PopParse::kBare;
  if (!EndsWith(text, kMsecs)) return PopParse::kBroken;
  text.remove_suffix(kMsecs.size());
  if (FastPop(text, out)) return PopParse::kOk;
  const std::size_t dur = text.rfind(kDur);
  if (dur == std::string_view::npos) return PopParse::kBroken;
  std::string_view number = text.substr(dur + kDur.size());
  if (!TakeMillisAsMicros(number, out.duration) || !number.empty()) return PopParse::kBroken;
  text = text.substr(0, dur);
  out.hasReturnCode = false;
  const std::size_t code = text.rfind(kReturnCode);
  if (code != std::string_view::npos) {
    std::string_view digits = text.substr(code + kReturnCode.size());
    std::int64_t value = 0;
    if (TakeInteger(digits, value) && digits.empty()) {
      out.hasReturnCode = true;
      out.returnCode = value;
      text = text.substr(0, code);
    }
  }
  out.name = text;
  return PopParse::kOk;
}

bool PushMatchesPop(std::string_view pushNameAndDetail, std::string_view popName) {
  if (pushNameAndDetail.substr(0, popName.size()) != popName) return false;
  const std::string_view rest = pushNameAndDetail.substr(popName.size());
  return rest.empty() || rest.substr(0, kDetailGap.size()) == kDetailGap;
}

bool ParseHeader(std::string_view text, HeaderText& out) {
  if (!TakePrefix(text, format::kHeader)) return false;
  // The user id may hold anything; the fields after it are found from its end.
  const std::size_t pid = text.find(format::kHeaderProcess);
  if (pid == std::string_view::npos) return false;
  out.userId = text.substr(0, pid);
  text.remove_prefix(pid + std::string_view(format::kHeaderProcess).size());
  std::int64_t value = 0;
  if (!TakeInteger(text, value)) return false;
  out.processId = static_cast<std::uint32_t>(value);
  if (!TakePrefix(text, format::kHeaderThread) || !TakeInteger(text, value)) return false;
  out.threadId = static_cast<std::uint32_t>(value);
  if (!TakePrefix(text, format::kHeaderLogFile)) return false;
  out.logFile = text;
  return true;
}

bool IsDumpLine(std::string_view text) {
  std::size_t digits;
  if (text.size() == 64) {
    digits = 8;
  } else if (text.size() == 72) {
    digits = 16;
  } else {
    return false;
  }
  for (std::size_t i = 0; i < digits; ++i)
    if (!IsHex(text[i])) return false;
  return text[digits] == ' ' && text[digits + 1] == ' ' && text[text.size() - 18] == '*' &&
         text.back() == '*';
}

bool IsHeapReportTitle(std::string_view text) {
  return text == format::kHeapTitleCompressed || text == format::kHeapTitleDetailed;
}

bool IsHeapReportEnd(std::string_view text) {
  return text == format::kHeapEndComplete || text == format::kHeapEndFull;
}

bool ParseVirtualMemory(std::string_view text, std::int64_t& committed) {
  if (!TakePrefix(text, format::kVirtualMemory)) return false;
  std::int64_t free = 0;
  return TakeInteger(text, free) && TakePrefix(text, format::kVirtualCommitted) &&
         TakeInteger(text, committed);
}

std::string_view TraceNameOfFile(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  constexpr std::string_view kExtension = format::kExtension;
  if (name.size() >= kExtension.size() &&
      name.substr(name.size() - kExtension.size()) == kExtension) {
    name.remove_suffix(kExtension.size());
  }
  // "YYMMDD HHMMSS " in front.
  if (name.size() > 14 && AllDigits(name.substr(0, 6)) && name[6] == ' ' &&
      AllDigits(name.substr(7, 6)) && name[13] == ' ') {
    name.remove_prefix(14);
  }
  // " N", the counter of a name taken in the same second.
  const std::size_t blank = name.rfind(' ');
  if (blank != std::string_view::npos && blank > 0 && AllDigits(name.substr(blank + 1))) {
    name = name.substr(0, blank);
  }
  return name;
}

}  // namespace jov::analyzer
