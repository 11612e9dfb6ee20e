// block_reader.h - the parse stage over a whole byte source: the source's blocks, each read at
// its position with the lines that start in it (ReadBlockLines), parsed on several threads and
// handed, in input order, to the stage that keeps the clock, the routine stack and the sinks.
// A small source is read and parsed on the calling thread alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "analyzer/input/byte_source.h"
#include "analyzer/input/line_chunker.h"
#include "analyzer/input/text_encoding.h"
#include "analyzer/parse/parsed_block.h"

namespace jov::analyzer {

struct ParseOptions {
  // Bytes of the source per block. Large, because the stage after parsing (stack, clock,
  // sinks) moves to another core whenever a block of another thread comes next; a block of
  // very short lines is parsed in parts, so its records stay a few megabytes.
  std::size_t block = std::size_t{2048} << 10;
  // Threads that parse, the caller's included: 0 for one per core, up to four. A source of
  // less than four blocks is parsed on the calling thread alone.
  unsigned threads = 0;
  std::size_t maxLine = kMaxLine;
  TextDecoder decoder;
  bool wantTexts = true;
};

struct ParseResult {
  std::uint64_t bytes = 0;  // bytes of the source read
  bool failed = false;      // a read failed: the rest of the source is lost
};

// Reads `source` block by block and calls `apply` with each parsed block, in input order and
// never two at a time; it may run on any of the threads, so that a block's records are used
// where they were written (handing them to one fixed thread would cost more than parsing
// them). Rethrows on the calling thread what `apply` throws, after the threads have stopped.
ParseResult ParseInOrder(ByteSource& source, const ParseOptions& options,
                         const std::function<void(const ParsedBlock&)>& apply);

}  // namespace jov::analyzer
