// chrome_writer.cpp - Trace Event Format events, streamed through the JSON writer.
#include "analyzer/outputs/chrome_writer.h"

#include <algorithm>

#include "analyzer/input/text_encoding.h"

namespace jov::analyzer {
namespace {

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

ChromeWriter::ChromeWriter(std::FILE* out, const NameTable& names)
    : json_(out, JsonOut::Embedding::kStandalone), names_(names) {
  json_.Raw("{\"traceEvents\":[");
}

ChromeWriter::~ChromeWriter() { Close(); }

void ChromeWriter::BeginEvent() {
  json_.Raw(firstEvent_ ? "\n" : ",\n");
  firstEvent_ = false;
}

void ChromeWriter::BeginTrace(const TraceInfo& info) {
  origin_ = info.origin;
  pid_ = info.index + 1;
  BeginEvent();
  json_.Raw("{\"name\":\"process_name\",\"ph\":\"M\",\"pid\":");
  json_.Int(pid_);
  json_.Raw(",\"tid\":0,\"args\":{\"name\":");
  json_.String(info.label);
  json_.Raw("}}");
  BeginEvent();
  json_.Raw("{\"name\":\"process_sort_index\",\"ph\":\"M\",\"pid\":");
  json_.Int(pid_);
  json_.Raw(",\"tid\":0,\"args\":{\"sort_index\":");
  json_.Int(info.index);
  json_.Raw("}}");
}

void ChromeWriter::OnCall(const Call& call) {
  threads_.emplace(pid_, call.thread);
  BeginEvent();
  json_.Raw("{\"name\":");
  json_.String(names_.Text(call.name));
  json_.Raw(",\"cat\":\"routine\",\"ph\":\"X\",\"ts\":");
  json_.Int(std::max<Micros>(call.start - origin_, 0));
  json_.Raw(",\"dur\":");
  json_.Int(call.end - std::max(call.start, origin_));
  json_.Raw(",\"pid\":");
  json_.Int(pid_);
  json_.Raw(",\"tid\":");
  json_.Int(call.thread);
  json_.Raw(",\"args\":{\"closed\":\"");
  json_.Raw(CloseKindName(call.close));
  json_.Raw("\",\"duration_ms\":");
  json_.Raw(std::to_string(call.duration / 1000) + "." +
            std::to_string(1000 + call.duration % 1000).substr(1));
  if (call.hasReturnCode) {
    json_.Raw(",\"return_code\":");
    json_.Int(call.returnCode);
  }
  if (!call.detail.empty()) {
    json_.Raw(",\"detail\":");
    json_.String(call.detail);
  }
  if (!call.pushSeen) json_.Raw(",\"push_line\":false");
  json_.Raw("}}");
}

void ChromeWriter::FlushInstant() {
  if (!instantOpen_) return;
  instantOpen_ = false;
  threads_.emplace(pid_, instant_.thread);
  BeginEvent();
  json_.Raw("{\"name\":");
  json_.String(Head(instantText_, kNameBytes));
  json_.Raw(",\"cat\":\"");
  json_.Raw(TextKindName(instant_.kind));
  json_.Raw("\",\"ph\":\"i\",\"s\":\"t\",\"ts\":");
  json_.Int(std::max<Micros>(instant_.time - origin_, 0));
  json_.Raw(",\"pid\":");
  json_.Int(pid_);
  json_.Raw(",\"tid\":");
  json_.Int(instant_.thread);
  json_.Raw(",\"args\":{\"text\":");
  json_.String(instantText_);
  if (instantLineCount_ != 0) {
    json_.Raw(",\"lines\":");
    json_.String(instantLines_);
    if (instantLineCount_ > kMaxJoinedLines) {
      json_.Raw(",\"lines_not_shown\":");
      json_.Int(static_cast<std::int64_t>(instantLineCount_ - kMaxJoinedLines));
    }
  }
  json_.Raw(",\"depth\":");
  json_.Int(instant_.depth);
  json_.Raw("}}");
}

void ChromeWriter::OnText(const Text& text) {
  const bool joins =
      text.kind == TextKind::kDumpLine ||
      (text.kind == TextKind::kHeapRow && instantOpen_ && instant_.kind == TextKind::kHeapRow);
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
  json_.Raw("{\"name\":\"");
  json_.Raw(CounterKindName(sample.kind));
  json_.Raw("\",\"ph\":\"C\",\"ts\":");
  json_.Int(std::max<Micros>(sample.time - origin_, 0));
  json_.Raw(",\"pid\":");
  json_.Int(pid_);
  json_.Raw(sample.kind == CounterKind::kHandleCount ? ",\"tid\":0,\"args\":{\"count\":"
                                                     : ",\"tid\":0,\"args\":{\"bytes\":");
  json_.Int(sample.value);
  json_.Raw("}}");
}

void ChromeWriter::EndTrace(const TraceInfo&, const TraceStats&) { FlushInstant(); }

void ChromeWriter::Close() {
  if (closed_) return;
  closed_ = true;
  FlushInstant();
  for (const auto& [pid, tid] : threads_) {
    BeginEvent();
    json_.Raw("{\"name\":\"thread_name\",\"ph\":\"M\",\"pid\":");
    json_.Int(pid);
    json_.Raw(",\"tid\":");
    json_.Int(tid);
    json_.Raw(",\"args\":{\"name\":");
    json_.String(tid == 0 ? std::string("unknown thread") : "thread " + std::to_string(tid));
    json_.Raw("}}");
  }
  json_.Raw("\n],\"displayTimeUnit\":\"ms\"}\n");
  json_.Flush();
}

}  // namespace jov::analyzer
