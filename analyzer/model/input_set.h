// input_set.h - from the files named to the traces to read: each file's first lines and
// last line looked at, and the files grouped into traces (a chain that a size limit made, a series
// of wrap dumps) in time order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyzer/input/byte_source.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

// What the first lines and the last line of a file say.
struct FileFacts {
  std::string path;
  bool readable = false;
  std::string error;     // why it is not readable
  bool isTrace = false;  // it holds trace lines
  bool hasHeader = false;
  bool wrapDump = false;
  bool endsWithSizeNotice = false;
  std::string program;  // the trace's name part
  std::string userId;
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;
  Micros headerClock = 0;  // when the file was opened (its header line)
  Micros firstClock = 0;   // the earliest clock among its first lines
  std::uint64_t size = 0;
};

// Looks at the start (64 KiB) and the end (4 KiB) of a file.
FileFacts ExamineFile(const std::string& path, SourceOpener& opener);

// Groups trace files into traces: files of one trace object (same process and name) follow
// each other when the earlier one ends with the size notice, and wrap dumps of one object
// form a series; anything else is a trace of its own. Files that are no trace are left
// out. The traces come in the order they started, numbered from 0; `origin` is set to the
// earliest clock of all.
std::vector<TraceInfo> GroupTraces(const std::vector<FileFacts>& files);

}  // namespace jov::analyzer
