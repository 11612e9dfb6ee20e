// child_process.cpp - starts the test executable again to run one registered case.
#include "support/child_process.h"

#include <windows.h>

#include <cstring>
#include <map>

namespace jovtest {
namespace {

std::map<std::string, ChildCase>& Registry() {
  static std::map<std::string, ChildCase> cases;
  return cases;
}

constexpr char kChildFlag[] = "--child=";

// Closes a handle when it goes out of scope.
struct HandleCloser {
  HANDLE handle;
  ~HandleCloser() {
    if (handle && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};

}  // namespace

bool RegisterChildCase(const char* name, ChildCase body) {
  Registry()[name] = body;
  return true;
}

bool RunChildCaseFromCommandLine(int argc, char** argv, int* exitCode) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kChildFlag, sizeof kChildFlag - 1) != 0) continue;
    auto found = Registry().find(argv[i] + sizeof kChildFlag - 1);
    *exitCode = found == Registry().end() ? 250 : found->second();
    return true;
  }
  return false;
}

bool ChildProcessesAvailable() { return sizeof(void*) == 8; }

ChildResult RunChild(const std::string& name,
                     const std::vector<std::pair<std::string, std::string>>& environment) {
  ChildResult result;
  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(exe) + L"\" --child=" +
                             std::wstring(name.begin(), name.end());

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  ::CreatePipe(&readEnd, &writeEnd, &inherit, 0);
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HandleCloser readCloser{readEnd};

  // The child inherits this environment with the extra settings applied.
  std::vector<std::pair<std::string, std::string>> saved;
  for (const auto& [key, value] : environment) {
    char old[4096];
    DWORD n = ::GetEnvironmentVariableA(key.c_str(), old, sizeof old);
    saved.emplace_back(key, n ? std::string(old, n) : std::string("\x01"));
    ::SetEnvironmentVariableA(key.c_str(), value.c_str());
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  BOOL started = ::CreateProcessW(exe, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
  ::CloseHandle(writeEnd);
  for (const auto& [key, value] : saved)
    ::SetEnvironmentVariableA(key.c_str(), value == "\x01" ? nullptr : value.c_str());
  if (!started) {
    result.exitCode = 0xFFFFFFFF;
    result.output = "CreateProcessW failed";
    return result;
  }
  HandleCloser processCloser{process.hProcess}, threadCloser{process.hThread};

  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
    result.output.append(buffer, got);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  result.exitCode = code;
  return result;
}

}  // namespace jovtest
