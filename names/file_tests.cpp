// file_tests.cpp - JOV_TestFileExists and JOV_TestDirExists: one attribute query whose
// error code, or the directory bit, tells the caller why a path is not what it wants.
#include "JOVNames.h"
#include "JOVPlatform.h"
#include "names/names_internal.h"

namespace {

enum class PathKind { kFile, kDirectory };

constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorOtherKind = 183;  // ERROR_ALREADY_EXISTS: there, but of the other kind

long TestPathKind(const JOVString& path, PathKind wanted) {
  ::SetLastError(0);
  if (path.empty()) {
    ::SetLastError(kErrorFileNotFound);
    return kErrorFileNotFound;
  }
  const bool nt = JOV_IsWinNT() != 0;
  DWORD attributes;
  if (nt) {
    ::SetLastError(0);
    attributes = ::GetFileAttributesW(path.c_str());
  } else {
    const jov::names::NarrowText narrow(path);
    ::SetLastError(0);
    attributes = ::GetFileAttributesA(narrow.c_str());
  }
  // The thread's last-error value decides, not the attribute value: a path the system
  // refuses to show still exists, so access denied counts as the kind asked for.
  const long code = static_cast<long>(::GetLastError());
  if (code == kErrorAccessDenied) return 0;
  if (code != 0) return code;
  const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return isDirectory == (wanted == PathKind::kDirectory) ? 0 : kErrorOtherKind;
}

}  // namespace

long JOV_TestFileExists(const JOVString& path) { return TestPathKind(path, PathKind::kFile); }

long JOV_TestFileExists(const wchar_t* path) {
  // A null path is taken as the empty one rather than measured.
  return JOV_TestFileExists(path ? JOVString(path) : JOVString());
}

long JOV_TestDirExists(const JOVString& path) { return TestPathKind(path, PathKind::kDirectory); }
