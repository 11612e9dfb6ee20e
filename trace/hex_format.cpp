// hex_format.cpp - the trace object's formatting members: bytes to hex digits, a 32-bit value
// to 8 digits, bytes to display characters, and the fixed-width dump line built from them.
#include <cstdint>
#include <cstring>

#include "JOVPlatform.h"
#include "trace/dump_internal.h"

static_assert(sizeof(void*) != 4 || JOVDebug::HexLineWithAddress == 64,
              "the 32-bit dump line with address is 64 characters");

namespace {

constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";

// The characters a dump shows as themselves: printable ASCII without "-" and "=", which
// would read like the trace's own separator lines.
constexpr wchar_t kDisplaySet[] =
    L" !\"#$%&'()*+,./"
    L"0123456789:;<>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
static_assert(sizeof(kDisplaySet) / sizeof(wchar_t) - 1 == 93, "the display set has 93 characters");

// The display set as a byte-indexed table, built once from the text above.
struct DisplayTable {
  bool shown[256] = {};
  constexpr DisplayTable() {
    for (const wchar_t* c = kDisplaySet; *c; ++c) shown[static_cast<unsigned char>(*c)] = true;
  }
};
constexpr DisplayTable kDisplayTable;

inline void ByteDigits(unsigned char byte, wchar_t* out) {
  out[0] = kHexDigits[byte >> 4];
  out[1] = kHexDigits[byte & 0x0F];
}

void BytesToDigits(const unsigned char* bytes, unsigned long count, wchar_t* out) {
  for (unsigned long i = 0; i < count; ++i) ByteDigits(bytes[i], out + 2 * i);
}

// `size` bytes of a value's storage as digits, most significant first, whichever way the
// machine orders them.
void ValueDigits(const void* value, unsigned size, wchar_t* out) {
  const auto* bytes = static_cast<const unsigned char*>(value);
  if (JOV_IsBigEndian()) {
    BytesToDigits(bytes, size, out);
    return;
  }
  for (unsigned i = 0; i < size; ++i) ByteDigits(bytes[size - 1 - i], out + 2 * i);
}

}  // namespace

void FormatAddress(const void* p, wchar_t* out) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(p);
  ValueDigits(&value, sizeof value, out);
}

void JOVDebug::HexString(const void* bytes, unsigned long count, wchar_t* out) {
  BytesToDigits(static_cast<const unsigned char*>(bytes), count, out);
}

JOVString JOVDebug::HexString(const void* bytes, unsigned long count) {
  JOVString text;
  // A string cannot hold more than 32 bits of characters; beyond that the answer is empty,
  // as it is when no memory can be had.
  if (count == 0 || count > 0x7FFFFFFCu / 2) return text;
  try {
    text.reserve(static_cast<unsigned>(count * 2));
    // Converted in slices through a small buffer, so only the one reservation allocates.
    const auto* p = static_cast<const unsigned char*>(bytes);
    wchar_t slice[128];
    for (unsigned long done = 0; done < count;) {
      const unsigned long n = count - done < 64 ? count - done : 64;
      BytesToDigits(p + done, n, slice);
      text.append(slice, static_cast<unsigned>(n * 2));
      done += n;
    }
  } catch (...) {
    text.erase();
  }
  return text;
}

void JOVDebug::HexStringForDWORD(unsigned long value, wchar_t* out) {
  const std::uint32_t v = static_cast<std::uint32_t>(value);
  ValueDigits(&v, sizeof v, out);
}

JOVString JOVDebug::HexStringForDWORD(unsigned long value) {
  wchar_t digits[8];
  HexStringForDWORD(value, digits);
  try {
    return JOVString(digits, 8u);
  } catch (...) {
    return JOVString();
  }
}

void JOVDebug::DisplayChars(wchar_t* out, unsigned char* bytes, unsigned long count) {
  for (unsigned long i = 0; i < count; ++i)
    out[i] = kDisplayTable.shown[bytes[i]] ? static_cast<wchar_t>(bytes[i]) : L'.';
}

void JOVDebug::HexStringLine(unsigned char* bytes, unsigned long count, wchar_t* out,
                             int withAddress) {
  using namespace jov::trace;
  wchar_t* p = out;
  if (withAddress) {
    FormatAddress(bytes, p);
    p += kAddressDigits;
    *p++ = L' ';
    *p++ = L' ';
  }
  if (count > kBytesPerLine) count = kBytesPerLine;

  wchar_t display[kDisplayArea];
  for (wchar_t& c : display) c = L' ';
  if (count < kBytesPerLine)
    for (unsigned i = 0; i < kHexArea; ++i) p[i] = L' ';

  // Groups of 4 bytes, each 8 digits and a blank; a last, short group has only its digits.
  unsigned long done = 0;
  while (done < count) {
    const unsigned long n = count - done < 4 ? count - done : 4;
    BytesToDigits(bytes + done, n, p);
    DisplayChars(display + done, bytes + done, n);
    p += 2 * n;
    done += n;
    if (n < 4) break;
    *p++ = L' ';
  }

  p = out + (withAddress ? kAddressDigits + 2 : 0) + kHexArea;
  *p++ = L'*';
  std::memcpy(p, display, sizeof display);
  p += kDisplayArea;
  *p = L'*';
}
