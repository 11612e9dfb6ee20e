// bench_harness.h - the benchmark executable's rows: each measures ours and a peer's
// figure for the same work, printed side by side (or as CSV with --csv).
#pragma once

#include <windows.h>

#include <string>

namespace jov::bench {

struct Row {
  std::string name;
  double ours = 0;
  double peer = 0;
  std::string unit;             // e.g. "ns", "GB/s", "lines/s"
  bool higherIsBetter = false;  // throughput rows: true; time rows: false
  std::string peerName;         // what the peer is, e.g. "zlib crc32"
  std::string note{};           // how ours ran, where that varies: e.g. the CRC's path
};

using RowFunction = Row (*)();

// Registers a row; rows print in name order. Used through JOV_BENCH_ROW.
bool RegisterRow(const char* name, RowFunction function);

// Seconds on the performance counter.
double Seconds();

// Best-of-`rounds` nanoseconds per call of `body`, each round timing `iterations` calls.
template <typename Body>
double NanosecondsPerCall(Body&& body, long iterations, int rounds = 5) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    double start = Seconds();
    for (long i = 0; i < iterations; ++i) body();
    double elapsed = (Seconds() - start) * 1e9 / iterations;
    if (elapsed < best) best = elapsed;
  }
  return best;
}

// A time row (ns per call, lower is better): rounds of ours and the peer alternate and each
// side keeps its best round, so a drift of the shared machine's load favours neither side.
template <typename Ours, typename Peer>
Row CompareNanoseconds(Ours&& ours, Peer&& peer, long iterations, int rounds,
                       const char* peerName) {
  Row row;
  row.ours = row.peer = 1e300;
  for (int round = 0; round < rounds; ++round) {
    double o = NanosecondsPerCall(ours, iterations, 1);
    double p = NanosecondsPerCall(peer, iterations, 1);
    if (o < row.ours) row.ours = o;
    if (p < row.peer) row.peer = p;
  }
  row.unit = "ns";
  row.higherIsBetter = false;
  row.peerName = peerName;
  return row;
}

// Keeps the compiler from dropping a computed value.
template <typename T>
inline void KeepAlive(const T& value) {
  asm volatile("" : : "g"(&value) : "memory");
}

}  // namespace jov::bench

#define JOV_BENCH_ROW(id)                                                                  \
  static ::jov::bench::Row BenchRow_##id();                                                \
  static const bool benchRegistered_##id = ::jov::bench::RegisterRow(#id, &BenchRow_##id); \
  static ::jov::bench::Row BenchRow_##id()
