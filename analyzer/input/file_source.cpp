// file_source.cpp - the byte source over a file of the file system, read in large blocks by
// the C library, with 64-bit offsets on both hosts.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "analyzer/input/file_source.h"

namespace jov::analyzer {
namespace {

bool SeekTo(std::FILE* file, std::uint64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<long long>(offset), whence) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}

std::uint64_t Tell(std::FILE* file) {
#ifdef _WIN32
  return static_cast<std::uint64_t>(_ftelli64(file));
#else
  return static_cast<std::uint64_t>(ftello(file));
#endif
}

class FileSource : public ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {
    // The reader has its own large buffer: the C library's would only add a copy.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (SeekTo(file_, 0, SEEK_END)) size_ = Tell(file_);
    SeekTo(file_, 0, SEEK_SET);
  }
  ~FileSource() override { std::fclose(file_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t got = std::fread(buffer, 1, size, file_);
    if (got < size && std::ferror(file_)) failed_ = true;
    return got;
  }
  bool Failed() const override { return failed_; }
  std::uint64_t Size() const override { return size_; }
  bool Seek(std::uint64_t offset) override { return SeekTo(file_, offset, SEEK_SET); }

  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
#ifdef _WIN32
    // A synchronous handle reads at the OVERLAPPED's offset; the system serialises the calls.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file_)));
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(handle, buffer, want, &got, &at)) {
      if (::GetLastError() != ERROR_HANDLE_EOF) failed_ = true;
      return 0;
    }
    return got;
#else
    const ssize_t got = ::pread(::fileno(file_), buffer, size, static_cast<off_t>(offset));
    if (got < 0) {
      failed_ = true;
      return 0;
    }
    return static_cast<std::size_t>(got);
#endif
  }

 private:
  std::FILE* file_;
  std::uint64_t size_ = 0;
  std::atomic<bool> failed_{false};
};

}  // namespace

std::size_t MemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t n = std::min(size, bytes_.size() - at_);
  if (n != 0) std::memcpy(buffer, bytes_.data() + at_, n);
  at_ += n;
  return n;
}

std::size_t MemorySource::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
  if (offset >= bytes_.size()) return 0;
  const std::size_t n = std::min<std::size_t>(size, bytes_.size() - offset);
  std::memcpy(buffer, bytes_.data() + offset, n);
  return n;
}

bool MemorySource::Seek(std::uint64_t offset) {
  if (offset > bytes_.size()) return false;
  at_ = static_cast<std::size_t>(offset);
  return true;
}

std::unique_ptr<ByteSource> FileOpener::Open(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<FileSource>(file);
}

}  // namespace jov::analyzer
