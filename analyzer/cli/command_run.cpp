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
  AddCodePageOption(command, common.codePage);
}

void AddCodePageOption(CLI::App& command, unsigned& codePage) {
  command
      .add_option("--code-page", codePage,
                  "the ANSI code page of the machine that wrote the traces (the files do not "
                  "record it): 1252 (Western, the default), 1250, 1251, 932, ...; text that is "
                  "valid UTF-8 is read as UTF-8")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            TextDecoder decoder;
            std::string error;
            unsigned long page = 0;
            try {
              page = std::stoul(text);
            } catch (const std::exception&) {
              return "not a code page number: " + text;
            }
            if (!TextDecoder::ForCodePage(static_cast<unsigned>(page), decoder, error))
              return error;
            return std::string();
          },
          "CODE PAGE"));
}

TextDecoder DecoderFor(unsigned codePage) {
  TextDecoder decoder;
  std::string error;
  TextDecoder::ForCodePage(codePage, decoder, error);
  return decoder;
}

RunResult ReadInputs(const CommonOptions& common, NameTable& names, TraceSink& sink) {
  FileOpener opener;
  RunOptions options;
  options.inputs = common.inputs;
  options.strict = common.strict;
  options.parse.decoder = DecoderFor(common.codePage);
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
