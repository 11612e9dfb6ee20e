// json_out.cpp - the buffered JSON text of the chrome and report outputs.
#include "analyzer/outputs/json_out.h"

#include <fmt/format.h>

#include "analyzer/input/text_encoding.h"

namespace jov::analyzer {
namespace {

constexpr std::size_t kFlushBytes = 1 << 20;

}  // namespace

void JsonOut::MaybeFlush() {
  if (buffer_.size() >= kFlushBytes) Flush();
}

bool JsonOut::Flush() {
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) {
    failed_ = true;
  }
  buffer_.clear();
  return !failed_;
}

void JsonOut::Raw(std::string_view text) {
  buffer_ += text;
  MaybeFlush();
}

void JsonOut::String(std::string_view utf8) {
  buffer_ += '"';
  const std::size_t from = buffer_.size();
  AppendJsonEscaped(buffer_, utf8);
  // Escaping never writes "<" itself, so the text's own ones are the only ones here.
  if (embedding_ == Embedding::kInScript) {
    for (std::size_t at = buffer_.find('<', from); at != std::string::npos;
         at = buffer_.find('<', at)) {
      buffer_.replace(at, 1, "\\u003c");
    }
  }
  buffer_ += '"';
  MaybeFlush();
}

void JsonOut::Key(std::string_view name) {
  String(name);
  buffer_ += ':';
}

void JsonOut::Int(std::int64_t value) { fmt::format_to(std::back_inserter(buffer_), "{}", value); }

void JsonOut::Double(double value) { fmt::format_to(std::back_inserter(buffer_), "{}", value); }

void JsonOut::IntArray(const std::vector<std::int64_t>& values, bool delta) {
  buffer_ += '[';
  std::int64_t last = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) buffer_ += ',';
    Int(delta ? values[i] - last : values[i]);
    last = values[i];
    if ((i & 4095) == 4095) MaybeFlush();
  }
  buffer_ += ']';
  MaybeFlush();
}

}  // namespace jov::analyzer
