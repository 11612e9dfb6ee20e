// reader_harness.cpp - the scripted files, the in-memory opener, the sink that writes down
// what it is told, and the read of a file set.
#include "support/reader_harness.h"

#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include "analyzer/generator/trace_lines.h"

#include "analyzer/input/byte_source.h"
#include "analyzer/model/input_set.h"
#include "analyzer/parse/line_parse.h"
#include "analyzer/model/timeline.h"
#include "analyzer/model/trace_reader.h"

namespace readertest {
namespace {

// Serves copies of the files, each of its own size, so that a read past the end is one the
// sanitizer sees.
struct Opener : jov::analyzer::SourceOpener {
  explicit Opener(const Files& files) : files(files) {}
  std::unique_ptr<jov::analyzer::ByteSource> Open(const std::string& path,
                                                  std::string& error) override {
    const auto found = files.find(path);
    if (found == files.end()) {
      error = "No such file or directory";
      return nullptr;
    }
    return std::make_unique<jov::analyzer::MemorySource>(found->second);
  }
  const Files files;
};

std::string Clock(jov::analyzer::Micros t) { return std::to_string(t - At(22, 15, 30)); }
std::string Mark(int trace) { return trace == 0 ? "" : "#" + std::to_string(trace) + " "; }

struct Recorder : jov::analyzer::TraceSink {
  Recorder(Reading& r, const jov::analyzer::NameTable& names) : r(r), names(names) {}
  void OnCall(const jov::analyzer::Call& c) override {
    std::string path;
    for (std::size_t i = 0; i < c.pathLength; ++i) path += (i ? ";" : "") + names.Text(c.path[i]);
    r.calls += Mark(c.trace) + path + " " + Clock(c.start) + "-" + Clock(c.end) + " dur " +
               std::to_string(c.duration) + " self " + std::to_string(c.self) +
               (c.close == jov::analyzer::CloseKind::kNormal
                    ? ""
                    : " " + std::string(jov::analyzer::CloseKindName(c.close))) +
               (c.hasReturnCode ? " rc " + std::to_string(c.returnCode) : "") +
               (c.pushSeen ? "" : " no push") + " t" + std::to_string(c.thread) +
               (c.detail.empty() ? "" : " \"" + std::string(c.detail) + "\"") + "\n";
  }
  void OnText(const jov::analyzer::Text& t) override {
    r.texts += Mark(t.trace) + "t" + std::to_string(t.thread) + " d" + std::to_string(t.depth) +
               " " + jov::analyzer::TextKindName(t.kind) + " " + Clock(t.time) + " \"" +
               std::string(t.text) + "\"\n";
  }
  void OnCounter(const jov::analyzer::CounterSample& s) override {
    r.counters += Mark(s.trace) + jov::analyzer::CounterKindName(s.kind) + " " +
                  std::to_string(s.value) + " " + Clock(s.time) + "\n";
  }
  void OnNotice(const jov::analyzer::Notice& n) override {
    r.notices +=
        std::string(n.file) + ":" + std::to_string(n.line) + ": " + std::string(n.message) + "\n";
  }
  void EndTrace(const jov::analyzer::TraceInfo& info, const jov::analyzer::TraceStats& s) override {
    r.traces += info.label + ": calls " + std::to_string(s.calls);
    const std::pair<const char*, std::uint64_t> figures[] = {
        {"outer", s.closedByOuterPop}, {"nopush", s.pushesMissing}, {"nopop", s.popsMissing},
        {"open", s.leftOpen},          {"skipped", s.skippedLines}, {"resyncs", s.clockResyncs}};
    for (const auto& [name, value] : figures)
      r.traces += value == 0 ? "" : " " + std::string(name) + " " + std::to_string(value);
    for (std::size_t i = 0; i < s.threads.size(); ++i)
      r.traces += (i ? "," : " threads ") + std::to_string(s.threads[i]);
    for (const std::string& w : s.wrapReasons) r.traces += " reasons \"" + w + "\"";
    for (std::size_t i = 0; info.files.size() > 1 && i < info.files.size(); ++i)
      r.traces += (i ? ", " : " files ") + info.files[i];
    r.traces += "\n";
  }
  Reading& r;
  const jov::analyzer::NameTable& names;
};

}  // namespace

Files Play(std::string_view steps) {
  if (steps.rfind("file ", 0) != 0 && steps.rfind("raw ", 0) != 0)
    return Play("file 261203 221530 app.JOV_Log|" + std::string(steps));
  const auto fresh = [] {
    return jov::generator::Script(2026, 12, 3, At(22, 15, 30) % jov::analyzer::Timeline::kDay);
  };
  Files files;
  jov::generator::Script s = fresh();
  std::string name;
  const auto store = [&] {
    if (!name.empty()) files[name] += s.Content();
    s.Clear();
  };
  for (std::size_t at = 0; at <= steps.size();) {
    const std::size_t end = std::min(steps.find('|', at), steps.size());
    const std::string step(steps.substr(at, end - at));
    at = end + 1;
    const std::size_t blank = step.find(' ');
    const std::string verb = step.substr(0, blank),
                      arg = blank == std::string::npos ? "" : step.substr(blank + 1);
    int level = -1;
    long code = jov::generator::kNoValue;
    long long pool = 0;
    if (verb == "file" || verb == "raw" || verb == "new" || verb == "cut") store();
    if (verb == "new") s = fresh();
    const std::size_t slash = arg.find('/');
    if (verb[0] == '+')
      s.Advance(std::stoll(verb.substr(1)));
    else if (verb == "file" || verb == "raw" || verb == "new")
      name = arg;  // "new": none until a file
    else if (verb == "push")
      s.Push(arg.substr(0, slash), slash == std::string::npos ? "" : arg.substr(slash + 1));
    else if (verb == "pop" && std::sscanf(arg.c_str(), "%d %ld", &level, &code) <= 2)
      s.Pop(level, code);
    else if (verb == "text")
      s.Text(arg);
    else if (verb == "thread")
      s.Thread(static_cast<std::uint32_t>(std::stoul(arg)));
    else if (verb == "mem" && std::sscanf(arg.c_str(), "%lld %d", &pool, &level) == 2)
      s.Memory(pool, level);
    else if (verb == "bare")
      s.Bare(arg);
    else if (verb == "cut")
      files[name] += arg;  // a last line without its line end
    else if (verb == "date")
      s.Bare(jov::generator::DateLine(2026, 12, std::stoi(arg)));
    else
      throw std::invalid_argument("bad step: " + step);
    if (verb == "file") s.Open(42, 7, "C:\\t\\" + arg.substr(arg.rfind('/') + 1));
  }
  store();
  return files;
}

Reading Read(const Files& files, jov::analyzer::TraceSink* extra, jov::analyzer::NameTable* names,
             const jov::analyzer::ParseOptions& parse) {
  Reading reading;
  jov::analyzer::NameTable ownNames;
  Opener opener(files);
  Recorder recorder(reading, names != nullptr ? *names : ownNames);
  jov::analyzer::SinkFanout fanout;
  fanout.Add(recorder);
  if (extra != nullptr) fanout.Add(*extra);
  std::vector<jov::analyzer::FileFacts> facts;
  for (const auto& file : files) facts.push_back(jov::analyzer::ExamineFile(file.first, opener));
  jov::analyzer::TraceReader reader(names != nullptr ? *names : ownNames, fanout, parse);
  for (const jov::analyzer::TraceInfo& info : jov::analyzer::GroupTraces(facts))
    reader.Read(info, opener);
  return reading;
}

std::string Captured(const std::function<void(std::FILE*)>& write) {
  std::FILE* file = std::tmpfile();
  write(file);
  std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
}

std::pair<int, std::string> Shell(const std::string& line) {
  const char* exe = std::getenv("JOVTRACE_EXE");
  if (exe == nullptr) return {-1, "JOVTRACE_EXE is not set"};
  std::FILE* pipe = ::popen(
      ("exec 2>&1; jovtrace() { '" + std::string(exe) + "' \"$@\"; }; " + line).c_str(), "r");
  std::string out;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) != 0;)
    out.append(chunk, got);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

jov::analyzer::Micros At(int hours, int minutes, int seconds, int micros) {
  return jov::analyzer::DaysFromCivil(2026, 12, 3) * jov::analyzer::Timeline::kDay +
         ((hours * 60LL + minutes) * 60 + seconds) * 1000000 + micros;
}

}  // namespace readertest
