// reader_fuzz.cpp - libFuzzer target: any bytes, as one or two trace files, go through the
// whole reader and every output. Crashes, sanitizer reports, hangs and runaway memory are
// what the fuzzer looks for; the first byte chooses where the input is split in two files.
#include <cstdint>

#include "analyzer/chrome_writer.h"
#include "analyzer/summary_sink.h"
#include "analyzer/tree_sink.h"
#include "support/reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* sinkFile = std::fopen("/dev/null", "wb");
  readertest::Files files;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = size == 0 ? 0 : (data[0] % 4 == 0 ? size * data[0] / 1024 : size);
  files["261203 221530 a.JOV_Log"] = bytes.substr(0, split);
  if (split < size) files["261203 221531 a.JOV_Log"] = bytes.substr(split);

  jovtrace::NameTable names;
  jovtrace::SummarySink summary(names);
  jovtrace::TreeSink tree;
  jovtrace::SinkFanout sinks;
  sinks.Add(summary);
  sinks.Add(tree);
  {
    jovtrace::ChromeWriter chrome(sinkFile, names);
    sinks.Add(chrome);
    readertest::Read(files, &sinks, &names);
  }
  summary.Sort(jovtrace::SummarySort::kP95);
  jovtrace::WriteSummaryTable(sinkFile, summary, names);
  jovtrace::WriteTreeText(sinkFile, tree, names, 0.5);
  jovtrace::WriteFolded(sinkFile, tree, names, jovtrace::FoldedWeight::kSelf);
  return 0;
}
