// text_encoding.h - the trace's narrow text as UTF-8, and UTF-8 as a JSON string.
#pragma once

#include <string>
#include <string_view>

namespace jov::analyzer {

// Appends `narrow` to `out` as UTF-8. The trace is written in the writer's ANSI code page,
// which the file does not name: text that is valid UTF-8 already (a writer whose code page
// is UTF-8, or plain ASCII) passes unchanged; anything else is read as Windows-1252, the
// ANSI code page of Western European systems (bytes it leaves undefined become U+FFFD).
void AppendUtf8(std::string& out, std::string_view narrow);

// Appends `utf8` as the body of a JSON string (without the quotes): quote, backslash and
// control characters escaped.
void AppendJsonEscaped(std::string& out, std::string_view utf8);

}  // namespace jov::analyzer
