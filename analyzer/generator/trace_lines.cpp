// trace_lines.cpp - the library's line formats, rebuilt with the C library's printf from
// the texts and columns of trace/trace_format.h.
#include "analyzer/generator/trace_lines.h"

#include <cstdio>

namespace jov::generator {
namespace format = jov::trace::format;

std::string DateLine(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%02d/%02d/%02d", format::kDate, month, day, year % 100);
  return text + std::string(format::kDateRule, '=');
}

std::string ThreadLine(std::uint32_t thread) {
  char text[40];
  std::snprintf(text, sizeof text, "%s%d ", format::kThread, static_cast<int>(thread));
  return text + std::string(format::kThreadRule, '-');
}

std::string Prefix(std::int32_t timeOfDayMs, std::int64_t intervalUs) {
  const unsigned ms = static_cast<unsigned>(timeOfDayMs);
  char text[64];
  std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u.%.3u %#*.*f", ms / 3600000, ms / 60000 % 60,
                ms / 1000 % 60, ms % 1000, format::kIntervalWidth, format::kMillisDecimals,
                static_cast<double>(intervalUs) / 1000.0);
  return text;
}

std::string TimedLine(std::int32_t timeOfDayMs, std::int64_t intervalUs, int levels,
                      std::string_view text) {
  std::string line =
      Prefix(timeOfDayMs, intervalUs) + " " + std::string(levels * format::kIndentWidth, ' ');
  const std::string continuation =
      "\n" + std::string(line.size() + format::kContinuationIndent, ' ');
  for (const char c : text) {
    if (c == '\n') {
      line += continuation;
    } else {
      line += c;
    }
  }
  return line;
}

std::string PushText(std::string_view name, std::string_view detail) {
  std::string text = format::kPush + std::string(name);
  if (!detail.empty()) text += format::kDetailGap + std::string(detail);
  return text;
}

std::string PopText(std::string_view name, long code, std::int64_t durationUs) {
  std::string text = format::kPop + std::string(name);
  char part[64];
  if (code != kNoValue) {
    std::snprintf(part, sizeof part, "%s%ld", format::kReturnCode, code);
    text += part;
  }
  std::snprintf(part, sizeof part, "%s%#.*f%s", format::kDuration, format::kMillisDecimals,
                static_cast<double>(durationUs) / 1000.0, format::kMsecs);
  return text + part;
}

std::string MemoryLine(std::int64_t pool, std::int64_t poolChange, int processBytes,
                       int processChange) {
  char text[160];
  std::snprintf(text, sizeof text, "%s%lld%s%+lld%s%d%s%+d", format::kMemory,
                static_cast<long long>(pool), format::kChange, static_cast<long long>(poolChange),
                format::kProcessBytes, processBytes, format::kChange, processChange);
  return text;
}

std::string HandleCountLine(int count, int error) {
  char text[80];
  std::snprintf(text, sizeof text, "%s%d%s%d.", format::kHandleCount, count, format::kHandleError,
                error);
  return text;
}

std::string HeaderText(std::string_view user, std::uint32_t pid, std::uint32_t thread,
                       std::string_view logFile) {
  return format::kHeader + std::string(user) + format::kHeaderProcess + std::to_string(pid) +
         format::kHeaderThread + std::to_string(thread) + format::kHeaderLogFile +
         std::string(logFile);
}

Script::Script(int year, int month, int day, std::int64_t startUs)
    : now_(startUs), lastLine_(startUs), year_(year), month_(month), dayOfMonth_(day) {
  day_ = 0;
}

void Script::DateIfDue() {
  if (!datePending_) return;
  lines_.push_back(DateLine(year_, month_, dayOfMonth_));
  datePending_ = false;
}

void Script::Line(std::string_view text, int levels) {
  DateIfDue();
  const std::int64_t dayUs = 86400000000LL;
  const auto timeOfDayMs = static_cast<std::int32_t>((now_ % dayUs) / 1000);
  lines_.push_back(TimedLine(timeOfDayMs, now_ - lastLine_, levels, text));
  lastLine_ = now_;
}

void Script::Open(std::uint32_t pid, std::uint32_t thread, std::string_view logFile) {
  datePending_ = true;
  Thread(thread);
  Line(HeaderText("tester", pid, thread, logFile), static_cast<int>(stack_.size()));
}

void Script::Thread(std::uint32_t thread) {
  if (thread == thread_) return;
  DateIfDue();
  thread_ = thread;
  lines_.push_back(ThreadLine(thread));
}

void Script::Text(std::string_view text) { Line(text, static_cast<int>(stack_.size())); }

int Script::Push(std::string_view name, std::string_view detail) {
  stack_.push_back({std::string(name), now_});
  Line(PushText(name, detail), static_cast<int>(stack_.size()) - 1);
  return static_cast<int>(stack_.size()) - 1;
}

void Script::Pop(int level, long code) {
  if (level < 0) level = static_cast<int>(stack_.size()) - 1;
  const Level popped = stack_[static_cast<std::size_t>(level)];
  stack_.resize(static_cast<std::size_t>(level));
  Line(PopText(popped.name, code, now_ - popped.start), level);
}

void Script::Memory(std::int64_t pool, int processBytes) {
  lines_.push_back(MemoryLine(pool, pool - pool_, processBytes, processBytes - processBytes_));
  pool_ = pool;
  processBytes_ = processBytes;
}

std::string Script::Content() const {
  std::string content;
  for (const std::string& line : lines_) content += line + "\r\n";
  return content;
}

}  // namespace jov::generator
