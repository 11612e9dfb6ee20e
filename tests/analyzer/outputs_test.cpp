// outputs_test.cpp - what the sinks make of a read trace: the summary's figures, the merged
// tree and its pruning, folded stacks, and the Trace Event Format JSON checked by a strict
// parser, event by event.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "analyzer/chrome_writer.h"
#include "analyzer/summary_sink.h"
#include "analyzer/text_encoding.h"
#include "analyzer/timeline.h"
#include "analyzer/tree_sink.h"
#include "support/reader_harness.h"
#include "bench/analyzer/trace_lines.h"

namespace {

using readertest::At;

// Everything a function writes to a FILE*, as a string.
template <typename Write>
std::string Captured(Write write) {
  std::FILE* file = std::tmpfile();
  write(file);
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) != 0;) text.append(buffer, n);
  std::fclose(file);
  return text;
}

// Main runs Load three times (codes 0, 3, 3) and Save once; a second thread writes a text;
// memory and a hex dump on the way.
std::map<std::string, std::string> Workload() {
  tracelines::Script s(2026, 12, 3, At(10, 0, 0) % jovtrace::Timeline::kDay);
  s.Open(42, 7, "C:\\t\\261203 100000 app.JOV_Log");
  const int main = s.Push("App.Main");
  for (long code : {0L, 3L, 3L}) {
    s.Advance(1000);
    s.Push("Io.Load", "Request=1");
    s.Advance(4000);
    s.Pop(-1, code);
  }
  s.Advance(500);
  s.Push("Io.Save");
  s.Advance(2000);
  s.Memory(8192, 1 << 20);
  s.Text("saved \"all\"\tdone");
  s.Text("");
  s.Text("00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *");
  s.Thread(9);
  s.Text("other thread");
  s.Thread(7);
  s.Pop(-1, 0);
  s.Advance(500);
  s.Pop(main, 0);
  return {{"261203 100000 app.JOV_Log", s.Content()}};
}

TEST(Summary, FiguresPerRoutine) {
  jovtrace::NameTable names;
  jovtrace::SummarySink summary(names);
  readertest::Read(Workload(), &summary, &names);
  summary.Sort(jovtrace::SummarySort::kName);
  ASSERT_EQ(summary.Tables().size(), 1u);
  const auto& rows = summary.Tables()[0].rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(names.Text(rows[0].name), "App.Main");
  EXPECT_EQ(rows[0].total, 18000);
  EXPECT_EQ(rows[0].self, 18000 - 12000 - 2000);
  const jovtrace::RoutineFigures& load = rows[1];
  EXPECT_EQ(names.Text(load.name), "Io.Load");
  EXPECT_EQ(load.calls, 3u);
  EXPECT_EQ(load.total, 12000);
  EXPECT_EQ(load.errors, 2u);
  EXPECT_EQ(load.TopCode(), (std::pair<std::int64_t, std::uint64_t>{3, 2}));

  summary.Sort(jovtrace::SummarySort::kCalls);
  EXPECT_EQ(names.Text(summary.Tables()[0].rows[0].name), "Io.Load");
  const std::string table = Captured([&](std::FILE* f) { jovtrace::WriteSummaryTable(f, summary, names); });
  EXPECT_NE(table.find("Io.Load          3       12.000       12.000      4.000      4.000      4.000      4.000       2  3 (2x)"),
            std::string::npos)
      << table;
}

TEST(Summary, TopCodeSurvivesManyRareCodes) {
  jovtrace::RoutineFigures figures;
  jovtrace::Call call;
  call.hasReturnCode = true;
  for (int i = 0; i < 300; ++i) {
    call.returnCode = i % 3 == 0 ? 87 : 1000 + i;  // 87 a third of the time, others once
    figures.Add(call);
  }
  EXPECT_EQ(figures.TopCode().first, 87);
  EXPECT_EQ(figures.errors, 300u);
}

TEST(Sketch, PercentilesWithinOnePercentOfTheExactRank) {
  jovtrace::QuantileSketch sketch;
  std::vector<std::int64_t> values;
  std::uint64_t x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    values.push_back(static_cast<std::int64_t>((x >> 33) % 5000000) + (i % 10 == 0 ? 0 : 1));
    sketch.Add(values.back());
  }
  std::sort(values.begin(), values.end());
  for (double q : {0.01, 0.5, 0.9, 0.95, 0.99, 1.0}) {
    SCOPED_TRACE(q);
    const double exact = static_cast<double>(values[static_cast<std::size_t>(std::ceil(q * values.size())) - 1]);
    EXPECT_NEAR(sketch.Quantile(q), exact, exact * 0.01 + 1e-9);
  }
}

