// platform_entries.cpp - decides whether an imported networking entry may be called: some
// platforms export placeholders for calls they do not implement that end the process.
//
// Wine exports every function its libraries do not implement (NetDfsGetInfo of netapi32
// among them) as a small generated placeholder that calls a shared routine raising the
// non-continuable exception 0x80000100; nothing can be returned from it. The library must
// not call such an entry, so before each networking call it looks at the entry's code:
//   - only when ntdll exports wine_get_version, so on Windows the check is skipped and
//     every call is made as imported;
//   - the placeholder is recognised by what it does (a near call, within its first bytes,
//     to a routine that loads the constant 0x80000100), not by a list of names, so a Wine
//     release that implements a call gets it called, and a replacement installed in the
//     import table (a debugger, a test) is judged on its own code;
//   - all bytes read lie inside an executable section of the module that holds the entry,
//     so the inspection itself cannot fault.
// Not recognised (a relay thunk in front of the placeholder, a changed code generator):
// the entry counts as implemented and is called, as it would be without this check.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "names/names_internal.h"

namespace jov::names {
namespace {

constexpr std::uint32_t kWineStubException = 0x80000100;
// The placeholders put their call 18 (x86-64) or 27 (i386) bytes in; the shared routine
// loads the exception code 0x2F (x86-64) or 0x47 (i386) bytes in.
constexpr std::size_t kEntryWindow = 48;
constexpr std::size_t kRoutineWindow = 128;

bool RunningOnWine() {
  static const bool onWine = [] {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return onWine;
}

// An executable section of a loaded module: [begin, end).
struct CodeRange {
  const BYTE* begin = nullptr;
  const BYTE* end = nullptr;
  bool Holds(const BYTE* p, std::size_t n) const {
    return p >= begin && p <= end && static_cast<std::size_t>(end - p) >= n;
  }
};

// The executable section of the module loaded at `module` that contains `address`.
CodeRange CodeSectionOf(HMODULE module, const BYTE* address) {
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return {};
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return {};
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (!(section->Characteristics & IMAGE_SCN_MEM_EXECUTE)) continue;
    const BYTE* begin = base + section->VirtualAddress;
    const BYTE* end = begin + section->Misc.VirtualSize;
    if (address >= begin && address < end) return {begin, end};
  }
  return {};
}

// True when the routine at `routine` loads the placeholder's exception code.
bool RaisesStubException(const CodeRange& code, const BYTE* routine) {
  if (!code.Holds(routine, kRoutineWindow)) return false;
  for (std::size_t i = 0; i + sizeof kWineStubException <= kRoutineWindow; ++i) {
    std::uint32_t value;
    std::memcpy(&value, routine + i, sizeof value);
    if (value == kWineStubException) return true;
  }
  return false;
}

bool IsWinePlaceholder(const BYTE* entry) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(entry), &module))
    return false;
  const CodeRange code = CodeSectionOf(module, entry);
  if (!code.begin) return false;
  const std::size_t window =
      code.Holds(entry, kEntryWindow) ? kEntryWindow : static_cast<std::size_t>(code.end - entry);
  // A near call is E8 and a 32-bit displacement from the next instruction.
  for (std::size_t i = 0; i + 5 <= window; ++i) {
    if (entry[i] != 0xE8) continue;
    std::int32_t displacement;
    std::memcpy(&displacement, entry + i + 1, sizeof displacement);
    const BYTE* target = entry + i + 5 + displacement;
    if (RaisesStubException(code, target)) return true;
  }
  return false;
}

}  // namespace

const void* FollowImportThunk(const void* thunk) {
  const auto* code = static_cast<const BYTE*>(thunk);
  if (!code || code[0] != 0xFF || code[1] != 0x25) return thunk;  // jmp [slot]
  std::int32_t operand;
  std::memcpy(&operand, code + 2, sizeof operand);
#if defined(_WIN64)
  // The slot is addressed relative to the end of the 6-byte instruction.
  const auto* slot = reinterpret_cast<const void* const*>(code + 6 + operand);
#else
  const auto* slot = reinterpret_cast<const void* const*>(
      static_cast<std::uintptr_t>(static_cast<std::uint32_t>(operand)));
#endif
  return *slot;
}

bool PlatformImplements(const void* entry) {
  if (!entry) return false;
  if (!RunningOnWine()) return true;
  return !IsWinePlaceholder(static_cast<const BYTE*>(entry));
}

}  // namespace jov::names
