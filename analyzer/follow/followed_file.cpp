// followed_file.cpp - reading a growing file by offset: POSIX pread and fstat, or on
// Windows a handle opened with every sharing mode (the trace writer keeps its file open for
// writing, and a reader must not stop it from being renamed or deleted).
#include "analyzer/follow/followed_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace jov::analyzer {

#ifdef _WIN32
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IdentityOf(HANDLE handle, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

std::string SystemMessage(DWORD code) {
  char text[256] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' ')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace

bool IdentifyPath(const std::string& path, FileIdentity& identity) {
  // No access asked: only the file's information, whatever the writer's sharing.
  HANDLE handle = ::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = IdentityOf(handle, identity);
  ::CloseHandle(handle);
  return known;
}

bool FollowedFile::Open(const std::string& path, std::string& error) {
  Close();
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  handle_ = handle;
  IdentityOf(handle, identity_);
  return true;
}

void FollowedFile::Close() {
  if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool FollowedFile::IsOpen() const { return handle_ != nullptr; }

bool FollowedFile::Size(std::uint64_t& size) const {
  LARGE_INTEGER value;
  if (handle_ == nullptr || !::GetFileSizeEx(static_cast<HANDLE>(handle_), &value)) return false;
  size = static_cast<std::uint64_t>(value.QuadPart);
  return true;
}

long long FollowedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
  if (handle_ == nullptr) return -1;
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!::ReadFile(static_cast<HANDLE>(handle_), buffer, want, &got, &at)) {
    return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  }
  return got;
}

#else

bool IdentifyPath(const std::string& path, FileIdentity& identity) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  identity.volume = static_cast<std::uint64_t>(info.st_dev);
  identity.index = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

bool FollowedFile::Open(const std::string& path, std::string& error) {
  Close();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? "is a directory" : std::strerror(errno);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  identity_.volume = static_cast<std::uint64_t>(info.st_dev);
  identity_.index = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

void FollowedFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FollowedFile::IsOpen() const { return fd_ >= 0; }

bool FollowedFile::Size(std::uint64_t& size) const {
  struct stat info;
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return false;
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

long long FollowedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t got = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

#endif

}  // namespace jov::analyzer
