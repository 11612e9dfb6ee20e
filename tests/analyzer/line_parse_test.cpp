// line_parse_test.cpp - every kind of line the library writes, taken apart, and the lines
// that only look like them.
#include <cstring>

#include "analyzer/input/line_chunker.h"
#include "analyzer/parse/line_parse.h"
#include "analyzer/parse/line_text.h"
#include "analyzer/generator/trace_lines.h"
#include "support/reader_test.h"

namespace {

namespace generator = jov::generator;
using jov::analyzer::PopParse;

std::string Code(PopParse result) { return std::to_string(static_cast<int>(result)); }

// A line taken apart, as "KIND NUMBERS..." (KIND is the LineKind's number; a timed line gives
// its time of day, interval, indentation, text column and "|text after the separator|").
std::string Parsed(const std::string& line) {
  jov::analyzer::ParsedLine p;
  jov::analyzer::ParseLine(line, p);
  using K = jov::analyzer::LineKind;
  std::ostringstream out;
  out << static_cast<int>(p.kind);
  if (p.kind == K::kDate) out << " " << p.day;
  if (p.kind == K::kThread) out << " " << p.thread;
  for (int i = 0; i < (p.kind == K::kMemory ? 4 : p.kind == K::kHandleCount ? 2 : 0); ++i)
    out << " " << p.values[i];
  if (p.kind == K::kTimed) {
    out << " " << p.timeOfDayMs << " " << p.intervalUs << " " << p.indent << " " << p.textColumn
        << " |" << p.afterSeparator << "|";
  }
  return out.str();
}

// The texts of Pop, Push and header lines taken apart: "ok NAME[ rc CODE] dur D" for a Pop
// ("RESULT" alone unless ok), "push NAME|DETAIL", "header USER pid thread TRACE-NAME".
std::string TextParsed(const std::string& text) {
  jov::analyzer::PopText pop;
  jov::analyzer::PushText push;
  jov::analyzer::HeaderText h;
  if (jov::analyzer::ParsePush(text, push))
    return "push " + std::string(push.name) + "|" + std::string(push.detail);
  if (jov::analyzer::ParseHeader(text, h)) {
    return "header " + std::string(h.userId) + " " + std::to_string(h.processId) + " " +
           std::to_string(h.threadId) + " " +
           std::string(jov::analyzer::TraceNameOfFile(h.logFile));
  }
  const PopParse result = jov::analyzer::ParsePop(text, pop);
  if (result != PopParse::kOk) return Code(result);
  return "ok " + std::string(pop.name) +
         (pop.hasReturnCode ? " rc " + std::to_string(pop.returnCode) : "") + " dur " +
         std::to_string(pop.duration);
}

TEST(LinesAndTexts, AreRecognisedAndTakenApart) {
  const std::tuple<const char*, std::string, std::string> cases[] = {
      // name, line or text, taken apart
      {"date", generator::DateLine(2026, 12, 3),
       "1 " + std::to_string(jov::analyzer::DaysFromCivil(2026, 12, 3))},
      {"thread_printed_negative", generator::ThreadLine(0xFFFFFFF0u), "2 4294967280"},
      {"memory", generator::MemoryLine(5000000000LL, -1024, 8192, -4096),
       "4 5000000000 -1024 8192 -4096"},
      {"handles", generator::HandleCountLine(0, 6), "3 0 6"},
      {"size_notice", generator::kSizeNotice, "5"},
      {"wrap_banner", generator::kWrapBanner, "6"},
      {"wrap_end", generator::kWrapEnd, "7"},
      {"timed_9_column_interval", generator::TimedLine(80130042, 12345679, 2, "hello"),
       "8 80130042 12345679 8 23 |        hello|"},
      {"timed_negative_empty", generator::TimedLine(0, -1500, 0, ""), "8 0 -1500 0 22 ||"},
      {"continuation", "                          b", "9"},
      {"empty", "", "0"},
      {"interval_overflows", "22:15:30.000 9999999999999999.000 x", "10"},
      {"hour_25", "25:15:30.000    1.000 x", "10"},
      {"no_interval", "22:15:30.000          x", "10"},
      {"mangled_colon", "22-15:30.000    1.000 x", "10"},
      {"interval_glued_to_text", "22:15:30.000    1.000x", "10"},
      {"date_month_13", "Date=13/03/26" + std::string(80, '='), "10"},
      {"memory_cut", "...Memory use changed. Internal Pool=12, Chan", "10"},
      {"garbage", "\x01\x02\xff binary", "10"},
      {"text", generator::PopText("Parser.ReadBlock", 0, 12345),
       "ok Parser.ReadBlock rc 0 dur 12345"},
      {"text", generator::PopText("Parser.Open", generator::kNoValue, 15002),
       "ok Parser.Open dur 15002"},
      {"text", generator::PopText("A.B", -2147483647 - 1, 1), "ok A.B rc -2147483648 dur 1"},
      {"text", generator::PopText("My Class.Do  it", 7, 90061001),
       "ok My Class.Do  it rc 7 dur 90061001"},
      {"text", generator::PopText(".", generator::kNoValue, 0), "ok . dur 0"},
      {"text", "Pop  ", Code(PopParse::kBare)},
      {"text", "Pop  Parser.Open Return Co", Code(PopParse::kBroken)},
      {"text", "Other text", Code(PopParse::kNotPop)},
      {"text", "Push Parser.ReadBlock  Request=42", "push Parser.ReadBlock|Request=42"},
      {"text", generator::HeaderText("a, b", 42, 7, "C:\\t\\261203 221530 app 2.JOV_Log"),
       "header a, b 42 7 app"},
  };
  for (const auto& [name, line, want] : cases) {
    SCOPED_TRACE(std::string(name) + ": " + line);
    EXPECT_EQ(name == std::string("text") ? TextParsed(line) : Parsed(line), want);
  }
  EXPECT_EQ(jov::analyzer::DaysFromCivil(2000, 3, 1), 11017);
  EXPECT_EQ(jov::analyzer::TraceNameOfFile("/x/261203 221530 nightly.log.JOV_Log"), "nightly.log");
  const std::string dump = "00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *";
  EXPECT_TRUE(jov::analyzer::IsDumpLine(dump));
  EXPECT_TRUE(jov::analyzer::IsDumpLine("00000000" + dump));
  EXPECT_FALSE(jov::analyzer::IsDumpLine("00412A3g" + dump.substr(8)));
}

// The one splitter, as whole files and growing files are read: whatever the block size and
// however the bytes arrive, the same lines come out; a line past the limit is cut with memory
// bounded; the end of the input ends its last line, which waits for its line feed before.
TEST(LineChunker, SameLinesWhateverTheBlocksAndPiecesTheBytesComeIn) {
  std::string content = "Date=12/03/26" + std::string(80, '=') + "\r\n";
  content += "09:00:00.000    1.000 " + std::string(3 << 20, 'x') + "\r\n";
  content += "09:00:00.001    1.000 after\r\n\nno line end\r";
  for (const std::size_t block : {1, 7, 64, 4096, 1 << 16}) {
    for (const std::size_t piece : {1, 5, 1 << 20}) {
      SCOPED_TRACE(std::to_string(block) + " " + std::to_string(piece));
      jov::analyzer::LineChunker chunker(1 << 12);
      jov::analyzer::LineChunk chunk;
      std::size_t at = 0, limit = 0;
      const jov::analyzer::ReadFn read = [&](char* buffer, std::size_t size) {
        const std::size_t n = std::min({size, piece, limit - at});
        std::memcpy(buffer, content.data() + at, n);
        at += n;
        return n;
      };
      std::string seen;
      // The bytes come in two halves; the first ends inside a line, which waits.
      for (const bool final : {false, true}) {
        limit = final ? content.size() : content.size() - 20;
        while (chunker.Next(chunk, block, read, final)) {
          EXPECT_LE(chunk.storage.size(), 2 * block + (1u << 12));
          jov::analyzer::ChunkLines lines(chunk, chunker.MaxLine());
          for (jov::analyzer::PhysicalLine line; lines.Next(line);)
            seen += std::to_string(line.text.size()) + (line.cut ? " cut" : "") +
                    (line.unterminated ? " unterminated" : "") + "\n";
        }
        EXPECT_EQ(chunker.Pending(), !final);
      }
      EXPECT_EQ(seen, "93\n4096 cut\n27\n0\n11 unterminated\n");
    }
  }
}

}  // namespace