TEST(Tree, MergedByPathWithPruningAndFoldedStacks) {
  jovtrace::NameTable names;
  jovtrace::TreeSink tree;
  readertest::Read(Workload(), &tree, &names);
  const std::string text = Captured([&](std::FILE* f) { jovtrace::WriteTreeText(f, tree, names, 12.0); });
  EXPECT_NE(text.find("      18.000        4.000         1  100.0  App.Main\n"
                      "      12.000       12.000         3   66.7    Io.Load\n"),
            std::string::npos) << text;
  EXPECT_EQ(text.find("Io.Save"), std::string::npos) << text;  // 11.1 % < 12 %

  const std::string folded = Captured([&](std::FILE* f) {
    jovtrace::WriteFolded(f, tree, names, jovtrace::FoldedWeight::kSelf);
  });
  EXPECT_EQ(folded, "App.Main 4000\nApp.Main;Io.Load 12000\nApp.Main;Io.Save 2000\n");
}

TEST(Tree, UnknownLevelsTotalWhatRanInsideThem) {
  std::vector<jovtrace::TreeNode> nodes(4);
  nodes[0].children = {1};
  nodes[1].children = {2, 3};  // an unknown level: no calls of its own
  nodes[2].calls = 1;
  nodes[2].total = 300;
  nodes[3].calls = 2;
  nodes[3].total = 200;
  jovtrace::FillUnknownTotals(nodes);
  EXPECT_EQ(nodes[1].total, 500);
  EXPECT_EQ(nodes[0].total, 500);
}

TEST(Chrome, StrictJsonWithTheFieldsEveryEventNeeds) {
  jovtrace::NameTable names;
  const std::string json = Captured([&](std::FILE* f) {
    jovtrace::ChromeWriter chrome(f, names);
    readertest::Read(Workload(), &chrome, &names);
  });
  const nlohmann::json doc = nlohmann::json::parse(json);  // throws on any syntax error
  ASSERT_TRUE(doc.at("traceEvents").is_array());
  EXPECT_EQ(doc.at("displayTimeUnit"), "ms");
  std::map<std::string, int> kinds;
  std::map<std::uint32_t, std::vector<std::pair<std::int64_t, std::int64_t>>> slices;
  for (const nlohmann::json& e : doc["traceEvents"]) {
    SCOPED_TRACE(e.dump());
    const std::string ph = e.at("ph");
    ++kinds[ph];
    EXPECT_TRUE(e.at("name").is_string());
    EXPECT_TRUE(e.at("pid").is_number_integer());
    EXPECT_TRUE(e.at("tid").is_number_integer());
    if (ph == "M") continue;
    EXPECT_GE(e.at("ts").get<std::int64_t>(), 0);
    if (ph == "X") {
      EXPECT_GE(e.at("dur").get<std::int64_t>(), 0);
      slices[e["tid"]].emplace_back(e["ts"], e["ts"].get<std::int64_t>() + e["dur"].get<std::int64_t>());
      EXPECT_EQ(e["args"].at("closed"), "normal");
    } else if (ph == "i") {
      EXPECT_EQ(e.at("s"), "t");
    } else if (ph == "C") {
      EXPECT_TRUE(e.at("args").is_object());
    }
  }
  EXPECT_EQ(kinds["X"], 5);
  EXPECT_EQ(kinds["C"], 2);
  // Slices on one thread nest: any two are disjoint or one holds the other.
  for (const auto& [tid, list] : slices) {
    for (const auto& a : list) {
      for (const auto& b : list) {
        const bool disjoint = a.second <= b.first || b.second <= a.first;
        const bool nested = (a.first <= b.first && b.second <= a.second) ||
                            (b.first <= a.first && a.second <= b.second);
        EXPECT_TRUE(disjoint || nested) << tid;
      }
    }
  }
  // Text with quotes and a tab survives escaping; the dump line joined the empty line's instant.
  bool saved = false, dump = false;
  for (const nlohmann::json& e : doc["traceEvents"]) {
    if (e["ph"] != "i") continue;
    saved = saved || e["args"]["text"] == "saved \"all\"\tdone";
    dump = dump || (e["args"]["text"] == "" && e["args"].contains("lines"));
  }
  EXPECT_TRUE(saved);
  EXPECT_TRUE(dump);
}

TEST(Encoding, AnsiTextBecomesUtf8AndUtf8PassesUnchanged) {
  std::string out;
  jovtrace::AppendUtf8(out, "caf\xe9 \x80 \x81");
  EXPECT_EQ(out, "caf\xc3\xa9 \xe2\x82\xac \xef\xbf\xbd");
  out.clear();
  jovtrace::AppendUtf8(out, "caf\xc3\xa9");
  EXPECT_EQ(out, "caf\xc3\xa9");
  out.clear();
  jovtrace::AppendJsonEscaped(out, "a\"b\\c\n\x01");
  EXPECT_EQ(out, "a\\\"b\\\\c\\n\\u0001");
}

}  // namespace
