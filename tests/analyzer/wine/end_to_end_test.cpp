// end_to_end_test.cpp - the DLL writes real trace files (workload.cpp) and the reader's
// figures must match what the workload did: traces and files, calls per routine, return
// codes, durations equal to the Pop lines' own, outer pops, memory lines, threads, the wrap
// dump. Every line the DLL wrote is also rebuilt by the benchmark generator's formats.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
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

// What the reader told its sink: per trace (the wrap dump is trace 1) calls per routine;
// of the chain, the return codes and durations of calls closed by their own Pop.
struct Seen : jovtrace::TraceSink {
  explicit Seen(const jovtrace::NameTable& names) : names(names) {}
  void OnCall(const jovtrace::Call& call) override {
    const std::string& name = names.Text(call.name);
    ++calls[std::min(call.trace, 1)][name];
    lastClose[std::min(call.trace, 1)][name] = call.close;
    if (call.trace != 0) return;
    threads.insert(call.thread);
    if (call.close != jovtrace::CloseKind::kNormal) return;
    durations.push_back(call.duration);
    ++codes[name][call.hasReturnCode ? static_cast<long>(call.returnCode) : -999];
  }
  void OnCounter(const jovtrace::CounterSample& s) override {
    poolSamples += s.kind == jovtrace::CounterKind::kInternalPool && s.trace == 0;
  }
  void EndTrace(const jovtrace::TraceInfo& info, const jovtrace::TraceStats& s) override {
    traces.push_back(info);
    stats.push_back(s);
  }
  const jovtrace::NameTable& names;
  std::vector<jovtrace::TraceInfo> traces;
  std::vector<jovtrace::TraceStats> stats;
  std::map<std::string, int> calls[2];
  std::map<std::string, jovtrace::CloseKind> lastClose[2];
  std::map<std::string, std::map<long, int>> codes;
  std::vector<jovtrace::Micros> durations;
  std::set<unsigned> threads;
  int poolSamples = 0;
};

// The logical lines of a trace file: split at CR LF only, so that a multi-line text (its
// continuations joined by bare line feeds) stays one line.
std::vector<std::string> LogicalLines(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  const std::string content = text.str();
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = content.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(content.substr(at, end - at));
  return lines;
}

