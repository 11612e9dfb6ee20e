// diff_end_to_end_test.cpp - `jovtrace diff` on traces the DLL wrote: a batch traced as a
// base and again with a delay in one routine of 40 calls, which is the one routine flagged;
// its caller, whose self time did not change, is not.
#include "generated_runs.h"
#include "support/test_prelude.h"

namespace {

namespace fs = std::filesystem;

// Waits `micros` on the performance counter: a busy wait keeps to the microsecond where a
// Sleep would round to the scheduler's tick.
void Spin(long long micros) {
  LARGE_INTEGER frequency, start, now;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  do {
    ::QueryPerformanceCounter(&now);
  } while ((now.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart < micros);
}

// Ten steps, each with three routines inside, as one trace `name` in `folder`; every routine
// spends about 2 ms of its own, so the trace's own cost of a few µs per line is small beside
// it. `delayUs` goes to Io.Parse.
void Batch(const fs::path& folder, const wchar_t* name, long long delayUs) {
  fs::create_directories(folder);
  JOVDebug trace;
  std::wstring path = (folder / name).wstring();
  trace.TraceStart(&path[0], 0);
  for (int i = 0; i < 10; ++i) {
    const long step = trace.RoutinePushReq(L"Batch", L"Step", i);
    Spin(2000);
    trace.RoutinePush(L"Io", L"Read", L"file=input.dat");
    Spin(1800);
    trace.RoutinePop(-1, 0);
    trace.RoutinePush(L"Io", L"Parse");
    Spin(2200 + delayUs);
    trace.RoutinePop(-1, i % 7 == 0 ? 3 : 0);
    trace.RoutinePush(L"Db", L"Write");
    Spin(2500);
    trace.RoutinePop(-1, 0);
    trace.InsertMsg(L"step done");
    trace.RoutinePop(step, 0);
  }
  trace.TraceStop(1);
}

TEST(DiffEndToEnd, TheDelayedRoutineIsFlaggedAndNoOther) {
  const fs::path folder = difftest::Scratch("e2e");
  // Four traces a side, taking turns, so that a load the machine carries for a while weighs
  // on both sides alike; each side's traces are pooled: 40 calls of every routine.
  for (const wchar_t* name : {L"batch1", L"batch2", L"batch3", L"batch4"}) {
    Batch(folder / "base", name, 0);
    Batch(folder / "new", name, 1500);
  }
  const difftest::Compared compared = difftest::Diff(folder / "base", folder / "new", {"--strict"});
  EXPECT_EQ(compared.exitCode, 1);
  const std::map<std::string, std::string> expected = {{"Batch.Step", "unchanged"},
                                                       {"Io.Read", "unchanged"},
                                                       {"Io.Parse", "slower"},
                                                       {"Db.Write", "unchanged"}};
  EXPECT_EQ(compared.verdicts, expected);
}

}  // namespace
