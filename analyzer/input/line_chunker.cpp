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

// Bit i set where p[i] is a line feed, for the `count` (at most 64) bytes from p.
std::uint64_t FeedMask(const char* p, std::size_t count) {
#if defined(__SSE2__)
  if (count == 64) {
    const __m128i feed = _mm_set1_epi8('\n');
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
      const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, feed)));
      mask |= std::uint64_t{bits} << (16 * i);
    }
    return mask;
  }
#endif
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < count; ++i) mask |= std::uint64_t{p[i] == '\n'} << i;
  return mask;
}

}  // namespace

bool LineChunker::Next(LineChunk& chunk, std::size_t block, const ReadFn& read, bool final) {
  chunk.size = 0;
  chunk.end = ChunkEnd::kLineFeed;
  std::vector<char>& buffer = chunk.bytes;
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

std::string_view LastLineOf(const LineChunk& chunk) {
  std::string_view lines = chunk.Lines();
  if (chunk.end == ChunkEnd::kLineFeed && !lines.empty()) lines.remove_suffix(1);
  const std::size_t feed = lines.rfind('\n');
  std::string_view last = feed == std::string_view::npos ? lines : lines.substr(feed + 1);
  if (chunk.end != ChunkEnd::kCut && !last.empty() && last.back() == '\r') last.remove_suffix(1);
  return last;
}

ChunkLines::ChunkLines(const LineChunk& chunk, std::size_t maxLine)
    : begin_(chunk.bytes.data()),
      at_(begin_),
      end_(begin_ + chunk.size),
      lastEnd_(chunk.end),
      maxLine_(maxLine),
      maskBase_(begin_) {
  if (at_ != end_) mask_ = FeedMask(maskBase_, std::min<std::size_t>(64, end_ - maskBase_));
}

const char* ChunkLines::NextFeed() {
  while (mask_ == 0) {
    maskBase_ += 64;
    if (maskBase_ >= end_) return nullptr;
    mask_ = FeedMask(maskBase_, std::min<std::size_t>(64, end_ - maskBase_));
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
  at_ = feed != nullptr ? feed + 1 : end_;
  return true;
}

}  // namespace jov::analyzer
