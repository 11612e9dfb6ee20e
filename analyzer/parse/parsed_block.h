// parsed_block.h - a chunk of whole lines after the parse stage: one record per physical line
// with everything taken out of its bytes (kind, clock, interval, depth, routine name and its
// hash, detail, codes, numbers) and its texts as UTF-8. The stage after it, which keeps the
// clock, the routine stack and the sinks in order, never looks at the bytes again, so chunks
// can be parsed on several threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/input/line_chunker.h"
#include "analyzer/input/text_encoding.h"
#include "analyzer/parse/micros.h"

namespace jov::analyzer {

// What a physical line is. The time-prefixed lines come by what their text is.
enum class RecordKind : std::uint8_t {
  kEmpty,
  kDate,          // values[0]: the day, days since 1970-01-01
  kThread,        // values[0]: the thread id
  kHandleCount,   // values[0]: the count
  kMemory,        // values[0]: the pool's bytes, values[1]: the process's bytes
  kSizeNotice,    // the size limit's "--Trace closed and re-opened ..." line
  kWrapBanner,    // "---- Wrap trace of saved events."
  kWrapEnd,       // "---- End of wrap trace."
  kContinuation,  // starts with a blank: the next line of a text; `text` is the whole line
  kOther,         // none of the trace's lines; `text` is the whole line
  kPush,          // `text`: the routine's name, values[0] its NameHash; `detail`
  kPop,           // `text`, values[0] as kPush; values[1]: the return code (kReturnCode),
                  // values[2]: the duration
  kBrokenPop,     // a Pop line without its duration (cut while it was built)
  kText,          // any other timed line; `textKind` says which of the library's own it is
};

enum class TextRecordKind : std::uint8_t {
  kPlain,
  kHeader,  // values[0]: the thread that started the trace
  kClosed,
  kTerminated,
  kDumpLine,
  kHeapTitle,
  kVirtualMemory,  // values[0]: the committed bytes
};

// Facts of a line, as bits of LineRecord::flags.
enum RecordFlag : std::uint8_t {
  kCut = 1,              // longer than the reader keeps
  kUnterminated = 2,     // the input ended inside it
  kHeapEnd = 4,          // kText: the last line of a heap report
  kReturnCode = 8,       // kPop: the line has a return code
  kTimePrefixLike = 16,  // kOther: starts like a time prefix that did not parse
  kHeaderWords = 32,     // kText: starts with the header's words
};

// A piece of a line's text: in the chunk's bytes, or in the block's decoded text.
struct TextSpan {
  std::uint32_t offset : 31;
  std::uint32_t decoded : 1;
  std::uint32_t size;
};

// One physical line in a cache line's 64 bytes: the reader writes and reads one per line, and
// their traffic between the threads is a good part of its time.
struct LineRecord {
  RecordKind kind = RecordKind::kOther;
  TextRecordKind textKind = TextRecordKind::kPlain;
  std::uint8_t flags = 0;   // RecordFlag bits
  std::uint32_t depth = 0;  // timed lines: routine levels (indentation / 4)
  std::int32_t timeOfDayMs = 0;
  std::uint32_t column = 0;  // timed lines: where the text starts, indentation included
  Micros interval = 0;
  TextSpan text{0, 0, 0};    // timed lines: the text after the indentation
  TextSpan detail{0, 0, 0};  // kPush: the detail after the name
  std::int64_t values[3] = {0, 0, 0};

  bool Has(RecordFlag flag) const { return (flags & flag) != 0; }
};

struct ParsedBlock {
  LineChunk chunk;
  std::vector<LineRecord> records;
  std::string decoded;      // texts that had to be decoded to UTF-8
  std::uint64_t bytes = 0;  // bytes of the input the block covers

  std::string_view View(const TextSpan& span) const {
    const char* base = span.decoded != 0 ? decoded.data() : chunk.data;
    return {base + span.offset, span.size};
  }
};

// The hash the name table keys routine names by.
std::uint64_t NameHash(std::string_view name);

// Records of a block at most: 4 MB of them. A block of very short lines is parsed in parts.
inline constexpr std::size_t kMostRecords = std::size_t{1} << 16;

// Parses the lines of `block.chunk` from the offset `from` into `block.records` (replaced), at
// most kMostRecords of them; returns the offset of the first line left (the chunk's size when
// none is). Names, details and the other lines' texts become UTF-8 through `decoder`; plain
// texts only when `wantTexts`.
std::size_t ParseChunk(ParsedBlock& block, std::size_t maxLine, const TextDecoder& decoder,
                       bool wantTexts, std::size_t from = 0);

}  // namespace jov::analyzer
