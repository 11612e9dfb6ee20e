// report_writer_test.cpp - `jovtrace report` as a sink on the reader: the page around its data,
// the summary's rows and the merged tree, the timeline's lanes and counters,
// notices, text that cannot break out of the page, and a size bounded whatever the calls.
#include "analyzer/outputs/report/report_page.h"
#include "analyzer/outputs/report/report_writer.h"
#include "analyzer/input/file_source.h"
#include "analyzer/model/run.h"
#include "support/reader_test.h"

namespace {

using jov::analyzer::Micros;
using nlohmann::json;

// The data text of a page; fails the test when the page is not prefix, data, suffix.
std::string Data(const std::string& page) {
  const std::string_view prefix = jov::analyzer::ReportPagePrefix(),
                         suffix = jov::analyzer::ReportPageSuffix();
  EXPECT_EQ(page.compare(0, prefix.size(), prefix), 0);
  EXPECT_EQ(page.compare(page.size() - suffix.size(), suffix.size(), suffix), 0);
  return page.substr(prefix.size(), page.size() - prefix.size() - suffix.size());
}

// Two threads on one stack and one that writes texts only, an error, a level closed by an outer
// Pop, memory lines, a detail that looks like the end of the page's script, a garbled line; and a
// file that is no trace, read through the command's own run over a folder.
TEST(ReportWriter, PageHoldsTheReadersOwnFiguresTimelineAndNotices) {
  readertest::Files files = readertest::Play(
      "+1000|push Parser.Open/</script><!--|+2000|push Parser.ReadBlock/Request=1|+5000|pop -1 5|"
      "thread 9|+700|push Monitor.Poll|+300|mem 4096 100000|pop -1 0|thread 7|"
      "push Parser.ReadBlock/Request=2|+2500|pop 0|bare garbage that is no trace line|+500|"
      "mem 1024 90000|thread 11|+200|text watching|+100|text still watching");
  files["notes.JOV_Log"] = "just notes\r\n";
  const std::filesystem::path dir = readertest::WrittenFolder("jovtrace-report-", files);
  const std::string text = Data(readertest::Captured([&](std::FILE* file) {
    jov::analyzer::NameTable names;
    jov::analyzer::ReportWriter writer(file, names);
    jov::analyzer::FileOpener opener;
    readertest::Captured([&](std::FILE* err) {
      jov::analyzer::Run({{dir.string()}, /*strict*/ false, {}, {}}, names, writer, opener, err);
    });
    writer.Finish();
  }));
  std::filesystem::remove_all(dir);
  EXPECT_EQ(text.find('<'), std::string::npos)
      << "no text may end the script element or open a comment";
  const json data = json::parse(text);
  ASSERT_EQ(data["traces"].size(), 1u);
  const json& t = data["traces"][0];
  EXPECT_EQ(t["first"], readertest::At(22, 15, 30));
  EXPECT_EQ(json({t["program"], t["processId"], t["threads"], t["stats"]["closedByOuterPop"],
                  t["stats"]["calls"], t["notices"]["kinds"]["bad line"],
                  data["notices"]["kinds"]["not a trace"]})
                .dump(),
            R"(["app",42,[7,9,11],1,4,1,1])");
  // The summary's rows (name, calls, total, self, mean, median, p95, max, errors, top code and
  // its count) and the merged tree, as the summary and the tree would print them. ReadBlock's
  // median is its smaller call, 2500 µs, reported as the middle of its bucket 2496..2527;
  // its p95, 5000 µs, lies in 4992..5055, whose middle is clamped to the largest call.
  EXPECT_EQ(t["names"].dump(),
            R"x(["(unknown)","Parser.Open","Parser.ReadBlock","Monitor.Poll"])x");
  EXPECT_EQ(t["summary"].dump(),
            "[[1,1,10500,2700,10500,10500,10500,10500,0,0,0],"
            "[2,2,7500,7500,3750,2511,5000,5000,1,5,1],"
            "[3,1,300,300,300,300,300,300,0,0,0]]");
  EXPECT_EQ(t["tree"].dump(),
            R"({"calls":[0,1,2,1],"name":[-1,1,2,3],"other":[],"parent":[-1,0,1,1],)"
            R"("self":[0,2700,7500,300],"total":[10500,10500,7500,300]})");
  // A lane per thread; starts are deltas from the base; flags: return code, closed by an outer Pop.
  // The texts of the thread without calls are its marks; thread 7's header is not.
  const json& tl = t["timeline"];
  EXPECT_EQ(tl["lanes"][2]["texts"].dump(),
            R"({"count":[1,1],"t":[12200,100],"text":["watching","still watching"],"width":0})");
  EXPECT_EQ(
      json({tl["complete"], tl["lanes"].size(), tl["lanes"][0]["thread"], tl["lanes"][0]["rows"],
            tl["lanes"][0]["calls"], tl["lanes"][1]["calls"]["depth"], t["counters"].size(),
            t["counters"][0]["kind"], t["counters"][0]["v"]})
          .dump(),
      R"([true,3,7,2,{"depth":[0,1,1],"detail":[[0,"</script><!--"],[1,"Request=1"],[2,"Request=2"]],)"
      R"("dur":[10500,5000,2500],"flags":[0,1,4],"name":[1,2,2],"rc":[0,5,0],"start":[1000,2000,6000]},[1],2,"internal-pool",[4096,1024]])");
}

TEST(ReportWriter, EmptyTraceStartsAtItsFirstLineAndPageSizeStaysBoundedWhateverTheLines) {
  std::size_t sizes[3];
  const std::uint64_t counts[3] = {0, 400000, 1600000};
  for (int run = 0; run < 3; ++run) {
    jov::analyzer::TraceStats stats;
    const std::string page = readertest::Captured([&](std::FILE* file) {
      jov::analyzer::NameTable names;
      const jov::analyzer::NameId path[] = {names.Intern("Batch.Run"), names.Intern("Db.Query")};
      jov::analyzer::ReportWriter writer(file, names);
      writer.BeginTrace({});
      Micros t = stats.first = readertest::At(22, 15, 30);
      jov::analyzer::Call call;
      call.path = path;
      for (std::uint64_t i = 0; i < counts[run]; ++i) {
        call.pathLength = 1 + i % 2;
        call.name = path[call.pathLength - 1];
        call.duration = call.self = 3 + static_cast<Micros>(i % 97);
        call.start = t;
        call.end = t + call.duration;
        call.thread = 1 + static_cast<std::uint32_t>(i % 4 / 2);
        writer.OnCall(call);
        // A thread without calls writes a text with each call: its marks merge into bins.
        writer.OnText({0, t, 3, 0, jov::analyzer::TextKind::kPlain, "progress"});
        t += 50000000 / static_cast<Micros>(counts[run]) + 1;
      }
      stats.last = t;
      stats.calls = counts[run];
      stats.threads = {1, 2, 3};
      writer.EndTrace({}, stats);
      writer.Finish();
    });
    sizes[run] = page.size();
    const json trace = json::parse(Data(page))["traces"][0];
    if (run == 0) {
      EXPECT_EQ(trace["base"], stats.first);
      continue;
    }
    EXPECT_FALSE(trace["timeline"]["complete"]);
    const json& texts = trace["timeline"]["lanes"][2]["texts"];
    std::uint64_t marked = 0;
    for (const json& n : texts["count"]) marked += n.get<std::uint64_t>();
    EXPECT_EQ(marked, counts[run]);
    EXPECT_GT(texts["width"], 0);
    EXPECT_LE(texts["t"].size(), jov::analyzer::TextMarks::kMaxMarks);
  }
  EXPECT_LT(sizes[2], 20u << 20);
  EXPECT_LT(static_cast<double>(sizes[2]), 1.3 * static_cast<double>(sizes[1]))
      << sizes[1] << " then " << sizes[2];
}

}  // namespace
