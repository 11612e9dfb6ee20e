// command_test.cpp - the jovtrace command as a user runs it: exit codes for missing, foreign
// and bad inputs and for strict mode, wildcards expanded by the program, the output file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/reader_harness.h"

namespace {

class Command : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("jovtrace_cli_" + std::to_string(::getpid()) +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    for (const auto& [name, content] : readertest::Play("file 261203 090000 app.JOV_Log|push A.Run|+2500|pop -1 0"))
      Write(name, content);
    Write("notes.txt", "just some notes\nnot a trace\n");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::string In(const std::string& name) const { return " '" + (dir_ / name).string() + "'"; }
  // Runs jovtrace with `args`; returns its exit code and leaves its output in `out_`.
  int Run(const std::string& args) {
    const char* exe = std::getenv("JOVTRACE_EXE");
    if (exe == nullptr) ADD_FAILURE() << "JOVTRACE_EXE is not set";
    std::FILE* pipe = ::popen((std::string(exe ? exe : "jovtrace") + " " + args + " 2>&1").c_str(), "r");
    char buffer[4096];
    out_.clear();
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) != 0;) out_.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool Says(const std::string& text) const { return out_.find(text) != std::string::npos; }
  std::filesystem::path dir_;
  std::string out_;
};

TEST_F(Command, ExitCodesForMissingForeignAndBadInputs) {
  const std::string trace = In("261203 090000 app.JOV_Log");
  EXPECT_EQ(Run("summary" + trace), 0) << out_;
  EXPECT_TRUE(Says("A.Run")) << out_;
  EXPECT_EQ(Run("summary" + trace + In("nothere.JOV_Log")), 2) << out_;
  EXPECT_TRUE(Says("nothere.JOV_Log: no such file")) << out_;
  EXPECT_EQ(Run("summary" + trace + In("notes.txt")), 0) << out_;
  EXPECT_TRUE(Says("notes.txt:1: not a trace file")) << out_;
  EXPECT_EQ(Run("summary --strict" + trace + In("notes.txt")), 2) << out_;
  EXPECT_EQ(Run("summary --strict" + trace), 0) << out_;
  EXPECT_EQ(Run("summary --sort nonsense" + trace), 2) << out_;
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_TRUE(Says("Examples:")) << out_;
}

TEST_F(Command, WildcardsExpandInTheProgramAndOutputGoesToTheNamedFile) {
  const std::string target = (dir_ / "out.csv").string();
  ASSERT_EQ(Run("summary --csv -o '" + target + "'" + In("*app.JOV_Log")), 0) << out_;
  std::ifstream file(target);
  std::string header, row;
  std::getline(file, header);
  std::getline(file, row);
  EXPECT_EQ(row, "app (pid 42),A.Run,1,2.500,2.500,2.500,2.500,2.500,2.500,0,,0");
}

}  // namespace
