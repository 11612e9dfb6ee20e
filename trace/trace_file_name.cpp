// trace_file_name.cpp - the time-stamped stem of a trace file name: the directory and name
// parts come from the name given to TraceStart or from the program's own path.
#include <time.h>
#include <wchar.h>

#include "trace/trace_internal.h"

namespace {

// The program's path: the first field of the command line, its quotes removed, so that a
// quoted path keeps its blanks.
JOVString ProgramPath() {
  JOVString commandLine(::GetCommandLineW());
  JOVString field;
  JOV_ParseDelimitedString(commandLine, L" ", field, 0, 1);
  return field;
}

// Removes ".log" or ".exe" (or else ".JOV_Log") from the end, without regard to case.
void RemoveKnownExtension(JOVString& path) {
  const unsigned length = path.length();
  if (length >= 4) {
    const JOVString tail = path.Right(4);
    if (JOV_MatchCaseless(tail, L".log") || JOV_MatchCaseless(tail, L".exe")) {
      path.erase(length - 4);
      return;
    }
  }
  if (length >= 8 && JOV_MatchCaseless(path.Right(8), jov::trace::format::wide::kExtension)) {
    path.erase(length - 8);
  }
}

// Appends the two-digit pieces at the given positions of a C runtime date or time string.
void AppendDigits(JOVString& stem, const wchar_t* text, unsigned first, unsigned second,
                  unsigned third) {
  const unsigned positions[3] = {first, second, third};
  for (unsigned position : positions) stem.append(text + position, 2u);
}

}  // namespace

JOVString JOVTraceAccess::FileStem(const JOVString& tracePath) {
  JOVString given(tracePath);
  JOVString base;
  if (given.find(L'\\') != JOVString::npos) {
    base.swap(given);
  } else {
    base = ProgramPath();
  }
  RemoveKnownExtension(base);

  // A bare name replaces the program's file name but keeps its directory. A program path
  // without a directory keeps its own name: the bare name is then not used.
  const unsigned lastSlash = base.rfind(L'\\');
  if (!given.empty() && lastSlash != JOVString::npos) {
    base.erase(lastSlash + 1);
    base.append(given);
  }

  const unsigned split = base.rfind(L'\\');
  const unsigned nameStart = (split == JOVString::npos) ? 0u : split + 1;

  // "MM/DD/YY" and "HH:MM:SS", as the C runtime gives them.
  wchar_t date[16] = {};
  wchar_t time[16] = {};
  _wstrdate(date);
  _wstrtime(time);

  JOVString stem(base, 0u, nameStart);
  AppendDigits(stem, date, 6, 0, 3);
  stem += L' ';
  AppendDigits(stem, time, 0, 3, 6);
  stem += L' ';
  stem.append(base, nameStart, JOVString::npos);
  return stem;
}
