// line_chunker.cpp - chunks of whole lines out of a byte stream, and the lines of a chunk.
#include "analyzer/input/line_chunker.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jov::analyzer {
namespace {

// The last line feed in [begin, end), or null. The last line of a block is short, so a
// backward scan stops soon.
const char* LastFeed(const char* begin, const char* end) {
  for (const char* p = end; p != begin;) {
    if (*--p == '\n') return p;
  }
  return nullptr;
}

// Bit i set where p[i] is a line feed, for the `count` (at most 64) bytes from p; `ascii`
// cleared when one of those bytes is 0x80 or above, which the same loads tell for nearly free.
std::uint64_t FeedMask(const char* p, std::size_t count, bool& ascii) {
#if defined(__SSE2__)
  if (count == 64) {
    const __m128i feed = _mm_set1_epi8('\n');
    std::uint64_t mask = 0;
    __m128i high = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
      const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, feed)));
      mask |= std::uint64_t{bits} << (16 * i);
      high = _mm_or_si128(high, bytes);
    }
    if (_mm_movemask_epi8(high) != 0) ascii = false;
    return mask;
  }
#endif
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < count; ++i) {
    mask |= std::uint64_t{p[i] == '\n'} << i;
    if (static_cast<unsigned char>(p[i]) >= 0x80) ascii = false;
  }
  return mask;
}

}  // namespace

bool LineChunker::Next(LineChunk& chunk, std::size_t block, const ReadFn& read, bool final) {
  chunk.size = 0;
  chunk.end = ChunkEnd::kLineFeed;
  std::vector<char>& buffer = chunk.storage;
  std::size_t held = carry_.size();
  if (buffer.size() < held + block) buffer.resize(held + block);
  std::memcpy(buffer.data(), carry_.data(), held);
  carry_.clear();
  for (;;) {
    if (buffer.size() < held + block) buffer.resize(held + block);
    std::size_t got = read(buffer.data() + held, block);
    const bool exhausted = got == 0;  // nothing more to read now
    if (skipping_ && got != 0) {
      // The rest of a cut line: dropped up to its line feed.
      const auto* feed = static_cast<const char*>(std::memchr(buffer.data(), '\n', got));
      if (feed == nullptr) continue;
      const auto dropped = static_cast<std::size_t>(feed + 1 - buffer.data());
      std::memmove(buffer.data(), feed + 1, got - dropped);
      got -= dropped;
      skipping_ = false;
    }
    const char* last = LastFeed(buffer.data() + held, buffer.data() + held + got);
    held += got;
    chunk.data = buffer.data();
    if (last != nullptr) {
      chunk.size = static_cast<std::size_t>(last + 1 - buffer.data());
      carry_.assign(last + 1, held - chunk.size);
      return true;
    }
    if (held >= maxLine_) {
      chunk.size = maxLine_;
      chunk.end = ChunkEnd::kCut;
      skipping_ = true;
      return true;
    }
    if (exhausted) {
      if (final && held != 0 && !skipping_) {
        chunk.size = held;
        chunk.end = ChunkEnd::kUnterminated;
        return true;
      }
      carry_.assign(buffer.data(), held);
      return false;
    }
  }
}

