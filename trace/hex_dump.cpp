// hex_dump.cpp - HexDump: a block of memory written to the trace as dump lines with address,
// 16 bytes a line, after an empty line and the caller's title.
#include "trace/dump_internal.h"

void JOVDebug::HexDump(const void* bytes, unsigned long count, const wchar_t* title) {
  if (!TraceAnyActive()) return;

  // No lock of our own: each line is taken whole by InsertMsg, which is all a dump needs.
  InsertMsg(L"");
  if (title) InsertMsg(title);

  auto* p = static_cast<unsigned char*>(const_cast<void*>(bytes));
  wchar_t line[jov::trace::kLineWithAddress + 1];
  for (unsigned long left = count; left > 0;) {
    const unsigned long n = left < jov::trace::kBytesPerLine ? left : jov::trace::kBytesPerLine;
    HexStringLine(p, n, line, 1);
    line[jov::trace::kLineWithAddress] = L'\0';
    InsertMsg(line);
    p += n;
    left -= n;
  }
}
