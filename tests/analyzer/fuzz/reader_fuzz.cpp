// reader_fuzz.cpp - libFuzzer target: any bytes, as one or two trace files, go through the
// whole reader and every output. Crashes, sanitizer reports, hangs and runaway memory are
// what the fuzzer looks for; the first byte chooses where the input is split in two files.
#include <cstdint>

#include "analyzer/outputs/chrome_writer.h"
#include "analyzer/outputs/summary_format.h"
#include "analyzer/outputs/tree_sink.h"
#include "support/reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* sinkFile = std::fopen("/dev/null", "wb");
  readertest::Files files;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = size == 0 ? 0 : (data[0] % 4 == 0 ? size * data[0] / 1024 : size);
  files["261203 221530 a.JOV_Log"] = bytes.substr(0, split);
  if (split < size) files["261203 221531 a.JOV_Log"] = bytes.substr(split);

  jov::analyzer::NameTable names;
  jov::analyzer::SummarySink summary(names);
  jov::analyzer::TreeSink tree;
  jov::analyzer::SinkFanout sinks;
  sinks.Add(summary);
  sinks.Add(tree);
  {
    jov::analyzer::ChromeWriter chrome(sinkFile, names);
    sinks.Add(chrome);
    readertest::Read(files, &sinks, &names);
  }
  summary.Sort(jov::analyzer::SummarySort::kP95);
  jov::analyzer::WriteSummaryTable(sinkFile, summary, names);
  jov::analyzer::WriteTreeText(sinkFile, tree, names, 0.5);
  jov::analyzer::WriteFolded(sinkFile, tree, names, jov::analyzer::FoldedWeight::kSelf);
  return 0;
}
