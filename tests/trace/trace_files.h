// trace_files.h - helpers of the trace tests: the trace files of a folder in the order they
// were made, their lines in short, addresses as the trace shows them, and a trace run in a
// fresh folder.
#pragma once

#include "support/test_prelude.h"

#include <regex>

#include "trace/trace_format.h"

namespace tracetest {

using jovtest::ScratchDir;
using Lines = std::vector<std::string>;

// The trace files in the order they were made: by time stamp and name, then by counter.
inline std::vector<std::wstring> TraceFiles(const ScratchDir& dir) {
  std::vector<std::wstring> files = dir.Entries(L"*.JOV_Log");
  auto key = [](const std::wstring& file) {
    static const std::wregex counted(LR"((.*) (\d+)\.JOV_Log$)");
    std::wsmatch m;
    if (std::regex_match(file, m, counted)) return std::make_pair(m[1].str(), std::stol(m[2]));
    return std::make_pair(file.substr(0, file.size() - 8), 0L);
  };
  std::sort(files.begin(), files.end(),
            [&](const auto& a, const auto& b) { return key(a) < key(b); });
  return files;
}

// The lines of all trace files in the folder in short: each file's date and header line as
// "D" and "H", the texts of the time-stamped lines after their clock and interval (with their
// indentation and continuations), the bare lines as they are.
inline Lines Shape(const ScratchDir& dir) {
  static const std::regex stamped(R"(^\d\d:\d\d:\d\d\.\d\d\d +-?\d+\.\d\d\d ([\s\S]*)$)");
  Lines shape;
  std::smatch m;
  for (const std::wstring& file : TraceFiles(dir))
    for (const std::string& line : jovtest::ReadLines(file)) {
      const std::string text = std::regex_match(line, m, stamped) ? m[1].str() : line;
      const bool header = text.rfind("Trace Started. UserId=", 0) == 0;
      shape.push_back(line.rfind("Date=", 0) == 0 ? "D" : header ? "H" : text);
    }
  return shape;
}

// An address as the trace shows it, with all its hex digits (8 or 16).
inline std::string Hex(std::uintptr_t address) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llX", int(2 * sizeof address),
                static_cast<unsigned long long>(address));
  return text;
}

// The lines of a wrap dump between its banners (none when a banner is missing).
inline Lines WrapDumpBody(const Lines& lines) {
  const auto first = std::find(lines.begin(), lines.end(), jov::trace::format::kWrapBanner);
  if (first == lines.end() || lines.back() != jov::trace::format::kWrapEnd) return {};
  return Lines(first + 1, lines.end() - 1);
}

// Starts a file trace (or, with a wrap size, a wrap trace) named `name` in the folder.
inline void StartIn(JOVDebug& trace, const ScratchDir& dir, const wchar_t* name,
                    unsigned long wrap = 0) {
  std::wstring path = dir.Join(name);
  trace.TraceStart(&path[0], wrap);
}

// Runs `body` (given the trace object and the folder) on a trace started as StartIn does in
// a fresh folder, ends it with the object, and returns the folder's trace files in short.
template <typename Body>
Lines Traced(Body body, const wchar_t* name = L"trace", unsigned long wrap = 0) {
  ScratchDir dir;
  {
    JOVDebug trace;
    StartIn(trace, dir, name, wrap);
    body(trace, dir);
  }
  return Shape(dir);
}

}  // namespace tracetest
