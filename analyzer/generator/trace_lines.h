// trace_lines.h - the lines of a trace file in the library's exact format, and a small script
// that writes a trace the way the library's writer does (clock, intervals, routine stack,
// durations): how the reader's tests write their hand-made traces and the benchmarks their
// workloads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace/trace_format.h"

namespace jov::generator {

using jov::trace::format::kNoValue;

// "Date=MM/DD/YY" and 80 "=".
std::string DateLine(int year, int month, int day);
// "---- ThreadId=N " and 30 "-".
std::string ThreadLine(std::uint32_t thread);
// "HH:MM:SS.mmm %#8.3f" of a time of day in milliseconds and an interval in microseconds.
std::string Prefix(std::int32_t timeOfDayMs, std::int64_t intervalUs);
// A time-prefixed line without its CR LF: prefix, blank, `levels` x 4 blanks, text; every
// line feed of the text followed by blanks up to 4 columns past where the text starts.
std::string TimedLine(std::int32_t timeOfDayMs, std::int64_t intervalUs, int levels,
                      std::string_view text);
std::string PushText(std::string_view name, std::string_view detail = {});
// "Pop  name[ Return Code=N]  Dur=D msecs"; code kNoValue leaves out the return code.
std::string PopText(std::string_view name, long code, std::int64_t durationUs);
std::string MemoryLine(std::int64_t pool, std::int64_t poolChange, int processBytes,
                       int processChange);
std::string HandleCountLine(int count, int error);
std::string HeaderText(std::string_view user, std::uint32_t pid, std::uint32_t thread,
                       std::string_view logFile);
using jov::trace::format::kSizeNotice;
using jov::trace::format::kWrapBanner;
using jov::trace::format::kWrapEnd;

// Writes a trace as the library would: a clock in microseconds, the interval since the
// previous line, the routine stack with its start times, thread and date markers.
class Script {
 public:
  // Day and time at which the first line is written.
  Script(int year, int month, int day, std::int64_t startUs);
  // The file's opening lines: date line and header.
  void Open(std::uint32_t pid, std::uint32_t thread, std::string_view logFile);
  void Advance(std::int64_t us) { now_ += us; }
  void Thread(std::uint32_t thread);
  void Text(std::string_view text);
  // Returns the level, as RoutinePush does.
  int Push(std::string_view name, std::string_view detail = {});
  // Pops `level` (-1: the innermost) with the return code; inner levels go with it.
  void Pop(int level, long code = kNoValue);
  void Memory(std::int64_t pool, int processBytes);
  void Bare(std::string_view line) { lines_.emplace_back(line); }
  std::int64_t Now() const { return now_; }
  int Depth() const { return static_cast<int>(stack_.size()); }
  // The file content: every line ended by CR LF.
  std::string Content() const;
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }

 private:
  void DateIfDue();
  void Line(std::string_view text, int levels);

  std::int64_t now_;
  std::int64_t lastLine_;
  std::int64_t day_;  // days since 1970-01-01
  bool datePending_ = true;
  int year_, month_, dayOfMonth_;
  std::uint32_t thread_ = 0;
  std::int64_t pool_ = 0;
  int processBytes_ = 0;
  struct Level {
    std::string name;
    std::int64_t start;
  };
  std::vector<Level> stack_;
  std::vector<std::string> lines_;
};

}  // namespace jov::generator
