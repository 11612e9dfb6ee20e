// reader_harness.h - reads hand-made trace files held in memory through the reader's core,
// as the command does (files examined, grouped into traces, read), and writes down what the
// sink was told as lines of text, so that a test compares a whole reading as one string.
#pragma once

#include <map>
#include <string>

#include "analyzer/name_table.h"
#include "analyzer/trace_model.h"

namespace readertest {

using Files = std::map<std::string, std::string>;  // file name -> content

// What the sink was told, one line per event in the order it came. Times are clock times
// of the scripts' day, 2026-12-03 ("24:00:00.000100" is just after its midnight); a trace
// other than the first is marked "#N ".
struct Reading {
  // PATH START-END dur D self S CLOSE[ rc CODE][ no push] tTHREAD[ "DETAIL"]
  std::string calls;
  // tTHREAD dDEPTH KIND TIME "TEXT"
  std::string texts;
  // KIND VALUE TIME
  std::string counters;
  // FILE:LINE: MESSAGE
  std::string notices;
  // LABEL: calls N outer N nopush N nopop N open N skipped N resyncs N threads A,B[ reasons R]
  std::string traces;
  // the files of each trace, in the order read
  std::string files;
};

// Reads the files; `extra` is told everything too, with names interned in `names`.
Reading Read(const Files& files, jovtrace::TraceSink* extra = nullptr,
             jovtrace::NameTable* names = nullptr);

// The microseconds of a clock time on 2026-12-03.
jovtrace::Micros At(int hours, int minutes, int seconds, int micros = 0);

// The time of day in milliseconds, as a timed line carries it.
inline std::int32_t Tod(int hours, int minutes, int seconds, int millis = 0) {
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + millis;
}

}  // namespace readertest
