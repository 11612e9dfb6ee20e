// demo_main.cpp - a host program of JOVUtil32's trace: it publishes its trace object,
// traces a small two-threaded workload with nested routines and a hex dump into a file,
// logs a message record that names the routine it came from, dumps a wrap trace with a
// reason, and shows the files it wrote.
//
// Usage: jovutil_demo [folder]   (default: a "jovutil_demo" folder in the temporary path)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <JOVUtil.h>

namespace {

// Every module of a process writes through the one published trace object.
JOVDebug& Trace() { return *gptrCDebug; }

long ParseBlock(int block) {
  const long level = Trace().RoutinePushReq(L"Parser", L"ReadBlock", block, -2);
  Trace().RoutinePush(L"Buffer", L"Fill", L"bytes=4096", -2);
  Trace().InsertMsg(L"filled from the input file");
  if (block == 1) {
    // The first block's opening bytes as dump lines: offset, hex and the printable text.
    const char header[] = "JOVD\x01\x00block 1 of a.dat\r\n";
    Trace().HexDump(header, sizeof header - 1, L"block header:");
  }
  Trace().RoutinePop(-1, 0);
  const long returnCode = (block == 3) ? 5 : 0;
  if (returnCode != 0) {
    // A record created inside a routine carries that routine's name to the event log.
    JOVMsg* msg =
        JOV_MsgCreate(&gptrJOVMsgAnchor, 1001, JOVMsgCatWarning, 0, block, 0, 0, gptrCDebug);
    if (msg != nullptr) {
      JOV_MsgAddInsertion(msg, L"a.dat");
      JOV_MsgAddInsertion(msg, block, 10);
      std::wprintf(L"  message record from routine %ls logged to the event log\n",
                   msg->pszRoutine != nullptr ? msg->pszRoutine : L"(none)");
      JOV_LogEvent(*msg, L"Block %2 of %1 could not be read.", L"JOVUtilDemo");
      JOV_MsgDestroy(&gptrJOVMsgAnchor, msg);
    }
  }
  Trace().RoutinePop(level, returnCode);
  return returnCode;
}

void Worker() {
  const long level = Trace().RoutinePush(L"Parser", L"Open", L"file=a.dat", -2);
  for (int block = 1; block <= 4; ++block) ParseBlock(block);
  Trace().RoutinePop(level, 0);
}

// A second thread writes progress lines only: the routine stack belongs to one thread at a
// time, but any thread may write lines, and each change of writer is marked in the trace.
void Monitor() {
  for (int i = 1; i <= 3; ++i) {
    wchar_t text[64];
    std::swprintf(text, 64, L"monitor: progress check %d\nqueue length %d", i, 10 - 3 * i);
    Trace().InsertMsg(text);
    ::Sleep(1);
  }
}

// The trace files in the folder, oldest first.
std::vector<std::wstring> TraceFiles(const std::wstring& folder) {
  std::vector<std::pair<unsigned long long, std::wstring>> found;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"\\*.JOV_Log").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const unsigned long long created =
          (static_cast<unsigned long long>(data.ftCreationTime.dwHighDateTime) << 32) |
          data.ftCreationTime.dwLowDateTime;
      found.emplace_back(created, folder + L"\\" + data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::wstring> files;
  for (auto& entry : found) files.push_back(entry.second);
  return files;
}

void ShowFile(const std::wstring& path, int maxLines) {
  std::wprintf(L"\n%ls\n", path.c_str());
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return;
  char line[512];
  for (int i = 0; i < maxLines && std::fgets(line, sizeof line, file) != nullptr; ++i) {
    std::printf("  | %s", line);
  }
  std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"jovutil_demo";
  if (argc > 1) {
    folder.clear();
    for (const char* c = argv[1]; *c != '\0'; ++c) folder += static_cast<wchar_t>(*c);
  }
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::vector<std::wstring> before = TraceFiles(folder);

  JOVDebug trace;
  gptrCDebug = &trace;

  // 1. A file trace: "<folder>\YYMMDD HHMMSS demo.JOV_Log".
  std::wprintf(L"file trace in %ls\n", folder.c_str());
  std::wstring name = folder + L"\\demo";
  trace.TraceStart(&name[0], 0);
  trace.InsertMsg(L"demo: two threads share one trace object");
  std::thread worker(Worker);
  std::thread monitor(Monitor);
  worker.join();
  monitor.join();
  std::wprintf(L"  call stack now: \"%ls\" (empty: every routine popped)\n",
               trace.ShowCallStack().c_str());
  trace.TraceStop(1);

  // 2. A wrap trace keeps only the newest lines in memory; dumped on demand with a reason.
  std::wstring ringName = folder + L"\\demo-wrap";
  trace.TraceStart(&ringName[0], 2048);
  for (int i = 1; i <= 40; ++i) {
    wchar_t text[64];
    std::swprintf(text, 64, L"ring line %02d", i);
    trace.InsertMsg(text);
  }
  wchar_t reason[] = L"Reason: demo dump after 40 lines (the ring kept the newest)";
  trace.TraceDumpWrap(reason);
  trace.TraceWrapStop();

  gptrCDebug = nullptr;

  std::printf("\nfiles written:");
  for (const std::wstring& file : TraceFiles(folder)) {
    bool old = false;
    for (const std::wstring& seen : before) old = old || seen == file;
    if (!old) ShowFile(file, 40);
  }
  return 0;
}
