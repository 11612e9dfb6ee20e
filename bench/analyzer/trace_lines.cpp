// trace_lines.cpp - the library's line formats, rebuilt with the C library's printf.
#include "bench/analyzer/trace_lines.h"

#include <cstdio>

namespace tracelines {

std::string DateLine(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "Date=%02d/%02d/%02d", month, day, year % 100);
  return text + std::string(80, '=');
}

std::string ThreadLine(std::uint32_t thread) {
  char text[40];
  std::snprintf(text, sizeof text, "---- ThreadId=%d ", static_cast<int>(thread));
  return text + std::string(30, '-');
}

std::string Prefix(std::int32_t timeOfDayMs, std::int64_t intervalUs) {
  const unsigned ms = static_cast<unsigned>(timeOfDayMs);
  char text[64];
  std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u.%.3u %#8.3f", ms / 3600000, ms / 60000 % 60,
                ms / 1000 % 60, ms % 1000, static_cast<double>(intervalUs) / 1000.0);
  return text;
}

std::string TimedLine(std::int32_t timeOfDayMs, std::int64_t intervalUs, int levels,
                      std::string_view text) {
  std::string line = Prefix(timeOfDayMs, intervalUs) + " " + std::string(levels * 4, ' ');
  const std::string continuation = "\n" + std::string(line.size() + 4, ' ');
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
  std::string text = "Push " + std::string(name);
  if (!detail.empty()) text += "  " + std::string(detail);
  return text;
}

std::string PopText(std::string_view name, long code, std::int64_t durationUs) {
  std::string text = "Pop  " + std::string(name);
  char part[64];
  if (code != kNoValue) {
    std::snprintf(part, sizeof part, " Return Code=%ld", code);
    text += part;
  }
  std::snprintf(part, sizeof part, "  Dur=%-#.3f msecs", static_cast<double>(durationUs) / 1000.0);
  return text + part;
}

std::string MemoryLine(std::int64_t pool, std::int64_t poolChange, int processBytes,
                       int processChange) {
  char text[160];
  std::snprintf(text, sizeof text,
                "...Memory use changed. Internal Pool=%lld, Change=%+lld. Process Bytes "
                "Allocated=%d, Change=%+d",
                static_cast<long long>(pool), static_cast<long long>(poolChange), processBytes,
                processChange);
  return text;
}

std::string HandleCountLine(int count, int error) {
  char text[80];
  std::snprintf(text, sizeof text, "...Process Handle Count=%d, ErrorCode=%d.", count, error);
  return text;
}

std::string HeaderText(std::string_view user, std::uint32_t pid, std::uint32_t thread,
                       std::string_view logFile) {
  return "Trace Started. UserId=" + std::string(user) + ", ProcessId=" + std::to_string(pid) +
         ", ThreadId=" + std::to_string(thread) + ", Log File=" + std::string(logFile);
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
  popDurations_.push_back(now_ - popped.start);
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

}  // namespace tracelines
