// trace_model.h - what the trace reader knows about a trace, and the sink through which it
// hands that knowledge out while it reads. Every output of jovtrace is a sink on this model.
//
// The model, for the engineer who writes a new output:
//
// - A *trace* is what one trace object wrote: one file, a chain of files that a size limit
//   produced, or a wrap-trace dump (see input_set.h for how files become traces). Traces are
//   read one after another and never mixed: each has its own index, routine stack and threads.
// - Time is a microsecond timeline per trace: the sum of the lines' intervals, anchored on the
//   date and the first line's clock and put back on the clock where they disagree (see
//   timeline.h). `Micros` values are local time in microseconds since 1970-01-01 00:00 (the
//   writer's local clock, no time zone); `TraceInfo::origin` is the earliest clock of all
//   inputs, a convenient zero for relative output.
// - The reader calls the sink as it reads, in file order: `BeginTrace`, then any number of
//   `OnCall`, `OnText`, `OnCounter`, `OnNotice`, then `EndTrace` with the trace's figures.
//   Nothing is held back beyond what nesting needs: a call is reported when it closes (so an
//   inner call comes before the call that holds it), and calls under a routine whose name is
//   not known yet wait until it is (a bounded queue). A sink keeps what it needs: the summary
//   and the tree keep aggregates bounded by the distinct routines and paths, the timeline
//   writer keeps nothing.
// - Views passed to the sink (`std::string_view`, the path span) are valid only during the
//   call. Every text is UTF-8: names, details, texts and the trace's facts are decoded from
//   the writer's code page as they are read (text_encoding.h), and nothing after that stage
//   knows the code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/parse/micros.h"

