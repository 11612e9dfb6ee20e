// reader_harness.cpp - the in-memory files, the sink that writes down what it is told, and
// the read of a file set.
#include "support/reader_harness.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "analyzer/byte_source.h"
#include "analyzer/input_set.h"
#include "analyzer/line_parse.h"
#include "analyzer/timeline.h"
#include "analyzer/trace_reader.h"

namespace readertest {
namespace {

class Opener : public jovtrace::SourceOpener {
 public:
  explicit Opener(const Files& files) : files_(files) {}
  std::unique_ptr<jovtrace::ByteSource> Open(const std::string& path, std::string& error) override {
    const auto found = files_.find(path);
    if (found == files_.end()) {
      error = "No such file or directory";
      return nullptr;
    }
    // A copy of its own size, so that a read past the end is one the sanitizer sees.
    copies_.push_back(std::make_unique<std::string>(found->second));
    return std::make_unique<jovtrace::MemorySource>(*copies_.back());
  }

 private:
  const Files& files_;
  std::vector<std::unique_ptr<std::string>> copies_;
};

std::string Clock(jovtrace::Micros t) {
  t -= At(0, 0, 0);
  char text[40];
  std::snprintf(text, sizeof text, "%s%02lld:%02lld:%02lld.%06lld", t < 0 ? "-" : "",
                std::llabs(t) / 3600000000, std::llabs(t) / 60000000 % 60,
                std::llabs(t) / 1000000 % 60, std::llabs(t) % 1000000);
  return text;
}

std::string Mark(int trace) { return trace == 0 ? "" : "#" + std::to_string(trace) + " "; }

class Recorder : public jovtrace::TraceSink {
 public:
  Recorder(Reading& r, const jovtrace::NameTable& names) : r_(r), names_(names) {}
  void OnCall(const jovtrace::Call& c) override {
    std::string path;
    for (std::size_t i = 0; i < c.pathLength; ++i) path += (i ? ";" : "") + names_.Text(c.path[i]);
    r_.calls += Mark(c.trace) + path + " " + Clock(c.start) + "-" + Clock(c.end) + " dur " +
                std::to_string(c.duration) + " self " + std::to_string(c.self) + " " +
                jovtrace::CloseKindName(c.close) +
                (c.hasReturnCode ? " rc " + std::to_string(c.returnCode) : "") +
                (c.pushSeen ? "" : " no push") + " t" + std::to_string(c.thread) +
                (c.detail.empty() ? "" : " \"" + std::string(c.detail) + "\"") + "\n";
  }
  void OnText(const jovtrace::Text& t) override {
    r_.texts += Mark(t.trace) + "t" + std::to_string(t.thread) + " d" + std::to_string(t.depth) +
                " " + jovtrace::TextKindName(t.kind) + " " + Clock(t.time) + " \"" +
                std::string(t.text) + "\"\n";
  }
  void OnCounter(const jovtrace::CounterSample& s) override {
    r_.counters += Mark(s.trace) + jovtrace::CounterKindName(s.kind) + " " +
                   std::to_string(s.value) + " " + Clock(s.time) + "\n";
  }
  void OnNotice(const jovtrace::Notice& n) override {
    r_.notices += std::string(n.file) + ":" + std::to_string(n.line) + ": " +
                  std::string(n.message) + "\n";
  }
  void EndTrace(const jovtrace::TraceInfo& info, const jovtrace::TraceStats& s) override {
    std::string threads, reasons, files;
    for (const std::uint32_t t : s.threads) threads += (threads.empty() ? "" : ",") + std::to_string(t);
    for (const std::string& w : s.wrapReasons) reasons += " reasons \"" + w + "\"";
    for (const std::string& f : info.files) files += (files.empty() ? "" : ", ") + f;
    r_.traces += info.label + ": calls " + std::to_string(s.calls) + " outer " +
                 std::to_string(s.closedByOuterPop) + " nopush " + std::to_string(s.pushesMissing) +
                 " nopop " + std::to_string(s.popsMissing) + " open " + std::to_string(s.leftOpen) +
                 " skipped " + std::to_string(s.skippedLines) + " resyncs " +
                 std::to_string(s.clockResyncs) + " threads " + threads + reasons + "\n";
    r_.files += files + "\n";
  }

 private:
  Reading& r_;
  const jovtrace::NameTable& names_;
};

}  // namespace

Reading Read(const Files& files, jovtrace::TraceSink* extra, jovtrace::NameTable* names) {
  Reading reading;
  jovtrace::NameTable ownNames;
  if (names == nullptr) names = &ownNames;
  Opener opener(files);
  Recorder recorder(reading, *names);
  jovtrace::SinkFanout fanout;
  fanout.Add(recorder);
  if (extra != nullptr) fanout.Add(*extra);
  std::vector<jovtrace::FileFacts> facts;
  for (const auto& file : files) facts.push_back(jovtrace::ExamineFile(file.first, opener));
  jovtrace::TraceReader reader(*names, fanout);
  for (const jovtrace::TraceInfo& info : jovtrace::GroupTraces(facts)) reader.Read(info, opener);
  return reading;
}

jovtrace::Micros At(int hours, int minutes, int seconds, int micros) {
  return jovtrace::DaysFromCivil(2026, 12, 3) * jovtrace::Timeline::kDay +
         ((hours * 60LL + minutes) * 60 + seconds) * 1000000 + micros;
}

}  // namespace readertest
