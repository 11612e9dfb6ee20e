// crash_exit.h - makes a child process end with its exception code instead of starting
// a debugger, so the parent reads the fault from the exit status.
#pragma once

#include <windows.h>

namespace jovtest {

// A filter must use the system's calling convention (stdcall on i686), which a lambda lacks.
inline LONG WINAPI TerminateWithExceptionCode(EXCEPTION_POINTERS* info) {
  ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

inline void ExitWithExceptionCodeOnCrash() {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::SetUnhandledExceptionFilter(&TerminateWithExceptionCode);
}

}  // namespace jovtest
