// end_to_end_test.cpp - the DLL writes real trace files (workload.cpp) and the reader's
// figures must match what the workload did: traces and files, calls per routine, return
// codes, durations equal to the Pop lines' own, outer pops, memory lines, threads, the wrap
// dump. Every line the DLL wrote is also rebuilt by the benchmark generator's formats.
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
#include "bench/analyzer/trace_lines.h"
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

// A logical line (continuations joined by bare line feeds) rebuilt from its parsed pieces by
// the generator's formats ("" when not handled); the duration of a Pop line goes to `pops`.
std::string Rebuilt(const std::string& line, std::multiset<jov::analyzer::Micros>& pops) {
  jov::analyzer::ParsedLine p;
  jov::analyzer::ParseLine(line.substr(0, line.find('\n')), p);
  using K = jov::analyzer::LineKind;
  switch (p.kind) {
    case K::kDate:  // "Date=MM/DD/YY"
      return jov::bench::DateLine(2000 + std::stoi(line.substr(11, 2)),
                                  std::stoi(line.substr(5, 2)), std::stoi(line.substr(8, 2)));
    case K::kThread:
      return jov::bench::ThreadLine(p.thread);
    case K::kMemory:
      return jov::bench::MemoryLine(p.values[0], p.values[1], static_cast<int>(p.values[2]),
                                    static_cast<int>(p.values[3]));
    case K::kHandleCount:
      return jov::bench::HandleCountLine(static_cast<int>(p.values[0]),
                                         static_cast<int>(p.values[1]));
    case K::kSizeNotice:
      return jov::bench::kSizeNotice;
    case K::kWrapBanner:
      return jov::bench::kWrapBanner;
    case K::kWrapEnd:
      return jov::bench::kWrapEnd;
    case K::kTimed:
      break;
    default:
      return "";
  }
  jov::analyzer::ParseLine(line, p);
  namespace format = jov::trace::format;
  const int levels = static_cast<int>(p.indent / format::kIndentWidth);
  std::string text(p.afterSeparator.substr(levels * format::kIndentWidth));
  // The text as given: the continuation blanks after each line feed taken out again.
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
    text.erase(at + 1, p.textColumn + levels * format::kIndentWidth + format::kContinuationIndent);
  jov::analyzer::PopText pop;
  jov::analyzer::PushText push;
  if (jov::analyzer::ParsePop(text, pop) == jov::analyzer::PopParse::kOk) {
    pops.insert(pop.duration);
    text = jov::bench::PopText(
        pop.name, pop.hasReturnCode ? static_cast<long>(pop.returnCode) : jov::bench::kNoValue,
        pop.duration);
  } else if (jov::analyzer::ParsePush(text, push)) {
    text = jov::bench::PushText(push.name, push.detail);
  }
  return jov::bench::TimedLine(p.timeOfDayMs, p.intervalUs, levels, text);
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
      jov::analyzer::Run({{folder.string()}, /*strict*/ true, {}}, names, seen, opener, stderr);
  // Every line the DLL wrote (split at CR LF only, so that a multi-line text stays one); of
  // the chain, the Pop lines' durations and the lines the size limit replaced by its notice.
  std::size_t files = 0, rebuiltLines = 0;
  int lost = 0;
  std::string notRebuilt;
  std::multiset<jov::analyzer::Micros> popDurations, pops;
  for (const auto& entry : fs::directory_iterator(folder)) {
    ++files;
    const bool chain = entry.path().filename().string().find("chain") != std::string::npos;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    for (std::size_t at = 0, end; (end = content.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
      const std::string line = content.substr(at, end - at);
      lost += chain && line.find(jov::trace::format::kTerminated) != std::string::npos;
      const std::string rebuilt = Rebuilt(line, chain ? popDurations : pops);
      rebuiltLines += !rebuilt.empty();  // not the dump's reason, a caller's bare text
      if (!rebuilt.empty() && rebuilt != line) notRebuilt += line + "\n";
    }
  }
  fs::remove_all(folder);
  EXPECT_EQ(notRebuilt, "");
  EXPECT_GT(rebuiltLines, 200u);

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
