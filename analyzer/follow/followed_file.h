// followed_file.h - a file that another program is still writing, read by offset. It is
// opened so that the writer can go on writing, renaming or deleting it, and it knows its
// identity, so that a new file under the same name is told from the one being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jov::analyzer {

// Which file a name stands for: device and inode, or volume and file index on Windows.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of the file that `path` names now; false when there is none (deleted).
bool IdentifyPath(const std::string& path, FileIdentity& identity);

class FollowedFile {
 public:
  FollowedFile() = default;
  ~FollowedFile() { Close(); }
  FollowedFile(const FollowedFile&) = delete;
  FollowedFile& operator=(const FollowedFile&) = delete;

  // Opens `path` for reading; false with `error` set to the reason.
  bool Open(const std::string& path, std::string& error);
  void Close();
  bool IsOpen() const;
  // The size of the open file now; false when it cannot be asked.
  bool Size(std::uint64_t& size) const;
  // Reads up to `size` bytes at `offset`: how many (0 at the end), or -1 on an error.
  long long ReadAt(std::uint64_t offset, char* buffer, std::size_t size);
  // The identity of the file opened (it stays with the file when its name goes elsewhere).
  const FileIdentity& Identity() const { return identity_; }

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  FileIdentity identity_;
};

}  // namespace jov::analyzer
