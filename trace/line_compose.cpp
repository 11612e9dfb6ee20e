// line_compose.cpp - a time-prefixed line from the caller's text: the text measured (its
// length and line feeds) before the lock is taken, and the line composed in lineBuffer's own
// storage in one pass.
#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <stdexcept>

#include "trace/trace_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define JOV_TEXT_BLOCKS 1
#define JOV_SSE2_TARGET __attribute__((target("sse2")))
#endif

namespace {

JOVTraceAccess::LineText MeasureByCharacter(const wchar_t* text) {
  unsigned long long lineFeeds = 0;
  const wchar_t* at = text;
  for (; *at != L'\0'; ++at) lineFeeds += (*at == L'\n') ? 1 : 0;
  return {text, static_cast<unsigned long long>(at - text), lineFeeds};
}

#if JOV_TEXT_BLOCKS
// Line feeds among the characters whose byte lanes are set in `lanes` (two per character).
unsigned long long CountLanes(unsigned lanes) {
  unsigned long long count = 0;
  for (; lanes != 0; lanes &= lanes - 1) ++count;
  return count / 2;
}

// Eight characters at a time. Every load is a whole 16-byte aligned block, which never
// crosses a page, so reading the block's bytes before the text or after its terminator
// cannot fault; those lanes are masked off.
JOV_SSE2_TARGET JOVTraceAccess::LineText MeasureByBlock(const wchar_t* text) {
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(text);
  const auto* block = reinterpret_cast<const __m128i*>(address & ~std::uintptr_t{15});
  unsigned inText = 0xFFFFu << (address & 15);
  const __m128i zero = _mm_setzero_si128();
  const __m128i feed = _mm_set1_epi16(L'\n');
  unsigned long long lineFeeds = 0;
  for (;; ++block, inText = 0xFFFFu) {
    const __m128i chars = _mm_load_si128(block);
    const unsigned ends =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(chars, zero))) & inText;
    unsigned feeds =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(chars, feed))) & inText;
    if (ends != 0) {
      const unsigned endByte = static_cast<unsigned>(__builtin_ctz(ends));
      lineFeeds += CountLanes(feeds & ((1u << endByte) - 1));
      const auto* end =
          reinterpret_cast<const wchar_t*>(reinterpret_cast<const unsigned char*>(block) + endByte);
      return {text, static_cast<unsigned long long>(end - text), lineFeeds};
    }
    if (feeds != 0) lineFeeds += CountLanes(feeds);
  }
}

bool BlocksAvailable() {
#if defined(__x86_64__)
  return true;
#else
  static const bool available = ::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0;
  return available;
#endif
}
#endif

void Fill(wchar_t* out, unsigned long long count, wchar_t c) {
  for (unsigned long long i = 0; i < count; ++i) out[i] = c;
}

}  // namespace

JOVTraceAccess::LineText JOVTraceAccess::MeasureText(const wchar_t* text) {
#if JOV_TEXT_BLOCKS
  // A text at an odd address would put characters across the 16-bit lanes.
  if ((reinterpret_cast<std::uintptr_t>(text) & 1) == 0 && BlocksAvailable())
    return MeasureByBlock(text);
#endif
  return MeasureByCharacter(text);
}

void JOVTraceAccess::ComposeLine(JOVString& line, const wchar_t* prefix, unsigned prefixLength,
                                 unsigned long long indentation, const LineText& text) {
  const unsigned long long textColumn = prefixLength + 1ULL + indentation;
  const unsigned long long continuation = textColumn + jov::trace::format::kContinuationIndent;
  // Each term is checked against the limit before they are added, so the sum cannot wrap.
  const unsigned long long limit = line.max_size();
  if (textColumn >= limit || text.length >= limit ||
      (text.lineFeeds != 0 && continuation > limit / text.lineFeeds))
    throw std::length_error("JOVString::_Grow invalid length parameter");
  const unsigned long long total = textColumn + text.length + text.lineFeeds * continuation + 2;
  if (total >= limit) throw std::length_error("JOVString::_Grow invalid length parameter");
  line.reserve(static_cast<unsigned>(total));

  wchar_t* out = line.begin();
  std::wmemcpy(out, prefix, prefixLength);
  out += prefixLength;
  *out++ = L' ';
  Fill(out, indentation, L' ');
  out += indentation;
  // The text was measured before the lock: nothing here reads past the measured end, even
  // if its owner changed it meanwhile.
  const wchar_t* from = text.chars;
  const wchar_t* const end = text.chars + text.length;
  for (unsigned long long feeds = text.lineFeeds; feeds > 0; --feeds) {
    const wchar_t* feed = std::find(from, end, L'\n');
    if (feed == end) break;
    std::wmemcpy(out, from, static_cast<size_t>(feed - from));
    out += feed - from;
    *out++ = L'\n';
    Fill(out, continuation, L' ');
    out += continuation;
    from = feed + 1;
  }
  std::wmemcpy(out, from, static_cast<size_t>(end - from));
  out += end - from;
  *out++ = L'\r';
  *out++ = L'\n';
  *out = L'\0';
  line.SetSize(static_cast<unsigned>(out - line.begin()));
}
