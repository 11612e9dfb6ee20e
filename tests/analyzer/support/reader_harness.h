// reader_harness.h - reads hand-made trace files held in memory through the reader's core,
// exactly as the command does (files examined, grouped into traces, read), and keeps what
// the sink was told in plain values a test can compare.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analyzer/byte_source.h"
#include "analyzer/name_table.h"
#include "analyzer/trace_model.h"

namespace readertest {

// Opens the named strings of a map as files.
class MemoryOpener : public jovtrace::SourceOpener {
 public:
  explicit MemoryOpener(const std::map<std::string, std::string>& files) : files_(files) {}
  std::unique_ptr<jovtrace::ByteSource> Open(const std::string& path, std::string& error) override;

 private:
  const std::map<std::string, std::string>& files_;
};

struct SeenCall {
  int trace;
  std::string name;
  std::string path;  // names joined by ";"
  jovtrace::Micros start, end, duration, self;
  bool pushSeen;
  bool hasReturnCode;
  long long returnCode;
  jovtrace::CloseKind close;
  unsigned thread;
  std::string detail;
};

struct SeenText {
  int trace;
  jovtrace::Micros time;
  unsigned thread;
  int depth;
  jovtrace::TextKind kind;
  std::string text;
};

struct Result {
  std::vector<jovtrace::TraceInfo> traces;
  std::vector<jovtrace::TraceStats> stats;
  std::vector<SeenCall> calls;
  std::vector<SeenText> texts;
  std::vector<jovtrace::CounterSample> counters;
  std::vector<std::string> notices;  // "file:line: message"
  const SeenCall* Find(const std::string& name) const;
};

// Reads the files (name -> content) and records everything; `extra` also receives it all.
Result Read(const std::map<std::string, std::string>& files,
            jovtrace::TraceSink* extra = nullptr, jovtrace::NameTable* names = nullptr);

// The microseconds of a clock time on the day 2026-12-03, the day the scripts use.
jovtrace::Micros At(int hours, int minutes, int seconds, int micros = 0);

}  // namespace readertest
