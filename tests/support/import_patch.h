// import_patch.h - replaces one platform import of JOVUtil32.dll for a test's scope.
//
// The test rewrites the DLL's import address table entry for a named function, so that the
// library's next call goes to the replacement; the destructor puts the original back. The
// library itself needs no test hooks.
#pragma once

#include <windows.h>

namespace jovtest {

// The loaded JOVUtil32.dll.
inline HMODULE LibraryModule() { return ::GetModuleHandleW(L"JOVUtil32.dll"); }

class ScopedImportPatch {
 public:
  // Replaces JOVUtil32.dll's import of `function` (or `module`'s, when given) with
  // `replacement`. Fails the current test (ADD_FAILURE) when the module does not import it.
  ScopedImportPatch(const char* function, const void* replacement,
                    HMODULE module = LibraryModule());
  // The same for a replacement of the import's own type; with `real`, the function the DLL
  // called before is stored there for the replacement to pass calls on.
  template <typename F>
  ScopedImportPatch(const char* function, F* replacement, F** real = nullptr)
      : ScopedImportPatch(function, reinterpret_cast<const void*>(replacement)) {
    if (real != nullptr) *real = original<F*>();
  }
  ~ScopedImportPatch() { Write(original_); }
  ScopedImportPatch(const ScopedImportPatch&) = delete;
  ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;

  // The function the DLL called before the patch, for replacements that pass calls on.
  template <typename F>
  F original() const {
    return reinterpret_cast<F>(original_);
  }

 private:
  void Write(void* value);
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace jovtest
