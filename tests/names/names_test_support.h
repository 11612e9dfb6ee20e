// names_test_support.h - helpers shared by the path and name tests: text of a JOVString,
// replacement entries for the import patch, and a scratch directory tree.
#pragma once

#include <windows.h>

#include <string>

#include <JOVUtil.h>

namespace names_test {

// A replacement function as the import patch takes it.
template <typename Function>
const void* Entry(Function function) {
  return reinterpret_cast<const void*>(function);
}

inline std::wstring Text(const JOVString& s) { return std::wstring(s.c_str(), s.length()); }

// A fresh directory under the temporary folder holding a file "file.txt" and a directory
// "sub"; removed with its contents when the scope ends.
class ScratchTree {
 public:
  ScratchTree() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    static unsigned serial = 0;
    root_ = std::wstring(temp) + L"jovnames_" + std::to_wstring(::GetCurrentProcessId()) +
            L"_" + std::to_wstring(++serial);
    ::CreateDirectoryW(root_.c_str(), nullptr);
    ::CreateDirectoryW(Dir().c_str(), nullptr);
    HANDLE h = ::CreateFileW(File().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
  ~ScratchTree() {
    ::DeleteFileW(File().c_str());
    ::RemoveDirectoryW(Dir().c_str());
    ::RemoveDirectoryW(root_.c_str());
  }
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;

  std::wstring Root() const { return root_; }
  std::wstring File() const { return root_ + L"\\file.txt"; }
  std::wstring Dir() const { return root_ + L"\\sub"; }

 private:
  std::wstring root_;
};

}  // namespace names_test
