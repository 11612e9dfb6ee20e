// test_pages_main.cpp - writes the report pages that page_test.py opens in chromium: traces
// played by the reader's test harness, read through the reader's core into the report's
// writer. The page test takes what it expects from the data the writer put in each page.
// Run: report_test_pages FOLDER.
#include <cstdio>
#include <filesystem>
#include <string>

#include "analyzer/model/timeline.h"
#include "analyzer/outputs/report/report_writer.h"
#include "analyzer/generator/trace_lines.h"
#include "support/reader_harness.h"

namespace {

// Two threads sharing one routine stack, an error, a lost Push (the Pop line of a routine
// pushed before the file began), an outer Pop, memory and handle counters.
constexpr char kSmall[] =
    "file 261203 221530 demo.JOV_Log|mem 0 65536|+1000|text Pop  Startup.Init  Dur=3.000 msecs|"
    "bare ...Process Handle Count=12, ErrorCode=0.|+3000|push Parser.Open/file=a.dat|+500|"
    "mem 2048 65536|+500|push Parser.ReadBlock/Request=1|+1500|thread 9|push Monitor.Poll|+800|"
    "pop|bare ...Process Handle Count=15, ErrorCode=0.|thread 7|+2700|pop -1 5|+2000|"
    "mem 6144 65536|pop|+2000|thread 9|push Monitor.Poll|+1000|pop -1 0|thread 7|+1000|"
    "push Parser.Open|+500|push Parser.ReadBlock|+2500|mem 1024 65536|pop 0|"
    "bare ...Process Handle Count=13, ErrorCode=0.|+1000|text done";

// Batches of a Batch.Run with 40 short Db.Query on two threads in turn: with enough of them,
// more calls than the timeline keeps exactly, so it holds sums per bin and the longest call
// of each.
std::string Dense(const std::string& file, int batches) {
  std::string steps = "file " + file;
  for (int b = 0; b < batches; ++b) {
    for (const char* thread : {"7", "9"}) {
      steps += std::string("|thread ") + thread + "|push Batch.Run|+100";
      for (int k = 0; k < 40; ++k) {
        steps += "|push Db.Query|+" + std::to_string(40 + (b * 7 + k * 13) % 300) + "|pop -1 " +
                 ((b + k) % 97 == 0 ? "3" : "0") + "|+10";
      }
      steps += "|+90|pop|+10000";
    }
  }
  return steps;
}

// The page of the traces in `files` to FOLDER/NAME.html; without files, the page of a run
// that found no trace.
bool WritePage(const std::filesystem::path& folder, const std::string& name,
               const readertest::Files& files) {
  std::FILE* out = std::fopen((folder / (name + ".html")).string().c_str(), "wb");
  if (out == nullptr) return false;
  jov::analyzer::NameTable names;
  jov::analyzer::ReportWriter writer(out, names);
  if (files.empty())
    writer.OnNotice({0, jov::analyzer::NoticeKind::kNotATrace, "notes.txt", 1, "not a trace file"});
  readertest::Read(files, &writer, &names);
  writer.Finish();
  return std::ferror(out) == 0 && std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: report_test_pages FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  // A name and a detail that look like markup ("/" would split a harness step).
  jov::generator::Script markup(2026, 12, 3,
                                readertest::At(22, 15, 30) % jov::analyzer::Timeline::kDay);
  markup.Open(42, 7, "C:\\t\\demo.JOV_Log");
  markup.Push("</script><img src=x onerror=alert(1)>.Ünïcode", "<b>x</b>");
  markup.Advance(10);
  markup.Pop(-1);
  // The demo's shape in the ANSI code page the DLL writes (1252): the starting thread and a
  // monitor write texts only, a worker makes the calls; a user, a routine and a detail with
  // accents.
  jov::generator::Script ansi(2026, 12, 3,
                              readertest::At(22, 15, 30) % jov::analyzer::Timeline::kDay);
  ansi.Open(42, 7, "C:\\t\\demo.JOV_Log");
  ansi.Text("demo: two threads share one trace object");
  for (int step = 0; step < 4; ++step) {
    ansi.Thread(8);
    ansi.Advance(1000);
    ansi.Push(
        "B\xFCro.\xD6"
        "ffnen",
        "file=caf\xE9.dat");
    ansi.Thread(9);
    ansi.Advance(1000);
    ansi.Text(
        "monitor: Pr\xFC"
        "fung " +
        std::to_string(step));
    ansi.Thread(8);
    ansi.Advance(1000);
    ansi.Pop(-1, 0);
  }
  std::string ansiContent = ansi.Content();
  ansiContent.replace(ansiContent.find("UserId=tester") + 7, 6, "J\xFCrgen");
  const std::pair<const char*, readertest::Files> pages[] = {
      {"small", readertest::Play(kSmall)},
      {"dense", readertest::Play(Dense("261203 221530 batch.JOV_Log", 700))},
      // Step.Tiny is 0.02 % of the time: a fraction of a pixel until Step.Mid fills the width.
      {"narrow", readertest::Play("push Main.Run|+10|push Step.Mid|+90|push Step.Tiny|+200|pop|"
                                  "+49710|pop|+949990|pop")},
      {"two", readertest::Play(std::string(kSmall) + "|+60000000|" +
                               Dense("261203 221630 batch.JOV_Log", 20))},
      {"markup", {{"261203 221530 demo.JOV_Log", markup.Content()}}},
      {"ansi", {{"261203 221530 demo.JOV_Log", ansiContent}}},
      {"empty", readertest::Play("text no calls")},
      {"nothing", {}},
  };
  for (const auto& [name, files] : pages) {
    if (!WritePage(folder, name, files)) {
      std::fprintf(stderr, "report_test_pages: cannot write %s\n", name);
      return 1;
    }
  }
  return 0;
}
