// trace_reader.h - reads the files of one trace and tells a sink what they hold: calls,
// texts, counter samples, and notices about what it skipped or repaired. The lines come
// parsed (parse/parsed_block.h): whole files through the parallel parse stage, a growing file
// chunk by chunk as it is followed; this stage keeps the clock, the thread, the counters and
// the routine stack, in line order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analyzer/input/byte_source.h"
#include "analyzer/model/call_stack.h"
#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"
#include "analyzer/parse/block_reader.h"

namespace jov::analyzer {

// Called now and then with the bytes of the trace read so far.
using ProgressFn = std::function<void(std::uint64_t bytesInTrace)>;

class TraceReader {
 public:
  // `parse` says how the lines are parsed: the code page, the threads, the block size.
  TraceReader(NameTable& names, TraceSink& sink, const ParseOptions& parse = ParseOptions());
  // Reads `info.files` in order as one trace: the routine stack, thread and clock carry
  // from one file into the next. Never throws for bad input; notices go to the sink.
  TraceStats Read(const TraceInfo& info, SourceOpener& opener,
                  const ProgressFn& progress = nullptr);

 private:
  NameTable& names_;
  TraceSink& sink_;
  ParseOptions parse_;
};

// The same reading with the lines pushed in as they come (a trace that is still written):
// BeginTrace on construction, then files and chunks of whole lines in order, EndTrace at
// Finish. Between chunks it says how far it got and which routine levels are open.
class TraceFeed {
 public:
  TraceFeed(NameTable& names, TraceSink& sink, const TraceInfo& info, const TextDecoder& decoder);
  ~TraceFeed();
  TraceFeed(const TraceFeed&) = delete;
  TraceFeed& operator=(const TraceFeed&) = delete;

  // A file of the trace begins; `continues`: it carries on the file before (a size limit's
  // chain), so the clock runs on.
  void BeginFile(const std::string& path, bool continues);
  // The next whole lines of the file. The chunk's storage is borrowed while they are read.
  void Lines(LineChunk& chunk);
  // The file is done, after `bytes` bytes.
  void EndFile(std::uint64_t bytes);
  // Hands out a text still waiting for continuation lines: the writer has gone quiet after
  // it. Continuation lines that come later are dropped.
  void FlushText();
  const TraceStats& Stats() const;
  // The time of the latest line.
  Micros LastTime() const;
  // The routine levels open now, outermost first.
  void OpenLevels(std::vector<OpenLevel>& out) const;
  // Closes what is still open at the last line (marked open) and ends the trace with
  // `info` (its final list of files).
  TraceStats Finish(const TraceInfo& info);

 private:
  struct State;
  TraceSink& sink_;
  std::unique_ptr<State> state_;
};

}  // namespace jov::analyzer
