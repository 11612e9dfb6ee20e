// line_chunker.h - the reader's one line splitter. Bytes are cut into chunks that hold whole
// lines only: read as a stream (LineChunker: a file that is still being written, whose line
// without its line feed yet waits for the next chunk) or as blocks at their positions
// (ReadBlockLines: whole files, read by several threads). ChunkLines then splits any chunk
// into its lines by one set of rules (line ends, carriage returns, a line cut at the limit, a
// last line without its end), so every reading gives the same lines. Memory stays bounded: a
// line longer than the limit is cut there and the rest of it dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/input/byte_source.h"

namespace jov::analyzer {

// The longest line the reader keeps; longer ones are cut.
inline constexpr std::size_t kMaxLine = std::size_t{1} << 20;

struct PhysicalLine {
  std::string_view text;      // without its line feed and a carriage return before it
  bool unterminated = false;  // the input ended inside this line
  bool cut = false;           // longer than the limit: only its start is in `text`
  bool ascii = false;         // every byte of `text` is below 0x80 (false: not known)
};

// How a chunk's last line ends when not with a line feed.
enum class ChunkEnd : std::uint8_t {
  kLineFeed,      // every line of the chunk ends with its line feed
  kUnterminated,  // the input ended inside the last line
  kCut,           // the last line reached the limit; the rest of it is dropped
};

struct LineChunk {
  std::vector<char> storage;   // where the lines were read to, reused from chunk to chunk
  const char* data = nullptr;  // the first line, in storage
  std::size_t size = 0;
  ChunkEnd end = ChunkEnd::kLineFeed;
  std::string_view Lines() const { return {data, size}; }
};

// Reads up to `size` bytes into `buffer`: how many, 0 when nothing more is there (yet).
using ReadFn = std::function<std::size_t(char* buffer, std::size_t size)>;

class LineChunker {
 public:
  explicit LineChunker(std::size_t maxLine = kMaxLine) : maxLine_(maxLine) {}

  // Fills `chunk` with the next whole lines: the start of a line carried from the call
  // before, then bytes from `read`, `block` bytes at a time, until at least one line is
  // whole. When `read` has nothing more, a line still without its line feed waits for the
  // next call, unless `final` says the input has ended: then it is the chunk's last,
  // unterminated line. False when no line is complete.
  bool Next(LineChunk& chunk, std::size_t block, const ReadFn& read, bool final);
  // Whether the start of a line waits for its line feed.
  bool Pending() const { return !carry_.empty(); }
  std::size_t MaxLine() const { return maxLine_; }

 private:
  std::size_t maxLine_;
  std::string carry_;
  bool skipping_ = false;  // dropping the rest of a cut line up to its line feed
};

// The lines that start in the `index`-th block of `block` bytes of `source`, each whole: a
// line belongs to the block it starts in, however far it reaches (up to `maxLine`, where it is
// cut and the rest belongs to no block). So blocks are read at their positions, in any order
// and on any thread, and together they hold the source's lines exactly as a LineChunker
// reading it from the start would. `covered` receives the bytes of the block's own range that
// the source holds. False when the block lies past the end of the source.
bool ReadBlockLines(ByteSource& source, std::uint64_t index, std::size_t block, std::size_t maxLine,
                    LineChunk& chunk, std::uint64_t& covered);

// The last line of a chunk, without its line end (empty for an empty chunk).
std::string_view LastLineOf(const LineChunk& chunk);

// The lines of a chunk, one at a time. Line feeds are found 64 bytes at a time with wide
// compares: most lines are short, and a search per line would cost more than the line.
class ChunkLines {
 public:
  // The lines from `from`, the offset of a line's start (0: the chunk's first line).
  ChunkLines(const LineChunk& chunk, std::size_t maxLine, std::size_t from = 0);
  // The next line; false after the last.
  bool Next(PhysicalLine& line);
  // The offset of the next line's start (the chunk's size after the last line).
  std::size_t Offset() const { return static_cast<std::size_t>(at_ - begin_); }

 private:
  const char* NextFeed();

  const char* begin_;
  const char* at_;
  const char* end_;
  ChunkEnd lastEnd_;
  std::size_t maxLine_;
  // Line feeds found ahead: a mask over the 64 bytes from `maskBase_`.
  const char* maskBase_;
  std::uint64_t mask_ = 0;
  bool ascii_ = true;  // no byte from the first line's start to the last one scanned >= 0x80
};

}  // namespace jov::analyzer
