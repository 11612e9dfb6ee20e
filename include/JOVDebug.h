// JOVDebug.h - the diagnostic trace object: time-stamped lines written to a trace file or
// kept in an in-memory wrap ring, and a routine stack whose depth indents every line.
//
// A host program creates one JOVDebug, usually publishes it in gptrCDebug so that every
// module writes to the same trace, and starts a file trace or a wrap trace on it. No member
// reports a failure to its caller: nothing returns an error and nothing throws; a failure
// while a line is built goes to the event log.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <vector>

#include "JOVStrings.h"
#include "JOVTraceValues.h"
#include "JOVUtil_export.h"

// Implementation state of the trace writer (write slots still owned by the system).
struct JOVTraceWrite;

// The trace object: a trace file or a wrap ring of time-stamped lines, indented by the
// depth of its routine stack. See the file description for its use.
class JOVUTIL_API JOVDebug {
 public:
  // An idle object: no trace file, no ring, an empty routine stack of 20 levels.
  JOVDebug();
  // The same idle object as the default constructor; `other` is not read.
  JOVDebug(const JOVDebug& other);
  // Ends the wrap trace, closes an open trace file with "Trace Closed." and frees all.
  virtual ~JOVDebug();
  // Changes nothing: a trace object's file, ring and stack are never shared or copied.
  JOVDebug& operator=(const JOVDebug& other);

  // ---- Starting and stopping -------------------------------------------------------------

  // wrapSize 0 starts a file trace in a new file named from `name` (a path when it holds a
  // backslash, else a bare name; empty: named after the program); any other wrapSize starts
  // a wrap trace with a ring of that many bytes (at least 1024). Ignored while the trace
  // file is open, and (for a non-zero wrapSize) while a ring exists. Starting a file trace
  // during a wrap trace copies the ring's lines into the new file and ends the wrap trace.
  // `name` must not be null.
  void TraceStart(wchar_t* name, unsigned long wrapSize);
  // A file trace named after the program: TraceStart with the empty name and wrap size 0.
  void TraceStart();
  // Closes the trace file, writing "Trace Closed." first when flag is not 0: that line is
  // the file's last even when the file is past its size limit (it neither gives way to the
  // limit's notice nor moves to a new file). Nothing on an object without an open file.
  void TraceStop(long flag);
  // The file is replaced by a new one once it holds more than `bytes` bytes. Takes effect
  // at the next line. A limit below a new file's opening lines still lets each new file
  // take at least one line before it is replaced.
  void MaxLogSize(unsigned long bytes);
  // The name given to the last TraceStart (not the file name made from it).
  JOVString GetTracePath();
  // 1 when the trace file is open, else 0.
  long TraceActive();
  // 1 while the wrap trace is on, else 0.
  long TraceWrapActive();
  // 1 when either the trace file is open or the wrap trace is on, else 0.
  long TraceAnyActive();

  // ---- Writing lines ---------------------------------------------------------------------

  // Writes `text` as one time-stamped line, indented by the routine depth, to the file or
  // the ring; nothing when no trace is active. Line feeds in the text start continuation
  // lines aligned under it. `text` must not be null.
  void InsertMsg(const wchar_t* text);
  // The same with the string's text.
  void InsertMsg(const JOVString& text);

  // ---- Wrap trace ------------------------------------------------------------------------

  // Writes the ring into a new trace file between the banners "---- Wrap trace of saved
  // events." and "---- End of wrap trace.", with `reason` (may be null) as a line after the
  // first, then closes the file and empties the ring; the wrap trace goes on. When no file
  // can be created the ring is freed and the wrap trace ends. Nothing while no ring exists.
  void TraceDumpWrap(wchar_t* reason);
  // Ends the wrap trace and frees the ring; its lines are lost.
  void TraceWrapStop();

  // ---- Routine stack ---------------------------------------------------------------------

