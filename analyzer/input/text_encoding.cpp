// text_encoding.cpp - narrow text to UTF-8 (valid UTF-8 kept, else Windows-1252) and JSON
// string escaping.
#include "analyzer/input/text_encoding.h"

#include <cstdint>

namespace jov::analyzer {
namespace {

// Windows-1252 bytes 0x80..0x9F; 0 where the code page defines no character.
constexpr std::uint16_t kHighControls[32] = {
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

// Whether `s` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
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

}  // namespace

void AppendUtf8(std::string& out, std::string_view narrow) {
  bool ascii = true;
  for (const char c : narrow) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii || IsUtf8(narrow)) {
    out.append(narrow);
    return;
  }
  for (const char ch : narrow) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else if (c < 0xA0) {
      const std::uint16_t mapped = kHighControls[c - 0x80];
      AppendCodePoint(out, mapped != 0 ? mapped : 0xFFFD);
    } else {
      AppendCodePoint(out, c);
    }
  }
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
