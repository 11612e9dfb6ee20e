// reader_harness.h - hand-made trace files written from a short script of steps, read through
// the reader's core as the command reads them, and what the sink was told written down as
// compact text, so that a test compares a whole reading as a few short strings.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"
#include "analyzer/parse/block_reader.h"

namespace readertest {

using Files = std::map<std::string, std::string>;  // file name -> content

// Trace files from steps separated by "|", written as the library writes them from
// 22:15:30.000 on 2026-12-03: "+N" (microseconds pass), "push NAME[/DETAIL]",
// "pop[ LEVEL[ CODE]]" (level -1 is the innermost), "text TEXT", "thread N",
// "mem POOL BYTES", "bare LINE", "cut LINE" (a last line without line end), "date DAY" (the
// date line of that day of December), "file NAME" (a new file with its header, pid 42
// thread 7; the clock and routine stack go on), "raw NAME" (a new file without header),
// "new" (the clock back to the start, an empty stack). Lines written before any file go to
// "261203 221530 app.JOV_Log".
Files Play(std::string_view steps);

// What the sink was told, one line per event in the order it came. Times are microseconds
// after 22:15:30.000 on 2026-12-03; a trace other than the first is marked "#N ".
struct Reading {
  //   calls     PATH START-END dur D self S[ CLOSE unless normal][ rc CODE][ no push]
  //             tTHREAD[ "DETAIL"]
  //   texts     tTHREAD dDEPTH KIND TIME "TEXT"
  //   counters  KIND VALUE TIME
  //   notices   FILE:LINE: MESSAGE
  //   traces    LABEL: calls N[, each other figure that is not 0] threads A,B[ reasons R]
  //             [ files F, G when more than one, in the order read]
  std::string calls, texts, counters, notices, traces;
};

// Reads the files; `extra` is told everything too, with names interned in `names`; `parse`
// chooses the block size and the parsing threads.
Reading Read(const Files& files, jov::analyzer::TraceSink* extra = nullptr,
             jov::analyzer::NameTable* names = nullptr,
             const jov::analyzer::ParseOptions& parse = jov::analyzer::ParseOptions());

// Everything `write` writes to a file, as a string.
std::string Captured(const std::function<void(std::FILE*)>& write);

// Runs a shell command line in which "jovtrace" stands for the program under test
// ($JOVTRACE_EXE): the exit code (-1 unless it exited) and what it printed, standard error
// included.
std::pair<int, std::string> Shell(const std::string& line);

// The microseconds of a clock time on 2026-12-03.
jov::analyzer::Micros At(int hours, int minutes, int seconds, int micros = 0);

}  // namespace readertest
