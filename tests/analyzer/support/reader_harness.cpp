// reader_harness.cpp - the in-memory files, the recording sink and the read of a file set.
#include "support/reader_harness.h"

#include "analyzer/input_set.h"
#include "analyzer/line_parse.h"
#include "analyzer/timeline.h"
#include "analyzer/trace_reader.h"

namespace readertest {
namespace {

// A source that owns a copy of its bytes.
class OwnedSource : public jovtrace::MemorySource {
 public:
  explicit OwnedSource(std::unique_ptr<std::string> bytes)
      : MemorySource(*bytes), bytes_(std::move(bytes)) {}

 private:
  std::unique_ptr<std::string> bytes_;
};

class Recorder : public jovtrace::TraceSink {
 public:
  Recorder(Result& result, const jovtrace::NameTable& names) : result_(result), names_(names) {}
  void OnCall(const jovtrace::Call& call) override {
    std::string path;
    for (std::size_t i = 0; i < call.pathLength; ++i) {
      if (i != 0) path += ';';
      path += names_.Text(call.path[i]);
    }
    result_.calls.push_back({call.trace, names_.Text(call.name), path, call.start, call.end,
                             call.duration, call.self, call.pushSeen, call.hasReturnCode,
                             static_cast<long long>(call.returnCode), call.close, call.thread,
                             std::string(call.detail)});
  }
  void OnText(const jovtrace::Text& text) override {
    result_.texts.push_back({text.trace, text.time, text.thread, text.depth, text.kind,
                             std::string(text.text)});
  }
  void OnCounter(const jovtrace::CounterSample& sample) override {
    result_.counters.push_back(sample);
  }
  void OnNotice(const jovtrace::Notice& notice) override {
    result_.notices.push_back(std::string(notice.file) + ":" + std::to_string(notice.line) +
                              ": " + std::string(notice.message));
  }
  void EndTrace(const jovtrace::TraceInfo& info, const jovtrace::TraceStats& stats) override {
    result_.traces.push_back(info);
    result_.stats.push_back(stats);
  }

 private:
  Result& result_;
  const jovtrace::NameTable& names_;
};

}  // namespace

std::unique_ptr<jovtrace::ByteSource> MemoryOpener::Open(const std::string& path,
                                                         std::string& error) {
  const auto found = files_.find(path);
  if (found == files_.end()) {
    error = "No such file or directory";
    return nullptr;
  }
  return std::make_unique<OwnedSource>(std::make_unique<std::string>(found->second));
}

const SeenCall* Result::Find(const std::string& name) const {
  for (const SeenCall& call : calls)
    if (call.name == name) return &call;
  return nullptr;
}

Result Read(const std::map<std::string, std::string>& files, jovtrace::TraceSink* extra,
            jovtrace::NameTable* names) {
  Result result;
  jovtrace::NameTable ownNames;
  if (names == nullptr) names = &ownNames;
  MemoryOpener opener(files);
  Recorder recorder(result, *names);
  jovtrace::SinkFanout fanout;
  fanout.Add(recorder);
  if (extra != nullptr) fanout.Add(*extra);
  std::vector<jovtrace::FileFacts> facts;
  for (const auto& file : files) facts.push_back(jovtrace::ExamineFile(file.first, opener));
  jovtrace::TraceReader reader(*names, fanout);
  for (const jovtrace::TraceInfo& info : jovtrace::GroupTraces(facts)) reader.Read(info, opener);
  return result;
}

jovtrace::Micros At(int hours, int minutes, int seconds, int micros) {
  return jovtrace::DaysFromCivil(2026, 12, 3) * jovtrace::Timeline::kDay +
         ((hours * 60LL + minutes) * 60 + seconds) * 1000000 + micros;
}

}  // namespace readertest
