// capi_bench.cpp - the C interface's cost beside the C++ interface's for the same work: a
// line into the wrap ring, and a routine push and pop without a trace. The C calls add a
// handle lookup and an exception shell; the target is at most 5 % more.
#include <JOVUtil.h>
#include <JOVUtilC.h>

#include "bench_harness.h"

namespace {

// The same 70 characters as the trace rows.
const wchar_t kWideText[] =
    L"Processed record 000123 of batch 42 with status OK, checksum 0x1F2E3D4C";

// Lines per second of `lines` calls of write().
template <typename Write>
double LinesPerSecond(long lines, Write write) {
  const double start = jov::bench::Seconds();
  for (long i = 0; i < lines; ++i) write();
  return lines / (jov::bench::Seconds() - start);
}

}  // namespace

JOV_BENCH_ROW(c_trace_ring_1t) {
  // One ring of 1 MB per side, written in many short turns, the sides alternating and each
  // keeping its best turn, so that a drift of the shared machine's load favours neither.
  JOVC_TRACE handle = nullptr;
  if (jovc_trace_create(&handle) != JOVC_OK) return jov::bench::Row{};
  jovc_trace_start(handle, L"bench", 1 << 20);
  JOVDebug trace;
  wchar_t ringName[] = L"bench";
  trace.TraceStart(ringName, 1 << 20);
  double c = 0, cxx = 0;
  for (int turn = 0; turn < 40; ++turn) {
    const double cRate = LinesPerSecond(40000, [&] { jovc_trace_line(handle, kWideText); });
    const double cxxRate = LinesPerSecond(40000, [&] { trace.InsertMsg(kWideText); });
    if (cRate > c) c = cRate;
    if (cxxRate > cxx) cxx = cxxRate;
  }
  trace.TraceWrapStop();
  jovc_trace_destroy(handle);
  return jov::bench::Row{"c_trace_ring_1t", c,    cxx,
                         "lines/s",         true, "C++ JOVDebug::InsertMsg (trace_ring_1t)"};
}

JOV_BENCH_ROW(c_routine_pushpop) {
  // A pair costs a few dozen nanoseconds: many short turns, each side keeping its best, so
  // that the other work on a shared machine shows in neither figure.
  JOVC_TRACE handle = nullptr;
  jovc_trace_create(&handle);  // no trace active: the stack alone
  JOVDebug trace;
  jov::bench::Row row = jov::bench::CompareNanoseconds(
      [&] {
        int32_t level = 0;
        jovc_routine_push(handle, L"Parser", L"ReadBlock", nullptr, JOVC_TRACE_INHERIT, &level);
        jovc_routine_pop(handle, level, 0);
      },
      [&] {
        const long level = trace.RoutinePush(L"Parser", L"ReadBlock", nullptr, -2);
        trace.RoutinePop(level, 0);
      },
      20000, 300, "C++ RoutinePush + RoutinePop (routine_pushpop)");
  row.name = "c_routine_pushpop";
  jovc_trace_destroy(handle);
  return row;
}
