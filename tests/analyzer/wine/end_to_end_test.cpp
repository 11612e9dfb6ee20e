// end_to_end_test.cpp - the DLL writes real trace files (workload.cpp) and the reader's
// figures must match what the workload did: traces and files, calls per routine, return
// codes, durations equal to the Pop lines' own, outer pops, memory lines, threads, the wrap
// dump. Every line the DLL wrote is also rebuilt by the benchmark generator's formats.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "analyzer/byte_source.h"
#include "analyzer/line_parse.h"
#include "analyzer/line_text.h"
#include "analyzer/run.h"
#include "support/test_prelude.h"
#include "bench/analyzer/trace_lines.h"
#include "workload.h"

namespace {

namespace fs = std::filesystem;

struct Seen {
  std::vector<jovtrace::TraceInfo> traces;
  std::vector<jovtrace::TraceStats> stats;
  std::map<std::string, int> calls[2];
  std::map<std::string, std::map<long, int>> codes;
  std::vector<jovtrace::Micros> normalDurations;  // chain trace, closed by their own Pop
  std::map<std::string, jovtrace::CloseKind> lastClose[2];
  std::map<std::string, int> withoutPush[2];
  int poolSamples = 0;
  std::set<unsigned> callThreads;
};

class Recorder : public jovtrace::TraceSink {
 public:
  Recorder(Seen& seen, const jovtrace::NameTable& names) : seen_(seen), names_(names) {}
  void OnCall(const jovtrace::Call& call) override {
    const std::string& name = names_.Text(call.name);
    const int t = call.trace > 1 ? 1 : call.trace;
    ++seen_.calls[t][name];
    seen_.lastClose[t][name] = call.close;
    if (!call.pushSeen) ++seen_.withoutPush[t][name];
    if (t == 0) {
      seen_.callThreads.insert(call.thread);
      if (call.close == jovtrace::CloseKind::kNormal) {
        seen_.normalDurations.push_back(call.duration);
        ++seen_.codes[name][call.hasReturnCode ? static_cast<long>(call.returnCode) : -999];
      }
    }
  }
  void OnCounter(const jovtrace::CounterSample& sample) override {
    if (sample.kind == jovtrace::CounterKind::kInternalPool && sample.trace == 0) ++seen_.poolSamples;
  }
  void EndTrace(const jovtrace::TraceInfo& info, const jovtrace::TraceStats& stats) override {
    seen_.traces.push_back(info);
    seen_.stats.push_back(stats);
  }

