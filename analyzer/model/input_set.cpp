// input_set.cpp - a look at each file's first and last lines, and the grouping of files
// into traces.
#include "analyzer/model/input_set.h"

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>

#include "analyzer/parse/line_parse.h"
#include "analyzer/parse/line_reader.h"
#include "analyzer/parse/line_text.h"
#include "analyzer/model/timeline.h"
#include "trace/trace_format.h"

namespace jov::analyzer {
namespace {

constexpr std::size_t kHeadBytes = 64 * 1024;
constexpr std::size_t kTailBytes = 4 * 1024;

// Reads no more than `limit` bytes of a source.
class LimitedSource : public ByteSource {
 public:
  LimitedSource(ByteSource& inner, std::uint64_t limit) : inner_(inner), left_(limit) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n =
        inner_.Read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, left_)));
    left_ -= n;
    return n;
  }
  bool Failed() const override { return inner_.Failed(); }
  std::uint64_t Size() const override { return inner_.Size(); }
  bool Seek(std::uint64_t) override { return false; }

 private:
  ByteSource& inner_;
  std::uint64_t left_;
};

void ExamineHead(ByteSource& source, FileFacts& facts) {
  LimitedSource head(source, kHeadBytes);
  LineReader reader(head, kHeadBytes, kHeadBytes / 2);
  PhysicalLine line;
  ParsedLine parsed;
  std::int64_t day = 0;
  bool anyClock = false;
  while (reader.Next(line)) {
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
        if (line.unterminated) break;  // a cut-off line of the window's end
        facts.isTrace = true;
        const Micros clock = day * Timeline::kDay + Micros{parsed.timeOfDayMs} * 1000;
        if (!anyClock || clock < facts.firstClock) facts.firstClock = clock;
        if (!anyClock) facts.headerClock = clock;
        anyClock = true;
        HeaderText header;
        if (!facts.hasHeader &&
            ParseHeader(parsed.afterSeparator.substr(
                            parsed.indent - parsed.indent % jov::trace::format::kIndentWidth),
                        header)) {
          facts.hasHeader = true;
          facts.headerClock = clock;
          facts.userId.assign(header.userId);
          facts.processId = header.processId;
          facts.threadId = header.threadId;
          facts.program.assign(TraceNameOfFile(header.logFile));
        }
        break;
      }
      default:
        break;
    }
  }
}

void ExamineTail(ByteSource& source, FileFacts& facts) {
  const std::uint64_t size = source.Size();
  if (!source.Seek(size > kTailBytes ? size - kTailBytes : 0)) return;
  LimitedSource tail(source, kTailBytes);
  LineReader reader(tail, kTailBytes, kTailBytes);
  PhysicalLine line;
  std::string last;
  while (reader.Next(line)) {
    if (!line.text.empty()) last.assign(line.text);
  }
  ParsedLine parsed;
  ParseLine(last, parsed);
  facts.endsWithSizeNotice = parsed.kind == LineKind::kSizeNotice;
}

}  // namespace

FileFacts ExamineFile(const std::string& path, SourceOpener& opener) {
  FileFacts facts;
  facts.path = path;
  std::unique_ptr<ByteSource> source = opener.Open(path, facts.error);
  if (source == nullptr) return facts;
  facts.readable = true;
  facts.size = source->Size();
  ExamineHead(*source, facts);
  if (source->Failed()) {
    facts.readable = false;
    facts.error = "read error";
    return facts;
  }
  if (facts.program.empty()) facts.program.assign(TraceNameOfFile(path));
  if (facts.isTrace) ExamineTail(*source, facts);
  return facts;
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
    if (f->hasHeader) {
      for (Chain& chain : chains) {
        const FileFacts* last = chain.files.back();
        const bool sameObject = last->hasHeader && last->processId == f->processId &&
                                last->program == f->program && last->wrapDump == f->wrapDump;
        if (sameObject && (f->wrapDump || last->endsWithSizeNotice)) into = &chain;
      }
    }
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

}  // namespace jov::analyzer
