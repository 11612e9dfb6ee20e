// trace_internal.h - what the trace object's source files share: the write slot that carries
// one overlapped write, and JOVTraceAccess, the friend that holds the writer's, ring's and
// file's private steps. The trace lock is held through platform/scope_lock.h.
#pragma once

#include <windows.h>

#include "JOVDebug.h"
#include "platform/scope_lock.h"
#include "trace/trace_format.h"

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

  // ---- The routine stack (routine_stack.h, routine_stack.cpp) ----
  // JOVDebug::RoutinePush's work, returning the level pushed; inline, for the C interface's
  // shell too. Out of memory leaves the level on the stack, its name as far as it was set.
  static inline long PushRoutine(JOVDebug& d, const wchar_t* className, const wchar_t* routineName,
                                 const wchar_t* detail, long traceSelector) noexcept;
  // JOVDebug::RoutinePop's work for a level on the stack (negative: the innermost); false,
  // with nothing changed or written, for a level above the innermost or an empty stack.
  static inline bool PopRoutine(JOVDebug& d, long level, long returnCode);
  // Makes room for `level` and gives it a name string: a first push at that level.
  static void PrepareLevel(JOVDebug& d, long level);
  // Writes the Push line of `level` and stamps its start time.
  static void WritePushLine(JOVDebug& d, long level, const wchar_t* className,
                            const wchar_t* routineName, const wchar_t* detail);
  // Sets the depth below `level` and writes its Pop line, with the return code (unless
  // kNoValue) and the duration.
  static void WritePopLine(JOVDebug& d, long level, long returnCode);
  // Whether a file or ring trace is active: TraceAnyActive without a call.
  static bool AnyActive(const JOVDebug& d) {
    return d.traceFile != nullptr || d.wrapStart != nullptr;
  }

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
  // line feed and as many blanks as the line has characters before the text, plus
  // kContinuationIndent) in place of each line feed, and CR LF. Grows the storage at most once; a
  // line longer than a string can hold throws the string's length error.
  static void ComposeLine(JOVString& line, const wchar_t* prefix, unsigned prefixLength,
                          unsigned long long indentation, const LineText& text);
  // Writes the time prefix (the time "HH:MM:SS.mmm", a blank and the interval in
  // milliseconds in the columns of trace_format.h) into `out` (room for 128 characters) and
  // returns its length. intervalUs: microseconds since the previous line.
  static unsigned FormatPrefix(const SYSTEMTIME& now, long long intervalUs, wchar_t* out);
  // Whether a file is open and past its limit (and holds more than its opening lines).
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
