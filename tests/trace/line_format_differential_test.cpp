// line_format_differential_test.cpp - random times, time zones, intervals, thread ids,
// depths and texts written through the DLL, to a file and through the ring, against a
// reference that builds each line from the documented formats with swprintf, the line-feed
// rule and the narrow conversion. The clocks, the zone and the thread id are the DLL's
// imports, scripted by the test.
#include <climits>
#include <cstdarg>
#include <cwchar>

#include "trace/trace_files.h"

namespace {

// What the scripted imports answer. System times from 2^63 on are refused by the zone
// conversion, and those past kLastTime by the platform's field conversion: either sends the
// DLL to GetLocalTime.
constexpr unsigned long long kRefused = 1ULL << 63;
constexpr long long kTicksPerSecond = 10000000;
constexpr long long kLastTime = 0x7FFF35F4F06C7FFFLL;  // 30827-12-31 23:59:59.999
unsigned long long scriptedSystem;
long long scriptedBias;  // system minus local time, 100-ns units
SYSTEMTIME scriptedFallback;
DWORD scriptedThread;
LONGLONG scriptedCount;

FILETIME ToFileTime(unsigned long long ticks) {
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
void WINAPI ScriptedSystemTime(FILETIME* now) { *now = ToFileTime(scriptedSystem); }
BOOL WINAPI ScriptedZone(const FILETIME* system, FILETIME* local) {
  const unsigned long long ticks =
      (static_cast<unsigned long long>(system->dwHighDateTime) << 32) | system->dwLowDateTime;
  if (ticks >= kRefused) return FALSE;
  *local = ToFileTime(ticks - static_cast<unsigned long long>(scriptedBias));
  return TRUE;
}
void WINAPI ScriptedLocalTime(SYSTEMTIME* now) { *now = scriptedFallback; }
DWORD WINAPI ScriptedThreadId() { return scriptedThread; }
BOOL WINAPI ScriptedCounter(LARGE_INTEGER* count) {
  count->QuadPart = scriptedCount;
  return TRUE;
}

std::string Format(const wchar_t* format, ...) {
  wchar_t text[512];
  va_list args;
  va_start(args, format);
  std::vswprintf(text, 512, format, args);
  va_end(args);
  // The narrow conversion: a character the C locale cannot represent becomes "?".
  std::string narrow;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    char bytes[MB_LEN_MAX];
    const int produced = std::wctomb(bytes, *c);
    if (produced <= 0 || produced > static_cast<int>(MB_CUR_MAX))
      narrow += '?';
    else
      narrow.append(bytes, static_cast<size_t>(produced));
  }
  return narrow;
}

// The reference writer: the bytes the DLL must write for the scripted inputs.
struct Reference {
  std::string lastDate;
  DWORD lastThread;
  unsigned long long lastTimer;
  unsigned long long biasSecond = ~0ULL;  // the zone's bias is read at a second's first line
  long long bias = 0;

  SYSTEMTIME LocalTime() {
    const unsigned long long second = scriptedSystem / kTicksPerSecond;
    if (second != biasSecond) {
      if (scriptedSystem >= kRefused) return scriptedFallback;
      bias = scriptedBias;
      biasSecond = second;
    }
    const FILETIME time = ToFileTime(scriptedSystem - static_cast<unsigned long long>(bias));
    SYSTEMTIME local;
    return ::FileTimeToSystemTime(&time, &local) ? local : scriptedFallback;
  }

