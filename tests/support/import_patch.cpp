// import_patch.cpp - walks a module's import descriptors to swap one table entry.
#include "support/import_patch.h"

#include <gtest/gtest.h>

#include <cstring>

namespace jovtest {

ScopedImportPatch::ScopedImportPatch(const char* function, const void* replacement,
                                     HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports);
  for (; imports && desc->Name && !slot_; ++desc) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData && !slot_; ++names, ++slots) {
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
          !std::strcmp(reinterpret_cast<char*>(byName->Name), function))
        slot_ = reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  if (!slot_) ADD_FAILURE() << "the module does not import " << function;
  original_ = slot_ ? *slot_ : nullptr;
  Write(const_cast<void*>(replacement));
}

void ScopedImportPatch::Write(void* value) {
  DWORD protect = 0;
  if (!slot_ || !::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protect)) return;
  *slot_ = value;
  ::VirtualProtect(slot_, sizeof *slot_, protect, &protect);
}

}  // namespace jovtest
