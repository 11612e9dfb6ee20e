// command_run.cpp - the common options, the reading and the checked output of every
// subcommand (command_run.h).
#include "analyzer/cli/command_run.h"

#include "analyzer/cli/progress_bar.h"
#include "analyzer/input/file_source.h"

namespace jov::analyzer {

void AddCommonOptions(CLI::App& command, CommonOptions& common) {
  command.add_option("traces", common.inputs, "trace files, directories or wildcards")->required();
  command.add_option("-o,--output", common.output, "write to this file instead of standard output");
  command.add_flag("--strict", common.strict,
                   "treat any line that cannot be read as an error (exit code 2)");
  command.add_flag("-q,--quiet", common.quiet, "no progress bar");
}

RunResult ReadInputs(const CommonOptions& common, NameTable& names, TraceSink& sink) {
  FileOpener opener;
  RunOptions options;
  options.inputs = common.inputs;
  options.strict = common.strict;
  ProgressBar bar(stderr);
  if (!common.quiet && bar.Wanted()) {
    options.progress = [&bar](std::uint64_t done, std::uint64_t total) { bar.Show(done, total); };
  }
  RunResult result = Run(options, names, sink, opener, stderr);
  bar.Done();
  return result;
}

int RunWithOutput(const CommonOptions& common,
                  const std::function<RunResult(std::FILE* out, NameTable& names)>& produce) {
  NameTable names;
  RunResult result;
  const int code =
      WriteOutput(common.output, [&](std::FILE* out) { result = produce(out, names); });
  return code != 0 ? code : result.exitCode;
}

}  // namespace jov::analyzer