  std::string Line(unsigned long long timer, long depth, const std::wstring& text) {
    std::string bytes;
    const SYSTEMTIME t = LocalTime();
    const std::string date = Format(L"%.2u/%.2u/%.2u", t.wMonth, t.wDay, t.wYear % 100);
    if (date != lastDate) bytes += "Date=" + date + std::string(80, '=') + "\r\n";
    lastDate = date;
    if (scriptedThread != lastThread) {
      bytes += Format(L"---- ThreadId=%d ", static_cast<int>(scriptedThread)) +
               std::string(30, '-') + "\r\n";
    }
    lastThread = scriptedThread;
    const double interval = static_cast<double>(static_cast<long long>(timer - lastTimer)) / 1000.0;
    lastTimer = timer;
    std::string line = Format(L"%.2u:%.2u:%.2u.%.3u %#8.3f", t.wHour, t.wMinute, t.wSecond,
                              t.wMilliseconds, interval);
    line += std::string(1 + (depth + 1) * 4, ' ');
    const size_t column = line.size();
    for (wchar_t c : text) {
      const wchar_t piece[2] = {c, 0};
      line += Format(L"%ls", piece);
      if (c == L'\n') line += std::string(column + 4, ' ');
    }
    return bytes + line + "\r\n";
  }
};

// One random input of each kind; wide ranges on purpose, so that every branch of the
// formatting meets its limits.
class Script {
 public:
  explicit Script(unsigned seed) : random_(seed) {}

  // The system time moves within its second (the zone's bias may change, the line keeps the
  // bias read at the second's first line), to the next seconds, anywhere between 1601 and
  // 30827, or where the zone conversion fails; the fallback's fields go past their range.
  void NextTime() {
    const unsigned long long second = scriptedSystem / kTicksPerSecond * kTicksPerSecond;
    const unsigned move = Pick(8);
    if (move < 4)
      scriptedSystem = second + Between(0, kTicksPerSecond - 1);
    else if (move < 6)
      scriptedSystem = second + Between(kTicksPerSecond, 100 * kTicksPerSecond);
    else if (move == 6)
      scriptedSystem = Between(86400 * kTicksPerSecond, kLastTime - 86400 * kTicksPerSecond);
    else  // past the last time a SYSTEMTIME holds, from 2^63 on, or zoned past it
      scriptedSystem = kLastTime + Between(1, 1LL << 48);
    if (Pick(3) == 0) scriptedBias = Between(-14 * 60, 14 * 60) * 60 * kTicksPerSecond;
    if (Pick(16) == 0) {
      scriptedSystem = kRefused - Between(1, 3600 * kTicksPerSecond);
      scriptedBias = -14 * 3600 * kTicksPerSecond;
    }
    auto word = [this](long long low, long long high) {
      return static_cast<WORD>(Between(low, high));
    };
    scriptedFallback =
        SYSTEMTIME{word(1601, 30827), word(1, 12),   0, word(1, 31), word(0, 65535), word(0, 65535),
                   word(0, 65535),    word(0, 65535)};
  }

  // Counter steps from none to jumps of years in both directions, and beyond 2^52
  // microseconds, where the interval's double no longer has its third decimal exactly.
  void NextCount() {
    static const long long kSteps[] = {0,        9, 5000, 12345678, 1LL << 40, 45035996273704960LL,
                                       1LL << 58};
    const long long step = Between(0, kSteps[Pick(7)]);
    const bool back = Pick(4) == 0 && scriptedCount > step;
    if (back || scriptedCount + step < (1LL << 62)) scriptedCount += back ? -step : step;
  }

  void NextThread() {
    static const DWORD kIds[] = {4, 0x1234, 0x7FFFFFFC, 0x80000004, 0xFFFFFFFC};
    if (Pick(4) == 0) scriptedThread = kIds[Pick(5)];
  }

  std::wstring NextText() {
    static const wchar_t kAlphabet[] =
        L"abcXYZ09 .,:=\t\r\n\n\x00E9\x00FC\x20AC\x03A9\x4E2D\xD83D\xDE00";
    std::wstring text(static_cast<size_t>(Pick(4) == 0 ? Between(0, 300) : Between(0, 40)), L' ');
    for (wchar_t& c : text) c = kAlphabet[Pick(sizeof kAlphabet / sizeof(wchar_t) - 1)];
    return text;
  }

