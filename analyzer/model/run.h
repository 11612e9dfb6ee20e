// run.h - one run of the reader over what the user named: inputs expanded and grouped into
// traces, every trace read into a sink, notices written as "file:line: message" lines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "analyzer/input/byte_source.h"
#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"
#include "analyzer/parse/block_reader.h"

namespace jov::analyzer {

// Prints notices to a stream, at most `perFile` of them for each file, then a count.
class NoticePrinter : public TraceSink {
 public:
  explicit NoticePrinter(std::FILE* err, std::size_t perFile = 20) : err_(err), perFile_(perFile) {}
  void OnNotice(const Notice& notice) override;
  void EndTrace(const TraceInfo& info, const TraceStats& stats) override;
  bool WantsTexts() const override { return false; }
  std::uint64_t Count() const { return count_; }

 private:
  void Summarise();

  std::FILE* err_;
  std::size_t perFile_;
  std::string file_;
  std::uint64_t inFile_ = 0;
  std::uint64_t count_ = 0;
};

struct RunOptions {
  std::vector<std::string> inputs;
  bool strict = false;  // any notice makes the run fail with exit code 2
  ParseOptions parse;   // the code page and the parsing threads
  // Called with (bytes read, bytes in all inputs) as the run goes on; may be empty.
  std::function<void(std::uint64_t, std::uint64_t)> progress;
};

struct RunResult {
  int exitCode = 0;  // 0; 2 for a missing input, or for any notice under `strict`
  std::uint64_t notices = 0;
  std::uint64_t bytes = 0;
  std::size_t traces = 0;
};

// Reads everything named in `options` into `sink`; notices also go to `err`.
RunResult Run(const RunOptions& options, NameTable& names, TraceSink& sink, SourceOpener& opener,
              std::FILE* err);

}  // namespace jov::analyzer
