// hex_dump_test.cpp - dump lines, hex strings and display characters byte for byte, and the
// dump as it reaches the trace file.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "trace/trace_test_util.h"

namespace {

// Digits of an address in this build: the whole pointer (8 or 16).
constexpr unsigned kAddressDigits = sizeof(void*) * 2;
constexpr unsigned kWithAddress = kAddressDigits + 2 + 54;
constexpr unsigned kWithoutAddress = 54;
constexpr wchar_t kSentinel = L'#';

std::string AddressText(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(kAddressDigits),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
  return text;
}

// One dump line through HexStringLine into a buffer full of sentinels; the characters
// written up to the expected width, and a failure if anything past it was touched.
std::string DumpLine(const void* bytes, unsigned long count, bool withAddress) {
  JOVDebug d;
  wchar_t buffer[200];
  for (wchar_t& c : buffer) c = kSentinel;
  d.HexStringLine(static_cast<unsigned char*>(const_cast<void*>(bytes)), count, buffer,
                  withAddress ? 1 : 0);
  const unsigned width = withAddress ? kWithAddress : kWithoutAddress;
  for (unsigned i = width; i < 200; ++i) {
    if (buffer[i] != kSentinel) {
      ADD_FAILURE() << "wrote past column " << width - 1 << " at " << i;
      break;
    }
  }
  return tracetest::Narrow(std::wstring(buffer, width));
}

// The texts of a trace file's time-prefixed lines, prefix removed.
std::vector<std::string> Texts(const tracetest::ScopedTempDir& dir) {
  std::vector<std::wstring> files = dir.TraceFiles();
  EXPECT_EQ(files.size(), 1u);
  std::vector<std::string> texts;
  if (files.size() != 1) return texts;
  for (const std::string& line : tracetest::ReadLines(files[0]))
    if (tracetest::IsPrefixed(line)) texts.push_back(tracetest::AfterPrefix(line));
  return texts;
}

// What a dump wrote: the lines after the header, without the closing line.
std::vector<std::string> DumpTexts(const tracetest::ScopedTempDir& dir) {
  std::vector<std::string> texts = Texts(dir);
  std::vector<std::string> out;
  for (size_t i = 1; i < texts.size(); ++i)
    if (texts[i] != "Trace Closed.") out.push_back(texts[i]);
  return out;
}

}  // namespace

TEST(HexDumpLine, MatchesKnownLinesWithAndWithoutAddress) {
  const char hello[] = "Hello, world";
  EXPECT_EQ(DumpLine(hello, 12, true),
            AddressText(hello) + "  48656C6C 6F2C2077 6F726C64          *Hello, world    *");

  const unsigned char mixed[16] = {0x41, 0x2D, 0x3D, 0x00, 0x7F, 0xFF, 0x20, 0x7E,
                                   0x30, 0x39, 0x7A, 0x5A, 0x0D, 0x0A, 0x09, 0x2E};
  EXPECT_EQ(DumpLine(mixed, 16, true),
            AddressText(mixed) + "  412D3D00 7FFF207E 30397A5A 0D0A092E *A..... ~09zZ....*");

  const char abcde[] = "ABCDE";
  EXPECT_EQ(DumpLine(abcde, 5, true),
            AddressText(abcde) + "  41424344 45                         *ABCDE           *");

  const char letters[] = "ABCDEFGHIJKLMNOP";
  EXPECT_EQ(DumpLine(letters, 16, false), "41424344 45464748 494A4B4C 4D4E4F50 *ABCDEFGHIJKLMNOP*");
  EXPECT_EQ(DumpLine(abcde, 5, false), "41424344 45                         *ABCDE           *");
}

