// workload.cpp - the traced workloads of the end-to-end tests.
#include "workload.h"

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include <JOVUtil.h>

namespace e2e {
namespace {

void Traced(Done& done, const std::string& name, long code) {
  ++done.counts[name];
  ++done.counts[name + " rc " + std::to_string(code)];
}

// One pass of the batch: a step with a read inside; every fifth step leaves two levels open
// and pops itself with them, as a routine that returns early does.
void Step(JOVDebug& trace, Done& done, int i) {
  const long level = trace.RoutinePushReq(L"Batch", L"Step", i, -2);
  trace.RoutinePush(L"Io", L"Read", L"file=input.dat", -2);
  void* block = JOV_MemoryGet(2048, 0, __FILE__, __LINE__);  // a memory line before the next
  trace.InsertMsg(L"read one block");
  const long readCode = i % 4 == 0 ? 5 : 0;
  trace.RoutinePop(-1, readCode);
  Traced(done, "Io.Read", readCode);
  const bool early = i % 5 == 0;
  if (early) {
    trace.RoutinePush(L"Io", L"Deep", nullptr, -2);
    trace.RoutinePush(L"Io", L"Deeper", nullptr, -2);
    trace.InsertMsg(L"giving up early\nwith the reason on a second line");
    ++done.counts["Io.Deep"];
    ++done.counts["Io.Deeper"];
    done.closedByOuterPop += 2;
  }
  trace.RoutinePop(level, early ? 1 : 0);
  Traced(done, "Batch.Step", early ? 1 : 0);
  JOV_MemoryFree(block);
}

// One step of RunBatches' batch.
void BatchStep(JOVDebug& trace, int i, DWORD delayMs) {
  const long step = trace.RoutinePushReq(L"Batch", L"Step", i, -2);
  ::Sleep(4);
  trace.RoutinePush(L"Io", L"Read", L"file=input.dat", -2);
  ::Sleep(1);
  trace.RoutinePop(-1, 0);
  trace.RoutinePush(L"Io", L"Parse", nullptr, -2);
  ::Sleep(1 + delayMs);
  trace.RoutinePop(-1, i % 7 == 0 ? 3 : 0);
  trace.RoutinePush(L"Db", L"Write", nullptr, -2);
  ::Sleep(1);
  trace.RoutinePop(-1, 0);
  trace.RoutinePop(step, 0);
}

}  // namespace

void RunBatches(const std::wstring& folder, int traces, unsigned delayMs) {
  for (const wchar_t* side : {L"\\base", L"\\new"})
    ::CreateDirectoryW((folder + side).c_str(), nullptr);
  for (int n = 1; n <= traces; ++n) {
    JOVDebug base, next;
    for (JOVDebug* trace : {&base, &next}) {
      std::wstring name =
          folder + (trace == &base ? L"\\base" : L"\\new") + L"\\batch" + std::to_wstring(n);
      trace->TraceStart(&name[0], 0);
      std::thread([trace] { trace->InsertMsg(L"monitor: batch started"); }).join();
    }
    for (int i = 0; i < 10; ++i) {
      BatchStep(base, i, 0);
      BatchStep(next, i, delayMs);
    }
    base.TraceStop(1);
    next.TraceStop(1);
  }
}

Done RunWorkload(const std::wstring& folder, bool threads) {
  Done done;
  done.threads.insert(::GetCurrentThreadId());
  JOV_MonitorMemory = 1;
  {
    JOVDebug trace;
    trace.MaxLogSize(3000);  // a chain of files
    std::wstring name = folder + L"\\chain";
    trace.TraceStart(&name[0], 0);
    std::atomic<bool> stepsDone{false};
    std::thread other;
    if (threads) {
      // Another thread writes lines while the main thread pushes and pops; then, as the
      // routine stack is used by one thread at a time, it runs routines of its own.
      other = std::thread([&trace, &done, &stepsDone] {
        // The main thread reads the set after the join.
        done.threads.insert(::GetCurrentThreadId());
        for (int i = 0; i < 20; ++i, ::Sleep(0)) trace.InsertMsg(L"monitor: still running");
        while (!stepsDone) ::Sleep(1);
        for (int i = 0; i < 3; ++i) {
          trace.RoutinePush(L"Worker", L"Run", nullptr, -2);
          trace.InsertMsg(L"working");
          trace.RoutinePop(-1, 0);
          Traced(done, "Worker.Run", 0);
        }
      });
    }
    for (int i = 0; i < 30; ++i) Step(trace, done, i);
    stepsDone = true;
    if (other.joinable()) other.join();
    trace.TraceStop(1);
  }
  JOV_MonitorMemory = 0;
  {
    JOVDebug ring;
    std::wstring name = folder + L"\\ring";
    ring.TraceStart(&name[0], 4096);
    for (int i = 0; i < 40; ++i) {
      ring.RoutinePush(L"Ring", L"Tick", nullptr, -2);
      ring.InsertMsg(L"tick");
      ring.RoutinePop(-1, i % 2);
    }
    ring.RoutinePush(L"Ring", L"Open", nullptr, -2);
    wchar_t reason[] = L"Reason: end-to-end dump";
    ring.TraceDumpWrap(reason);
    ring.TraceWrapStop();
  }
  return done;
}

void RunLive(const std::wstring& folder, double seconds, unsigned long sizeLimit) {
  Done done;
  JOV_MonitorMemory = 1;
  JOVDebug trace;
  trace.MaxLogSize(sizeLimit);
  std::wstring name = folder + L"\\live";
  trace.TraceStart(&name[0], 0);
  std::atomic<bool> holding{false};
  std::atomic<bool> release{false};
  std::thread holder([&] {
    const long level = trace.RoutinePush(L"Service", L"WaitForJob", L"queue=night", -2);
    holding = true;
    while (!release) ::Sleep(10);
    trace.RoutinePop(level, 0);
  });
  while (!holding) ::Sleep(1);
  const DWORD start = ::GetTickCount();
  for (int i = 0; ::GetTickCount() - start < seconds * 1000; ++i) {
    Step(trace, done, i);
    ::Sleep(20);
  }
  release = true;
  holder.join();
  trace.TraceStop(1);
}

}  // namespace e2e
