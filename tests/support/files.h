// files.h - a scratch folder of the test's own, and files read back as bytes or lines.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace jovtest {

// A fresh folder under the temporary path, removed with what it holds (one level deep).
class ScratchDir {
 public:
  ScratchDir() {
    wchar_t temp[MAX_PATH];
    path_ = std::wstring(temp, ::GetTempPathW(MAX_PATH, temp)) + L"jovtest-" +
            std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++serial_);
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchDir() {
    for (const std::wstring& entry : Entries(L"*"))
      if (!::DeleteFileW(entry.c_str())) ::RemoveDirectoryW(entry.c_str());
    ::RemoveDirectoryW(path_.c_str());
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring Join(const std::wstring& name) const { return path_ + L"\\" + name; }

  // Full paths of the files and folders matching `pattern`, in name order.
  std::vector<std::wstring> Entries(const std::wstring& pattern) const {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(Join(pattern).c_str(), &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &data))
      if (data.cFileName[0] != L'.') found.push_back(Join(data.cFileName));
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
    std::sort(found.begin(), found.end());
    return found;
  }

 private:
  static inline long serial_ = 0;
  std::wstring path_;
};

inline std::string ReadBytes(const std::wstring& path) {
  std::string content;
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[65536];
  for (DWORD got = 0; ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0;)
    content.append(buffer, got);
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  return content;
}

// Text split at each CR LF, as the library ends its lines (a lone line feed stays within its
// line; a rest without CR LF is a line of its own).
inline std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < content.size(); at = end + 2) {
    end = std::min(content.find("\r\n", at), content.size());
    lines.push_back(content.substr(at, end - at));
  }
  return lines;
}

inline std::vector<std::string> ReadLines(const std::wstring& path) {
  return SplitLines(ReadBytes(path));
}

// Text narrowed code value by code value (the tests' texts are ASCII and Latin-1).
inline std::string Narrow(const std::wstring& text) { return {text.begin(), text.end()}; }

}  // namespace jovtest
