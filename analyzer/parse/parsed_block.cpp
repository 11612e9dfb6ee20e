// parsed_block.cpp - the parse stage: each line of a chunk classified and taken apart into a
// record, its texts decoded to UTF-8 once.
#include "analyzer/parse/parsed_block.h"

#include <cstring>

#include "analyzer/parse/line_parse.h"
#include "analyzer/parse/line_text.h"
#include "trace/trace_format.h"

namespace jov::analyzer {
namespace {

namespace format = jov::trace::format;

class ChunkParser {
 public:
  ChunkParser(ParsedBlock& block, const TextDecoder& decoder, bool wantTexts)
      : block_(block), decoder_(decoder), wantTexts_(wantTexts) {}

  void Line(const PhysicalLine& line);

 private:
  // Where `piece` (a view into the chunk) stands as UTF-8: in place, or decoded into the
  // block's text when `decode` and it needs it (never when its line is known to be ASCII).
  TextSpan Span(std::string_view piece, bool decode) const;
  void Timed(const ParsedLine& parsed, LineRecord& r);
  void TimedText(std::string_view text, LineRecord& r);

  ParsedBlock& block_;
  const TextDecoder& decoder_;
  const bool wantTexts_;
  bool asciiLine_ = false;  // the current line is ASCII throughout
};

TextSpan ChunkParser::Span(std::string_view piece, bool decode) const {
  TextSpan span{0, 0, 0};
  if (decode && !asciiLine_ && TextDecoder::NeedsDecoding(piece)) {
    const std::size_t at = block_.decoded.size();
    decoder_.Append(block_.decoded, piece);
    span.decoded = 1;
    span.offset = static_cast<std::uint32_t>(at);
    span.size = static_cast<std::uint32_t>(block_.decoded.size() - at);
    return span;
  }
  span.offset = static_cast<std::uint32_t>(piece.data() - block_.chunk.data);
  span.size = static_cast<std::uint32_t>(piece.size());
  return span;
}

void ChunkParser::Line(const PhysicalLine& line) {
  LineRecord& r = block_.records.emplace_back();
  r.flags = (line.cut ? kCut : 0) | (line.unterminated ? kUnterminated : 0);
  asciiLine_ = line.ascii;
  ParsedLine parsed;
  ParseLine(line.text, parsed);
  switch (parsed.kind) {
    case LineKind::kEmpty:
      r.kind = RecordKind::kEmpty;
      return;
    case LineKind::kDate:
      r.kind = RecordKind::kDate;
      r.values[0] = parsed.day;
      return;
    case LineKind::kThread:
      r.kind = RecordKind::kThread;
      r.values[0] = parsed.thread;
      return;
    case LineKind::kHandleCount:
      r.kind = RecordKind::kHandleCount;
      r.values[0] = parsed.values[0];
      return;
    case LineKind::kMemory:
      r.kind = RecordKind::kMemory;
      r.values[0] = parsed.values[0];
      r.values[1] = parsed.values[2];
      return;
    case LineKind::kSizeNotice:
      r.kind = RecordKind::kSizeNotice;
      r.text = Span(line.text, true);
      return;
    case LineKind::kWrapBanner:
      r.kind = RecordKind::kWrapBanner;
      return;
    case LineKind::kWrapEnd:
      r.kind = RecordKind::kWrapEnd;
      return;
    case LineKind::kContinuation:
      r.kind = RecordKind::kContinuation;
      r.text = Span(line.text, wantTexts_);
      return;
    case LineKind::kOther:
      // Rare (garbage, or a wrap dump's reason line, which the trace's figures keep).
      r.kind = RecordKind::kOther;
      if (line.text.size() >= 12 && line.text[2] == ':') r.flags |= kTimePrefixLike;
      r.text = Span(line.text, true);
      return;
    case LineKind::kTimed:
      Timed(parsed, r);
      return;
  }
}

void ChunkParser::Timed(const ParsedLine& parsed, LineRecord& r) {
  r.timeOfDayMs = parsed.timeOfDayMs;
  r.interval = parsed.intervalUs;
  r.depth = parsed.indent / format::kIndentWidth;
  const std::size_t indentation = std::size_t{r.depth} * format::kIndentWidth;
  r.column = static_cast<std::uint32_t>(parsed.textColumn + indentation);
  const std::string_view text = parsed.afterSeparator.substr(indentation);
  if (!text.empty() && text.front() == 'P') {
    PushText push;
    if (ParsePush(text, push)) {
      r.kind = RecordKind::kPush;
      r.text = Span(push.name, true);
      r.values[0] = static_cast<std::int64_t>(NameHash(block_.View(r.text)));
      r.detail = Span(push.detail, true);
      return;
    }
    PopText pop;
    switch (ParsePop(text, pop)) {
      case PopParse::kOk:
        r.kind = RecordKind::kPop;
        r.text = Span(pop.name, true);
        r.values[0] = static_cast<std::int64_t>(NameHash(block_.View(r.text)));
        if (pop.hasReturnCode) r.flags |= kReturnCode;
        r.values[1] = pop.returnCode;
        r.values[2] = pop.duration;
        return;
      case PopParse::kBroken:
        r.kind = RecordKind::kBrokenPop;
        return;
      case PopParse::kBare:  // a pop of a level that was not on the stack: a text as it is
      case PopParse::kNotPop:
        break;
    }
  }
  TimedText(text, r);
}

void ChunkParser::TimedText(std::string_view text, LineRecord& r) {
  r.kind = RecordKind::kText;
  r.text = Span(text, wantTexts_);
  if (IsHeapReportEnd(text)) r.flags |= kHeapEnd;
  const bool headerWords = StartsWith(text, format::kHeader);
  if (headerWords) r.flags |= kHeaderWords;
  HeaderText header;
  if (IsHeapReportTitle(text)) {
    r.textKind = TextRecordKind::kHeapTitle;
  } else if (IsDumpLine(text)) {
    r.textKind = TextRecordKind::kDumpLine;
  } else if (headerWords && ParseHeader(text, header)) {
    r.textKind = TextRecordKind::kHeader;
    r.values[0] = header.threadId;
  } else if (text == format::kTraceClosed) {
    r.textKind = TextRecordKind::kClosed;
  } else if (text == format::kTerminated) {
    r.textKind = TextRecordKind::kTerminated;
  } else if (ParseVirtualMemory(text, r.values[0])) {
    r.textKind = TextRecordKind::kVirtualMemory;
  }
}

}  // namespace

std::uint64_t NameHash(std::string_view name) {
  // Eight bytes at a time, then the finaliser of a well-known 64-bit mixer, so that the low
  // bits the name table probes with depend on every byte.
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ name.size();
  const char* p = name.data();
  const std::size_t size = name.size();
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + at, 8);
    h = (h ^ word) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  if (at < size) {
    // The last eight bytes again, overlapping the ones before: a load of a known size, not a
    // copy of the few bytes left (which would stall on the store before the load).
    std::uint64_t word = 0;
    if (size >= 8) {
      std::memcpy(&word, p + size - 8, 8);
    } else {
      for (std::size_t i = 0; i < size; ++i)
        word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    h = (h ^ word) * 0xFF51AFD7ED558CCDull;
  }
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

std::size_t ParseChunk(ParsedBlock& block, std::size_t maxLine, const TextDecoder& decoder,
                       bool wantTexts, std::size_t from) {
  block.records.clear();
  block.decoded.clear();
  ChunkParser parser(block, decoder, wantTexts);
  ChunkLines lines(block.chunk, maxLine, from);
  PhysicalLine line;
  while (block.records.size() < kMostRecords && lines.Next(line)) parser.Line(line);
  return lines.Offset();
}

}  // namespace jov::analyzer
