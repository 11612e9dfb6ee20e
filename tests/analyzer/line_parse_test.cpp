// line_parse_test.cpp - every kind of line the library writes, taken apart, and the lines
// that only look like them.
#include <gtest/gtest.h>

#include <tuple>

#include "analyzer/byte_source.h"
#include "analyzer/line_parse.h"
#include "analyzer/line_reader.h"
#include "analyzer/line_text.h"
#include "bench/analyzer/trace_lines.h"

namespace {

using jovtrace::LineKind;
using jovtrace::ParsedLine;

TEST(LineKinds, AreRecognised) {
  const struct {
    const char* name;
    std::string line;
    LineKind kind;
  } cases[] = {
      {"date", tracelines::DateLine(2026, 12, 3), LineKind::kDate},
      {"thread", tracelines::ThreadLine(4711), LineKind::kThread},
      {"memory", tracelines::MemoryLine(2048, -1024, 8192, 0), LineKind::kMemory},
      {"handles", tracelines::HandleCountLine(12, 0), LineKind::kHandleCount},
      {"size_notice", tracelines::kSizeNotice, LineKind::kSizeNotice},
      {"wrap_banner", tracelines::kWrapBanner, LineKind::kWrapBanner},
      {"wrap_end", tracelines::kWrapEnd, LineKind::kWrapEnd},
      {"timed", tracelines::TimedLine(0, 1, 0, "x"), LineKind::kTimed},
      {"continuation", "                          b", LineKind::kContinuation},
      {"empty", "", LineKind::kEmpty},
      {"hour_25", "25:15:30.000    1.000 x", LineKind::kOther},
      {"no_interval", "22:15:30.000          x", LineKind::kOther},
      {"mangled_colon", "22-15:30.000    1.000 x", LineKind::kOther},
      {"interval_glued_to_text", "22:15:30.000    1.000x", LineKind::kOther},
      {"date_month_13", "Date=13/03/26" + std::string(80, '='), LineKind::kOther},
      {"memory_cut", "...Memory use changed. Internal Pool=12, Chan", LineKind::kOther},
      {"garbage", "\x01\x02\xff binary", LineKind::kOther},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ParsedLine parsed;
    jovtrace::ParseLine(c.line, parsed);
    EXPECT_EQ(parsed.kind, c.kind);
  }
}

TEST(LinePieces, TimedMarkerAndCounterLinesGiveTheirNumbers) {
  ParsedLine p;
  // A 9-column interval and two levels of indentation.
  const std::string timed = tracelines::TimedLine(80130042, 12345679, 2, "hello");  // p views it
  jovtrace::ParseLine(timed, p);
  EXPECT_EQ(std::make_tuple(p.kind, p.timeOfDayMs, p.intervalUs, p.indent, p.textColumn),
            std::make_tuple(LineKind::kTimed, 80130042, 12345679LL, 8u, std::size_t{23}));
  EXPECT_EQ(p.afterSeparator, "        hello");
  jovtrace::ParseLine(tracelines::TimedLine(0, -1500, 0, ""), p);
  EXPECT_EQ(std::make_tuple(p.kind, p.intervalUs, p.afterSeparator),
            std::make_tuple(LineKind::kTimed, -1500LL, std::string_view()));
  jovtrace::ParseLine("22:15:30.000 9999999999999999.000 x", p);  // would overflow
  EXPECT_EQ(p.kind, LineKind::kOther);

  jovtrace::ParseLine(tracelines::DateLine(2026, 12, 3), p);
  EXPECT_EQ(p.day, jovtrace::DaysFromCivil(2026, 12, 3));
  EXPECT_EQ(jovtrace::DaysFromCivil(2000, 3, 1), 11017);
  jovtrace::ParseLine(tracelines::ThreadLine(0xFFFFFFF0u), p);  // printed negative
  EXPECT_EQ(p.thread, 0xFFFFFFF0u);
  jovtrace::ParseLine(tracelines::MemoryLine(5000000000LL, -1024, 8192, -4096), p);
  EXPECT_EQ(std::vector<std::int64_t>(p.values, p.values + 4),
            (std::vector<std::int64_t>{5000000000LL, -1024, 8192, -4096}));
  jovtrace::ParseLine(tracelines::HandleCountLine(0, 6), p);
  EXPECT_EQ(std::make_pair(p.values[0], p.values[1]), std::make_pair(std::int64_t{0}, std::int64_t{6}));
}

TEST(LineReader, EndlessLineIsCutAndTheBufferStaysBounded) {
  std::string content = "Date=12/03/26" + std::string(80, '=') + "\r\n";
  content += "09:00:00.000    1.000 " + std::string(3 << 20, 'x') + "\r\n";
  content += "09:00:00.001    1.000 after\r\nno line end";
  jovtrace::MemorySource source(content);
  jovtrace::LineReader reader(source, 1 << 16, 1 << 12);
  jovtrace::PhysicalLine line;
  std::string seen;
  while (reader.Next(line)) {
    seen += std::to_string(line.text.size()) + (line.cut ? " cut" : "") +
            (line.unterminated ? " unterminated" : "") + (line.crlf ? " crlf" : "") + "\n";
  }
  EXPECT_EQ(seen, "93 crlf\n4096 cut\n27 crlf\n11 unterminated\n");
}

// A Pop text taken apart: "RESULT NAME[ rc CODE] dur D" ("RESULT" alone unless ok).
std::string PopParsed(const std::string& text) {
  jovtrace::PopText pop;
  const jovtrace::PopParse result = jovtrace::ParsePop(text, pop);
  if (result != jovtrace::PopParse::kOk) return std::to_string(static_cast<int>(result));
  return "ok " + std::string(pop.name) + (pop.hasReturnCode ? " rc " + std::to_string(pop.returnCode) : "") +
         " dur " + std::to_string(pop.duration);
}

TEST(PopLines, AreReadFromTheRight) {
  const std::pair<std::string, std::string> cases[] = {
      {tracelines::PopText("Parser.ReadBlock", 0, 12345), "ok Parser.ReadBlock rc 0 dur 12345"},
      {tracelines::PopText("Parser.Open", tracelines::kNoValue, 15002), "ok Parser.Open dur 15002"},
      {tracelines::PopText("A.B", -2147483647 - 1, 1), "ok A.B rc -2147483648 dur 1"},
      {tracelines::PopText("My Class.Do  it", 7, 90061001), "ok My Class.Do  it rc 7 dur 90061001"},
      {tracelines::PopText(".", tracelines::kNoValue, 0), "ok . dur 0"},
      {"Pop  ", std::to_string(static_cast<int>(jovtrace::PopParse::kBare))},
      {"Pop  Parser.Open Return Co", std::to_string(static_cast<int>(jovtrace::PopParse::kBroken))},
      {"Push Parser.Open", std::to_string(static_cast<int>(jovtrace::PopParse::kNotPop))},
  };
  for (const auto& [text, want] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(PopParsed(text), want);
  }
}

TEST(LineTexts, PushHeaderDumpAndFileNames) {
  jovtrace::PushText push;
  ASSERT_TRUE(jovtrace::ParsePush("Push Parser.ReadBlock  Request=42", push));
  EXPECT_EQ(push.name, "Parser.ReadBlock");
  EXPECT_EQ(push.detail, "Request=42");

  jovtrace::HeaderText header;
  const std::string text = tracelines::HeaderText("a, b", 42, 7, "C:\\t\\261203 221530 app 2.JOV_Log");
  ASSERT_TRUE(jovtrace::ParseHeader(text, header));
  EXPECT_EQ(header.userId, "a, b");
  EXPECT_EQ(header.processId, 42u);
  EXPECT_EQ(header.threadId, 7u);
  EXPECT_EQ(jovtrace::TraceNameOfFile(header.logFile), "app");
  EXPECT_EQ(jovtrace::TraceNameOfFile("/x/261203 221530 nightly.log.JOV_Log"), "nightly.log");

  EXPECT_TRUE(jovtrace::IsDumpLine(
      "00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *"));
  EXPECT_TRUE(jovtrace::IsDumpLine(
      "0000000000412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *"));
  EXPECT_FALSE(jovtrace::IsDumpLine(
      "00412A3g  48656C6C 6F2C2077 6F726C64          *Hello, world    *"));
}

}  // namespace
