// replace_string.cpp - JOV_ReplaceString: every occurrence of a text replaced, on a
// JOVString or on a caller's zero-terminated buffer.
#include <cwchar>

#include "JOVStrings.h"
#include "strings/string_internal.h"

unsigned long JOV_ReplaceString(JOVString& text, const wchar_t* findText,
                                const wchar_t* replaceText, unsigned long* replaceCount,
                                unsigned long /*reserved*/, unsigned long maxReplacements) {
  *replaceCount = 0;
  const unsigned findLength = jov::strings::ArrayLength(findText);
  const unsigned replaceLength = jov::strings::ArrayLength(replaceText);
  if (findLength == 0) return ERROR_INVALID_PARAMETER;

  // The result is reserved up front: the class grows by only 16 characters at a time.
  JOVString result;
  result.reserve(text.length());
  const wchar_t* cursor = text.c_str();
  long remaining = static_cast<long>(text.length());
  while (remaining >= 1) {
    if (maxReplacements != 0 && *replaceCount >= maxReplacements) break;
    // A zero-terminated search: nothing is found behind a zero inside the text, though
    // such characters are still carried over below.
    const wchar_t* hit = std::wcsstr(cursor, findText);
    if (!hit) break;
    const unsigned before = static_cast<unsigned>(hit - cursor);
    result.append(cursor, before);
    remaining -= static_cast<long>(before + findLength);
    cursor = hit + findLength;
    if (replaceLength > 0) result.append(replaceText, replaceLength);
    ++*replaceCount;
  }
  if (remaining > 0) result.append(cursor, static_cast<unsigned>(remaining));
  text.assign(result, 0u, JOVString::npos);
  return 0;
}

unsigned long JOV_ReplaceString(wchar_t* buffer, unsigned long* bufferSize, const wchar_t* findText,
                                const wchar_t* replaceText, unsigned long* replaceCount,
                                unsigned long reserved, unsigned long maxReplacements) {
  JOVString text(buffer);
  const unsigned long status =
      JOV_ReplaceString(text, findText, replaceText, replaceCount, reserved, maxReplacements);
  if (status != 0) return status;
  const unsigned long need = static_cast<unsigned long>(text.length()) + 1;
  if (need > *bufferSize) {
    *bufferSize = need;
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  ::lstrcpyW(buffer, text.c_str());
  return 0;
}
