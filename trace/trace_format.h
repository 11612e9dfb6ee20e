// trace_format.h - the trace file's line format as data, shared by the DLL's writer (wide
// texts), the reader jovtrace and the benchmark's generator (narrow texts). Portable: no
// Win32 header, so the reader builds on any host.
//
// Each text is written once, in JOV_TRACE_FORMAT_TEXTS; the narrow constants are that
// literal and the wide ones L"" of the same literal, so the two sides cannot drift apart.
#pragma once

// Found through the project's root, which every user of this header has on its include path.
#include "include/JOVTraceValues.h"

// name, text: the fixed texts of a trace file's lines.
#define JOV_TRACE_FORMAT_TEXTS(X)                                       \
  /* Marker lines: the date (then kDateRule "="), the thread (then a */ \
  /* blank and kThreadRule "-"). */                                     \
  X(kDate, "Date=")                                                     \
  X(kThread, "---- ThreadId=")                                          \
  /* A routine's lines: "Push Class.Routine[  detail]" and */           \
  /* "Pop  Class.Routine[ Return Code=N]  Dur=D msecs". */              \
  X(kPush, "Push ")                                                     \
  X(kPop, "Pop  ")                                                      \
  X(kDetailGap, "  ")                                                   \
  X(kRequest, "Request=")                                               \
  X(kReturnCode, " Return Code=")                                       \
  X(kDuration, "  Dur=")                                                \
  X(kMsecs, " msecs")                                                   \
  /* The file's first text and its fields, and its last. */             \
  X(kHeader, "Trace Started. UserId=")                                  \
  X(kHeaderProcess, ", ProcessId=")                                     \
  X(kHeaderThread, ", ThreadId=")                                       \
  X(kHeaderLogFile, ", Log File=")                                      \
  X(kTraceClosed, "Trace Closed.")                                      \
  /* Memory monitoring's lines. */                                      \
  X(kHandleCount, "...Process Handle Count=")                           \
  X(kHandleError, ", ErrorCode=")                                       \
  X(kMemory, "...Memory use changed. Internal Pool=")                   \
  X(kChange, ", Change=")                                               \
  X(kProcessBytes, ". Process Bytes Allocated=")                        \
  /* Notices of the size limit and the wrap dump's banners. */          \
  X(kTerminated, "**** Trace terminated because it is too large. ****") \
  X(kSizeNotice, "--Trace closed and re-opened due to trace size.")     \
  X(kWrapBanner, "---- Wrap trace of saved events.")                    \
  X(kWrapEnd, "---- End of wrap trace.")                                \
  /* The heap and virtual memory reports. */                            \
  X(kHeapTitleCompressed, "...>>> Compressed Heap Trace <<<...")        \
  X(kHeapTitleDetailed, "...>>> Detailed Heap Trace <<<...")            \
  X(kHeapEndComplete, "HeapWalk complete.")                             \
  X(kHeapEndFull, "Trace buffer was too small for entire HeapWalk.")    \
  X(kVirtualMemory, "Virtual memory usage: Free = ")                    \
  X(kVirtualCommitted, ", Committed = ")                                \
  /* The file name's extension. */                                      \
  X(kExtension, ".JOV_Log")

namespace jov::trace::format {

#define JOV_TRACE_FORMAT_NARROW(name, text) inline constexpr char name[] = text;
JOV_TRACE_FORMAT_TEXTS(JOV_TRACE_FORMAT_NARROW)
#undef JOV_TRACE_FORMAT_NARROW

namespace wide {
#define JOV_TRACE_FORMAT_WIDE(name, text) inline constexpr wchar_t name[] = L"" text;
JOV_TRACE_FORMAT_TEXTS(JOV_TRACE_FORMAT_WIDE)
#undef JOV_TRACE_FORMAT_WIDE
}  // namespace wide

// A return code or request of this value is "none": the Pop line leaves out its return code
// and the Push line its request. A trace selector of kInherit takes the level below's setting.
// Both come from the public header, which JOVDebug's default arguments use.
inline constexpr long kNoValue = JOVTraceNoValue;
inline constexpr long kInherit = JOVTraceInherit;

// Columns of a timed line: "HH:MM:SS.mmm", a blank, the interval in milliseconds with three
// decimals right-aligned in kIntervalWidth columns ("%#8.3f"), a blank, kIndentWidth blanks
// per routine level, the text. A line feed in a text continues on a line of blanks up to
// kContinuationIndent columns past where the text started.
inline constexpr int kTimeChars = 12;
inline constexpr int kIntervalWidth = 8;
inline constexpr int kMillisDecimals = 3;
inline constexpr int kIndentWidth = 4;
inline constexpr int kContinuationIndent = 4;

// The rules closing the marker lines: "=" after the date, "-" after the thread id.
inline constexpr int kDateRule = 80;
inline constexpr int kThreadRule = 30;

}  // namespace jov::trace::format
