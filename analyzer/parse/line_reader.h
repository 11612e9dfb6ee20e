// line_reader.h - splits a byte source into physical lines (ended by a line feed, with the
// carriage return before it taken off) in one reused buffer, with bounded memory: a line
// longer than the limit is cut and the rest of it skipped.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "analyzer/input/byte_source.h"

namespace jov::analyzer {

struct PhysicalLine {
  std::string_view text;      // without CR LF or LF; valid until the next call
  std::uint64_t number = 0;   // 1-based
  bool crlf = false;          // ended by CR LF (false: a bare LF, or the end of the source)
  bool unterminated = false;  // the source ended inside this line
  bool cut = false;           // longer than the limit: only its start is in `text`
};

class LineReader {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 22;
  static constexpr std::size_t kMaxLine = std::size_t{1} << 20;

  explicit LineReader(ByteSource& source, std::size_t block = kDefaultBlock,
                      std::size_t maxLine = kMaxLine);
  // The next line; false at the end of the source.
  bool Next(PhysicalLine& line);
  // Bytes taken from the source so far.
  std::uint64_t BytesRead() const { return bytesRead_; }
  bool Failed() const { return source_.Failed(); }

 private:
  bool Fill();  // moves the unread rest to the front and reads more; false at the end

  ByteSource& source_;
  std::vector<char> buffer_;
  std::size_t maxLine_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  bool skipping_ = false;  // discarding the rest of a cut line
  std::uint64_t number_ = 0;
  std::uint64_t bytesRead_ = 0;
};

}  // namespace jov::analyzer