TEST(HexDumpLine, KeepsItsWidthForEveryCountAndShowsAtMostSixteenBytes) {
  unsigned char bytes[40];
  for (unsigned i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(0xA0 + i);
  // DumpLine fails when a line of any count writes past its width.
  for (unsigned long count = 0; count <= 20; ++count) {
    const std::string line = DumpLine(bytes, count, true);
    const unsigned shown = count < 16 ? count : 16;
    // Digits of the bytes present, blanks for the rest of the hex and display areas.
    const std::string hex = line.substr(kAddressDigits + 2, 36);
    std::string digits;
    for (char c : hex)
      if (c != ' ') digits += c;
    EXPECT_EQ(digits.size(), 2u * shown) << "count " << count;
    EXPECT_EQ(line[kAddressDigits + 2 + 36], '*');
    EXPECT_EQ(line.back(), '*');
    EXPECT_EQ(line.substr(kWithAddress - 1 - (16 - shown), 16 - shown), std::string(16 - shown, ' '));
  }
  EXPECT_EQ(DumpLine(bytes, 40, false), DumpLine(bytes, 16, false));
  EXPECT_EQ(DumpLine(bytes, 0, false), std::string(36, ' ') + "*" + std::string(16, ' ') + "*");
}

TEST(HexDumpLine, DisplaysPrintableAsciiExceptHyphenAndEqualsSign) {
  unsigned shownAsThemselves = 0;
  for (unsigned first = 0; first < 256; first += 16) {
    unsigned char bytes[16];
    for (unsigned i = 0; i < 16; ++i) bytes[i] = static_cast<unsigned char>(first + i);
    const std::string display = DumpLine(bytes, 16, false).substr(37, 16);
    for (unsigned i = 0; i < 16; ++i) {
      const unsigned b = first + i;
      const bool shown = b >= 0x20 && b <= 0x7E && b != 0x2D && b != 0x3D;
      EXPECT_EQ(display[i], shown ? static_cast<char>(b) : '.') << "byte " << b;
      if (display[i] == static_cast<char>(b)) ++shownAsThemselves;
    }
  }
  // "." shows as itself too, so it is counted once among the 93.
  EXPECT_EQ(shownAsThemselves, 93u);
}

TEST(HexStrings, DigitsOfBytesAndOfThirtyTwoBitValues) {
  JOVDebug d;
  const unsigned char three[] = {0x01, 0xAB, 0xFF};
  EXPECT_STREQ(d.HexString(three, 3).c_str(), L"01ABFF");
  EXPECT_TRUE(d.HexString(three, 0).empty());

  wchar_t buffer[12];
  for (wchar_t& c : buffer) c = kSentinel;
  d.HexString(three, 3, buffer);
  EXPECT_EQ(std::wstring(buffer, 7), L"01ABFF#");

  EXPECT_STREQ(d.HexStringForDWORD(0x1234ABCD).c_str(), L"1234ABCD");
  EXPECT_STREQ(d.HexStringForDWORD(0x00412A30).c_str(), L"00412A30");
  EXPECT_STREQ(d.HexStringForDWORD(0).c_str(), L"00000000");
  EXPECT_STREQ(d.HexStringForDWORD(0xFFFFFFFF).c_str(), L"FFFFFFFF");
  for (wchar_t& c : buffer) c = kSentinel;
  d.HexStringForDWORD(0xDEADBEEF, buffer);
  EXPECT_EQ(std::wstring(buffer, 9), L"DEADBEEF#");
}

TEST(HexStrings, LongInputIsConvertedWholeIntoOneReservation) {
  JOVDebug d;
  std::vector<unsigned char> bytes(300);
  std::wstring expected;
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    wchar_t digits[3];
    std::swprintf(digits, 3, L"%02X", bytes[i]);
    expected += digits;
  }
  JOVString text = d.HexString(bytes.data(), 300);
  EXPECT_EQ(std::wstring(text.c_str()), expected);
  EXPECT_GE(text.capacity(), 600u);
}

TEST(HexDumpTrace, SixteenBytesWriteEmptyLineTitleAndOneDumpLine) {
  tracetest::ScopedTempDir dir;
  const char letters[] = "ABCDEFGHIJKLMNOPQ";
  {
    JOVDebug d;
    tracetest::StartIn(d, dir, L"dump.log");
    d.HexDump(letters, 16, L"Sixteen bytes");
  }
  const std::vector<std::string> texts = DumpTexts(dir);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "");
  EXPECT_EQ(texts[1], "Sixteen bytes");
  EXPECT_EQ(texts[2], AddressText(letters) +
                          "  41424344 45464748 494A4B4C 4D4E4F50 *ABCDEFGHIJKLMNOP*");
}

TEST(HexDumpTrace, SeventeenBytesEndWithALineOfOneByte) {
  tracetest::ScopedTempDir dir;
  const char letters[] = "ABCDEFGHIJKLMNOPQ";
  {
    JOVDebug d;
    tracetest::StartIn(d, dir, L"dump.log");
    d.HexDump(letters, 17, nullptr);  // a null title is skipped
  }
  const std::vector<std::string> texts = DumpTexts(dir);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "");
  EXPECT_EQ(texts[1].size(), kWithAddress);
  EXPECT_EQ(texts[2], AddressText(letters + 16) + "  51" + std::string(34, ' ') + "*Q" +
                          std::string(15, ' ') + "*");
}

TEST(HexDumpTrace, ZeroBytesWriteOnlyTheEmptyLineAndTitle) {
  tracetest::ScopedTempDir dir;
  {
    JOVDebug d;
    tracetest::StartIn(d, dir, L"dump.log");
    d.HexDump("x", 0, L"Nothing to show");
  }
  EXPECT_EQ(DumpTexts(dir), (std::vector<std::string>{"", "Nothing to show"}));
}

TEST(HexDumpTrace, WritesNothingAndReadsNothingWithoutAnActiveTrace) {
  tracetest::ScopedTempDir dir;
  {
    JOVDebug d;
    // Unreadable bytes: a dump that looked at them before testing the trace would fault.
    d.HexDump(nullptr, 4096, L"never written");
    tracetest::StartIn(d, dir, L"dump.log");
  }
  EXPECT_EQ(DumpTexts(dir), std::vector<std::string>{});
}
