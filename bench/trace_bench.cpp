// trace_bench.cpp - trace lines per second to a file and into a wrap ring, beside spdlog
// (a file sink flushed at every line, and its null sink) and beside the platform's floor for
// a file line, and the cost of a routine push and pop without a trace, beside a vector of
// wide names.
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <utility>
#include <thread>
#include <vector>

#include <JOVUtil.h>

#include "bench_harness.h"

namespace {

// The same text on both sides: 70 characters.
const wchar_t kWideText[] =
    L"Processed record 000123 of batch 42 with status OK, checksum 0x1F2E3D4C";
const char kNarrowText[] =
    "Processed record 000123 of batch 42 with status OK, checksum 0x1F2E3D4C";

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

// Runs body(lines) on `threads` threads and returns lines per second over all of them,
// timed from the moment every thread is ready, so that starting them is not counted. One
// thread is the calling thread: the emulated 32-bit lane cannot start a second one.
template <typename Body>
double LinesPerSecond(int threads, long linesPerThread, Body body) {
  if (threads == 1) {
    const double start = jov::bench::Seconds();
    body(linesPerThread);
    return linesPerThread / (jov::bench::Seconds() - start);
  }
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      ++ready;
      while (!go.load()) std::this_thread::yield();
      body(linesPerThread);
    });
  }
  while (ready.load() < threads) std::this_thread::yield();
  const double start = jov::bench::Seconds();
  go = true;
  for (auto& w : workers) w.join();
  return threads * linesPerThread / (jov::bench::Seconds() - start);
}

// The best of `rounds` runs of each side, the sides taking turns, so that a drift of the
// shared machine's load favours neither.
template <typename Ours, typename Peer>
std::pair<double, double> BestOfTurns(int rounds, Ours ours, Peer peer) {
  std::pair<double, double> best{0, 0};
  for (int round = 0; round < rounds; ++round) {
    const double o = ours(round);
    const double p = peer(round);
    if (o > best.first) best.first = o;
    if (p > best.second) best.second = p;
  }
  return best;
}

// Lines per second of a file trace written by `threads` threads.
double OursToFile(const BenchFolder& folder, int round, int threads, long lines) {
  JOVDebug trace;
  std::wstring path =
      folder.Join((L"ours" + std::to_wstring(threads) + L"_" + std::to_wstring(round)).c_str());
  trace.TraceStart(&path[0], 0);
  const double rate = LinesPerSecond(threads, lines, [&](long n) {
    for (long i = 0; i < n; ++i) trace.InsertMsg(kWideText);
  });
  trace.TraceStop(1);
  return rate;
}

jov::bench::Row FileRow(const char* name, int threads) {
  const long lines = 20000 / threads;
  BenchFolder folder;
  const auto best = BestOfTurns(
      3, [&](int round) { return OursToFile(folder, round, threads, lines); },
      [&](int round) {
        const std::string tag = std::to_string(threads) + "_" + std::to_string(round);
        auto logger = spdlog::basic_logger_mt(
            "file" + tag, folder.NarrowJoin(("peer" + tag + ".log").c_str()), true);
        logger->set_pattern("%H:%M:%S.%e %v");
        logger->flush_on(spdlog::level::trace);
        const double rate = LinesPerSecond(threads, lines, [&](long n) {
          for (long i = 0; i < n; ++i) logger->info(kNarrowText);
        });
        spdlog::drop(logger->name());
        return rate;
      });
  return jov::bench::Row{name,      best.first, best.second,
                         "lines/s", true,       "spdlog basic_file_sink, flush every line"};
}

