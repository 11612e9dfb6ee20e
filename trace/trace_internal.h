// trace_internal.h - what the trace object's source files share: the lock guard, the write
// slot that carries one overlapped write, and JOVTraceAccess, the friend that holds the
// writer's, ring's and file's private steps.
#pragma once

#include <windows.h>

#include "JOVDebug.h"
#include "trace/trace_format.h"

// How a thread that finds the trace lock held waits for it.
enum class TraceLockWait {
  kBlock,      // waits in the critical section at once
  kPollFirst,  // polls for it a while first: ring lines (trace_lock.cpp says why)
};

// Takes `lock`, polling it for a while before it waits in the critical section.
void EnterPollingFirst(CRITICAL_SECTION& lock);

// Holds a trace object's lock (a re-entrant critical section) for one scope.
class TraceLockGuard {
 public:
  explicit TraceLockGuard(CRITICAL_SECTION& lock, TraceLockWait wait = TraceLockWait::kBlock)
      : lock_(lock) {
    if (wait == TraceLockWait::kPollFirst)
      EnterPollingFirst(lock_);
    else
      ::EnterCriticalSection(&lock_);
  }
  ~TraceLockGuard() { ::LeaveCriticalSection(&lock_); }
  TraceLockGuard(const TraceLockGuard&) = delete;
  TraceLockGuard& operator=(const TraceLockGuard&) = delete;

 private:
  CRITICAL_SECTION& lock_;
};

// One overlapped write: the system reads `text` and completes `overlap` until the write has
// finished, so a slot lives apart from the trace object and outlasts it when it must.
struct JOVTraceWrite {
  OVERLAPPED overlap;      // the system's record of this write; hEvent is the slot's event
  char* text;              // the narrow bytes handed to WriteFile
  unsigned long capacity;  // bytes `text` holds
  unsigned long length;    // bytes of the write
  bool refused;            // WriteFile failed at once: the system holds nothing
  JOVTraceWrite* next;     // next abandoned write
};

// The writer's own numbers; the file's texts and columns are in trace_format.h.
namespace jov::trace {
inline constexpr unsigned long kWriteWaitMs = 5000;
inline constexpr unsigned long kDefaultThreshold = 1024;
}  // namespace jov::trace

struct JOVTraceAccess {
  // The state shared by both constructors: idle, empty stack of 20 levels.
  static void Construct(JOVDebug& d);
  // The innermost level of the routine stack, -1 when it is empty (the C interface refuses a
  // pop of a level that is not on the stack).
  static long RoutineDepth(const JOVDebug& d) { return d.routineDepth; }

  // ---- The file (trace_file_name.cpp, trace_start_stop.cpp) ----
  // The time-stamped stem (directory, "YYMMDD HHMMSS ", name part) for a TraceStart name.
  static JOVString FileStem(const JOVString& tracePath);

  // ---- Lines (line_writer.cpp, line_prefix.cpp, memory_lines.cpp) ----
  // Sends the bare line now in lineBuffer where the next line goes: the file (written and
  // waited for) or the ring.
  static void HandOver(JOVDebug& d);
  // Writes a text that is a complete line already (banners, ring records), without prefix:
  // waits for the previous write, sets lineBuffer and starts the write. False on failure.
  static bool WriteBareLine(JOVDebug& d, const wchar_t* text, unsigned length);
  // The local time of a line, from the system time and the time zone's bias.
  static void LocalTime(JOVDebug& d, SYSTEMTIME& local);
  // The date and thread lines due before a line (steps of InsertMsg); `now` is local time.
  static void DateAndThreadLines(JOVDebug& d, const SYSTEMTIME& now);
  // The handle-count and memory lines due before a line while monitoring memory.
  static void MemoryLines(JOVDebug& d, unsigned long long poolBytes, int& stage);
  // A caller's text: its characters, their number and how many of them are line feeds.
  struct LineText {
    const wchar_t* chars;
    unsigned long long length;
    unsigned long long lineFeeds;
  };
  static LineText MeasureText(const wchar_t* text);
  // Sets `line` to the prefix, one blank, the indentation, the text with a continuation (a
  // line feed and as many blanks as the line has characters before the text, plus 4) in
  // place of each line feed, and CR LF. Grows the storage at most once; a line longer than a
  // string can hold throws the string's length error.
  static void ComposeLine(JOVString& line, const wchar_t* prefix, unsigned prefixLength,
                          unsigned long long indentation, const LineText& text);
  // Writes the time prefix ("%.2u:%.2u:%.2u.%.3u %#8.3f" of the time and the interval in
  // milliseconds) into `out` (room for 128 characters) and returns its length.
  // intervalUs: microseconds since the previous line.
  static unsigned FormatPrefix(const SYSTEMTIME& now, long long intervalUs, wchar_t* out);
  // Whether the current file is past its limit (and holds more than its opening lines).
  static bool PastSizeLimit(const JOVDebug& d);
  // Closes the file with the size notice and opens the next one.
  static void ReplaceFile(JOVDebug& d);
  // Reports a line that could not be built to the event log.
  static void ReportLineFailure(int stage, const wchar_t* text) noexcept;

  // ---- Overlapped writes (overlapped_write.cpp) ----
  // Gives back completed abandoned writes; leaves the others (the system still owns them).
  static void ReapAbandoned(JOVDebug& d, bool waitBriefly) noexcept;
  // Frees the write slot and event when the file is closed or the object destroyed.
  static void ReleaseWriter(JOVDebug& d) noexcept;

  // ---- The ring (wrap_ring.cpp) ----
  // Writes the ring's records, oldest first, to the open file.
  static void RingWalk(JOVDebug& d);
  // Makes the ring empty: one end mark at its start.
  static void RingClear(JOVDebug& d);
  static void FreeRing(JOVDebug& d) noexcept;

  // Gives everything the object owns back (destructor).
  static void DeleteRoutineStack(JOVDebug& d) noexcept;
};
