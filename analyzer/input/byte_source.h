// byte_source.h - where the reader's bytes come from: the one interface between the parser
// and the outside world, with a source over memory (tests, fuzzing) and one over a file
// (file_source.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace jov::analyzer {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `buffer`; returns how many, 0 at the end or on an error.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // True once a read has failed (as opposed to reaching the end).
  virtual bool Failed() const = 0;
  // Total bytes of the source.
  virtual std::uint64_t Size() const = 0;
  // Makes the next Read start at `offset`; false when the source cannot seek there.
  virtual bool Seek(std::uint64_t offset) = 0;
  // Reads up to `size` bytes at `offset` without moving where Read stands: how many, 0 past
  // the end or on an error. Safe on several threads at once (the parse stage's workers).
  virtual std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) = 0;
};

// Bytes held in memory; the source does not own them.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Read(char* buffer, std::size_t size) override;
  bool Failed() const override { return false; }
  std::uint64_t Size() const override { return bytes_.size(); }
  bool Seek(std::uint64_t offset) override;
  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override;

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

// Opens the sources of named inputs. The reader asks it for each file it reads.
class SourceOpener {
 public:
  virtual ~SourceOpener() = default;
  // A source for `path`, or null with `error` set to the reason.
  virtual std::unique_ptr<ByteSource> Open(const std::string& path, std::string& error) = 0;
};

}  // namespace jov::analyzer
