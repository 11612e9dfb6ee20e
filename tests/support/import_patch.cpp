// import_patch.cpp - walks a module's import descriptors to swap one table entry.
#include "support/import_patch.h"

#include <gtest/gtest.h>

#include <cstring>

namespace jovtest {
namespace {

// The import address table slot through which `module` calls `function`, or null.
void** FindSlot(HMODULE module, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports);
  for (; imports && desc->Name; ++desc) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

void WriteSlot(void** slot, const void* value) {
  DWORD protect = 0;
  ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protect);
  *slot = const_cast<void*>(value);
  ::VirtualProtect(slot, sizeof *slot, protect, &protect);
}

}  // namespace

HMODULE LibraryModule() { return ::GetModuleHandleW(L"JOVUtil32.dll"); }

bool ReplaceImport(HMODULE module, const char* function, const void* replacement) {
  void** slot = FindSlot(module, function);
  if (slot) WriteSlot(slot, replacement);
  return slot != nullptr;
}

ScopedImportPatch::ScopedImportPatch(const char* function, const void* replacement, HMODULE module)
    : slot_(FindSlot(module ? module : LibraryModule(), function)) {
  if (!slot_) {
    ADD_FAILURE() << "the module does not import " << function;
    return;
  }
  original_ = *slot_;
  WriteSlot(slot_, replacement);
}

ScopedImportPatch::~ScopedImportPatch() {
  if (slot_) WriteSlot(slot_, original_);
}

}  // namespace jovtest
