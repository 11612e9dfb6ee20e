// crash_exit.h - makes a child process end with its exception code instead of starting
// a debugger, so the parent reads the fault from the exit status.
#pragma once

#include <windows.h>

namespace jovtest {

inline void ExitWithExceptionCodeOnCrash() {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* info) -> LONG {
    ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
  });
}

}  // namespace jovtest
