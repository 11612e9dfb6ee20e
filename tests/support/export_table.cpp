// export_table.cpp - walks the export directory of the loaded DLL and demangles its names.
#include "support/export_table.h"

#include <cxxabi.h>
#include <windows.h>

#include <cstdlib>

#include "support/import_patch.h"

namespace jovtest {
namespace {

std::string Demangle(const char* name) {
  int status = 0;
  char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  if (status != 0 || !plain) return name;
  std::string result(plain);
  std::free(plain);
  return result;
}

std::vector<std::string> ReadExports() {
  std::vector<std::string> names;
  auto* base = reinterpret_cast<BYTE*>(LibraryModule());
  if (!base) return names;
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* nameRvas = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    names.push_back(Demangle(reinterpret_cast<const char*>(base + nameRvas[i])));
  return names;
}

}  // namespace

const std::vector<std::string>& ExportedNames() {
  static const std::vector<std::string> names = ReadExports();
  return names;
}

std::vector<std::string> MissingExports(const std::vector<std::string>& expected) {
  std::vector<std::string> missing;
  for (const std::string& want : expected) {
    bool isCallable = want.back() == '(';
    bool found = false;
    for (const std::string& have : ExportedNames()) {
      if (isCallable ? have.compare(0, want.size(), want) == 0 : have == want) {
        found = true;
        break;
      }
    }
    if (!found) missing.push_back(want);
  }
  return missing;
}

}  // namespace jovtest