// The platform's floor for a file line: on a file opened as the trace opens its own, the
// calls that the library makes for each line, in its order, for a line of the same length,
// with no formatting, conversion or bookkeeping. That is the previous write's wait (only
// while it has not completed) and result, then the overlapped write, which resets the event
// itself as it starts, and the error code that tells a pending write from a refused one.
double FloorToFile(const std::wstring& path, long lines) {
  const std::string line = "22:15:30.042    0.861 " + std::string(kNarrowText) + "\r\n";
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  HANDLE event = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
  OVERLAPPED overlap{};
  unsigned long long position = 0;
  bool pending = false;
  auto wait = [&] {
    if (!HasOverlappedIoCompleted(&overlap)) ::WaitForSingleObject(event, 5000);
    DWORD transferred = 0;
    if (::GetOverlappedResult(file, &overlap, &transferred, FALSE)) position += transferred;
  };
  const double start = jov::bench::Seconds();
  for (long i = 0; i < lines; ++i) {
    if (pending) wait();
    overlap = OVERLAPPED{};
    overlap.Offset = static_cast<DWORD>(position);
    overlap.OffsetHigh = static_cast<DWORD>(position >> 32);
    overlap.hEvent = event;
    if (!::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), nullptr, &overlap))
      pending = ::GetLastError() == ERROR_IO_PENDING;
    else
      pending = true;
  }
  const double rate = lines / (jov::bench::Seconds() - start);
  if (pending) wait();
  ::CloseHandle(event);
  ::CloseHandle(file);
  return rate;
}

jov::bench::Row FloorRow() {
  constexpr long kLines = 20000;
  BenchFolder folder;
  const auto best = BestOfTurns(
      3, [&](int round) { return OursToFile(folder, round, 1, kLines); },
      [&](int round) {
        return FloorToFile(folder.Join((L"floor" + std::to_wstring(round)).c_str()), kLines);
      });
  return jov::bench::Row{"trace_file_floor", best.first, best.second,
                         "lines/s",          true,       "platform calls of a file line only"};
}

jov::bench::Row RingRow(const char* name, int threads) {
  const long lines = 400000 / threads;
  const auto best = BestOfTurns(
      3,
      [&](int) {
        JOVDebug trace;
        wchar_t ringName[] = L"bench";
        trace.TraceStart(ringName, 1 << 20);
        const double rate = LinesPerSecond(threads, lines, [&](long n) {
          for (long i = 0; i < n; ++i) trace.InsertMsg(kWideText);
        });
        trace.TraceWrapStop();
        return rate;
      },
      [&](int round) {
        auto sink = std::make_shared<spdlog::sinks::null_sink_mt>();
        auto logger = std::make_shared<spdlog::logger>(
            "null" + std::to_string(threads) + "_" + std::to_string(round), sink);
        logger->set_pattern("%H:%M:%S.%e %v");
        return LinesPerSecond(threads, lines, [&](long n) {
          for (long i = 0; i < n; ++i) logger->info(kNarrowText);
        });
      });
  return jov::bench::Row{name, best.first, best.second, "lines/s", true, "spdlog null_sink_mt"};
}

}  // namespace

JOV_BENCH_ROW(trace_file_1t) { return FileRow("trace_file_1t", 1); }
JOV_BENCH_ROW(trace_file_4t) { return FileRow("trace_file_4t", 4); }
JOV_BENCH_ROW(trace_file_floor) { return FloorRow(); }
JOV_BENCH_ROW(trace_ring_1t) { return RingRow("trace_ring_1t", 1); }
JOV_BENCH_ROW(trace_ring_4t) { return RingRow("trace_ring_4t", 4); }

JOV_BENCH_ROW(routine_pushpop) {
  JOVDebug trace;  // no trace active: the stack alone
  const double ours = jov::bench::NanosecondsPerCall(
      [&] {
        const long level = trace.RoutinePush(L"Parser", L"ReadBlock", nullptr, -2);
        trace.RoutinePop(level, 0);
      },
      1000000);
  std::vector<std::wstring> names;
  names.reserve(32);
  const double peer = jov::bench::NanosecondsPerCall(
      [&] {
        names.push_back(L"Parser.ReadBlock");
        jov::bench::KeepAlive(names.back());
        names.pop_back();
      },
      1000000);
  return jov::bench::Row{
      "routine_pushpop", ours, peer, "ns", false, "std::vector<std::wstring> push_back + pop_back"};
}
