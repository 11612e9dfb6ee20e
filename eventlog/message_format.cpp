// message_format.cpp - turns a message record into its text: the insertion strings become
// the formatter's arguments for %1, %2 ...; outside the NT family the narrow formatter
// runs and its result is widened.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "JOVPlatform.h"
#include "JOVStrings.h"
#include "eventlog/eventlog_internal.h"

namespace jov::eventlog {

InsertionArgs CollectInsertions(const JOVMsg& msg) {
  InsertionArgs args;
  if (msg.cbInsertions == 0 || msg.pInsertions == nullptr) return args;
  args.reserve(5);  // most messages carry a handful of insertions
  // The list ends with an empty string; cbInsertions bounds the walk as well, so a list
  // whose final terminator went missing is not read past its block.
  const wchar_t* list = msg.pInsertions;
  // An exported block holds its list's offset, never a valid address (the lowest 64 KB are
  // never mapped), so such a block can be logged as well.
  if (reinterpret_cast<std::uintptr_t>(list) == sizeof(JOVMsg))
    list = reinterpret_cast<const wchar_t*>(reinterpret_cast<const unsigned char*>(&msg) +
                                            sizeof(JOVMsg));
  const wchar_t* p = list;
  const wchar_t* end = list + msg.cbInsertions / sizeof(wchar_t);
  while (p < end && *p != L'\0') {
    args.push_back(p);
    while (p < end && *p != L'\0') ++p;
    ++p;
  }
  // A list that starts with its empty string holds nothing to insert: no array then, as
  // for a record without a list.
  if (!args.empty()) args.push_back(nullptr);
  return args;
}

namespace {

constexpr DWORD kFromTextFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING |
                                 FORMAT_MESSAGE_ARGUMENT_ARRAY;  // 0x2500
constexpr DWORD kFromIdFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY;  // 0x2100
// The formatter allocates at least this many characters for its result.
constexpr DWORD kMinimumCharacters = 80;

// The formatter takes its argument array in the va_list* parameter. A record without
// insertions passes none at all: a placeholder in the text then makes the platform's
// formatter fail (invalid parameter) rather than read through a missing array, and the
// entry is not reported.
va_list* ArgumentArray(const void* const* pointers) {
  if (pointers == nullptr) return nullptr;
  return reinterpret_cast<va_list*>(const_cast<void**>(pointers));
}

void FormatWide(const JOVMsg& msg, const wchar_t* text, const InsertionArgs& args,
                MessageText& result) {
  wchar_t* buffer = nullptr;
  const DWORD count = ::FormatMessageW(
      text != nullptr ? kFromTextFlags : kFromIdFlags, text, msg.dwMsgId, 0,
      reinterpret_cast<LPWSTR>(&buffer), kMinimumCharacters,
      ArgumentArray(args.empty() ? nullptr : reinterpret_cast<const void* const*>(args.data())));
  if (count == 0) {
    if (buffer != nullptr) ::LocalFree(buffer);
    return;
  }
  result.Reset(buffer);
}

// Systems outside the NT family have only the narrow formatter. It reads %1 ... as narrow
// strings, so it gets narrow copies of the insertions; the wide ones would show only their
// first character.
void FormatNarrow(const JOVMsg& msg, const wchar_t* text, const InsertionArgs& args,
                  MessageText& result) {
  JOVString narrowSource(text != nullptr ? text : L"");
  const char* source = text != nullptr ? narrowSource.ANSIString() : nullptr;

  std::vector<JOVString, LibraryAllocator<JOVString>> narrowCopies;
  std::vector<const char*, LibraryAllocator<const char*>> narrowArgs;
  if (!args.empty()) {
    narrowCopies.reserve(args.size());
    narrowArgs.reserve(args.size());
    for (const wchar_t* insertion : args) {
      if (insertion == nullptr) break;
      narrowCopies.emplace_back(insertion);
      narrowArgs.push_back(narrowCopies.back().ANSIString());
    }
    narrowArgs.push_back(nullptr);
  }

  char* narrow = nullptr;
  const DWORD count = ::FormatMessageA(
      text != nullptr ? kFromTextFlags : kFromIdFlags, source, msg.dwMsgId, 0,
      reinterpret_cast<LPSTR>(&narrow), kMinimumCharacters,
      ArgumentArray(narrowArgs.empty() ? nullptr
                                       : reinterpret_cast<const void* const*>(narrowArgs.data())));
  if (count == 0) {
    if (narrow != nullptr) ::LocalFree(narrow);
    return;
  }
  // The whole narrow result, widened into (count + 1) characters.
  auto* wide = static_cast<wchar_t*>(::LocalAlloc(LMEM_FIXED, (count + 1) * sizeof(wchar_t)));
  if (wide != nullptr) {
    size_t converted = 0;
    if (::mbstowcs_s(&converted, wide, count + 1, narrow, _TRUNCATE) != 0) wide[0] = L'\0';
    if (wide[0] == L'\0') {  // nothing convertible: treat as no text
      ::LocalFree(wide);
      wide = nullptr;
    }
  }
  ::LocalFree(narrow);
  result.Reset(wide);
}

}  // namespace

void FormatMessageText(const JOVMsg& msg, const wchar_t* text, const InsertionArgs& args,
                       MessageText& result) {
  if (JOV_IsWinNT())
    FormatWide(msg, text, args, result);
  else
    FormatNarrow(msg, text, args, result);
}

}  // namespace jov::eventlog
