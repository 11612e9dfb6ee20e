// block_reader.h - the parse stage over a whole byte source: chunks of whole lines read in
// turn and parsed on worker threads, handed out in input order to the one thread that keeps
// the clock, the routine stack and the sinks. A small source is read and parsed on the
// calling thread alone.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "analyzer/input/byte_source.h"
#include "analyzer/input/line_chunker.h"
#include "analyzer/input/text_encoding.h"
#include "analyzer/parse/parsed_block.h"

namespace jov::analyzer {

struct ParseOptions {
  // Bytes read at a time. Small enough that the records of a block of the shortest lines
  // stay a few megabytes; large enough that handing blocks between threads costs little.
  std::size_t block = std::size_t{128} << 10;
  // Threads that parse: 0 for one per core, up to four. A source of less than four blocks is
  // parsed on the calling thread.
  unsigned workers = 0;
  std::size_t maxLine = kMaxLine;
  TextDecoder decoder;
  bool wantTexts = true;
};

class BlockReader {
 public:
  BlockReader(ByteSource& source, const ParseOptions& options);
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // The next block in input order, or null after the last. Valid until the next call.
  const ParsedBlock* Next();
  // Bytes taken from the source so far.
  std::uint64_t BytesRead() const;
  bool Failed() const { return source_.Failed(); }

 private:
  enum class SlotState { kFree, kParsing, kReady, kEnd };
  struct Slot {
    ParsedBlock block;
    SlotState state = SlotState::kFree;
  };

  // Reads the next chunk into `slot` (under the lock when workers run); false at the end.
  bool ReadChunk(Slot& slot);
  void Work();

  ByteSource& source_;
  const ParseOptions& options_;
  LineChunker chunker_;
  std::uint64_t bytesRead_ = 0;

  std::vector<Slot> slots_;
  std::vector<std::thread> workers_;
  mutable std::mutex mutex_;
  std::condition_variable slotFreed_;
  std::condition_variable slotReady_;
  std::uint64_t nextRead_ = 0;  // sequence number of the next chunk to read
  std::uint64_t nextOut_ = 0;   // sequence number of the next block to hand out
  bool handedOut_ = false;      // the block of nextOut_ - 1 is still with the caller
  bool ended_ = false;
  bool stopping_ = false;
};

}  // namespace jov::analyzer
