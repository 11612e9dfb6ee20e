// strings.cpp - the C interface's string functions on plain arrays: caseless match and
// compare, delimited-field parsing and replace-all.
#include <cwchar>

#include "capi/capi_internal.h"

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

JOVC_RESULT JOVC_CALL jovc_parse_field(wchar_t* source, const wchar_t* delimiters, wchar_t* field,
                                       uint32_t capacity, int32_t wholeDelimiter,
                                       int32_t trimBlanks) {
  if (source == nullptr || field == nullptr) return JOVC_ERR_NULL;
  // The C++ form writes up to the source's length plus one characters into the field.
  if (capacity <= std::wcslen(source)) return JOVC_ERR_BUFFER_TOO_SMALL;
  return Shell([&] {
    JOV_ParseDelimitedString(source, delimiters, field, wholeDelimiter, trimBlanks);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_replace_all(wchar_t* buffer, uint32_t* capacity, const wchar_t* findText,
                                       const wchar_t* replaceText, uint32_t maxReplacements,
                                       uint32_t* count) {
  if (buffer == nullptr || capacity == nullptr) return JOVC_ERR_NULL;
  if (findText == nullptr || *findText == L'\0') return JOVC_ERR_ARGUMENT;
  return Shell([&] {
    unsigned long size = *capacity;
    unsigned long made = 0;
    const unsigned long code =
        JOV_ReplaceString(buffer, &size, findText, replaceText != nullptr ? replaceText : L"",
                          &made, 0, maxReplacements);
    if (count != nullptr) *count = code == 0 ? made : 0;
    switch (code) {
      case 0:
        return JOVC_OK;
      case 8:
        *capacity = size;
        return JOVC_ERR_BUFFER_TOO_SMALL;
      case 87:
        return JOVC_ERR_ARGUMENT;
      default:
        return JOVC_ERR_INTERNAL;
    }
  });
}

}  // extern "C"