// A line rebuilt from its parsed pieces by the generator's formats ("" when not handled);
// the duration of a Pop line goes to `pops`.
std::string Rebuilt(const std::string& line, std::vector<jovtrace::Micros>& pops) {
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
    pops.push_back(pop.duration);
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
    const fs::path folder = fs::path(temp) / ("jovtrace_e2e_" + std::to_string(::GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    // The emulated 32-bit lane cannot run a second thread: its workload is single-threaded.
    done_ = e2e::RunWorkload(folder.wstring(), !jovtest::kEmulatedLane);
    jovtrace::FileOpener opener;
    jovtrace::RunOptions options;
    options.inputs = {folder.string()};
    options.strict = true;
    result_ = jovtrace::Run(options, names_, seen_, opener, stderr);
    // Every line the DLL wrote; of the chain, the Pop lines' durations and the lines whose
    // text the size limit replaced by its notice (one per file switch).
    for (const auto& entry : fs::directory_iterator(folder)) {
      ++files_;
      const bool chain = entry.path().filename().string().find("chain") != std::string::npos;
      std::vector<jovtrace::Micros> pops;
      for (const std::string& line : LogicalLines(entry.path())) {
        lost_ += chain && line.find("**** Trace terminated") != std::string::npos;
        const std::string rebuilt = Rebuilt(line, pops);
        if (rebuilt.empty()) continue;  // the dump's reason, a caller's bare text
        ++rebuiltLines_;
        if (rebuilt != line) notRebuilt_ += line + "\n";
      }
      if (chain) popDurations_.insert(popDurations_.end(), pops.begin(), pops.end());
    }
    fs::remove_all(folder);
  }

  static inline e2e::Done done_;
  static inline jovtrace::NameTable names_;
  static inline Seen seen_{names_};
  static inline jovtrace::RunResult result_;
  static inline std::size_t files_ = 0, rebuiltLines_ = 0;
  static inline int lost_ = 0;
  static inline std::string notRebuilt_;
  static inline std::vector<jovtrace::Micros> popDurations_;
};

TEST_F(EndToEnd, ChainAndWrapDumpAreTwoTracesReadWithoutANotice) {
  EXPECT_EQ(result_.exitCode, 0);
  EXPECT_EQ(result_.notices, 0u);
  ASSERT_EQ(seen_.traces.size(), 2u);
  EXPECT_EQ(seen_.traces[0].program, "chain");
  EXPECT_GT(seen_.traces[0].files.size(), 2u);
  EXPECT_EQ(seen_.traces[0].files.size() + seen_.traces[1].files.size(), files_);
  EXPECT_TRUE(seen_.traces[1].wrapDump);
  EXPECT_EQ(seen_.stats[1].wrapReasons, (std::vector<std::string>{"Reason: end-to-end dump"}));
  EXPECT_EQ(seen_.stats[0].leftOpen, 0u);
  // The wrap dump keeps the newest ticks (the ring dropped the oldest) and the open routine.
  EXPECT_EQ(seen_.lastClose[1]["Ring.Open"], jovtrace::CloseKind::kOpenAtEnd);
  EXPECT_GT(seen_.calls[1]["Ring.Tick"], 0);
  EXPECT_LT(seen_.calls[1]["Ring.Tick"], 40);
}

TEST_F(EndToEnd, CallsAndReturnCodesPerRoutineAreWhatTheWorkloadDid) {
  // Every call and return code read is one the workload made; only lines the size limit
  // replaced can hide one (a nested Push lost with its file switch leaves no trace at all).
  EXPECT_GT(lost_, 0);
  int missing = 0, hidden = 0;
  for (const auto& [routine, calls] : done_.calls) {
    SCOPED_TRACE(routine);
    EXPECT_LE(seen_.calls[0][routine], calls);
    missing += calls - seen_.calls[0][routine];
  }
  for (const auto& [routine, codes] : done_.codes) {
    for (const auto& [code, calls] : codes) {
      SCOPED_TRACE(routine + " code " + std::to_string(code));
      EXPECT_LE(seen_.codes[routine][code], calls);
      hidden += calls - seen_.codes[routine][code];
    }
  }
  EXPECT_EQ(seen_.calls[0].size(), done_.calls.size());
  EXPECT_EQ(seen_.codes.size(), done_.codes.size());
  EXPECT_LE(missing, lost_);
  EXPECT_LE(hidden, lost_);
  const auto& stats = seen_.stats[0];
  EXPECT_LE(stats.pushesMissing + stats.popsMissing, 3u * lost_);
  EXPECT_LE(stats.closedByOuterPop, static_cast<std::uint64_t>(done_.closedByOuterPop));
  EXPECT_GE(stats.closedByOuterPop + 2u * lost_, static_cast<std::uint64_t>(done_.closedByOuterPop));
  EXPECT_GT(seen_.poolSamples, 0);
  std::set<unsigned> threads = {static_cast<unsigned>(done_.mainThread)};
  if (done_.workerThread != 0) threads.insert(static_cast<unsigned>(done_.workerThread));
  EXPECT_EQ(seen_.threads, threads);
  // The monitor thread wrote lines too where it ran.
  EXPECT_EQ(stats.threads.size(), jovtest::kEmulatedLane ? 1u : 3u);
}

TEST_F(EndToEnd, DurationsAreThePopLinesOwn) {
  std::vector<jovtrace::Micros> read = seen_.durations;
  std::sort(popDurations_.begin(), popDurations_.end());
  std::sort(read.begin(), read.end());
  EXPECT_EQ(read, popDurations_);
  EXPECT_FALSE(read.empty());
}

TEST_F(EndToEnd, GeneratorFormatsRebuildEveryLineTheDllWrote) {
  EXPECT_EQ(notRebuilt_, "");
  EXPECT_GT(rebuiltLines_, 200u);
}

}  // namespace