  long long Between(long long low, long long high) {
    return std::uniform_int_distribution<long long>(low, high)(random_);
  }
  unsigned Pick(unsigned count) { return static_cast<unsigned>(Between(0, count - 1)); }

 private:
  std::mt19937_64 random_;
};

// Lines written through the DLL with every import scripted, to a file (wrapSize 0) or to
// the ring and dumped; the DLL's bytes and the reference's, line by line.
struct Outcome {
  tracetest::Lines written, expected;
};

Outcome WriteScripted(unsigned long wrapSize) {
  jovtest::ScratchDir dir;
  jovtest::ScopedImportPatch system("GetSystemTimeAsFileTime", &ScriptedSystemTime),
      zone("FileTimeToLocalFileTime", &ScriptedZone), fallback("GetLocalTime", &ScriptedLocalTime),
      counter("QueryPerformanceCounter", &ScriptedCounter),
      thread("GetCurrentThreadId", &ScriptedThreadId);
  Script script(20261203);
  scriptedSystem = 0x01DD0000ULL << 32;  // in 2026
  scriptedCount = 1000000;
  scriptedThread = 0x100;
  Outcome out;
  auto expect = [&out](const std::string& bytes) {
    for (const std::string& line : jovtest::SplitLines(bytes)) out.expected.push_back(line);
  };
  Reference reference{"", scriptedThread, JOV_TimerValue()};
  {
    JOVDebug trace;
    tracetest::StartIn(trace, dir, L"differential", wrapSize);
    // A file opens with its date line and header, whose text (user, file name) is not
    // scripted: it is compared up to "Trace Started.".
    if (wrapSize == 0) expect(reference.Line(JOV_TimerValue(), -1, L"Trace Started."));
    long depth = -1;
    for (int i = 0; i < 150; ++i) {
      script.NextTime();
      script.NextCount();
      script.NextThread();
      const long wanted = static_cast<long>(script.Between(-1, 12));
      for (; depth < wanted; ++depth) trace.RoutinePush(L"Level", L"Up", nullptr, 0);
      if (depth > wanted) trace.RoutinePop(wanted + 1, 0);
      depth = wanted;
      const std::wstring text = script.NextText();
      expect(reference.Line(JOV_TimerValue(), depth, text));
      // A text at an odd address (packed data) is read character by character.
      std::vector<char> odd((text.size() + 1) * sizeof(wchar_t) + 1);
      std::memcpy(odd.data() + 1, text.c_str(), odd.size() - 1);
      trace.InsertMsg(i % 4 == 0 ? reinterpret_cast<const wchar_t*>(odd.data() + 1) : text.c_str());
    }
    scriptedSystem = 0x01DD0000ULL << 32;
    if (wrapSize != 0) {
      trace.TraceDumpWrap(nullptr);
    } else {
      trace.TraceStop(0);  // without the closing line, which the reference does not model
    }
  }
  const auto files = tracetest::TraceFiles(dir);
  if (files.size() != 1) return out;
  out.written = jovtest::ReadLines(files[0]);
  if (wrapSize != 0) {
    // The ring's lines stand between the banners.
    out.written = tracetest::WrapDumpBody(out.written);
  } else if (out.written.size() >= 2) {
    out.written[1].resize(
        std::min(out.written[1].size(), out.written[1].find("Trace Started.") + 14));
  }
  return out;
}

TEST(LineFormatDifferential, EveryByteMatchesTheDocumentedFormats) {
  for (unsigned long wrapSize : {0ul, 1ul << 20}) {
    SCOPED_TRACE(wrapSize ? "ring" : "file");
    const Outcome out = WriteScripted(wrapSize);
    ASSERT_EQ(out.written.size(), out.expected.size());
    for (size_t i = 0; i < out.written.size(); ++i)
      ASSERT_EQ(out.written[i], out.expected[i]) << "line " << i;
  }
}

}  // namespace