  // Enters a routine named className "." routineName and returns its level (0 for the
  // outermost). With a trace active and the level traced, writes "Push " and the name, and
  // two blanks and `detail` when it is not null. traceSelector: JOVTraceInherit (-2) takes
  // the setting of the level below (level 0 is traced), 0 writes no Push or Pop lines for the
  // level, any other value writes them. The two names must not be null.
  long RoutinePush(const wchar_t* className, const wchar_t* routineName,
                   const wchar_t* detail = nullptr, long traceSelector = JOVTraceInherit);
  // RoutinePush with the detail "Request=" and `request` in decimal; JOVTraceNoValue
  // (2147483647) means no request and no detail.
  long RoutinePushReq(const wchar_t* className, const wchar_t* routineName,
                      long request = JOVTraceNoValue, long traceSelector = JOVTraceInherit);
  // Leaves the routine at `level` (a negative level: the innermost) and every level above
  // it. With a trace active and the innermost level traced, writes "Pop  ", the name,
  // " Return Code=" and the code unless it is JOVTraceNoValue, and the duration in
  // milliseconds.
  // A level above the innermost takes nothing off the stack; with the innermost level traced
  // it writes a bare "Pop  " line, a mark in the trace that a pop went astray.
  void RoutinePop(long level = -1, long returnCode = JOVTraceNoValue);
  // The names of all levels, outermost first, joined by ";"; empty for an empty stack.
  JOVString ShowCallStack() const;
  // The name of the innermost level; empty for an empty stack.
  JOVString ActiveRoutine() const;

  // ---- Hex dumps and heap and virtual-memory reports (begin) ------------------------------
  // A dump line shows up to 16 bytes: [address, two blanks,] four groups of 8 hex digits
  // each followed by a blank, then "*", one display character per byte (blank after the
  // last byte), "*". Display characters are 0x20-0x7E except "-" and "="; every other byte
  // shows as ".". The address takes 8 digits in the 32-bit build and 16 digits (the full
  // pointer) in the 64-bit build, so a line with address is 64 or 72 characters long; the
  // columns after it move right by the same 8 characters.
  enum HexLineWidth : unsigned {
    HexLineWithAddress = sizeof(void*) * 2 + 2 + 54,
    HexLineWithoutAddress = 54,
  };
  // Bits of TraceHeap's options.
  enum TraceHeapOption : unsigned long {
    TraceHeapCompressed = 0x1,  // runs of adjacent like entries become one row
    TraceHeapBusyOnly = 0x2,    // only regions and blocks in use; no free, uncommitted or gap rows
  };

  // Writes an empty line, then `title` when it is not null, then one dump line with
  // address per 16 bytes of `bytes`. Nothing while no trace is active. `bytes` must be
  // readable for `count` bytes.
  void HexDump(const void* bytes, unsigned long count, const wchar_t* title = nullptr);
  // Writes one dump line of the first min(count, 16) bytes into `out`: HexLineWithAddress
  // characters when withAddress is not 0, else HexLineWithoutAddress. No terminating zero.
  void HexStringLine(unsigned char* bytes, unsigned long count, wchar_t* out, int withAddress);
  // Writes 2 upper-case hex digits per byte into `out`, no separator, no terminating zero.
  void HexString(const void* bytes, unsigned long count, wchar_t* out);
  // The same as a string (empty for count 0, and when no memory can be had).
  JOVString HexString(const void* bytes, unsigned long count);
  // Writes `value` as 8 hex digits, most significant first, into `out`; no terminating zero.
  void HexStringForDWORD(unsigned long value, wchar_t* out);
  // The same as a string.
  JOVString HexStringForDWORD(unsigned long value);

