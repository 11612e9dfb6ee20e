// child_process.cpp - starts this executable again to run one test alone, in a job object
// that ends the child when the parent goes, and waits a bounded time for it.
#include "support/child_process.h"

#include <windows.h>

namespace jovtest {
namespace {

struct Handle {  // closes a handle when the scope ends
  HANDLE h = nullptr;
  ~Handle() {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
};

// Appends what the pipe holds now to `output`, without waiting for more.
void Drain(HANDLE pipe, std::string& output) {
  char buffer[4096];
  DWORD available = 0, got = 0;
  while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available != 0 &&
         ::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got != 0)
    output.append(buffer, got);
}

}  // namespace

ChildResult RunAlone(const std::string& name, unsigned long limitMs) {
  ChildResult result{kChildNotRun, {}};
  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) +
                         L"\" --gtest_also_run_disabled_tests --gtest_filter=" +
                         std::wstring(name.begin(), name.end());
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  Handle read, write;
  if (!::CreatePipe(&read.h, &write.h, &inherit, 0)) return result;
  ::SetHandleInformation(read.h, HANDLE_FLAG_INHERIT, 0);
  // The job's last handle closes when this call returns or this process dies, and takes a
  // child that is still running with it.
  Handle job{::CreateJobObjectW(nullptr, nullptr)};
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(job.h, JobObjectExtendedLimitInformation, &limits, sizeof limits);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = startup.hStdError = write.h;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(exe, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started))
    return result;
  Handle process{started.hProcess}, thread{started.hThread};
  ::AssignProcessToJobObject(job.h, process.h);
  ::ResumeThread(thread.h);
  ::CloseHandle(write.h);
  write.h = nullptr;

  const ULONGLONG deadline = ::GetTickCount64() + limitMs;
  while (::WaitForSingleObject(process.h, 20) == WAIT_TIMEOUT) {
    Drain(read.h, result.output);
    if (::GetTickCount64() < deadline) continue;
    ::TerminateJobObject(job.h, kChildTimedOut);
    ::WaitForSingleObject(process.h, 5000);
    result.output += "\n[ended after " + std::to_string(limitMs) + " ms]\n";
    break;
  }
  Drain(read.h, result.output);
  DWORD code = kChildNotRun;
  ::GetExitCodeProcess(process.h, &code);
  result.exitCode = code;
  return result;
}

}  // namespace jovtest
