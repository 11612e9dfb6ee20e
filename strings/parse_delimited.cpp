// parse_delimited.cpp - JOV_ParseDelimitedString: takes the first field off a delimited,
// quotable list (the command line, a list of names), on a JOVString or on buffers.
#include <cwchar>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

namespace {

// The locale-aware test the whole-delimiter mode uses: the user's default locale, no flags.
bool DelimiterAt(const wchar_t* at, const wchar_t* delimiter, int length) {
  return ::CompareStringW(LOCALE_USER_DEFAULT, 0, at, length, delimiter, length) == CSTR_EQUAL;
}

}  // namespace

void JOV_ParseDelimitedString(JOVString& source, const wchar_t* delimiters, JOVString& field,
                              int wholeDelimiter, int trimBlanks) {
  if (trimBlanks) source.Trim();
  field.erase(0u, JOVString::npos);
  field.reserve(source.length());

  // A private copy of the delimiters, so a caller's text that aliases source stays intact.
  const wchar_t* given = delimiters ? delimiters : L",";
  const unsigned delimiterLength = static_cast<unsigned>(std::wcslen(given));
  ScopedBlock copy((static_cast<unsigned long>(delimiterLength) + 1) * sizeof(wchar_t));
  wchar_t* delimiter = copy.as<wchar_t>();
  std::wmemcpy(delimiter, given, delimiterLength + 1);

  const wchar_t* text = source.c_str();
  const unsigned length = source.length();
  unsigned cursor = 0;
  bool inQuotes = false;
  while (text[cursor] != 0) {
    const wchar_t c = text[cursor];
    if (inQuotes) {
      if (c == kQuote) inQuotes = false;
    } else if (c == kQuote) {
      inQuotes = true;
    } else if (wholeDelimiter) {
      // An empty delimiter text never matches: otherwise it would end every field at once
      // and a caller taking fields until the source is empty would never finish.
      if (delimiterLength > 0 && length - cursor >= delimiterLength &&
          DelimiterAt(text + cursor, delimiter, static_cast<int>(delimiterLength))) {
        cursor += delimiterLength;
        break;
      }
    } else if (std::wmemchr(delimiter, c, delimiterLength)) {
      ++cursor;
      break;
    }
    field.append_char(1u, c);
    ++cursor;
  }

  if (trimBlanks) field.Trim();
  const unsigned fieldLength = field.length();
  if (fieldLength >= 2 && field[0u] == kQuote && field[fieldLength - 1] == kQuote) {
    // Quoted as a whole: the outer quotes go and doubled quotes are undone.
    field.erase(fieldLength - 1, 1u);
    field.erase(0u, 1u);
    unsigned long replaced = 0;
    JOV_ReplaceString(field, L"\"\"", L"\"", &replaced, 0, 0);
  }
  source.erase(0u, cursor);
}

void JOV_ParseDelimitedString(wchar_t* source, const wchar_t* delimiters, wchar_t* field,
                              int wholeDelimiter, int trimBlanks) {
  JOVString list(static_cast<const wchar_t*>(source));
  JOVString taken;
  JOV_ParseDelimitedString(list, delimiters, taken, wholeDelimiter, trimBlanks);
  ::lstrcpyW(source, list.c_str());
  ::lstrcpyW(field, taken.c_str());
}