 private:
  Seen& seen_;
  const jovtrace::NameTable& names_;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The logical lines of a trace file: split at CR LF only, so that a multi-line text (its
// continuations joined by bare line feeds) stays one line.
std::vector<std::string> LogicalLines(const std::string& content) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < content.size();) {
    const std::size_t end = content.find("\r\n", at);
    if (end == std::string::npos) break;
    lines.push_back(content.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// A line rebuilt from its parsed pieces by the generator's formats ("" when not handled).
std::string Rebuilt(const std::string& line) {
  jovtrace::ParsedLine p;
  jovtrace::ParseLine(line.substr(0, line.find('\n')), p);
  switch (p.kind) {
    case jovtrace::LineKind::kDate:  // "Date=MM/DD/YY"
      return tracelines::DateLine(2000 + std::stoi(line.substr(11, 2)), std::stoi(line.substr(5, 2)),
                                  std::stoi(line.substr(8, 2)));
    case jovtrace::LineKind::kThread: return tracelines::ThreadLine(p.thread);
    case jovtrace::LineKind::kMemory:
      return tracelines::MemoryLine(p.values[0], p.values[1], static_cast<int>(p.values[2]),
                                    static_cast<int>(p.values[3]));
    case jovtrace::LineKind::kHandleCount:
      return tracelines::HandleCountLine(static_cast<int>(p.values[0]), static_cast<int>(p.values[1]));
    case jovtrace::LineKind::kSizeNotice: return tracelines::kSizeNotice;
    case jovtrace::LineKind::kWrapBanner: return tracelines::kWrapBanner;
    case jovtrace::LineKind::kWrapEnd: return tracelines::kWrapEnd;
    case jovtrace::LineKind::kTimed: break;
    default: return "";
  }
  jovtrace::ParseLine(line, p);
  const int levels = static_cast<int>(p.indent / 4);
  std::string text(p.afterSeparator.substr(levels * 4));
  // The text as given: the continuation blanks after each line feed taken out again.
  const std::size_t blanks = p.textColumn + levels * 4 + 4;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
    text.erase(at + 1, blanks);
  jovtrace::PopText pop;
  jovtrace::PushText push;
  if (jovtrace::ParsePop(text, pop) == jovtrace::PopParse::kOk) {
    text = tracelines::PopText(pop.name, pop.hasReturnCode ? static_cast<long>(pop.returnCode)
                                                           : tracelines::kNoValue, pop.duration);
  } else if (jovtrace::ParsePush(text, push)) {
    text = tracelines::PushText(push.name, push.detail);
  }
  return tracelines::TimedLine(p.timeOfDayMs, p.intervalUs, levels, text);
}

class EndToEnd : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = new fs::path(fs::path(temp) / ("jovtrace_e2e_" + std::to_string(::GetCurrentProcessId())));
    fs::remove_all(*folder_);
    fs::create_directories(*folder_);
    // The emulated 32-bit lane cannot run a second thread: its workload is single-threaded.
    done_ = new e2e::Done(e2e::RunWorkload(folder_->wstring(), !jovtest::kEmulatedLane));
    seen_ = new Seen();
    Recorder recorder(*seen_, names_);
    jovtrace::FileOpener opener;
    jovtrace::RunOptions options;
    options.inputs = {folder_->string()};
    options.strict = true;
    result_ = jovtrace::Run(options, names_, recorder, opener, stderr);
  }
  static void TearDownTestSuite() {
    fs::remove_all(*folder_);
    delete folder_;
    delete done_;
    delete seen_;
  }

  static fs::path* folder_;
  static e2e::Done* done_;
  static Seen* seen_;
  static jovtrace::NameTable names_;
  static jovtrace::RunResult result_;
};

fs::path* EndToEnd::folder_ = nullptr;
e2e::Done* EndToEnd::done_ = nullptr;
Seen* EndToEnd::seen_ = nullptr;
jovtrace::NameTable EndToEnd::names_;
jovtrace::RunResult EndToEnd::result_;

TEST_F(EndToEnd, ChainAndWrapDumpAreTwoTracesReadWithoutANotice) {
  EXPECT_EQ(result_.exitCode, 0);
  EXPECT_EQ(result_.notices, 0u);
  ASSERT_EQ(seen_->traces.size(), 2u);
  const jovtrace::TraceInfo& chain = seen_->traces[0];
  EXPECT_EQ(chain.program, "chain");
  EXPECT_GT(chain.files.size(), 2u);
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(*folder_)) files += entry.is_regular_file();
  EXPECT_EQ(chain.files.size() + seen_->traces[1].files.size(), files);
  EXPECT_TRUE(seen_->traces[1].wrapDump);
  EXPECT_EQ(seen_->stats[1].wrapReasons, (std::vector<std::string>{"Reason: end-to-end dump"}));
  EXPECT_EQ(seen_->stats[0].leftOpen, 0u);
}

// Lines whose text the size limit replaced by its notice (one per file switch): a Push or
// Pop among them takes its return code or its start with it.
int LostLines(const std::vector<std::string>& files) {
  int lost = 0;
  for (const std::string& path : files) {
    const std::string content = ReadFile(path);
    for (std::size_t at = content.find("**** Trace terminated"); at != std::string::npos;
         at = content.find("**** Trace terminated", at + 1)) {
      ++lost;
    }
  }
  return lost;
}

TEST_F(EndToEnd, CallsAndReturnCodesPerRoutineAreWhatTheWorkloadDid) {
  // Every call and return code read is one the workload made; only lines the size limit
  // replaced can hide one (a nested Push lost with its file switch leaves no trace at all).
  const int lost = LostLines(seen_->traces[0].files);
  EXPECT_GT(lost, 0);
  int missing = 0;
  for (const auto& [routine, calls] : done_->calls) {
    SCOPED_TRACE(routine);
    EXPECT_LE(seen_->calls[0][routine], calls);
    missing += calls - seen_->calls[0][routine];
  }
  EXPECT_EQ(seen_->calls[0].size(), done_->calls.size());
  EXPECT_LE(missing, lost);
  int hidden = 0;
  for (const auto& [routine, codes] : done_->codes) {
    for (const auto& [code, calls] : codes) {
      SCOPED_TRACE(routine + " code " + std::to_string(code));
      const int read = seen_->codes[routine][code];
      EXPECT_LE(read, calls);
      hidden += calls - read;
    }
  }
  EXPECT_EQ(seen_->codes.size(), done_->codes.size());
  EXPECT_LE(hidden, lost);
  const auto& stats = seen_->stats[0];
  EXPECT_LE(stats.pushesMissing + stats.popsMissing, 3u * lost);
  EXPECT_LE(stats.closedByOuterPop, static_cast<std::uint64_t>(done_->closedByOuterPop));
  EXPECT_GE(stats.closedByOuterPop + 2u * lost, static_cast<std::uint64_t>(done_->closedByOuterPop));
  EXPECT_GT(seen_->poolSamples, 0);
  std::set<unsigned> threads = {static_cast<unsigned>(done_->mainThread)};
  if (done_->workerThread != 0) threads.insert(static_cast<unsigned>(done_->workerThread));
  EXPECT_EQ(seen_->callThreads, threads);
  // The monitor thread wrote lines too where it ran.
  EXPECT_EQ(seen_->stats[0].threads.size(), jovtest::kEmulatedLane ? 1u : 3u);
}

TEST_F(EndToEnd, DurationsAreThePopLinesOwn) {
  std::vector<jovtrace::Micros> written;
  for (const std::string& path : seen_->traces[0].files) {
    for (const std::string& line : LogicalLines(ReadFile(path))) {
      jovtrace::ParsedLine p;
      jovtrace::ParseLine(line, p);
      jovtrace::PopText pop;
      if (p.kind == jovtrace::LineKind::kTimed &&
          jovtrace::ParsePop(p.afterSeparator.substr(p.indent / 4 * 4), pop) == jovtrace::PopParse::kOk) {
        written.push_back(pop.duration);
      }
    }
  }
  std::vector<jovtrace::Micros> read = seen_->normalDurations;
  std::sort(written.begin(), written.end());
  std::sort(read.begin(), read.end());
  EXPECT_EQ(read, written);
  EXPECT_FALSE(read.empty());
}

TEST_F(EndToEnd, WrapDumpKeepsTheNewestTicksAndTheOpenRoutine) {
  EXPECT_EQ(seen_->lastClose[1]["Ring.Open"], jovtrace::CloseKind::kOpenAtEnd);
  EXPECT_GT(seen_->calls[1]["Ring.Tick"], 0);
  EXPECT_LT(seen_->calls[1]["Ring.Tick"], 40);  // the ring dropped the oldest
}

TEST_F(EndToEnd, GeneratorFormatsRebuildEveryLineTheDllWrote) {
  std::size_t lines = 0;
  for (const auto& entry : fs::directory_iterator(*folder_)) {
    for (const std::string& line : LogicalLines(ReadFile(entry.path()))) {
      const std::string rebuilt = Rebuilt(line);
      if (rebuilt.empty()) continue;  // the dump's reason, a caller's bare text
      ++lines;
      EXPECT_EQ(rebuilt, line) << entry.path().string();
    }
  }
  EXPECT_GT(lines, 200u);
}

TEST_F(EndToEnd, TheCommandReadsTheFilesToo) {
  if (jovtest::kEmulatedLane) GTEST_SKIP() << "a second process start costs a minute on the emulated 32-bit lane";
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path exe = fs::path(self).parent_path() / "jovtrace.exe";
  const std::wstring command = L"\"\"" + exe.wstring() + L"\" summary --sort name --csv \"" +
                               folder_->wstring() + L"\" 2>&1\"";
  FILE* pipe = ::_wpopen(command.c_str(), L"r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) != 0;) out.append(buffer, n);
  EXPECT_EQ(::_pclose(pipe), 0) << out;
  EXPECT_NE(out.find("chain (pid " + std::to_string(::GetCurrentProcessId()) + "),Batch.Step,30,"),
            std::string::npos) << out;
}

}  // namespace
