// chrome_writer.h - the Trace Event Format JSON that Perfetto's UI and Chromium's tracing
// page open, written while the trace is read: one complete event ("X") per routine call on
// its thread's track, an instant event ("i") per text (hex-dump lines and heap-report rows
// joined to the line they belong to), counter events ("C") for the memory lines, and the
// names of processes and threads as metadata. Nothing is held but the current instant.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "analyzer/model/name_table.h"
#include "analyzer/outputs/json_out.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

class ChromeWriter : public TraceSink {
 public:
  // Writes to `out`, which it does not close. Each trace is one process (pid = its index
  // + 1, named by its label), so that traces of one process stay apart.
  ChromeWriter(std::FILE* out, const NameTable& names);
  ~ChromeWriter() override;
  ChromeWriter(const ChromeWriter&) = delete;
  ChromeWriter& operator=(const ChromeWriter&) = delete;

  void BeginTrace(const TraceInfo& info) override;
  void OnCall(const Call& call) override;
  void OnText(const Text& text) override;
  void OnCounter(const CounterSample& sample) override;
  void EndTrace(const TraceInfo& info, const TraceStats& stats) override;
  // Ends the document; called by the destructor if not before.
  void Close();

 private:
  void BeginEvent();
  void FlushInstant();

  JsonOut json_;
  const NameTable& names_;
  bool firstEvent_ = true;
  bool closed_ = false;
  Micros origin_ = 0;
  int pid_ = 1;
  std::set<std::pair<int, std::uint32_t>> threads_;  // (pid, tid) seen

  // The instant being built: dump lines and heap rows that follow are joined to it.
  bool instantOpen_ = false;
  Text instant_;
  std::string instantText_;
  std::string instantLines_;
  std::uint64_t instantLineCount_ = 0;
};

}  // namespace jov::analyzer
