// line_text.h - the texts of time-prefixed lines that the library itself writes: Push and
// Pop lines, the header, hex-dump lines, heap-report rows and the virtual-memory line.
#pragma once

#include <cstdint>
#include <string_view>

#include "analyzer/parse/micros.h"

namespace jov::analyzer {

struct PushText {
  std::string_view name;    // "Class.Routine"
  std::string_view detail;  // after two blanks; empty when none
};
// "Push Class.Routine[  detail]". The name ends at the first two blanks: a name that holds
// two blanks itself is recognised again by its Pop line (PushMatchesPop).
bool ParsePush(std::string_view text, PushText& out);

struct PopText {
  std::string_view name;
  bool hasReturnCode = false;
  std::int64_t returnCode = 0;
  Micros duration = 0;
};
enum class PopParse { kNotPop, kBare, kBroken, kOk };
// "Pop  Class.Routine[ Return Code=N]  Dur=D msecs", read from the right so that a name
// may hold blanks. kBare: the line "Pop  " of a level that was not on the stack. kBroken:
// a Pop line without its duration (cut while it was built).
PopParse ParsePop(std::string_view text, PopText& out);

// Whether a Push line's text after "Push " (name and detail) is that of routine `popName`.
bool PushMatchesPop(std::string_view pushNameAndDetail, std::string_view popName);

struct HeaderText {
  std::string_view userId;
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;
  std::string_view logFile;
};
// "Trace Started. UserId=U, ProcessId=P, ThreadId=T, Log File=F".
bool ParseHeader(std::string_view text, HeaderText& out);

// A hex-dump line with address: 8 (32-bit writer) or 16 (64-bit writer) hex digits, two
// blanks, 36 characters of hex area and 18 of display area between "*".
bool IsDumpLine(std::string_view text);

// The first line of a heap report ("...>>> Compressed Heap Trace <<<..." or Detailed) and
// its last ("HeapWalk complete." or the full work area's line).
bool IsHeapReportTitle(std::string_view text);
bool IsHeapReportEnd(std::string_view text);

// "Virtual memory usage: Free = F, Committed = C, Reserved = R, ID = I": the committed bytes.
bool ParseVirtualMemory(std::string_view text, std::int64_t& committed);

// The name part of a trace file's name: "demo" of "C:\t\261203 221530 demo 2.JOV_Log" (the
// directory, the date and time stamp, a counter and the extension taken off).
std::string_view TraceNameOfFile(std::string_view path);

}  // namespace jov::analyzer
