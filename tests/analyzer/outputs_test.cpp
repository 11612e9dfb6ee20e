// outputs_test.cpp - what the sinks make of a read trace: the summary's figures, the merged
// tree, folded stacks, and the Trace Event Format JSON checked by a strict parser, event by
// event; and the text's conversion to UTF-8.
#include "analyzer/outputs/chrome_writer.h"
#include "analyzer/outputs/summary_format.h"
#include "analyzer/input/text_encoding.h"
#include "analyzer/outputs/tree_sink.h"
#include "support/reader_test.h"

using readertest::Captured;

constexpr char kHeading[] =
    "== app (pid 42): 1 file, 20 lines, 2 threads, 22:15:30.000 .. 22:15:30.018 (18.000 ms)\n";

// One reading told to the summary, the merged tree and the Trace Event Format writer at once.
TEST(Outputs, SummaryTreeFoldedStacksAndChromeOfOneReading) {
  jov::analyzer::NameTable names;
  jov::analyzer::SummarySink summary(names);
  jov::analyzer::TreeSink tree;
  const nlohmann::json doc = nlohmann::json::parse(Captured([&](std::FILE* f) {
    jov::analyzer::ChromeWriter chrome(f, names);
    jov::analyzer::SinkFanout sinks;
    sinks.Add(summary);
    sinks.Add(tree);
    sinks.Add(chrome);
    // Main runs Load three times (codes 0, 3, 3) and Save once; a second thread writes a
    // text; memory and a hex dump on the way.
    readertest::Read(
        readertest::Play(
            "push App.Main|+1000|push Io.Load/Request=1|+4000|pop -1 0|+1000|"
            "push Io.Load/Request=1|+4000|pop -1 3|+1000|push Io.Load/Request=1|+4000|pop -1 3|"
            "+500|push Io.Save|+2000|mem 8192 1048576|text saved \"all\"\tdone|text|"
            "text 00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *|thread 9|"
            "text other thread|thread 7|pop -1 0|+500|pop 0 0"),
        &sinks, &names);
  }));  // throws on any syntax error
  std::string tables;
  for (const auto sort : {jov::analyzer::SummarySort::kName, jov::analyzer::SummarySort::kSelf}) {
    summary.Sort(sort);
    tables += Captured([&](std::FILE* f) { jov::analyzer::WriteSummaryTable(f, summary, names); });
  }
  const std::string heading = std::string(kHeading) +
                              "routine      calls     total ms      self ms    mean ms  median ms  "
                              "   p95 ms     max ms  errors  top code\n";
  const std::string main =
      "App.Main         1       18.000        4.000     18.000     18.000     18.000     18.000    "
      "   0  -\n";
  const std::string load =
      "Io.Load          3       12.000       12.000      4.000      4.000      4.000      4.000    "
      "   2  3 (2x)\n";
  const std::string save =
      "Io.Save          1        2.000        2.000      2.000      2.000      2.000      2.000    "
      "   0  -\n";
  EXPECT_EQ(tables, heading + main + load + save + heading + load + main + save);
  // Io.Save is 11.1 %: below the 12 % shown.
  EXPECT_EQ(Captured([&](std::FILE* f) { jov::analyzer::WriteTreeText(f, tree, names, 12.0); }),
            std::string(kHeading) +
                "    total ms      self ms     calls      %  routine\n"
                "      18.000        4.000         1  100.0  App.Main\n"
                "      12.000       12.000         3   66.7    Io.Load\n");
  EXPECT_EQ(Captured([&](std::FILE* f) {
              jov::analyzer::WriteFolded(f, tree, names, jov::analyzer::FoldedWeight::kSelf);
            }),
            "App.Main 4000\nApp.Main;Io.Load 12000\nApp.Main;Io.Save 2000\n");
  EXPECT_EQ(doc.at("displayTimeUnit"), "ms");
  std::string events;
  for (const nlohmann::json& e : doc.at("traceEvents")) {
    const std::string ph = e.at("ph");
    SCOPED_TRACE(e.dump());
    EXPECT_TRUE(e.at("pid").is_number() && e.at("name").is_string() &&
                (ph != "i" || e.at("s") == "t"));  // the rest shows below
    const nlohmann::json& a = e.value("args", nlohmann::json::object());
    events += ph + " " + e["tid"].dump() + " " +
              (ph == "i" ? a.at("text").dump() : e["name"].dump()) +
              (e.contains("ts") ? " " + e["ts"].dump() : "") +
              (e.contains("dur") ? " " + e["dur"].dump() : "") +
              (a.contains("return_code") ? " rc " + a["return_code"].dump() : "") +
              (a.contains("bytes") ? " " + a["bytes"].dump() : "") +
              (a.contains("lines") ? " +dump" : "") + "\n";
  }
  // Text with quotes and a tab survives escaping; the dump line joined the empty line's instant.
  EXPECT_EQ(
      events,
      "M 0 \"process_name\"\nM 0 \"process_sort_index\"\nX 7 \"Io.Load\" 1000 4000 rc 0\n"
      "X 7 \"Io.Load\" 6000 4000 rc 3\nX 7 \"Io.Load\" 11000 4000 rc 3\n"
      "C 0 \"Internal Pool\" 17500 8192\nC 0 \"Process Bytes\" 17500 1048576\n"
      "i 7 \"Trace Started. UserId=tester, ProcessId=42, ThreadId=7, Log File=C:\\\\t\\\\261203 "
      "221530 app.JOV_Log\" 0\ni 7 \"saved \\\"all\\\"\\tdone\" 17500\ni 7 \"\" 17500 +dump\n"
      "X 7 \"Io.Save\" 15500 2000 rc 0\nX 7 \"App.Main\" 0 18000 rc 0\ni 9 \"other thread\" 17500\n"
      "M 7 \"thread_name\"\nM 9 \"thread_name\"\n");
}

TEST(Encoding, AnsiTextBecomesUtf8AndUtf8PassesUnchanged) {
  std::string out;
  jov::analyzer::TextDecoder().Append(out, "caf\xe9 \x80 \x81");
  jov::analyzer::TextDecoder().Append(out, "|caf\xc3\xa9");
  EXPECT_EQ(out, "caf\xc3\xa9 \xe2\x82\xac \xef\xbf\xbd|caf\xc3\xa9");
  out.clear();
  jov::analyzer::AppendJsonEscaped(out, "a\"b\\c\n\x01");
  EXPECT_EQ(out, "a\\\"b\\\\c\\n\\u0001");
}
