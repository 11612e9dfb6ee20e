// bad_input_test.cpp - input that is not what the library writes: a notice with the file
// and line for each bad line and the rest still read; unreadable, missing and foreign
// files; exit codes of the command; a bounded buffer for endless lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "analyzer/byte_source.h"
#include "analyzer/line_reader.h"
#include "analyzer/run.h"
#include "analyzer/timeline.h"
#include "support/reader_harness.h"
#include "bench/analyzer/trace_lines.h"

namespace {

using readertest::At;

constexpr std::int64_t kDay = jovtrace::Timeline::kDay;

std::string GoodTrace() {
  tracelines::Script s(2026, 12, 3, At(9, 0, 0) % kDay);
  s.Open(5, 6, "C:\\t\\261203 090000 app.JOV_Log");
  s.Push("A.Run");
  s.Advance(2500);
  s.Pop(-1, 0);
  return s.Content();
}

TEST(BadInput, BadLinesAreReportedWithFileAndLineAndTheRestIsRead) {
  std::string content = GoodTrace();
  const std::size_t pushAt = content.find("Push");
  // Line 4 (the Push) stays; lines of garbage and a mangled prefix go in before it.
  content.insert(content.rfind("\r\n", pushAt) + 2,
                 "22:1x:30.000    1.000 mangled\r\n\x01\x02\xfe\xff binary\r\n");
  content += "09:00:00.003    0.500 Pop  A.Run Return";  // cut off, no line end
  const readertest::Result r = readertest::Read({{"f.JOV_Log", content}});

  ASSERT_EQ(r.notices.size(), 4u);
  EXPECT_EQ(r.notices[0], "f.JOV_Log:4: mangled time prefix; line skipped");
  EXPECT_EQ(r.notices[1], "f.JOV_Log:5: not a trace line; skipped");
  EXPECT_EQ(r.notices[2], "f.JOV_Log:8: last line has no line end (truncated)");
  EXPECT_EQ(r.notices[3], "f.JOV_Log:8: Pop line without its duration; skipped");
  ASSERT_EQ(r.calls.size(), 1u);
  EXPECT_EQ(r.calls[0].duration, 2500);
  EXPECT_EQ(r.stats[0].skippedLines, 4u);
}

TEST(BadInput, EndlessLineIsCutAndTheReaderKeepsItsBufferBounded) {
  std::string content = "Date=12/03/26" + std::string(80, '=') + "\r\n";
  content += "09:00:00.000    1.000 " + std::string(3 << 20, 'x') + "\r\n";
  content += "09:00:00.001    1.000 after\r\n";
  jovtrace::MemorySource source(content);
  jovtrace::LineReader reader(source, 1 << 16, 1 << 12);
  jovtrace::PhysicalLine line;
  std::vector<std::size_t> lengths;
  std::vector<bool> cut;
  while (reader.Next(line)) {
    lengths.push_back(line.text.size());
    cut.push_back(line.cut);
  }
  EXPECT_EQ(lengths, (std::vector<std::size_t>{93, 4096, 27}));
  EXPECT_EQ(cut, (std::vector<bool>{false, true, false}));
}

class CommandTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("jovtrace_cli_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    Write("261203 090000 app.JOV_Log", GoodTrace());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  // Runs jovtrace with `args`; returns its exit code and leaves its output in `out`.
  int Command(const std::string& args, std::string& out) {
    const char* exe = std::getenv("JOVTRACE_EXE");
    if (exe == nullptr) ADD_FAILURE() << "JOVTRACE_EXE is not set";
    const std::string command = std::string(exe ? exe : "jovtrace") + " " + args + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    out.clear();
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) != 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Dir() const { return "'" + dir_.string() + "'"; }
  std::filesystem::path dir_;
};

TEST_F(CommandTest, ExitCodesForMissingForeignAndBadInputs) {
  std::string out;
  EXPECT_EQ(Command("summary " + Dir(), out), 0) << out;
  EXPECT_NE(out.find("A.Run"), std::string::npos) << out;

  EXPECT_EQ(Command("summary " + Dir() + " '" + (dir_ / "nothere.JOV_Log").string() + "'", out), 2);
  EXPECT_NE(out.find("nothere.JOV_Log: no such file"), std::string::npos) << out;

  Write("notes.txt", "just some notes\nnot a trace\n");
  const std::string notes = "'" + (dir_ / "notes.txt").string() + "'";
  EXPECT_EQ(Command("summary " + Dir() + " " + notes, out), 0) << out;
  EXPECT_NE(out.find("notes.txt:1: not a trace file"), std::string::npos) << out;
  EXPECT_EQ(Command("summary --strict " + Dir() + " " + notes, out), 2) << out;

  EXPECT_EQ(Command("summary --sort nonsense " + Dir(), out), 2) << out;
  EXPECT_EQ(Command("--help", out), 0);
  EXPECT_NE(out.find("Examples:"), std::string::npos) << out;
}

TEST_F(CommandTest, WildcardsExpandInTheProgramAndOutputGoesToTheNamedFile) {
  std::string out;
  const std::string pattern = "'" + (dir_ / "*app.JOV_Log").string() + "'";
  const std::string target = (dir_ / "out.csv").string();
  ASSERT_EQ(Command("summary --csv -o '" + target + "' " + pattern, out), 0) << out;
  std::ifstream file(target);
  std::string header, row;
  std::getline(file, header);
  std::getline(file, row);
  EXPECT_EQ(row, "app (pid 5),A.Run,1,2.500,2.500,2.500,2.500,2.500,2.500,0,,0");
}

}  // namespace
