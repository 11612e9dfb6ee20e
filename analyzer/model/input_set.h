// input_set.h - from the files named to the traces to read: each file's first lines and
// last line looked at, and the files grouped into traces (a chain that a size limit made, a series
// of wrap dumps) in time order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyzer/input/byte_source.h"
#include "analyzer/input/text_encoding.h"
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
  std::string program;  // the trace's name part (UTF-8, as every text of the facts)
  std::string userId;
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;
  Micros headerClock = 0;  // when the file was opened (its header line)
  Micros firstClock = 0;   // the earliest clock among its first lines
  std::uint64_t size = 0;
};

// Looks at the start and the end (4 KiB) of a file. The start is read up to the line after
// its header, which tells a file trace from a wrap dump; a file without a header, and a wrap
// dump (whose saved lines are older than its header), up to 64 KiB.
FileFacts ExamineFile(const std::string& path, SourceOpener& opener,
                      const TextDecoder& decoder = TextDecoder());

// The rule that chains files into one trace: `next` carries on the trace of `before` when both
// are of one trace object (same process and name, both file traces or both wrap dumps) and
// either `before` ended with the size limit's notice or both are wrap dumps (a series of
// dumps of one object).
bool ContinuesChain(const FileFacts& before, const FileFacts& next);

// Groups trace files into traces by ContinuesChain, in the order the files were opened;
// anything else is a trace of its own. Files that are no trace are left out. The traces come
// in the order they started, numbered from 0; `origin` is set to the earliest clock of all.
std::vector<TraceInfo> GroupTraces(const std::vector<FileFacts>& files);

// The trace a followed file begins, as GroupTraces makes it; a file not recognisable as a
// trace yet (one replaced by an empty file) is named by its file.
TraceInfo TraceOfFile(const FileFacts& facts);

}  // namespace jov::analyzer