  // Walks `heap` (null: the process's default heap) and writes one row per entry, or per
  // run of adjacent like entries with TraceHeapCompressed, with the first `dumpCount` bytes
  // of each block in use dumped beside it; regionIndex -1 keeps all regions, any other value
  // only entries of that region. Starts a file trace for the report when none is active and
  // stops it afterwards. Holds the trace's lock throughout, so the report's rows stand
  // together. Does nothing outside the NT family. In the 64-bit build addresses take 16
  // digits and every column after the address moves right by 8. A block that can no longer
  // be read when its bytes are dumped (freed since the walk) gets an empty dump part. When
  // no work area can be had, the report has no rows and ends with its "too small" line.
  void TraceHeap(void* heap = nullptr, unsigned long options = 0, unsigned long dumpCount = 0,
                 long regionIndex = -1);
  // Writes one line with the totals of free, committed and reserved address space and
  // `id`, or a line naming an unknown region state instead. Nothing while no trace is active.
  // The 32-bit build walks addresses below 0x7FFFFFFF, the 64-bit build the whole user
  // address space.
  void TraceVirtualMemUsage(unsigned long id = 0);

 private:
  // Writes one display character per byte into `out`; no terminating zero.
  void DisplayChars(wchar_t* out, unsigned char* bytes, unsigned long count);
  // ---- Hex dumps and heap and virtual-memory reports (end) --------------------------------

 private:
  // Chooses the file name, creates the file and writes its opening lines; called with
  // traceLock held. Nothing when a file is open already.
  void TraceStartOpen();
  // Hands the whole of lineBuffer to the trace file; 1 on success (and when no file is
  // open), 0 on failure. Called with traceLock held.
  long InsertMsgWrite();
  // Waits (at most 5 seconds) for the write in flight and books its bytes.
  void InsertMsgWait();
  // Stores lineBuffer as the newest record of the ring.
  void TraceWrapNewline();

  friend struct JOVTraceAccess;

  // ---- Fields, in their documented order ----
  long routineDepth;                              // innermost level, -1 when empty
  HANDLE traceFile;                               // open trace file, or null
  OVERLAPPED writeOverlap;                        // next write position; hEvent = writeEvent
  std::vector<JOVString*>* routineNames;          // owned name per level
  std::vector<bool>* routineTraced;               // Push/Pop lines written per level
  std::vector<unsigned long long>* routineStart;  // Push time per level, microseconds
  JOVString lineBuffer;                           // the line being built
  JOVString tracePath;                            // name given to the last TraceStart
  unsigned char* wrapStart;                       // the ring, or null
  unsigned char* wrapEnd;                         // end of the ring's usable part
  unsigned char* wrapOldest;                      // oldest record
  unsigned char* wrapNext;                        // where the next record goes
  wchar_t lastDate[12];                           // date of the last "Date=" line
  long writePending;                              // a write awaits InsertMsgWait
  unsigned long memoryReportThreshold;            // pool change that makes a memory line
  DWORD lastThreadId;                             // writer of the last line
  unsigned long long lastLineTime;                // JOV_TimerValue of the last line
  unsigned long long bytesWritten;                // bytes in the current trace file
  unsigned long long logSizeLimit;                // replace the file beyond this size
  unsigned long long lastPoolBytes;               // JOV_PoolMemBusy at the last memory line
  PROCESS_MEMORY_COUNTERS lastMemoryCounters;     // process counters at that line
  CRITICAL_SECTION traceLock;                     // one whole line at a time
  BOOL(WINAPI* getProcessMemoryInfo)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
  HMODULE psapiModule;            // psapi.dll once loaded
  HANDLE processHandle;           // own process, for the queries
  unsigned long lastHandleCount;  // handle count at the last such line

  // ---- Writer state beyond the documented fields ----
  // Bytes of the current file's opening lines; a file is replaced only once it holds more.
  // Set to the largest value while a new file's opening lines are being written.
  unsigned long long fileOpeningBytes;
  JOVTraceWrite* writeSlot;        // buffer and OVERLAPPED of the current or next write
  JOVTraceWrite* abandonedWrites;  // writes given up on that the system may still finish
  // The time zone's bias (system minus local time, 100-ns units), read again at the first
  // line of each second of system time; zoneBiasSecond is that second, ~0 before any.
  long long zoneBias;
  unsigned long long zoneBiasSecond;
};

// The process's trace object, null at load. The library never reads or writes it.
extern JOVUTIL_API JOVDebug* gptrCDebug;
