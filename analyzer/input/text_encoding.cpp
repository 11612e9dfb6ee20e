// text_encoding.cpp - the trace's narrow text decoded to UTF-8 (valid UTF-8 kept, else the
// writer's code page, read through a table or the system's converter), and JSON escaping.
#include "analyzer/input/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cerrno>
#include <memory>

namespace jov::analyzer {
namespace {

constexpr std::uint16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; 0 where the code page defines no character.
constexpr std::uint16_t kHighControls1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendCodePoint(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool IsAscii(std::string_view s) {
  // Eight bytes at a time: the names, details and texts of most traces are ASCII.
  const char* p = s.data();
  const char* const end = p + s.size();
  for (; end - p >= 8; p += 8) {
    std::uint64_t word;
    __builtin_memcpy(&word, p, 8);
    if (word & 0x8080808080808080ull) return false;
  }
  for (; p < end; ++p)
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  return true;
}

namespace {

// One byte's or one string's conversion by the system. A byte of a multi-byte page that only
// starts a character reports kLeadByte.
enum class ByteResult { kChar, kUndefined, kLeadByte };

#ifdef _WIN32

bool SystemKnows(unsigned codePage) { return ::IsValidCodePage(codePage) != 0; }

ByteResult SystemByte(unsigned codePage, unsigned char byte, std::uint16_t& value) {
  if (::IsDBCSLeadByteEx(codePage, byte)) return ByteResult::kLeadByte;
  wchar_t wide[2];
  const char narrow = static_cast<char>(byte);
  if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &narrow, 1, wide, 2) != 1)
    return ByteResult::kUndefined;
  value = static_cast<std::uint16_t>(wide[0]);
  return ByteResult::kChar;
}

void SystemAppend(unsigned codePage, std::string& out, std::string_view bytes) {
  const int size = static_cast<int>(bytes.size());
  const int wideSize = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), wideSize);
  const int utf8Size =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(utf8Size));
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, out.data() + at, utf8Size, nullptr,
                        nullptr);
}

#else

// glibc names the Windows code pages "CP" and their number.
std::string IconvName(unsigned codePage) { return "CP" + std::to_string(codePage); }

struct IconvCloser {
  void operator()(void* cd) const { ::iconv_close(static_cast<iconv_t>(cd)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter OpenConverter(unsigned codePage) {
  const iconv_t cd = ::iconv_open("UTF-8", IconvName(codePage).c_str());
  return Converter(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

bool SystemKnows(unsigned codePage) { return OpenConverter(codePage) != nullptr; }

// Converts as much of `in` as forms whole characters; false on a byte the page leaves
// undefined (or one that only starts a character, with `incomplete` set).
bool Convert(iconv_t cd, const char*& in, std::size_t& inLeft, std::string& out, bool& incomplete) {
  char buffer[256];
  for (;;) {
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    const std::size_t done = ::iconv(cd, const_cast<char**>(&in), &inLeft, &to, &toLeft);
    out.append(buffer, static_cast<std::size_t>(to - buffer));
    if (done != static_cast<std::size_t>(-1)) return true;
    if (errno == E2BIG) continue;
    incomplete = errno == EINVAL;
    return false;
  }
}

ByteResult SystemByte(unsigned codePage, unsigned char byte, std::uint16_t& value) {
  const Converter cd = OpenConverter(codePage);
  const char narrow = static_cast<char>(byte);
  const char* in = &narrow;
  std::size_t left = 1;
  std::string utf8;
  bool incomplete = false;
  if (!Convert(static_cast<iconv_t>(cd.get()), in, left, utf8, incomplete))
    return incomplete ? ByteResult::kLeadByte : ByteResult::kUndefined;
  const auto* u = reinterpret_cast<const unsigned char*>(utf8.data());
  if (utf8.size() == 2) {
    value = static_cast<std::uint16_t>(((u[0] & 0x1F) << 6) | (u[1] & 0x3F));
  } else if (utf8.size() == 3) {
    value =
        static_cast<std::uint16_t>(((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F));
  } else if (utf8.size() == 1) {
    value = u[0];
  } else {
    return ByteResult::kUndefined;
  }
  return ByteResult::kChar;
}

void SystemAppend(unsigned codePage, std::string& out, std::string_view bytes) {
  // One converter per thread and code page: opening one costs more than most texts.
  thread_local unsigned openPage = 0;
  thread_local Converter cd;
  if (openPage != codePage || cd == nullptr) {
    cd = OpenConverter(codePage);
    openPage = codePage;
  }
  const char* in = bytes.data();
  std::size_t left = bytes.size();
  while (left != 0) {
    bool incomplete = false;
    if (Convert(static_cast<iconv_t>(cd.get()), in, left, out, incomplete)) break;
    // An undefined byte, or a character cut at the end: one replacement, then on.
    AppendCodePoint(out, kReplacement);
    ++in;
    --left;
    ::iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
  }
}

#endif

}  // namespace

bool IsUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    const unsigned c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int more;
    std::uint32_t value;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      value = c & 0x07;
    } else {
      return false;
    }
    if (end - p <= more) return false;
    for (int i = 1; i <= more; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      value = (value << 6) | (p[i] & 0x3F);
    }
    if ((more == 2 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
        (more == 3 && (value < 0x10000 || value > 0x10FFFF))) {
      return false;
    }
    p += more + 1;
  }
  return true;
}

TextDecoder::TextDecoder() {
  for (unsigned byte = 0x80; byte < 0x100; ++byte) {
    const std::uint16_t mapped = byte < 0xA0 ? kHighControls1252[byte - 0x80] : byte;
    upper_[byte - 0x80] = mapped != 0 ? mapped : kReplacement;
  }
}

bool TextDecoder::ForCodePage(unsigned codePage, TextDecoder& decoder, std::string& error) {
  decoder = TextDecoder();
  if (codePage == kDefaultCodePage) return true;
  if (codePage == 65001) {  // UTF-8 itself: invalid bytes become replacements
    decoder.codePage_ = codePage;
    decoder.upper_.fill(kReplacement);
    return true;
  }
  if (!SystemKnows(codePage)) {
    error = "code page " + std::to_string(codePage) + " is not known to this system";
    return false;
  }
  decoder.codePage_ = codePage;
  for (unsigned byte = 0x80; byte < 0x100; ++byte) {
    std::uint16_t value = kReplacement;
    switch (SystemByte(codePage, static_cast<unsigned char>(byte), value)) {
      case ByteResult::kChar:
        break;
      case ByteResult::kUndefined:
        value = kReplacement;
        break;
      case ByteResult::kLeadByte:
        decoder.multiByte_ = true;
        break;
    }
    decoder.upper_[byte - 0x80] = value;
  }
  return true;
}

void TextDecoder::Append(std::string& out, std::string_view bytes) const {
  if (!NeedsDecoding(bytes)) {
    out.append(bytes);
    return;
  }
  if (multiByte_) {
    SystemAppend(codePage_, out, bytes);
    return;
  }
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      AppendCodePoint(out, upper_[c - 0x80]);
    }
  }
}

std::string_view TextDecoder::View(std::string_view bytes, std::string& scratch) const {
  if (!NeedsDecoding(bytes)) return bytes;
  scratch.clear();
  Append(scratch, bytes);
  return scratch;
}

void AppendJsonEscaped(std::string& out, std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += ch;
        }
    }
  }
}

}  // namespace jov::analyzer
