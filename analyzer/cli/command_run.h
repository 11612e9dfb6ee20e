// command_run.h - what every subcommand shares: its common options, the reading of its
// inputs into a sink with the progress bar, and the one checked path of its output.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "analyzer/input/text_encoding.h"
#include "analyzer/model/name_table.h"
#include "analyzer/model/run.h"
#include "analyzer/model/trace_model.h"
#include "analyzer/outputs/output_file.h"

namespace jov::analyzer {

struct CommonOptions {
  std::vector<std::string> inputs;
  std::string output;  // empty: standard output
  bool strict = false;
  bool quiet = false;
  unsigned codePage = kDefaultCodePage;  // the ANSI code page the traces were written in
};

// The inputs, -o, --strict, --quiet and --code-page of a subcommand.
void AddCommonOptions(CLI::App& command, CommonOptions& common);

// Adds --code-page to `command`, checked against what this system can convert.
void AddCodePageOption(CLI::App& command, unsigned& codePage);
// The decoder of `codePage`; the option's check made sure the system has it.
TextDecoder DecoderFor(unsigned codePage);

// Reads the inputs into `sink`, with a progress bar on standard error unless quiet.
RunResult ReadInputs(const CommonOptions& common, NameTable& names, TraceSink& sink);

// Opens the output, runs `produce` (which reads the inputs and writes to the stream it is
// given), and closes the output checked. The exit code: the reading's, or 3 with
// "jovtrace: cannot write <where>: <reason>" on standard error when the output failed. A pipe
// closed by its reader (`| head`) is no failure: its reader took what it wanted, so the run
// ends quietly with the reading's code.
int RunWithOutput(const CommonOptions& common,
                  const std::function<RunResult(std::FILE* out, NameTable& names)>& produce);

}  // namespace jov::analyzer
