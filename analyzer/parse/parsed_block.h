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
  kMemory,        // values[0..3]: pool, its change, process bytes, their change
  kSizeNotice,    // the size limit's "--Trace closed and re-opened ..." line
  kWrapBanner,    // "---- Wrap trace of saved events."
  kWrapEnd,       // "---- End of wrap trace."
  kContinuation,  // starts with a blank: the next line of a text; `text` is the whole line
  kOther,         // none of the trace's lines; `text` is the whole line
  kPush,          // `name`, `detail`
  kPop,           // `name`, values[0]: the return code if `hasReturnCode`, values[1]: duration
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

// A piece of a line's text: in the chunk's bytes, or in the block's decoded text.
struct TextSpan {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  bool decoded = false;
};

struct LineRecord {
  RecordKind kind = RecordKind::kOther;
  TextRecordKind textKind = TextRecordKind::kPlain;
  bool cut = false;           // longer than the reader keeps
  bool unterminated = false;  // the input ended inside it
  bool heapEnd = false;       // kText: the last line of a heap report
  bool hasReturnCode = false;
  bool timePrefixLike = false;  // kOther: starts like a time prefix that did not parse
  bool headerWords = false;     // kText: starts with the header's words
  std::uint32_t depth = 0;      // timed lines: routine levels (indentation / 4)
  std::uint32_t column = 0;     // timed lines: where the text starts, indentation included
  std::int32_t timeOfDayMs = 0;
  Micros interval = 0;
  TextSpan text;  // timed lines: the text after the indentation
  TextSpan name;  // kPush, kPop: "Class.Routine"
  TextSpan detail;
  std::uint64_t nameHash = 0;
  std::int64_t values[4] = {0, 0, 0, 0};
};

struct ParsedBlock {
  LineChunk chunk;
  std::vector<LineRecord> records;
  std::string decoded;      // texts that had to be decoded to UTF-8
  std::uint64_t bytes = 0;  // bytes of the input the block covers

  std::string_view View(const TextSpan& span) const {
    const char* base = span.decoded ? decoded.data() : chunk.bytes.data();
    return {base + span.offset, span.size};
  }
};

// The hash the name table keys routine names by.
std::uint64_t NameHash(std::string_view name);

// Parses `block.chunk` into `block.records` (replaced). Names, details and the other lines'
// texts become UTF-8 through `decoder`; plain texts only when `wantTexts`.
void ParseChunk(ParsedBlock& block, std::size_t maxLine, const TextDecoder& decoder,
                bool wantTexts);

}  // namespace jov::analyzer
