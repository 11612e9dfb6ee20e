// text_encoding.h - the one place where the trace's bytes become UTF-8: the writer's ANSI code
// page decoded, and UTF-8 escaped as the body of a JSON string.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace jov::analyzer {

// The code page the library writes its traces in is the ANSI code page of the machine it ran
// on, which the file does not record. Without a word from the user it is taken to be
// Windows-1252, the ANSI code page of Western European systems.
inline constexpr unsigned kDefaultCodePage = 1252;

// Whether every byte of `bytes` is below 0x80.
bool IsAscii(std::string_view bytes);
// Whether `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF); pure ASCII is.
bool IsUtf8(std::string_view bytes);

// Decodes the trace's narrow text. Text that is valid UTF-8 already (plain ASCII, or a writer
// whose code page is UTF-8) passes unchanged: a file that is UTF-8 throughout stays as it is.
// Anything else is read in the code page: single-byte pages through a table of their upper
// half, built once; multi-byte pages (932, 936, 949, 950) through the system's converter.
// Bytes the code page leaves undefined become U+FFFD.
class TextDecoder {
 public:
  // Windows-1252, which needs nothing of the system.
  TextDecoder();
  // A decoder for `codePage`; false, with `error` set, when this system cannot convert it.
  static bool ForCodePage(unsigned codePage, TextDecoder& decoder, std::string& error);

  // Whether `bytes` must be decoded: neither ASCII nor valid UTF-8.
  static bool NeedsDecoding(std::string_view bytes) { return !IsAscii(bytes) && !IsUtf8(bytes); }
  // Appends `bytes` to `out` as UTF-8.
  void Append(std::string& out, std::string_view bytes) const;
  // `bytes` as UTF-8: the view itself when it needs no decoding, else `scratch` holding the
  // decoded text (replaced).
  std::string_view View(std::string_view bytes, std::string& scratch) const;
  unsigned CodePage() const { return codePage_; }

 private:
  unsigned codePage_ = kDefaultCodePage;
  bool multiByte_ = false;
  // Code points of the bytes 0x80..0xFF of a single-byte page; 0xFFFD where undefined.
  std::array<std::uint16_t, 128> upper_{};
};

// Appends `utf8` as the body of a JSON string (without the quotes): quote, backslash and
// control characters escaped.
void AppendJsonEscaped(std::string& out, std::string_view utf8);

}  // namespace jov::analyzer
