// trace_bench.cpp - trace lines per second to a file and into a wrap ring, beside spdlog
// (a file sink flushed at every line, and its null sink), and the cost of a routine push and
// pop without a trace, beside a vector of wide names.
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <JOVUtil.h>

#include "bench_harness.h"

namespace {

// The same text on both sides: 70 characters.
const wchar_t kWideText[] = L"Processed record 000123 of batch 42 with status OK, checksum 0x1F2E3D4C";
const char kNarrowText[] = "Processed record 000123 of batch 42 with status OK, checksum 0x1F2E3D4C";

// A folder for the rows' files, emptied and removed at the end.
class BenchFolder {
 public:
  BenchFolder() {
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"jovtrace-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~BenchFolder() {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((path_ + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          ::DeleteFileW((path_ + L"\\" + data.cFileName).c_str());
      } while (::FindNextFileW(find, &data));
      ::FindClose(find);
    }
    ::RemoveDirectoryW(path_.c_str());
  }
  std::wstring Join(const wchar_t* name) const { return path_ + L"\\" + name; }
  std::string NarrowJoin(const char* name) const {
    std::string narrow;
    for (wchar_t c : path_) narrow += static_cast<char>(c);
    return narrow + "\\" + name;
  }

 private:
  std::wstring path_;
};

// Runs body(lines) on `threads` threads and returns lines per second over all of them.
template <typename Body>
double LinesPerSecond(int threads, long linesPerThread, Body body) {
  const double start = jovbench::Seconds();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) workers.emplace_back([&] { body(linesPerThread); });
  for (auto& w : workers) w.join();
  return threads * linesPerThread / (jovbench::Seconds() - start);
}

// Best of three runs.
template <typename Run>
double Best(Run run) {
  double best = 0;
  for (int i = 0; i < 3; ++i) {
    const double value = run();
    if (value > best) best = value;
  }
  return best;
}

jovbench::Row FileRow(const char* name, int threads) {
  const long lines = 20000 / threads;
  BenchFolder folder;
  const double ours = Best([&] {
    JOVDebug trace;
    std::wstring path = folder.Join(L"ours");
    trace.TraceStart(&path[0], 0);
    const double rate = LinesPerSecond(threads, lines, [&](long n) {
      for (long i = 0; i < n; ++i) trace.InsertMsg(kWideText);
    });
    trace.TraceStop(1);
    return rate;
  });
  int run = 0;
  const double peer = Best([&] {
    const std::string tag = std::to_string(threads) + "_" + std::to_string(run++);
    auto logger = spdlog::basic_logger_mt("file" + tag,
                                          folder.NarrowJoin(("peer" + tag + ".log").c_str()), true);
    logger->set_pattern("%H:%M:%S.%e %v");
    logger->flush_on(spdlog::level::trace);
    const double rate = LinesPerSecond(threads, lines, [&](long n) {
      for (long i = 0; i < n; ++i) logger->info(kNarrowText);
    });
    spdlog::drop(logger->name());
    return rate;
  });
  return jovbench::Row{name, ours, peer, "lines/s", true, "spdlog basic_file_sink, flush every line"};
}

jovbench::Row RingRow(const char* name, int threads) {
  const long lines = 400000 / threads;
  const double ours = Best([&] {
    JOVDebug trace;
    wchar_t ringName[] = L"bench";
    trace.TraceStart(ringName, 1 << 20);
    const double rate = LinesPerSecond(threads, lines, [&](long n) {
      for (long i = 0; i < n; ++i) trace.InsertMsg(kWideText);
    });
    trace.TraceWrapStop();
    return rate;
  });
  int run = 0;
  const double peer = Best([&] {
    auto sink = std::make_shared<spdlog::sinks::null_sink_mt>();
    auto logger = std::make_shared<spdlog::logger>("null" + std::to_string(threads) + "_" + std::to_string(run++), sink);
    logger->set_pattern("%H:%M:%S.%e %v");
    return LinesPerSecond(threads, lines, [&](long n) {
      for (long i = 0; i < n; ++i) logger->info(kNarrowText);
    });
  });
  return jovbench::Row{name, ours, peer, "lines/s", true, "spdlog null_sink_mt"};
}

}  // namespace

JOV_BENCH_ROW(trace_file_1t) { return FileRow("trace_file_1t", 1); }
JOV_BENCH_ROW(trace_file_4t) { return FileRow("trace_file_4t", 4); }
JOV_BENCH_ROW(trace_ring_1t) { return RingRow("trace_ring_1t", 1); }
JOV_BENCH_ROW(trace_ring_4t) { return RingRow("trace_ring_4t", 4); }

JOV_BENCH_ROW(routine_pushpop) {
  JOVDebug trace;  // no trace active: the stack alone
  const double ours = jovbench::NanosecondsPerCall(
      [&] {
        const long level = trace.RoutinePush(L"Parser", L"ReadBlock", nullptr, -2);
        trace.RoutinePop(level, 0);
      },
      1000000);
  std::vector<std::wstring> names;
  names.reserve(32);
  const double peer = jovbench::NanosecondsPerCall(
      [&] {
        names.push_back(L"Parser.ReadBlock");
        jovbench::KeepAlive(names.back());
        names.pop_back();
      },
      1000000);
  return jovbench::Row{"routine_pushpop", ours, peer, "ns", false,
                       "std::vector<std::wstring> push_back + pop_back"};
}
