// windows_service.cpp - the service's side of the service control manager: the dispatcher
// (which fails at once in a console), the service's main with its status reports, and the
// control handler that turns a stop or a shutdown into the run's stop signal.
#include "analyzer/serve/windows_service.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace jov::analyzer::serve {

#ifdef _WIN32
namespace {

// The dispatcher calls the service's main on a thread of its own and passes it nothing of
// ours: what it needs waits here for the one service this process runs.
const ServiceBody* body = nullptr;
StopSignal stopSignal;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
int bodyExit = 0;

void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHint = 0) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted =
      state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  // A run that failed (its options, its address) ends with its exit code as the service's.
  status.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status.dwServiceSpecificExitCode = exitCode;
  status.dwWaitHint = waitHint;
  ::SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING, NO_ERROR, 1000);
      stopSignal.Request();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  // An own-process service's name is not looked at: the one the manager started is meant.
  statusHandle = ::RegisterServiceCtrlHandlerExW(L"", Control, nullptr);
  if (statusHandle == nullptr) return;
  Report(SERVICE_START_PENDING, NO_ERROR, 3000);
  bodyExit = (*body)(stopSignal, [] { Report(SERVICE_RUNNING); });
  Report(SERVICE_STOPPED, static_cast<DWORD>(bodyExit));
}

}  // namespace

bool RunAsWindowsService(const ServiceBody& run, int& exitCode) {
  body = &run;
  wchar_t name[] = L"";
  const SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  // In a console this fails at once (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT).
  if (!::StartServiceCtrlDispatcherW(table)) return false;
  exitCode = bodyExit;
  return true;
}

#else

bool RunAsWindowsService(const ServiceBody&, int&) { return false; }

#endif

}  // namespace jov::analyzer::serve