namespace jov::analyzer {

// Index of a routine name ("Class.Routine") in the reader's NameTable (name_table.h).
using NameId = std::uint32_t;
// The name of a level whose Push line the trace does not show and whose Pop never named it.
inline constexpr NameId kUnknownName = 0;

// How a routine call ended.
enum class CloseKind : std::uint8_t {
  kNormal,      // by its own Pop line; the duration is the Pop line's own
  kOuterPop,    // a Pop of an outer level closed it (the library pops inner levels with it)
  kPopMissing,  // a later line showed it had ended, without a Pop line (an untraced level)
  kOpenAtEnd,   // still open when the trace ended (a crash, a dump): closed at the last line
};
const char* CloseKindName(CloseKind kind);

// One completed routine call.
struct Call {
  int trace = 0;
  NameId name = kUnknownName;
  // Names from the outermost level to this call's own (path.back() == name).
  const NameId* path = nullptr;
  std::size_t pathLength = 0;
  Micros start = 0;      // Push time, or Pop time - duration when the Push line is missing
  Micros end = 0;        // Pop time, or when it was closed
  Micros duration = 0;   // the Pop line's own duration when closed normally, else end - start
  Micros self = 0;       // duration less the durations of the calls directly inside it
  bool pushSeen = true;  // false: its Push line is missing from the trace
  bool hasReturnCode = false;
  std::int64_t returnCode = 0;
  CloseKind close = CloseKind::kNormal;
  std::uint32_t thread = 0;  // the thread of its Push line (of its Pop line without one)
  std::string_view detail;   // the Push line's detail text ("Request=7"), may be empty
};

enum class TextKind : std::uint8_t {
  kPlain,          // a caller's text (continuation lines joined with "\n")
  kHeader,         // "Trace Started. UserId=..."
  kClosed,         // "Trace Closed."
  kTerminated,     // the size limit's "**** Trace terminated because it is too large. ****"
  kSizeNotice,     // "--Trace closed and re-opened due to trace size."
  kDumpLine,       // one line of a hex dump
  kHeapRow,        // a line of a heap report (title, column header, rows, end line)
  kVirtualMemory,  // the virtual-memory totals line
  kWrapReason,     // the reason line of a wrap-trace dump
};
const char* TextKindName(TextKind kind);

// A line that is not a Push or Pop: an instant on its thread's track.
struct Text {
  int trace = 0;
  Micros time = 0;
  std::uint32_t thread = 0;
  int depth = 0;  // routine levels open when it was written (its indentation / 4)
  TextKind kind = TextKind::kPlain;
  std::string_view text;
};

enum class CounterKind : std::uint8_t {
  kInternalPool,      // the memory manager's pool bytes (memory line)
  kProcessBytes,      // the process's private bytes (memory line)
  kHandleCount,       // the process's handle count (handle-count line)
  kVirtualCommitted,  // committed bytes of the virtual-memory totals line
};
const char* CounterKindName(CounterKind kind);

struct CounterSample {
  int trace = 0;
  Micros time = 0;
  CounterKind kind = CounterKind::kInternalPool;
  std::int64_t value = 0;
};

// Something the reader skipped or repaired, with where it found it.
enum class NoticeKind : std::uint8_t {
  kUnreadable,     // a file that cannot be opened or read
  kNotATrace,      // a file that holds no trace lines
  kBadLine,        // a line that is none of the trace's lines (mangled prefix, garbage)
  kTruncatedLine,  // the last line of a file has no line end
  kLongLine,       // a line longer than the reader keeps; cut
  kNoHeader,       // a file without its "Trace Started." header
  kBadPop,         // a Pop line that names nothing or has no duration
};
const char* NoticeKindName(NoticeKind kind);

struct Notice {
  int trace = 0;
  NoticeKind kind = NoticeKind::kBadLine;
  std::string_view file;
  std::uint64_t line = 0;  // 1-based; 0 for the file as a whole
  std::string_view message;
};

// The facts of a trace known before its lines are read (from its files' first lines).
struct TraceInfo {
  int index = 0;
  std::string label;    // e.g. "demo (pid 4711)"; unique among the traces read
  std::string program;  // the name part of the file name: "demo" of "261203 221530 demo.JOV_Log"
  std::string userId;
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;      // the thread that started the trace
  bool wrapDump = false;           // made of wrap-trace dump files
  std::vector<std::string> files;  // in the order they are read
  Micros origin = 0;               // earliest clock of all traces read in this run
};

// The figures of a trace, once read.
struct TraceStats {
  std::uint64_t lines = 0;  // physical lines read
  std::uint64_t bytes = 0;
  std::uint64_t calls = 0;
  std::uint64_t texts = 0;
  std::uint64_t skippedLines = 0;   // lines the reader could not use (each with a notice)
  std::uint64_t pushesMissing = 0;  // calls whose Push line was missing
  std::uint64_t closedByOuterPop = 0;
  std::uint64_t popsMissing = 0;
  std::uint64_t leftOpen = 0;
  std::uint64_t clockResyncs = 0;  // places where the intervals and the clock disagreed
  Micros first = 0;                // earliest and latest line time
  Micros last = 0;
  std::vector<std::uint32_t> threads;  // in the order they first wrote
  std::vector<std::string> wrapReasons;
};

// Receives what the reader reads. Every member has an empty default.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void BeginTrace(const TraceInfo& /*info*/) {}
  virtual void OnCall(const Call& /*call*/) {}
  virtual void OnText(const Text& /*text*/) {}
  virtual void OnCounter(const CounterSample& /*sample*/) {}
  virtual void OnNotice(const Notice& /*notice*/) {}
  virtual void EndTrace(const TraceInfo& /*info*/, const TraceStats& /*stats*/) {}
  // Whether the sink uses OnText. The reader skips building the texts (their continuation
  // lines joined, converted to UTF-8) when no sink does: most lines of a trace are texts.
  // "Trace Closed." comes all the same: a live reader learns from it that the trace ended.
  virtual bool WantsTexts() const { return true; }
};

// Passes everything on to several sinks, in the order they were added.
class SinkFanout : public TraceSink {
 public:
  void Add(TraceSink& sink) { sinks_.push_back(&sink); }
  void BeginTrace(const TraceInfo& info) override;
  void OnCall(const Call& call) override;
  void OnText(const Text& text) override;
  void OnCounter(const CounterSample& sample) override;
  void OnNotice(const Notice& notice) override;
  void EndTrace(const TraceInfo& info, const TraceStats& stats) override;
  bool WantsTexts() const override;

 private:
  std::vector<TraceSink*> sinks_;
};

}  // namespace jov::analyzer
