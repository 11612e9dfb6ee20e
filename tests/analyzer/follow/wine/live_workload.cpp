// live_workload.cpp - a program that traces through the DLL while `jovtrace follow` watches:
// a file trace with a small size limit (the file is replaced again and again), one thread
// holding a routine open the whole run, and the main thread stepping through a batch.
//
// Usage: follow_live_workload FOLDER SECONDS SIZE_LIMIT
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <JOVUtil.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: follow_live_workload FOLDER SECONDS SIZE_LIMIT\n");
    return 2;
  }
  std::wstring name(argv[1], argv[1] + std::strlen(argv[1]));
  name += L"\\live";
  const DWORD milliseconds = static_cast<DWORD>(std::atof(argv[2]) * 1000);
  JOV_MonitorMemory = 1;
  JOVDebug trace;
  trace.MaxLogSize(std::strtoul(argv[3], nullptr, 10));
  trace.TraceStart(&name[0], 0);

  // The holder's level is the stack's outermost; the batch's routines open above it.
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
  for (long i = 0; ::GetTickCount() - start < milliseconds; ++i) {
    const long level = trace.RoutinePushReq(L"Batch", L"Step", i, -2);
    trace.RoutinePush(L"Io", L"Read", L"file=input.dat", -2);
    void* block = JOV_MemoryGet(1024 + 64 * (i % 16), 0, __FILE__, __LINE__);
    trace.InsertMsg(L"read one block");
    trace.RoutinePop(-1, i % 4 == 0 ? 5 : 0);
    JOV_MemoryFree(block);
    trace.RoutinePop(level, 0);
    ::Sleep(20);
  }
  release = true;
  holder.join();
  trace.TraceStop(1);
  return 0;
}
