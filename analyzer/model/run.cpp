// run.cpp - expansion, grouping and reading of all inputs, with the notices on the way.
#include "analyzer/model/run.h"

#include <fmt/format.h>

#include "analyzer/input/input_expand.h"
#include "analyzer/model/input_set.h"
#include "analyzer/model/trace_reader.h"

namespace jov::analyzer {

void NoticePrinter::Summarise() {
  if (inFile_ > perFile_) {
    fmt::print(err_, "{}: {} more notices not shown\n", file_, inFile_ - perFile_);
  }
}

void NoticePrinter::OnNotice(const Notice& notice) {
  if (notice.file != file_) {
    Summarise();
    file_.assign(notice.file);
    inFile_ = 0;
  }
  ++count_;
  if (++inFile_ > perFile_) return;
  if (notice.line == 0) {
    fmt::print(err_, "{}: {}\n", notice.file, notice.message);
  } else {
    fmt::print(err_, "{}:{}: {}\n", notice.file, notice.line, notice.message);
  }
}

void NoticePrinter::EndTrace(const TraceInfo&, const TraceStats&) {
  Summarise();
  file_.clear();
  inFile_ = 0;
}

RunResult Run(const RunOptions& options, NameTable& names, TraceSink& sink, SourceOpener& opener,
              std::FILE* err) {
  RunResult result;
  NoticePrinter printer(err);
  SinkFanout fanout;
  fanout.Add(printer);
  fanout.Add(sink);

  std::vector<std::string> missing;
  const std::vector<std::string> files = ExpandInputs(options.inputs, missing);
  for (const std::string& name : missing) fmt::print(err, "{}: no such file\n", name);
  if (!missing.empty()) result.exitCode = 2;

  std::vector<FileFacts> facts;
  std::uint64_t total = 0;
  for (const std::string& file : files) {
    facts.push_back(ExamineFile(file, opener, options.parse.decoder));
    const FileFacts& f = facts.back();
    Notice notice;
    notice.file = f.path;
    if (!f.readable) {
      const std::string message = "cannot read the file: " + f.error;
      notice.kind = NoticeKind::kUnreadable;
      notice.message = message;
      printer.OnNotice(notice);
      sink.OnNotice(notice);
    } else if (!f.isTrace) {
      notice.kind = NoticeKind::kNotATrace;
      notice.line = 1;
      notice.message =
          "not a trace file (no date, thread or time-stamped line in its first 64 KiB); skipped";
      printer.OnNotice(notice);
      sink.OnNotice(notice);
    } else {
      total += f.size;
      if (!f.hasHeader) {
        notice.kind = NoticeKind::kNoHeader;
        notice.line = 1;
        notice.message = "no \"Trace Started.\" header line; read as a trace of its own";
        printer.OnNotice(notice);
        sink.OnNotice(notice);
      }
    }
  }
  printer.EndTrace(TraceInfo(), TraceStats());

  const std::vector<TraceInfo> traces = GroupTraces(facts);
  TraceReader reader(names, fanout, options.parse);
  std::uint64_t done = 0;
  for (const TraceInfo& info : traces) {
    ProgressFn progress;
    if (options.progress) {
      progress = [&](std::uint64_t inFile) { options.progress(done + inFile, total); };
    }
    const TraceStats stats = reader.Read(info, opener, progress);
    done += stats.bytes;
  }
  result.traces = traces.size();
  result.bytes = done;
  result.notices = printer.Count();
  if (options.strict && result.notices != 0) result.exitCode = 2;
  return result;
}

}  // namespace jov::analyzer
