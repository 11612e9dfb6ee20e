// line_reader.cpp - physical lines out of a byte source, found with memchr in a block buffer.
#include "analyzer/parse/line_reader.h"

#include <algorithm>
#include <cstring>

namespace jov::analyzer {

LineReader::LineReader(ByteSource& source, std::size_t block, std::size_t maxLine)
    : source_(source), maxLine_(maxLine) {
  // Room for a block and a whole line of the limit; a source that fits entirely needs no
  // more than its own size (small files, the reader's tests and fuzzing).
  std::size_t capacity = std::max(block, 2 * maxLine);
  if (source.Size() < capacity) capacity = static_cast<std::size_t>(source.Size()) + 1;
  buffer_.resize(capacity);
}

bool LineReader::Fill() {
  if (atEnd_) return false;
  if (begin_ != 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const std::size_t got = source_.Read(buffer_.data() + end_, buffer_.size() - end_);
  bytesRead_ += got;
  end_ += got;
  if (got == 0) atEnd_ = true;
  return got != 0;
}

bool LineReader::Next(PhysicalLine& line) {
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const auto* feed = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
    if (skipping_) {
      // The rest of a cut line: dropped up to its line feed.
      if (feed == nullptr) {
        begin_ = end_ = 0;
        if (!Fill()) return false;
        continue;
      }
      begin_ = static_cast<std::size_t>(feed - buffer_.data()) + 1;
      skipping_ = false;
      continue;
    }
    std::size_t length;
    bool cut = false;
    bool unterminated = false;
    if (feed != nullptr) {
      length = static_cast<std::size_t>(feed - start);
      if (length > maxLine_) {
        length = maxLine_;
        cut = true;
      }
    } else if (end_ - begin_ >= maxLine_) {
      length = maxLine_;
      cut = true;
      skipping_ = true;
    } else if (Fill()) {
      continue;
    } else if (end_ == begin_) {
      return false;
    } else {
      length = end_ - begin_;
      unterminated = true;
    }
    start = buffer_.data() + begin_;
    line.number = ++number_;
    line.cut = cut;
    line.unterminated = unterminated;
    const bool carriageReturn = !cut && length > 0 && start[length - 1] == '\r';
    line.crlf = carriageReturn && !unterminated;
    line.text = std::string_view(start, carriageReturn ? length - 1 : length);
    if (feed != nullptr) {
      begin_ = static_cast<std::size_t>(feed - buffer_.data()) + 1;
    } else {
      begin_ += length;
    }
    return true;
  }
}

}  // namespace jov::analyzer
