// trace_reader.h - reads the files of one trace, line by line, and tells a sink what they
// hold: calls, texts, counter samples, and notices about what it skipped or repaired.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "analyzer/input/byte_source.h"
#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

// Called now and then with the bytes of the trace read so far.
using ProgressFn = std::function<void(std::uint64_t bytesInTrace)>;

class TraceReader {
 public:
  TraceReader(NameTable& names, TraceSink& sink) : names_(names), sink_(sink) {}
  // Reads `info.files` in order as one trace: the routine stack, thread and clock carry
  // from one file into the next. Never throws for bad input; notices go to the sink.
  TraceStats Read(const TraceInfo& info, SourceOpener& opener,
                  const ProgressFn& progress = nullptr);

 private:
  NameTable& names_;
  TraceSink& sink_;
};

}  // namespace jov::analyzer
