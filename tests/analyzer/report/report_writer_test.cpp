// report_writer_test.cpp - `jovtrace report` as a sink on the reader: the page around its data,
// the figures equal to the summary's and the tree's own, the timeline's lanes and counters,
// notices, text that cannot break out of the page, and a size bounded whatever the calls.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "analyzer/report/report_page.h"
#include "analyzer/report/report_writer.h"
#include "analyzer/run.h"
#include "analyzer/tree_sink.h"
#include "support/reader_harness.h"

namespace {

using jovtrace::Micros;
using nlohmann::json;
using readertest::At;

// The data document of a page written to `file`; fails the test when the page is not
// prefix, data, suffix. The data's text goes to `text`.
json Data(std::FILE* file, std::string* text = nullptr) {
  std::string page(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  EXPECT_EQ(std::fread(page.data(), 1, page.size(), file), page.size());
  std::fclose(file);
  const std::string_view prefix = jovtrace::ReportPagePrefix();
  const std::string_view suffix = jovtrace::ReportPageSuffix();
  EXPECT_EQ(page.compare(0, prefix.size(), prefix), 0);
  EXPECT_EQ(page.compare(page.size() - suffix.size(), suffix.size(), suffix), 0);
  const std::string data = page.substr(prefix.size(), page.size() - prefix.size() - suffix.size());
  if (text != nullptr) *text = data;
  return json::parse(data);
}

class ReportWriterTest : public testing::Test {
 protected:
  // Two threads on one stack, an error, a level closed by an outer Pop, memory lines, a
  // detail that looks like the end of the page's script, a garbled line; and a file that
  // is no trace.
  void SetUp() override {
    readertest::Files files = readertest::Play(
        "+1000|push Parser.Open/</script><!--|+2000|push Parser.ReadBlock/Request=1|+5000|pop -1 5|thread 9|"
        "+700|push Monitor.Poll|+300|mem 4096 100000|pop -1 0|thread 7|push Parser.ReadBlock/Request=2|+2500|"
        "pop 0|bare garbage that is no trace line|+500|mem 1024 90000");
    files["notes.JOV_Log"] = "just notes\r\n";
    std::FILE* file = std::tmpfile();
    jovtrace::ReportWriter writer(file, names_);
    jovtrace::SinkFanout sinks;
    sinks.Add(writer);
    sinks.Add(summary_);
    sinks.Add(tree_);
    // Through the command's own run over a folder: the notes file is examined and skipped.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
        ("jovtrace-report-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const auto& [name, content] : files) std::ofstream(dir / name, std::ios::binary) << content;
    jovtrace::RunOptions options;
    options.inputs = {dir.string()};
    jovtrace::FileOpener opener;
    std::FILE* err = std::tmpfile();
    run_ = jovtrace::Run(options, names_, sinks, opener, err);
    std::fclose(err);
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(writer.Finish());
    data_ = Data(file, &text_);
    trace_ = data_["traces"][0];
    for (std::size_t i = 0; i < trace_["names"].size(); ++i) nameOf_[i] = trace_["names"][i];
  }

  jovtrace::NameTable names_;
  jovtrace::SummarySink summary_{names_};
  jovtrace::TreeSink tree_;
  jovtrace::RunResult run_;
  std::string text_;
  json data_, trace_;
  std::map<std::size_t, std::string> nameOf_;
};

TEST_F(ReportWriterTest, FactsAndNoticesOfTheTraceAndTheRun) {
  ASSERT_EQ(data_["traces"].size(), 1u);
  EXPECT_EQ(trace_["program"], "app");
  EXPECT_EQ(trace_["processId"], 42);
  EXPECT_EQ(trace_["threads"], json({7, 9}));
  EXPECT_EQ(trace_["first"], tree_.Trees().at(0).stats.first);
  EXPECT_EQ(trace_["stats"]["closedByOuterPop"], 1);
  EXPECT_EQ(trace_["stats"]["calls"], 4);
  EXPECT_EQ(trace_["notices"]["kinds"]["bad line"], 1);
  EXPECT_EQ(data_["notices"]["kinds"]["not a trace"], 1);
}

TEST_F(ReportWriterTest, SummaryRowsAndTreeAreTheReadersOwnFigures) {
  // The doubles too: the page must show what `summary` prints.
  std::map<std::string, std::vector<double>> want, got;
  for (const jovtrace::RoutineFigures& r : summary_.Tables().at(0).rows) {
    want[names_.Text(r.name)] = {double(r.calls), double(r.total), double(r.self), double(r.total) / double(r.calls),
                                 r.durations.Quantile(0.5), r.durations.Quantile(0.95), double(r.max),
                                 double(r.errors), double(r.TopCode().first), double(r.TopCode().second)};
  }
  for (const json& row : trace_["summary"]) {
    got[nameOf_[row[0].get<std::size_t>()]] = std::vector<double>(row.begin() + 1, row.end());
  }
  EXPECT_EQ(got, want);

  std::map<std::string, std::vector<Micros>> wantTree, gotTree;  // path -> calls, total, self
  const auto& nodes = tree_.Trees().at(0).nodes;
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    std::string path;
    for (std::size_t at = i; at != 0; at = nodes[at].parent) path = names_.Text(nodes[at].name) + "/" + path;
    wantTree[path] = {Micros(nodes[i].calls), nodes[i].total, nodes[i].self};
  }
  const json& t = trace_["tree"];
  std::vector<std::string> pathOf(t["name"].size());
  for (std::size_t i = 1; i < t["name"].size(); ++i) {
    pathOf[i] = pathOf[t["parent"][i].get<std::size_t>()] + nameOf_[t["name"][i].get<std::size_t>()] + "/";
    gotTree[pathOf[i]] = {t["calls"][i].get<Micros>(), t["total"][i].get<Micros>(), t["self"][i].get<Micros>()};
  }
  EXPECT_EQ(gotTree, wantTree);
  EXPECT_EQ(gotTree["Parser.Open/"], (std::vector<Micros>{1, 10500, 10500 - 5000 - 300 - 2500}));
}

TEST_F(ReportWriterTest, TimelineHasALanePerThreadWithItsCallsAndTheCounters) {
  const json& tl = trace_["timeline"];
  EXPECT_TRUE(tl["complete"]);
  ASSERT_EQ(tl["lanes"].size(), 2u);
  const json& seven = tl["lanes"][0];
  EXPECT_EQ(seven["thread"], 7);
  EXPECT_EQ(seven["rows"], 2);
  EXPECT_EQ(seven["calls"]["start"], json({1000, 2000, 6000})) << "deltas from the base";
  EXPECT_EQ(seven["calls"]["dur"], json({10500, 5000, 2500}));
  EXPECT_EQ(seven["calls"]["rc"], json({0, 5, 0}));
  EXPECT_EQ(seven["calls"]["flags"], json({0, 1, 1 << 2})) << "return code; closed by an outer Pop";
  EXPECT_EQ(seven["calls"]["detail"], json::parse(R"([[0,"</script><!--"],[1,"Request=1"],[2,"Request=2"]])"));
  EXPECT_EQ(tl["lanes"][1]["calls"]["depth"], json({1})) << "Monitor.Poll inside Parser.Open";
  ASSERT_EQ(trace_["counters"].size(), 2u);
  EXPECT_EQ(trace_["counters"][0]["kind"], "internal-pool");
  EXPECT_EQ(trace_["counters"][0]["v"], json({4096, 1024}));
  // No text of the trace can end the data's script element or open a comment in it.
  EXPECT_EQ(text_.find('<'), std::string::npos);
}

TEST(ReportWriter, ATraceWithNothingInItStartsAtItsFirstLine) {
  std::FILE* file = std::tmpfile();
  jovtrace::NameTable names;
  jovtrace::ReportWriter writer(file, names);
  jovtrace::TraceInfo info;
  jovtrace::TraceStats stats;
  stats.first = stats.last = At(22, 15, 30);
  writer.BeginTrace(info);
  writer.EndTrace(info, stats);
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(Data(file)["traces"][0]["base"], stats.first);
}

TEST(ReportWriter, PageSizeStaysBoundedWhateverTheNumberOfCalls) {
  std::size_t sizes[2];
  const std::uint64_t counts[2] = {400000, 1600000};
  for (int run = 0; run < 2; ++run) {
    std::FILE* file = std::tmpfile();
    jovtrace::NameTable names;
    const jovtrace::NameId routines[] = {names.Intern("Batch.Run"), names.Intern("Db.Query")};
    jovtrace::ReportWriter writer(file, names);
    jovtrace::TraceInfo info;
    writer.BeginTrace(info);
    jovtrace::TraceStats stats;
    Micros t = 0;
    for (std::uint64_t i = 0; i < counts[run]; ++i) {
      jovtrace::Call call;
      const jovtrace::NameId path[] = {routines[0], routines[1]};
      call.path = path;
      call.pathLength = 1 + i % 2;
      call.name = path[call.pathLength - 1];
      call.thread = 1 + static_cast<std::uint32_t>(i % 4 / 2);
      call.start = t;
      call.duration = call.self = 3 + static_cast<Micros>(i % 97);
      call.end = t + call.duration;
      t += 50000000 / static_cast<Micros>(counts[run]) + 1;
      writer.OnCall(call);
    }
    stats.last = t;
    stats.calls = counts[run];
    writer.EndTrace(info, stats);
    ASSERT_TRUE(writer.Finish());
    sizes[run] = static_cast<std::size_t>(std::ftell(file));
    EXPECT_FALSE(Data(file)["traces"][0]["timeline"]["complete"]);
  }
  EXPECT_LT(sizes[1], 20u << 20);
  EXPECT_LT(static_cast<double>(sizes[1]), 1.3 * static_cast<double>(sizes[0])) << sizes[0] << " then " << sizes[1];
}

}  // namespace