namespace {

// Reads `size` bytes at `offset`, fewer only at the end of the source.
std::size_t ReadFully(ByteSource& source, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const std::size_t n = source.ReadAt(offset + got, buffer + got, size - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

}  // namespace

bool ReadBlockLines(ByteSource& source, std::uint64_t index, std::size_t block, std::size_t maxLine,
                    LineChunk& chunk, std::uint64_t& covered) {
  chunk.data = nullptr;
  chunk.size = 0;
  chunk.end = ChunkEnd::kLineFeed;
  covered = 0;
  // From the byte before the block: a line starts at the block's first byte when that byte is
  // a line feed. Offsets below are in the buffer, which starts at `base` in the source.
  const std::size_t before = index == 0 ? 0 : 1;
  const std::uint64_t base = index * block - before;
  const std::size_t want = before + block;
  std::vector<char>& buffer = chunk.storage;
  if (buffer.size() < want) buffer.resize(want);
  std::size_t held = ReadFully(source, base, buffer.data(), want);
  if (held <= before) return false;
  covered = held - before;
  std::size_t start = 0;
  if (before != 0) {
    const auto* feed = static_cast<const char*>(std::memchr(buffer.data(), '\n', held));
    if (feed == nullptr) return true;  // no line starts here: the block is inside a long line
    start = static_cast<std::size_t>(feed + 1 - buffer.data());
    if (start >= want) return true;
  }
  const std::size_t blockEnd = held;  // held <= want here
  if (buffer[blockEnd - 1] == '\n') {
    chunk.data = buffer.data() + start;
    chunk.size = blockEnd - start;
    return true;
  }
  // The last line that starts in the block runs on past it: read on to its line feed, the end
  // of the source or the limit.
  const char* lastFeed = LastFeed(buffer.data() + start, buffer.data() + blockEnd);
  const std::size_t lastStart =
      lastFeed == nullptr ? start : static_cast<std::size_t>(lastFeed + 1 - buffer.data());
  std::size_t scanned = blockEnd;
  bool ended = held < want;
  for (;;) {
    const auto* feed =
        static_cast<const char*>(std::memchr(buffer.data() + scanned, '\n', held - scanned));
    chunk.data = buffer.data() + start;
    if (feed != nullptr) {
      chunk.size = static_cast<std::size_t>(feed + 1 - chunk.data);
      return true;
    }
    scanned = held;
    if (held - lastStart > maxLine) {
      chunk.size = lastStart + maxLine - start;
      chunk.end = ChunkEnd::kCut;
      return true;
    }
    if (ended) {
      chunk.size = held - start;
      chunk.end = ChunkEnd::kUnterminated;
      return true;
    }
    const std::size_t step = std::min(block, maxLine + 1 - (held - lastStart));
    if (buffer.size() < held + step) buffer.resize(held + step);
    const std::size_t n = ReadFully(source, base + held, buffer.data() + held, step);
    held += n;
    ended = n < step;
  }
}

std::string_view LastLineOf(const LineChunk& chunk) {
  std::string_view lines = chunk.Lines();
  if (chunk.end == ChunkEnd::kLineFeed && !lines.empty()) lines.remove_suffix(1);
  const std::size_t feed = lines.rfind('\n');
  std::string_view last = feed == std::string_view::npos ? lines : lines.substr(feed + 1);
  if (chunk.end != ChunkEnd::kCut && !last.empty() && last.back() == '\r') last.remove_suffix(1);
  return last;
}

ChunkLines::ChunkLines(const LineChunk& chunk, std::size_t maxLine, std::size_t from)
    : begin_(chunk.data),
      at_(begin_ + from),
      end_(begin_ + chunk.size),
      lastEnd_(chunk.end),
      maxLine_(maxLine),
      maskBase_(at_) {
  if (at_ != end_) mask_ = FeedMask(maskBase_, std::min<std::size_t>(64, end_ - maskBase_), ascii_);
}

const char* ChunkLines::NextFeed() {
  while (mask_ == 0) {
    maskBase_ += 64;
    if (maskBase_ >= end_) return nullptr;
    mask_ = FeedMask(maskBase_, std::min<std::size_t>(64, end_ - maskBase_), ascii_);
  }
  const char* feed = maskBase_ + __builtin_ctzll(mask_);
  mask_ &= mask_ - 1;
  return feed;
}

bool ChunkLines::Next(PhysicalLine& line) {
  if (at_ >= end_) return false;
  const char* feed = NextFeed();
  const char* stop = feed != nullptr ? feed : end_;
  line.unterminated = feed == nullptr && lastEnd_ == ChunkEnd::kUnterminated;
  line.cut = feed == nullptr && lastEnd_ == ChunkEnd::kCut;
  auto length = static_cast<std::size_t>(stop - at_);
  if (length > maxLine_) {
    length = maxLine_;
    line.cut = true;
  } else if (!line.cut && length != 0 && at_[length - 1] == '\r') {
    --length;  // half of the line end, also when the input ended right after it
  }
  line.text = std::string_view(at_, length);
  // Every byte up to the last one scanned (past this line's end) was below 0x80.
  line.ascii = ascii_;
  at_ = feed != nullptr ? feed + 1 : end_;
  return true;
}

}  // namespace jov::analyzer
