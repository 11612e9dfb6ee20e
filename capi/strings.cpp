// strings.cpp - the C interface's string functions on plain arrays: caseless match and
// compare, delimited-field parsing and replace-all.
#include <cwchar>

#include "capi/capi_internal.h"

using jov::capi::CopyOut;
using jov::capi::LengthShell;
using jov::capi::Shell;

extern "C" {

int32_t JOVC_CALL jovc_match_caseless(const wchar_t* a, const wchar_t* b) {
  // Measures with lstrlenW and reads nothing else: cannot throw.
  return JOV_MatchCaseless(a, b);
}

JOVC_RESULT JOVC_CALL jovc_compare_caseless(const wchar_t* a, const wchar_t* b, int32_t* order) {
  if (a == nullptr || b == nullptr || order == nullptr) return JOVC_ERR_NULL;
  return Shell([&] {
    *order = JOV_CompareCaseless(JOVString(a), JOVString(b));
    return JOVC_OK;
  });
}

int32_t JOVC_CALL jovc_parse_field(wchar_t* source, const wchar_t* delimiters, wchar_t* field,
                                   uint32_t capacity, int32_t wholeDelimiter, int32_t trimBlanks) {
  if (source == nullptr) return -JOVC_ERR_NULL;
  if (field == nullptr && capacity != 0) return -JOVC_ERR_NULL;
  return LengthShell([&] {
    // Parsed on copies, so that the source changes only when the field is handed out.
    JOVString list(static_cast<const wchar_t*>(source));
    JOVString taken;
    JOV_ParseDelimitedString(list, delimiters, taken, wholeDelimiter, trimBlanks);
    const std::int32_t size = CopyOut(taken, field, capacity);
    // The list only loses characters, so it fits where the source was.
    if (size > 0 && static_cast<std::uint32_t>(size) <= capacity) {
      std::wmemcpy(source, list.c_str(), list.size() + std::size_t{1});
    }
    return size;
  });
}

int32_t JOVC_CALL jovc_replace_all(wchar_t* buffer, uint32_t capacity, const wchar_t* findText,
                                   const wchar_t* replaceText, uint32_t maxReplacements,
                                   uint32_t* count) {
  if (count != nullptr) *count = 0;
  if (buffer == nullptr) return -JOVC_ERR_NULL;
  if (findText == nullptr || *findText == L'\0') return -JOVC_ERR_ARGUMENT;
  return LengthShell([&] {
    JOVString text(static_cast<const wchar_t*>(buffer));
    unsigned long made = 0;
    if (JOV_ReplaceString(text, findText, replaceText != nullptr ? replaceText : L"", &made, 0,
                          maxReplacements) != 0) {
      return -JOVC_ERR_ARGUMENT;
    }
    const std::size_t size = text.size() + std::size_t{1};
    if (size > 0x7FFFFFFFu) return -JOVC_ERR_INTERNAL;
    // Unlike CopyOut, a buffer too small keeps the caller's text.
    if (size <= capacity) {
      std::wmemcpy(buffer, text.c_str(), size);
      if (count != nullptr) *count = static_cast<std::uint32_t>(made);
    }
    return static_cast<std::int32_t>(size);
  });
}

}  // extern "C"
