// string_bench.cpp - JOVString and the replacement function beside std::wstring doing the
// same work: assignment, appending with and without a reserve, search, comparison,
// trimming and replace-all. Times in ns per operation, lower is better.
#include <algorithm>
#include <string>

#include <JOVUtil.h>

#include "bench_harness.h"

namespace {

template <typename Ours, typename Peer>
jov::bench::Row Compare(Ours&& ours, Peer&& peer, long iterations, const char* peerName) {
  return jov::bench::CompareNanoseconds(ours, peer, iterations, 7, peerName);
}

// Letters from a 26-letter alphabet, reproducible.
std::wstring Letters(size_t count, unsigned seed) {
  std::wstring text(count, L'a');
  for (auto& c : text) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<wchar_t>(L'a' + (seed >> 16) % 26);
  }
  return text;
}

}  // namespace

// A string that already has room: the assignment itself is measured.
JOV_BENCH_ROW(str_assign64) {
  const std::wstring source = Letters(64, 1);
  JOVString ours;
  std::wstring peer;
  ours.reserve(128);
  peer.reserve(128);
  return Compare(
      [&] {
        ours.assign(source.c_str(), 64u);
        jov::bench::KeepAlive(ours);
      },
      [&] {
        peer.assign(source.c_str(), 64);
        jov::bench::KeepAlive(peer);
      },
      200000, "std::wstring::assign");
}

// The same without a reserve: 64 characters fill a 64-character capacity exactly, and
// the growth rule renews storage that a new length reaches, so every call reallocates.
JOV_BENCH_ROW(str_assign64_renewing) {
  const std::wstring source = Letters(64, 1);
  JOVString ours;
  std::wstring peer;
  return Compare(
      [&] {
        ours.assign(source.c_str(), 64u);
        jov::bench::KeepAlive(ours);
      },
      [&] {
        peer.assign(source.c_str(), 64);
        jov::bench::KeepAlive(peer);
      },
      100000, "std::wstring::assign");
}

namespace {
jov::bench::Row AppendRow(bool reserveFirst) {
  constexpr unsigned kCount = 10000;
  auto ours = [reserveFirst] {
    JOVString s;
    if (reserveFirst) s.reserve(kCount);
    for (unsigned i = 0; i < kCount; ++i) s += L'x';
    jov::bench::KeepAlive(s);
  };
  auto peer = [reserveFirst] {
    std::wstring s;
    if (reserveFirst) s.reserve(kCount);
    for (unsigned i = 0; i < kCount; ++i) s += L'x';
    jov::bench::KeepAlive(s);
  };
  jov::bench::Row row = Compare(ours, peer, reserveFirst ? 200 : 20, "std::wstring +=");
  row.ours /= kCount;  // per character appended
  row.peer /= kCount;
  return row;
}
}  // namespace

JOV_BENCH_ROW(str_append_reserved) { return AppendRow(true); }
JOV_BENCH_ROW(str_append_unreserved) { return AppendRow(false); }

JOV_BENCH_ROW(str_find64K) {
  std::wstring text = Letters(65536 - 5, 2) + L"QWXYZ";
  const JOVString ours(text.c_str(), static_cast<unsigned>(text.size()));
  return Compare([&] { jov::bench::KeepAlive(ours.find(L"QWXYZ", 0u, 5u)); },
                 [&] { jov::bench::KeepAlive(text.find(L"QWXYZ", 0, 5)); }, 200,
                 "std::wstring::find");
}

JOV_BENCH_ROW(str_compare4K) {
  const std::wstring a = Letters(4096, 3), b = a;
  const JOVString oa(a.c_str(), 4096u), ob(b.c_str(), 4096u);
  return Compare([&] { jov::bench::KeepAlive(oa.compare(ob)); },
                 [&] { jov::bench::KeepAlive(a.compare(b)); }, 20000, "std::wstring::compare");
}

JOV_BENCH_ROW(str_trim1K) {
  const std::wstring padded = std::wstring(100, L' ') + Letters(824, 4) + std::wstring(100, L' ');
  JOVString ours;
  std::wstring peer;
  // Each call restores the padded text (same work on both sides) and trims it; the room
  // reserved keeps the restore from renewing storage that 1024 characters would fill.
  ours.reserve(2048);
  peer.reserve(2048);
  return Compare(
      [&] {
        ours.assign(padded.c_str(), 1024u);
        ours.Trim();
        jov::bench::KeepAlive(ours);
      },
      [&] {
        peer.assign(padded.c_str(), 1024);
        peer.erase(peer.find_last_not_of(L' ') + 1);
        peer.erase(0, peer.find_first_not_of(L' '));
        jov::bench::KeepAlive(peer);
      },
      20000, "std::wstring find_*_not_of + erase");
}

JOV_BENCH_ROW(str_replace64K) {
  // Lines of 78 letters and a line break, as the trace writer replaces them.
  std::wstring text;
  while (text.size() + 80 <= 65536)
    text += Letters(78, static_cast<unsigned>(text.size())) + L"\r\n";
  text += Letters(65536 - text.size(), 5);
  JOVString ours;
  std::wstring peer;
  return Compare(
      [&] {
        ours.assign(text.c_str(), static_cast<unsigned>(text.size()));
        unsigned long count = 0;
        JOV_ReplaceString(ours, L"\r\n", L" | ", &count, 0, 0);
        jov::bench::KeepAlive(ours);
      },
      [&] {
        peer = text;
        for (size_t at = peer.find(L"\r\n"); at != std::wstring::npos;
             at = peer.find(L"\r\n", at + 3))
          peer.replace(at, 2, L" | ");
        jov::bench::KeepAlive(peer);
      },
      20, "std::wstring find + replace loop");
}
