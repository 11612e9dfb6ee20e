// trace_generator.cpp - the benchmarks' workload, written through the library's line formats
// (trace_lines.h).
#include "analyzer/generator/trace_generator.h"

#include <random>
#include <string>
#include <vector>

#include "analyzer/generator/trace_lines.h"

namespace jov::generator {
namespace {

const char* const kClasses[] = {"Parser", "Buffer", "Index", "Store", "Net", "Report", "Cache"};
const char* const kRoutines[] = {"Open",  "ReadBlock", "Fill",    "Lookup",  "Write",
                                 "Flush", "Send",      "Receive", "Compute", "Close"};

}  // namespace

Generated WriteTrace(std::FILE* out, std::uint64_t bytes, std::uint32_t seed) {
  std::mt19937 random(seed);
  jov::generator::Script s(2026, 12, 3, (22LL * 3600 + 15 * 60) * 1000000);
  s.Open(4242, 100, "C:\\batch\\261203 221500 nightly.JOV_Log");
  Generated result;
  std::int64_t pool = 0;
  auto flush = [&] {
    const std::string text = s.Content();
    std::fwrite(text.data(), 1, text.size(), out);
    result.bytes += text.size();
    result.lines += s.Lines().size();
    s.Clear();
  };
  while (result.bytes < bytes) {
    for (int i = 0; i < 2000; ++i) {
      const unsigned pick = random() % 100;
      s.Advance(1 + random() % 900);
      if (pick < 40 && s.Depth() < 7) {
        const std::string name =
            std::string(kClasses[random() % 7]) + "." + kRoutines[random() % 10];
        if (random() % 3 == 0) {
          s.Push(name, "Request=" + std::to_string(random() % 100000));
        } else {
          s.Push(name);
        }
      } else if (pick < 80 && s.Depth() > 0) {
        const unsigned code = random() % 20;
        s.Pop(-1, code == 0 ? 5 : (code < 10 ? 0 : jov::generator::kNoValue));
        ++result.pops;
      } else if (pick < 82) {
        s.Thread(s.Depth() % 2 == 0 ? 100 : 101);
        s.Text("worker: progress check");
        s.Thread(100);
      } else if (pick < 84) {
        pool += static_cast<std::int64_t>(random() % 8192) - 4000;
        if (pool < 0) pool = 0;
        s.Memory(pool, 1 << 20);
        s.Text("allocated a buffer");
      } else {
        s.Text("processing record " + std::to_string(random()) + " of the input");
      }
    }
    flush();
  }
  while (s.Depth() > 0) {
    s.Advance(10);
    s.Pop(-1, 0);
    ++result.pops;
  }
  s.Text("Trace Closed.");
  flush();
  return result;
}

}  // namespace jov::generator
