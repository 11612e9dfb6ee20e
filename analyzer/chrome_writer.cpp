// chrome_writer.cpp - Trace Event Format events, streamed into a buffer that is written out
// in large pieces.
#include "analyzer/chrome_writer.h"

#include <algorithm>

#include "analyzer/text_encoding.h"

namespace jovtrace {
namespace {

constexpr std::size_t kFlushBytes = 1 << 20;
// An instant's name is the start of its text; the whole text is in its arguments.
constexpr std::size_t kNameBytes = 80;
// Lines joined to one instant (a long hex dump): the first ones are kept, the rest counted.
constexpr std::uint64_t kMaxJoinedLines = 256;

// The first `limit` bytes of UTF-8 text, not cutting a character, up to its first line end.
std::string_view Head(std::string_view text, std::size_t limit) {
  text = text.substr(0, text.find('\n'));
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

}  // namespace

ChromeWriter::ChromeWriter(std::FILE* out, const NameTable& names) : out_(out), names_(names) {
  buffer_ = "{\"traceEvents\":[";
}

ChromeWriter::~ChromeWriter() { Close(); }

void ChromeWriter::Flush(bool force) {
  if (!force && buffer_.size() < kFlushBytes) return;
  std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
  buffer_.clear();
}

void ChromeWriter::BeginEvent() {
  buffer_ += firstEvent_ ? "\n" : ",\n";
  firstEvent_ = false;
}

void ChromeWriter::Number(std::int64_t value) { buffer_ += std::to_string(value); }

void ChromeWriter::String(std::string_view utf8) {
  buffer_ += '"';
  AppendJsonEscaped(buffer_, utf8);
  buffer_ += '"';
}

void ChromeWriter::BeginTrace(const TraceInfo& info) {
  origin_ = info.origin;
  pid_ = info.index + 1;
  BeginEvent();
  buffer_ += "{\"name\":\"process_name\",\"ph\":\"M\",\"pid\":";
  Number(pid_);
  buffer_ += ",\"tid\":0,\"args\":{\"name\":";
  String(info.label);
  buffer_ += "}}";
  BeginEvent();
  buffer_ += "{\"name\":\"process_sort_index\",\"ph\":\"M\",\"pid\":";
  Number(pid_);
  buffer_ += ",\"tid\":0,\"args\":{\"sort_index\":";
  Number(info.index);
  buffer_ += "}}";
}

void ChromeWriter::OnCall(const Call& call) {
  threads_.emplace(pid_, call.thread);
  BeginEvent();
  buffer_ += "{\"name\":";
  String(names_.Text(call.name));
  buffer_ += ",\"cat\":\"routine\",\"ph\":\"X\",\"ts\":";
  Number(std::max<Micros>(call.start - origin_, 0));
  buffer_ += ",\"dur\":";
  Number(call.end - std::max(call.start, origin_));
  buffer_ += ",\"pid\":";
  Number(pid_);
  buffer_ += ",\"tid\":";
  Number(call.thread);
  buffer_ += ",\"args\":{\"closed\":\"";
  buffer_ += CloseKindName(call.close);
  buffer_ += "\",\"duration_ms\":";
  buffer_ += std::to_string(call.duration / 1000) + "." +
             std::to_string(1000 + call.duration % 1000).substr(1);
  if (call.hasReturnCode) {
    buffer_ += ",\"return_code\":";
    Number(call.returnCode);
  }
  if (!call.detail.empty()) {
    buffer_ += ",\"detail\":";
    scratch_.clear();
    AppendUtf8(scratch_, call.detail);
    String(scratch_);
  }
  if (!call.pushSeen) buffer_ += ",\"push_line\":false";
  buffer_ += "}}";
  Flush(false);
}

void ChromeWriter::FlushInstant() {
  if (!instantOpen_) return;
  instantOpen_ = false;
  threads_.emplace(pid_, instant_.thread);
  BeginEvent();
  buffer_ += "{\"name\":";
  String(Head(instantText_, kNameBytes));
  buffer_ += ",\"cat\":\"";
  buffer_ += TextKindName(instant_.kind);
  buffer_ += "\",\"ph\":\"i\",\"s\":\"t\",\"ts\":";
  Number(std::max<Micros>(instant_.time - origin_, 0));
  buffer_ += ",\"pid\":";
  Number(pid_);
  buffer_ += ",\"tid\":";
  Number(instant_.thread);
  buffer_ += ",\"args\":{\"text\":";
  String(instantText_);
  if (instantLineCount_ != 0) {
    buffer_ += ",\"lines\":";
    String(instantLines_);
    if (instantLineCount_ > kMaxJoinedLines) {
      buffer_ += ",\"lines_not_shown\":";
      Number(static_cast<std::int64_t>(instantLineCount_ - kMaxJoinedLines));
    }
  }
  buffer_ += ",\"depth\":";
  Number(instant_.depth);
  buffer_ += "}}";
  Flush(false);
}

void ChromeWriter::OnText(const Text& text) {
  const bool joins = text.kind == TextKind::kDumpLine ||
                     (text.kind == TextKind::kHeapRow && instantOpen_ &&
                      instant_.kind == TextKind::kHeapRow);
  if (joins && instantOpen_ && instant_.thread == text.thread) {
    if (++instantLineCount_ <= kMaxJoinedLines) {
      if (!instantLines_.empty()) instantLines_ += '\n';
      instantLines_.append(text.text.data(), text.text.size());
    }
    return;
  }
  FlushInstant();
  instantOpen_ = true;
  instant_ = text;
  instantText_.assign(text.text.data(), text.text.size());
  instant_.text = instantText_;
  instantLines_.clear();
  instantLineCount_ = 0;
}

void ChromeWriter::OnCounter(const CounterSample& sample) {
  BeginEvent();
  buffer_ += "{\"name\":\"";
  buffer_ += CounterKindName(sample.kind);
  buffer_ += "\",\"ph\":\"C\",\"ts\":";
  Number(std::max<Micros>(sample.time - origin_, 0));
  buffer_ += ",\"pid\":";
  Number(pid_);
  buffer_ += sample.kind == CounterKind::kHandleCount ? ",\"tid\":0,\"args\":{\"count\":"
                                                      : ",\"tid\":0,\"args\":{\"bytes\":";
  Number(sample.value);
  buffer_ += "}}";
  Flush(false);
}

void ChromeWriter::EndTrace(const TraceInfo&, const TraceStats&) { FlushInstant(); }

void ChromeWriter::Close() {
  if (closed_) return;
  closed_ = true;
  FlushInstant();
  for (const auto& [pid, tid] : threads_) {
    BeginEvent();
    buffer_ += "{\"name\":\"thread_name\",\"ph\":\"M\",\"pid\":";
    Number(pid);
    buffer_ += ",\"tid\":";
    Number(tid);
    buffer_ += ",\"args\":{\"name\":";
    String(tid == 0 ? std::string("unknown thread") : "thread " + std::to_string(tid));
    buffer_ += "}}";
  }
  buffer_ += "\n],\"displayTimeUnit\":\"ms\"}\n";
  Flush(true);
  std::fflush(out_);
}

}  // namespace jovtrace
