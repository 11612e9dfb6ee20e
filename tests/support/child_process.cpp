// child_process.cpp - starts this executable again to run one test alone, in a job object
// that ends the child when the parent goes, and waits a bounded time for it.
#include "support/child_process.h"

#include <windows.h>

#include "support/files.h"

namespace jovtest {
namespace {

// A filter must use the system's calling convention (stdcall on i686), which a lambda lacks.
LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* info) {
  ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void EndWithExceptionCodeOnCrash() {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::SetUnhandledExceptionFilter(&EndWithExceptionCode);
}

ChildResult RunAlone(const std::string& name, unsigned long limitMs) {
  ChildResult result{kChildNotRun, {}};
  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) +
                         L"\" --gtest_also_run_disabled_tests --gtest_filter=" +
                         std::wstring(name.begin(), name.end());
  // The child writes into a file of the scratch folder: nothing to read while it runs.
  ScratchDir dir;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE output = ::CreateFileW(dir.Join(L"output").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                &inherit, CREATE_ALWAYS, 0, nullptr);
  // The job's last handle closes when this call returns or this process dies, and takes a
  // child that is still running with it.
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = startup.hStdError = output;
  PROCESS_INFORMATION child{};
  if (::CreateProcessW(exe, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                       nullptr, &startup, &child)) {
    ::AssignProcessToJobObject(job, child.hProcess);
    ::ResumeThread(child.hThread);
    if (::WaitForSingleObject(child.hProcess, limitMs) == WAIT_TIMEOUT) {
      ::TerminateJobObject(job, kChildTimedOut);
      ::WaitForSingleObject(child.hProcess, 5000);
      result.output = "[ended after " + std::to_string(limitMs) + " ms]\n";
    }
    ::GetExitCodeProcess(child.hProcess, &result.exitCode);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
  }
  ::CloseHandle(job);
  ::CloseHandle(output);
  result.output += ReadBytes(dir.Join(L"output"));
  return result;
}

}  // namespace jovtest
