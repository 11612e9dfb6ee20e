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

struct KindCase {
  const char* name;
  std::string line;
  LineKind kind;
};

class LineKinds : public testing::TestWithParam<KindCase> {};

TEST_P(LineKinds, AreRecognised) {
  ParsedLine parsed;
  jovtrace::ParseLine(GetParam().line, parsed);
  EXPECT_EQ(parsed.kind, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    All, LineKinds,
    testing::Values(
        KindCase{"date", tracelines::DateLine(2026, 12, 3), LineKind::kDate},
        KindCase{"thread", tracelines::ThreadLine(4711), LineKind::kThread},
        KindCase{"memory", tracelines::MemoryLine(2048, -1024, 8192, 0), LineKind::kMemory},
        KindCase{"handles", tracelines::HandleCountLine(12, 0), LineKind::kHandleCount},
        KindCase{"size_notice", tracelines::kSizeNotice, LineKind::kSizeNotice},
        KindCase{"wrap_banner", tracelines::kWrapBanner, LineKind::kWrapBanner},
        KindCase{"wrap_end", tracelines::kWrapEnd, LineKind::kWrapEnd},
        KindCase{"timed", tracelines::TimedLine(0, 1, 0, "x"), LineKind::kTimed},
        KindCase{"continuation", "                          b", LineKind::kContinuation},
        KindCase{"empty", "", LineKind::kEmpty},
        KindCase{"hour_25", "25:15:30.000    1.000 x", LineKind::kOther},
        KindCase{"no_interval", "22:15:30.000          x", LineKind::kOther},
        KindCase{"mangled_colon", "22-15:30.000    1.000 x", LineKind::kOther},
        KindCase{"interval_glued_to_text", "22:15:30.000    1.000x", LineKind::kOther},
        KindCase{"date_month_13", "Date=13/03/26" + std::string(80, '='), LineKind::kOther},
        KindCase{"memory_cut", "...Memory use changed. Internal Pool=12, Chan", LineKind::kOther},
        KindCase{"garbage", "\x01\x02\xff binary", LineKind::kOther}),
    [](const testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST(LinePieces, TimedMarkerAndCounterLinesGiveTheirNumbers) {
  ParsedLine p;
  // A 9-column interval and two levels of indentation.
  jovtrace::ParseLine(tracelines::TimedLine(80130042, 12345679, 2, "hello"), p);
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

struct PopCase {
  const char* name;
  std::string text;
  jovtrace::PopParse result;
  const char* routine;
  bool hasCode;
  long long code;
  long long durationUs;
};

class PopLines : public testing::TestWithParam<PopCase> {};

TEST_P(PopLines, AreReadFromTheRight) {
  const PopCase& c = GetParam();
  jovtrace::PopText pop;
  ASSERT_EQ(jovtrace::ParsePop(c.text, pop), c.result);
  if (c.result != jovtrace::PopParse::kOk) return;
  EXPECT_EQ(pop.name, c.routine);
  EXPECT_EQ(pop.hasReturnCode, c.hasCode);
  if (c.hasCode) EXPECT_EQ(pop.returnCode, c.code);
  EXPECT_EQ(pop.duration, c.durationUs);
}

INSTANTIATE_TEST_SUITE_P(
    All, PopLines,
    testing::Values(
        PopCase{"code", tracelines::PopText("Parser.ReadBlock", 0, 12345),
                jovtrace::PopParse::kOk, "Parser.ReadBlock", true, 0, 12345},
        PopCase{"no_code", tracelines::PopText("Parser.Open", tracelines::kNoValue, 15002),
                jovtrace::PopParse::kOk, "Parser.Open", false, 0, 15002},
        PopCase{"negative_code", tracelines::PopText("A.B", -2147483647 - 1, 1),
                jovtrace::PopParse::kOk, "A.B", true, -2147483648LL, 1},
        PopCase{"blanks_in_name", tracelines::PopText("My Class.Do  it", 7, 90061001),
                jovtrace::PopParse::kOk, "My Class.Do  it", true, 7, 90061001},
        PopCase{"empty_names", tracelines::PopText(".", tracelines::kNoValue, 0),
                jovtrace::PopParse::kOk, ".", false, 0, 0},
        PopCase{"bare", "Pop  ", jovtrace::PopParse::kBare, "", false, 0, 0},
        PopCase{"cut", "Pop  Parser.Open Return Co", jovtrace::PopParse::kBroken, "", false, 0, 0},
        PopCase{"push", "Push Parser.Open", jovtrace::PopParse::kNotPop, "", false, 0, 0}),
    [](const testing::TestParamInfo<PopCase>& info) { return std::string(info.param.name); });

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
