// trace_test_util.h - helpers of the trace tests: a temporary folder for trace files, the
// files of a trace read back as lines, and the pieces of a time-prefixed line.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace tracetest {

inline std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c);
  return out;
}

inline std::wstring Widen(const std::string& text) {
  std::wstring out;
  for (char c : text) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

// A fresh folder under the temporary path, removed with everything in it at the end.
class ScopedTempDir {
 public:
  ScopedTempDir() {
    static long serial = 0;
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    wchar_t name[MAX_PATH];
    std::swprintf(name, MAX_PATH, L"%lsjovtrace-%lu-%ld", base, ::GetCurrentProcessId(),
                  ::InterlockedIncrement(&serial));
    path_ = name;
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScopedTempDir() {
    for (const std::wstring& file : Files(L"*")) ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(path_.c_str());
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring Join(const std::wstring& name) const { return path_ + L"\\" + name; }

  // Full paths of the files matching pattern, in name order.
  std::vector<std::wstring> Files(const std::wstring& pattern) const {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(Join(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(Join(data.cFileName));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
  }

  // The trace files in the order they were made: by time stamp, then by counter.
  std::vector<std::wstring> TraceFiles() const {
    std::vector<std::wstring> files = Files(L"*.JOV_Log");
    auto key = [](const std::wstring& file) {
      static const std::wregex counter(LR"((.*\\\d{6} \d{6} .*?)(?: (\d+))?\.JOV_Log$)");
      std::wsmatch m;
      if (!std::regex_match(file, m, counter)) return std::make_pair(file, 0L);
      return std::make_pair(m[1].str(), m[2].matched ? std::stol(m[2].str()) : 0L);
    };
    std::sort(files.begin(), files.end(),
              [&](const std::wstring& a, const std::wstring& b) { return key(a) < key(b); });
    return files;
  }

 private:
  std::wstring path_;
};

inline std::string ReadFileBytes(const std::wstring& path) {
  std::string content;
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return content;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  ::CloseHandle(file);
  return content;
}

// The lines of a trace file, each ended by CR LF in the file (a text without that end is
// returned as a last line that starts with "<unterminated>").
inline std::vector<std::string> ReadLines(const std::wstring& path) {
  const std::string content = ReadFileBytes(path);
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < content.size()) {
    const size_t end = content.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back("<unterminated>" + content.substr(at));
      break;
    }
    lines.push_back(content.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Starts a file trace named `name` in the folder.
inline void StartIn(JOVDebug& trace, const ScopedTempDir& dir, const std::wstring& name,
                    unsigned long wrapSize = 0) {
  std::wstring path = dir.Join(name);
  trace.TraceStart(&path[0], wrapSize);
}

// Length of a line's time prefix: "HH:MM:SS.mmm", a blank, the interval right-aligned in
// at least 8 columns with 3 decimals, a blank. 0 when the line has none.
inline size_t PrefixLength(const std::string& line) {
  static const std::regex clock(R"(^\d{2}:\d{2}:\d{2}\.\d{3} )");
  if (line.size() < 22 || !std::regex_search(line.substr(0, 13), clock)) return 0;
  size_t at = 13;
  while (at < line.size() && line[at] == ' ') ++at;
  if (at < line.size() && line[at] == '-') ++at;
  const size_t digits = at;
  while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;
  if (at == digits || at + 5 > line.size() || line[at] != '.') return 0;
  for (size_t i = 1; i <= 3; ++i) {
    if (line[at + i] < '0' || line[at + i] > '9') return 0;
  }
  if (line[at + 4] != ' ' || at + 5 < 22) return 0;
  return at + 5;
}

inline bool IsPrefixed(const std::string& line) { return PrefixLength(line) != 0; }

// What follows the prefix (indentation and text); empty for a line without prefix.
inline std::string AfterPrefix(const std::string& line) {
  const size_t length = PrefixLength(line);
  return length == 0 ? std::string() : line.substr(length);
}

inline std::string DateLine() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  char date[16];
  std::snprintf(date, sizeof date, "%02u/%02u/%02u", now.wMonth, now.wDay, now.wYear % 100);
  return std::string("Date=") + date + std::string(80, '=');
}

// Index of the first line that contains `text`, or -1.
inline long FindLine(const std::vector<std::string>& lines, const std::string& text) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(text) != std::string::npos) return static_cast<long>(i);
  }
  return -1;
}

// A performance counter the test moves by hand: patch the DLL's QueryPerformanceCounter
// with FakeQueryPerformanceCounter and set fakeCount in counts (CountsFor microseconds).
inline LONGLONG fakeCount = 0;
inline BOOL WINAPI FakeQueryPerformanceCounter(LARGE_INTEGER* count) {
  count->QuadPart = fakeCount;
  return TRUE;
}
inline LONGLONG CountsFor(long long microseconds) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return microseconds * (frequency.QuadPart / 1000000);
}

}  // namespace tracetest
