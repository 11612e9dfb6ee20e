// end_to_end_test.cpp - the DLL writes real trace files (workload.cpp) and the reader's
// figures must match what the workload did: traces and files, calls per routine, return
// codes, durations equal to the Pop lines' own, outer pops, memory lines, threads, the wrap
// dump.
#include "support/test_prelude.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "analyzer/parse/line_parse.h"
#include "analyzer/parse/line_text.h"
#include "analyzer/input/file_source.h"
#include "analyzer/model/run.h"
#include "trace/trace_format.h"
#include "workload.h"

namespace {

namespace fs = std::filesystem;

// What the reader told its sink. Of the chain (trace 0), the counts keyed as the workload's
// (return codes of calls closed by their own Pop), their durations and threads; of the wrap
// dump, calls per routine.
struct Seen : jov::analyzer::TraceSink {
  explicit Seen(const jov::analyzer::NameTable& names) : names(names) {}
  void OnCall(const jov::analyzer::Call& c) override {
    const std::string& name = names.Text(c.name);
    ++(c.trace == 0 ? counts : ring)[name];
    if (c.trace != 0) return;
    threads.insert(c.thread);
    if (c.close != jov::analyzer::CloseKind::kNormal) return;
    durations.insert(c.duration);
    ++counts[name + " rc " + (c.hasReturnCode ? std::to_string(c.returnCode) : "none")];
  }
  void OnCounter(const jov::analyzer::CounterSample& s) override {
    poolSamples += s.kind == jov::analyzer::CounterKind::kInternalPool && s.trace == 0;
  }
  void EndTrace(const jov::analyzer::TraceInfo& info, const jov::analyzer::TraceStats& s) override {
    traces.push_back(info);
    stats.push_back(s);
  }
  const jov::analyzer::NameTable& names;
  std::vector<jov::analyzer::TraceInfo> traces;
  std::vector<jov::analyzer::TraceStats> stats;
  std::map<std::string, int> counts, ring;
  std::multiset<jov::analyzer::Micros> durations;
  std::set<unsigned> threads;
  int poolSamples = 0;
};

// The duration of a Pop line (the line without its CR LF), if it is one.
bool PopDuration(const std::string& line, jov::analyzer::Micros& duration) {
  jov::analyzer::ParsedLine p;
  jov::analyzer::PopText pop;
  jov::analyzer::ParseLine(line, p);
  const bool isPop = p.kind == jov::analyzer::LineKind::kTimed &&
                     jov::analyzer::ParsePop(p.afterSeparator.substr(p.indent), pop) ==
                         jov::analyzer::PopParse::kOk;
  duration = pop.duration;
  return isPop;
}

TEST(EndToEnd, ReaderFiguresAreWhatTheWorkloadDidThroughTheDll) {
  const fs::path folder =
      fs::temp_directory_path() / ("jovtrace_e2e_" + std::to_string(::GetCurrentProcessId()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  // The emulated 32-bit lane cannot run a second thread: its workload is single-threaded.
  const e2e::Done done = e2e::RunWorkload(folder.wstring(), !jovtest::kEmulatedLane);
  jov::analyzer::NameTable names;
  Seen seen(names);
  jov::analyzer::FileOpener opener;
  const jov::analyzer::RunResult result =
      jov::analyzer::Run({{folder.string()}, /*strict*/ true, {}, {}}, names, seen, opener, stderr);
  // The chain's lines (split at CR LF only, so that a multi-line text stays one): the Pop
  // lines' durations and the lines the size limit replaced by its notice.
  std::size_t files = 0;
  int lost = 0;
  std::multiset<jov::analyzer::Micros> popDurations;
  for (const auto& entry : fs::directory_iterator(folder)) {
    ++files;
    if (entry.path().filename().string().find("chain") == std::string::npos) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    for (std::size_t at = 0, end; (end = content.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
      const std::string line = content.substr(at, end - at);
      lost += line.find(jov::trace::format::kTerminated) != std::string::npos;
      jov::analyzer::Micros duration;
      if (PopDuration(line, duration)) popDurations.insert(duration);
    }
  }
  fs::remove_all(folder);

  // The chain and the wrap dump are two traces, read without a notice.
  EXPECT_EQ(std::make_pair(result.exitCode, result.notices), std::make_pair(0, std::uint64_t{0}));
  ASSERT_EQ(seen.traces.size(), 2u);
  EXPECT_EQ(seen.traces[0].program, "chain");
  EXPECT_GT(seen.traces[0].files.size(), 2u);
  EXPECT_EQ(seen.traces[0].files.size() + seen.traces[1].files.size(), files);
  EXPECT_TRUE(seen.traces[1].wrapDump);
  EXPECT_EQ(seen.stats[1].wrapReasons, (std::vector<std::string>{"Reason: end-to-end dump"}));
  EXPECT_EQ(seen.stats[0].leftOpen, 0u);
  // The wrap dump keeps the newest ticks (the ring dropped the oldest) and the open routine.
  EXPECT_EQ(std::make_pair(seen.ring["Ring.Open"], seen.stats[1].leftOpen),
            std::make_pair(1, std::uint64_t{1}));
  EXPECT_TRUE(seen.ring["Ring.Tick"] > 0 && seen.ring["Ring.Tick"] < 40) << seen.ring["Ring.Tick"];

  // Every call and return code read is one the workload made; only lines the size limit
  // replaced can hide one (a nested Push lost with its file switch leaves no trace at all).
  // A notice that replaced another thread's line ends no call, so none is read twice.
  EXPECT_GT(lost, 0);
  int missing = 0, hidden = 0;
  for (const auto& [key, made] : done.counts) {
    EXPECT_LE(seen.counts[key], made) << key;
    (key.find(" rc ") == std::string::npos ? missing : hidden) += made - seen.counts[key];
  }
  EXPECT_EQ(seen.counts.size(), done.counts.size()) << "a routine or code the workload never made";
  EXPECT_LE(missing, lost);
  EXPECT_LE(hidden, lost);
  const auto& stats = seen.stats[0];
  EXPECT_LE(stats.pushesMissing + stats.popsMissing, 3u * lost);
  EXPECT_LE(stats.closedByOuterPop, static_cast<std::uint64_t>(done.closedByOuterPop));
  EXPECT_GE(stats.closedByOuterPop + 2u * lost, static_cast<std::uint64_t>(done.closedByOuterPop));
  EXPECT_GT(seen.poolSamples, 0);
  EXPECT_EQ(seen.threads, done.threads);
  EXPECT_EQ(std::set<unsigned>(stats.threads.begin(), stats.threads.end()), done.threads);
  // Durations of calls closed by their own Pop are the Pop lines' own.
  EXPECT_EQ(seen.durations, popDurations);
  EXPECT_FALSE(popDurations.empty());
}

}  // namespace
