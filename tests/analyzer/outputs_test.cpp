// outputs_test.cpp - what the sinks make of a read trace: the summary's figures, the merged
// tree and its pruning, folded stacks, and the Trace Event Format JSON checked by a strict
// parser, event by event.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "analyzer/chrome_writer.h"
#include "analyzer/summary_sink.h"
#include "analyzer/text_encoding.h"
#include "analyzer/tree_sink.h"
#include "support/reader_harness.h"

namespace {

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
readertest::Files Workload() {
  return readertest::Play(
      "push App.Main|+1000|push Io.Load/Request=1|+4000|pop -1 0|+1000|push Io.Load/Request=1|+4000|pop -1 3|"
      "+1000|push Io.Load/Request=1|+4000|pop -1 3|+500|push Io.Save|+2000|mem 8192 1048576|"
      "text saved \"all\"\tdone|text|text 00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *|"
      "thread 9|text other thread|thread 7|pop -1 0|+500|pop 0 0");
}

TEST(Summary, FiguresPerRoutineInEveryOrder) {
  jovtrace::NameTable names;
  jovtrace::SummarySink summary(names);
  readertest::Read(Workload(), &summary, &names);
  std::string tables;
  for (const auto sort : {jovtrace::SummarySort::kName, jovtrace::SummarySort::kCalls, jovtrace::SummarySort::kSelf}) {
    summary.Sort(sort);
    tables += Captured([&](std::FILE* f) { jovtrace::WriteSummaryTable(f, summary, names); });
  }
  const std::string heading =
      "== app (pid 42): 1 file, 20 lines, 2 threads, 22:15:30.000 .. 22:15:30.018 (18.000 ms)\n"
      "routine      calls     total ms      self ms    mean ms  median ms     p95 ms     max ms  errors  top code\n";
  const std::string main = "App.Main         1       18.000        4.000     18.000     18.000     18.000     18.000       0  -\n";
  const std::string load = "Io.Load          3       12.000       12.000      4.000      4.000      4.000      4.000       2  3 (2x)\n";
  const std::string save = "Io.Save          1        2.000        2.000      2.000      2.000      2.000      2.000       0  -\n";
  EXPECT_EQ(tables, heading + main + load + save + heading + load + main + save + heading + load + main + save);
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
  // Io.Save is 11.1 %: below the 12 % shown.
  EXPECT_EQ(Captured([&](std::FILE* f) { jovtrace::WriteTreeText(f, tree, names, 12.0); }),
            "== app (pid 42): 1 file, 20 lines, 2 threads, 22:15:30.000 .. 22:15:30.018 (18.000 ms)\n"
            "    total ms      self ms     calls      %  routine\n"
            "      18.000        4.000         1  100.0  App.Main\n"
            "      12.000       12.000         3   66.7    Io.Load\n");
  EXPECT_EQ(Captured([&](std::FILE* f) { jovtrace::WriteFolded(f, tree, names, jovtrace::FoldedWeight::kSelf); }),
            "App.Main 4000\nApp.Main;Io.Load 12000\nApp.Main;Io.Save 2000\n");
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

TEST(Chrome, StrictJsonWithEveryEventInPlace) {
  jovtrace::NameTable names;
  const std::string json = Captured([&](std::FILE* f) {
    jovtrace::ChromeWriter chrome(f, names);
    readertest::Read(Workload(), &chrome, &names);
  });
  const nlohmann::json doc = nlohmann::json::parse(json);  // throws on any syntax error
  EXPECT_EQ(doc.at("displayTimeUnit"), "ms");
  std::string events;
  for (const nlohmann::json& e : doc.at("traceEvents")) {
    events += e.at("ph").get<std::string>() + " " + e.at("name").get<std::string>() + " " +
              std::to_string(e.at("pid").get<int>()) + "/" + std::to_string(e.at("tid").get<int>());
    for (const char* key : {"ts", "dur", "s", "args"})
      if (e.contains(key)) events += " " + e[key].dump();
    events += "\n";
  }
  // Text with quotes and a tab survives escaping; the dump line joined the empty line's instant.
  EXPECT_EQ(events,
            "M process_name 1/0 {\"name\":\"app (pid 42)\"}\n"
            "M process_sort_index 1/0 {\"sort_index\":0}\n"
            "X Io.Load 1/7 1000 4000 {\"closed\":\"normal\",\"detail\":\"Request=1\",\"duration_ms\":4.0,\"return_code\":0}\n"
            "X Io.Load 1/7 6000 4000 {\"closed\":\"normal\",\"detail\":\"Request=1\",\"duration_ms\":4.0,\"return_code\":3}\n"
            "X Io.Load 1/7 11000 4000 {\"closed\":\"normal\",\"detail\":\"Request=1\",\"duration_ms\":4.0,\"return_code\":3}\n"
            "C Internal Pool 1/0 17500 {\"bytes\":8192}\n"
            "C Process Bytes 1/0 17500 {\"bytes\":1048576}\n"
            "i Trace Started. UserId=tester, ProcessId=42, ThreadId=7, Log File=C:\\t\\261203 221 1/7 0 \"t\" "
            "{\"depth\":0,\"text\":\"Trace Started. UserId=tester, ProcessId=42, ThreadId=7, Log File=C:\\\\t\\\\261203 221530 app.JOV_Log\"}\n"
            "i saved \"all\"\tdone 1/7 17500 \"t\" {\"depth\":2,\"text\":\"saved \\\"all\\\"\\tdone\"}\n"
            "i  1/7 17500 \"t\" {\"depth\":2,\"lines\":\"00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *\",\"text\":\"\"}\n"
            "X Io.Save 1/7 15500 2000 {\"closed\":\"normal\",\"duration_ms\":2.0,\"return_code\":0}\n"
            "X App.Main 1/7 0 18000 {\"closed\":\"normal\",\"duration_ms\":18.0,\"return_code\":0}\n"
            "i other thread 1/9 17500 \"t\" {\"depth\":2,\"text\":\"other thread\"}\n"
            "M thread_name 1/7 {\"name\":\"thread 7\"}\n"
            "M thread_name 1/9 {\"name\":\"thread 9\"}\n");
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
