// input_set.cpp - a look at each file's first and last lines, and the grouping of files
// into traces.
#include "analyzer/model/input_set.h"

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>

#include "analyzer/input/line_chunker.h"
#include "analyzer/parse/line_parse.h"
#include "analyzer/parse/line_text.h"
#include "analyzer/model/timeline.h"
#include "trace/trace_format.h"

namespace jov::analyzer {
namespace {

constexpr std::size_t kHeadBytes = 64 * 1024;
constexpr std::size_t kHeadBlock = 4 * 1024;
constexpr std::size_t kTailBytes = 4 * 1024;

// The whole lines of `source` from where it stands, up to `limit` bytes, `block` bytes at a
// time, until `onLine` says it has seen enough. With `final` a last line without its line
// feed counts too.
template <typename OnLine>
void ScanLines(ByteSource& source, std::uint64_t limit, std::size_t block, bool final,
               OnLine&& onLine) {
  LineChunker chunker(limit);
  LineChunk chunk;
  const ReadFn read = [&source, &limit](char* buffer, std::size_t size) {
    const std::size_t n =
        source.Read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, limit)));
    limit -= n;
    return n;
  };
  while (chunker.Next(chunk, block, read, final)) {
    ChunkLines lines(chunk, chunker.MaxLine());
    PhysicalLine line;
    while (lines.Next(line))
      if (!onLine(line)) return;
  }
}

void ExamineHead(ByteSource& source, const TextDecoder& decoder, FileFacts& facts) {
  std::int64_t day = 0;
  bool anyClock = false;
  bool afterHeader = false;
  ScanLines(source, kHeadBytes, kHeadBlock, false, [&](const PhysicalLine& line) {
    ParsedLine parsed;
    ParseLine(line.text, parsed);
    switch (parsed.kind) {
      case LineKind::kDate:
        day = parsed.day;
        facts.isTrace = true;
        break;
      case LineKind::kThread:
        facts.isTrace = true;
        break;
      case LineKind::kWrapBanner:
        facts.wrapDump = true;
        break;
      case LineKind::kTimed: {
        facts.isTrace = true;
        const Micros clock = day * Timeline::kDay + Micros{parsed.timeOfDayMs} * 1000;
        if (!anyClock || clock < facts.firstClock) facts.firstClock = clock;
        if (!anyClock) facts.headerClock = clock;
        anyClock = true;
        // A file trace's second timed line: nothing more to learn from its start.
        if (afterHeader && !facts.wrapDump) return false;
        HeaderText header;
        if (!facts.hasHeader &&
            ParseHeader(parsed.afterSeparator.substr(
                            parsed.indent - parsed.indent % jov::trace::format::kIndentWidth),
                        header)) {
          facts.hasHeader = afterHeader = true;
          facts.headerClock = clock;
          decoder.Append(facts.userId, header.userId);
          facts.processId = header.processId;
          facts.threadId = header.threadId;
          decoder.Append(facts.program, TraceNameOfFile(header.logFile));
        }
        break;
      }
      default:
        break;
    }
    return true;
  });
}

void ExamineTail(ByteSource& source, FileFacts& facts) {
  const std::uint64_t size = source.Size();
  if (!source.Seek(size > kTailBytes ? size - kTailBytes : 0)) return;
  std::string last;
  ScanLines(source, kTailBytes, kTailBytes, true, [&last](const PhysicalLine& line) {
    if (!line.text.empty()) last.assign(line.text);
    return true;
  });
  ParsedLine parsed;
  ParseLine(last, parsed);
  facts.endsWithSizeNotice = parsed.kind == LineKind::kSizeNotice;
}

}  // namespace

FileFacts ExamineFile(const std::string& path, SourceOpener& opener, const TextDecoder& decoder) {
  FileFacts facts;
  facts.path = path;
  std::unique_ptr<ByteSource> source = opener.Open(path, facts.error);
  if (source == nullptr) return facts;
  facts.readable = true;
  facts.size = source->Size();
  ExamineHead(*source, decoder, facts);
  if (source->Failed()) {
    facts.readable = false;
    facts.error = "read error";
    return facts;
  }
  if (facts.program.empty()) decoder.Append(facts.program, TraceNameOfFile(path));
  if (facts.isTrace) ExamineTail(*source, facts);
  return facts;
}

bool ContinuesChain(const FileFacts& before, const FileFacts& next) {
  const bool sameObject = before.hasHeader && next.hasHeader &&
                          before.processId == next.processId && before.program == next.program &&
                          before.wrapDump == next.wrapDump;
  return sameObject && (next.wrapDump || before.endsWithSizeNotice);
}

std::vector<TraceInfo> GroupTraces(const std::vector<FileFacts>& files) {
  std::vector<const FileFacts*> order;
  for (const FileFacts& f : files)
    if (f.readable && f.isTrace) order.push_back(&f);
  std::stable_sort(order.begin(), order.end(), [](const FileFacts* a, const FileFacts* b) {
    return std::tie(a->headerClock, a->path) < std::tie(b->headerClock, b->path);
  });

  struct Chain {
    std::vector<const FileFacts*> files;
  };
  std::vector<Chain> chains;
  for (const FileFacts* f : order) {
    Chain* into = nullptr;
    for (Chain& chain : chains)
      if (ContinuesChain(*chain.files.back(), *f)) into = &chain;
    if (into == nullptr) {
      chains.emplace_back();
      into = &chains.back();
    }
    into->files.push_back(f);
  }

  Micros origin = 0;
  for (std::size_t i = 0; i < order.size(); ++i)
    origin = i == 0 ? order[i]->firstClock : std::min(origin, order[i]->firstClock);

  std::vector<TraceInfo> traces;
  std::map<std::string, int> labels;
  for (const Chain& chain : chains) {
    const FileFacts& first = *chain.files.front();
    TraceInfo info;
    info.index = static_cast<int>(traces.size());
    info.program = first.program;
    info.userId = first.userId;
    info.processId = first.processId;
    info.threadId = first.threadId;
    info.wrapDump = first.wrapDump;
    info.origin = origin;
    info.label = first.program;
    if (first.hasHeader) info.label += " (pid " + std::to_string(first.processId) + ")";
    if (first.wrapDump) info.label += " wrap dump";
    const int seen = ++labels[info.label];
    if (seen > 1) info.label += " #" + std::to_string(seen);
    for (const FileFacts* f : chain.files) info.files.push_back(f->path);
    traces.push_back(std::move(info));
  }
  return traces;
}

TraceInfo TraceOfFile(const FileFacts& facts) {
  std::vector<TraceInfo> traces = GroupTraces({facts});
  if (!traces.empty()) return traces.front();
  TraceInfo info;
  info.program = facts.program;
  info.label = facts.program;
  info.files.push_back(facts.path);
  return info;
}

}  // namespace jov::analyzer
